// The output file read through the shipped GrADS descriptor: CDO's netCDF
// copy must hold exactly the converter's 4-byte values, and GrADS must find
// the maximum that the report prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>
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

namespace {

const std::string kReadme = std::string(TEST_SOURCE_DIR) + "/../README.md";

// The sample file with te level 1 scaled by `factor`, so that every time
// step of a series has its own maximum.
std::string sample_with_te1_scaled(double factor) {
  auto records = sample::file_records();
  auto values = sample::level(sample::Field::te, 1);
  for (auto& v : values) v *= factor;
  records[4] = sample::level_record(values);
  return oracle::join(records);
}

TEST(GradsCdo, SeriesDescriptorOfTheReadmeReadsEveryTimeStep) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const std::string cdo = on_path("cdo"), grads = on_path("grads");
  if (cdo.empty() || grads.empty())
    GTEST_SKIP() << "cdo or grads is not installed (Debian: apt-get install cdo grads)";
  const std::string recipe = block_after(read_file(kReadme), "recipe: series");
  ASSERT_NE(recipe, "") << "README.md has no series recipe";
  TempDir dir;
  std::filesystem::create_directories(dir.file("docs"));
  std::filesystem::create_directories(dir.file("converted"));
  write_file(dir.file("docs/kelvoran.ctl"),
             read_file(std::string(TEST_SOURCE_DIR) + "/../docs/kelvoran.ctl"));
  // Four six-hourly steps; the report's maximum of te level 1 of each.
  const char* steps[] = {"t00", "t06", "t12", "t18"};
  std::vector<float> reported;
  for (int t = 0; t < 4; ++t) {
    const std::string name = steps[t];
    write_file(dir.file(name + ".in"), sample_with_te1_scaled(1 + 0.25 * t));
    auto run = run_program({kelvoran_binary(), name + ".in", "converted/" + name + ".dat"},
                           {.dir = dir.path()});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::string line = oracle::split_lines(run.out)[175];
    ASSERT_EQ(line.rfind(" te has max=", 0), 0u) << line;
    reported.push_back(std::strtof(line.c_str() + 12, nullptr));
  }
  ASSERT_NE(reported[0], reported[3]);
  auto made = run_program({"/bin/bash", "-c", "set -e\n" + recipe}, {.dir = dir.path()});
  ASSERT_EQ(made.exit_code, 0) << made.out << made.err;

  // CDO: one netCDF file with 4 time steps, each with its own maximum.
  auto ntime = run_program({cdo, "-s", "ntime", "converted/series.nc"}, {.dir = dir.path()});
  EXPECT_EQ(ntime.out, "4\n") << ntime.err;
  auto maxima = run_program({cdo, "-s", "outputf,%.9g,1", "-fldmax", "-sellevel,1", "-selname,te",
                             "converted/series.nc"}, {.dir = dir.path()});
  const auto cdo_lines = oracle::split_lines(maxima.out);
  ASSERT_EQ(cdo_lines.size(), 4u) << maxima.out << maxima.err;
  for (int t = 0; t < 4; ++t)
    EXPECT_EQ(std::strtof(cdo_lines[t].c_str(), nullptr), reported[t]) << "cdo, time step " << t + 1;

  // GrADS: the value at time t is the report of file t.
  write_file(dir.file("series.gs"),
             "function main(args)\n'open converted/series.ctl'\n'set z 1'\nt = 1\n"
             "while (t <= 4)\n'set t ' t\n'd max(te, x=1, x=11094)'\nsay result\nt = t + 1\n"
             "endwhile\n'quit'\n");
  auto shown = run_program({grads, "-blc", "run series.gs"}, {.dir = dir.path()});
  ASSERT_EQ(shown.exit_code, 0) << shown.out << shown.err;
  std::size_t at = 0;
  for (int t = 0; t < 4; ++t) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "Result value = %g \n", static_cast<double>(reported[t]));
    at = shown.out.find(expected, at);
    ASSERT_NE(at, std::string::npos) << "time step " << t + 1 << ": " << expected << "\n" << shown.out;
  }
}

TEST(Numpy, ReadmeSnippetReadsTheOutput) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  // Debian's numpy serves /usr/bin/python3, whatever python3 is first on PATH.
  if (run_program({"/usr/bin/python3", "-c", "import numpy"}).exit_code != 0)
    GTEST_SKIP() << "/usr/bin/python3 has no numpy (Debian: apt-get install python3-numpy)";
  const std::string snippet = block_after(read_file(kReadme), "recipe: numpy");
  ASSERT_NE(snippet, "") << "README.md has no numpy snippet";
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  auto run = run_program({kelvoran_binary(), "in.dat", "out.dat"}, {.dir = dir.path()});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The snippet's te level 1, written back as big-endian 4-byte reals, is
  // output record 3.
  auto r = run_program({"/usr/bin/python3", "-c",
                        snippet + "import sys\nsys.stdout.buffer.write(te_level_1.astype('>f4').tobytes())\n"},
                       {.dir = dir.path()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(r.out == read_file(dir.file("out.dat")).substr(2 * oracle::kRecordBytes, oracle::kRecordBytes))
      << r.out.size() << " bytes";
}

}  // namespace
