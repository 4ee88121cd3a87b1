// The demo script against the sums that README.md publishes, and the
// picture command over a report.
#include <gtest/gtest.h>

#include <string>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

const std::string kSource = std::string(TEST_SOURCE_DIR) + "/..";

// README.md with the first digit of the sum of `name` changed.
std::string readme_with_wrong_sum(const std::string& name) {
  std::string text = read_file(kSource + "/README.md");
  const auto at = text.find("  " + name + "\n");
  if (at == std::string::npos || at < 64) return "";
  text[at - 64] = text[at - 64] == '0' ? '1' : '0';
  return text;
}

TEST(Demo, ChecksTheOutputAndReportAgainstThePublishedSums) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  struct Case {
    const char* what;
    std::string sums;
    int status;
    const char* says;
  } cases[] = {
      {"the README as it is", read_file(kSource + "/README.md"), 0,
       "sha256 of both match sums.md\n"},
      {"a wrong sum of the output", readme_with_wrong_sum("sample-out.dat"), 1,
       "checksum MISMATCH: sample-out.dat (sha256 "},
      {"a wrong sum of the report", readme_with_wrong_sum("sample-report.txt"), 1,
       "checksum MISMATCH: sample-report.txt (sha256 "},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ASSERT_NE(c.sums, "") << c.what;
    write_file(dir.file("sums.md"), c.sums);
    auto r = run_program({kSource + "/tools/demo.sh", kelvoran_binary(), KELVORAN_SAMPLE_BIN,
                          dir.path(), dir.file("sums.md")});
    EXPECT_EQ(r.exit_code, c.status) << c.what << "\n" << r.err;
    EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << c.what << "\n" << r.err;
    const std::string report = read_file(dir.file("sample-report.txt"));
    EXPECT_EQ(oracle::split_lines(report).size(), 399u) << c.what;
    EXPECT_EQ(r.out.rfind(report, 0), 0u) << c.what << ": the report is shown first";
  }
}

TEST(PlotReport, WritesAPngOfACompleteReportOnly) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  if (run_program({"/bin/sh", "-c", "command -v gnuplot"}).exit_code != 0)
    GTEST_SKIP() << "gnuplot is not installed (Debian: apt-get install gnuplot-nox)";
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  auto run = run_program({kelvoran_binary(), "in.dat", "out.dat"}, {.dir = dir.path()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const struct {
    const char* what;
    std::string report;
    int status;
  } cases[] = {
      {"complete", run.out, 0},
      {"cut inside the te levels", run.out.substr(0, oracle::end_of_lines(run.out, 200)), 1},
      {"not a report", "hello\n", 1},
  };
  for (const auto& c : cases) {
    write_file(dir.file("report.txt"), c.report);
    const std::string png = dir.file(std::string(c.what) + ".png");
    auto r = run_program({kSource + "/tools/plot_report.sh", dir.file("report.txt"), png});
    EXPECT_EQ(r.exit_code, c.status) << c.what << "\n" << r.err;
    if (c.status != 0) {
      EXPECT_FALSE(file_exists(png)) << c.what;
      continue;
    }
    EXPECT_EQ(r.err, "") << c.what;
    // A PNG: the signature, the header chunk first, the end chunk last.
    const std::string bytes = read_file(png);
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(hex(bytes.substr(0, 16)), "89 50 4E 47 0D 0A 1A 0A 00 00 00 0D 49 48 44 52");
    EXPECT_EQ(hex(bytes.substr(bytes.size() - 8)), "49 45 4E 44 AE 42 60 82");
  }
}

}  // namespace
