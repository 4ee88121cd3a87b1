// The output file read through the shipped GrADS descriptor: CDO's netCDF
// copy must hold exactly the converter's 4-byte values, and GrADS must find
// the maximum that the report prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

// The full name of a program on PATH, or "".
std::string on_path(const std::string& program) {
  auto r = run_program({"/bin/sh", "-c", "command -v " + program});
  return r.exit_code == 0 ? r.out.substr(0, r.out.find('\n')) : "";
}

TEST(GradsCdo, DescriptorReadsTheOutput) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const std::string cdo = on_path("cdo"), grads = on_path("grads");
  if (cdo.empty() || grads.empty())
    GTEST_SKIP() << "cdo or grads is not installed (Debian: apt-get install cdo grads)";
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  auto run = run_program({kelvoran_binary(), "in.dat", "out.dat"}, {.dir = dir.path()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string out = read_file(dir.file("out.dat"));
  // The shipped descriptor names out.dat in its own directory.
  write_file(dir.file("out.ctl"), read_file(std::string(TEST_SOURCE_DIR) + "/../docs/kelvoran.ctl"));

  auto nc = run_program({cdo, "-s", "-f", "nc", "import_binary", "out.ctl", "out.nc"},
                        {.dir = dir.path()});
  ASSERT_EQ(nc.exit_code, 0) << nc.out << nc.err;
  struct Level {
    const char* field;
    int level;
    int record;  // output record, from 1
  } levels[] = {{"te", 1, 3}, {"te", 28, 30}, {"vv", 1, 59}, {"vv", 28, 86}};
  for (const auto& l : levels) {
    const std::string what = std::string(l.field) + " level " + std::to_string(l.level);
    auto dump = run_program({cdo, "-s", "outputf,%.9g,1", "-sellevel," + std::to_string(l.level),
                             "-selname," + std::string(l.field), "out.nc"},
                            {.dir = dir.path()});
    ASSERT_EQ(dump.exit_code, 0) << what << ": " << dump.err;
    std::istringstream values(dump.out);
    int n = 0, wrong = 0;
    for (std::string v; std::getline(values, v); ++n) {
      const std::string want = out.substr((l.record - 1) * oracle::kRecordBytes + 4 * n, 4);
      if (be_f32(std::strtof(v.c_str(), nullptr)) != want && wrong++ == 0)
        ADD_FAILURE() << what << ", point " << n + 1 << ": cdo gives " << v;
    }
    EXPECT_EQ(n, 11094) << what;
    EXPECT_EQ(wrong, 0) << what;
  }

  // GrADS prints 6 digits of the maximum of uu level 16 as reported,
  // rounded to 4 bytes.
  write_file(dir.file("max.gs"),
             "function main(args)\n'open out.ctl'\n'set z 16'\n"
             "'d max(uu, x=1, x=11094)'\nsay result\n'quit'\n");
  auto shown = run_program({grads, "-blc", "run max.gs"}, {.dir = dir.path()});
  ASSERT_EQ(shown.exit_code, 0) << shown.out << shown.err;
  const std::string report = oracle::split_lines(run.out)[171 + 4 + 2 * 28 + 2 * 15];
  ASSERT_EQ(report.rfind(" uu has max=", 0), 0u) << report;
  char expected[64];
  std::snprintf(expected, sizeof expected, "Result value = %g \n",
                static_cast<double>(std::strtof(report.c_str() + 12, nullptr)));
  EXPECT_NE(shown.out.find(expected), std::string::npos) << expected << "\n" << shown.out;
}

}  // namespace
