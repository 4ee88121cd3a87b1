// The converter's output read by an independent Fortran run-time: every
// value must equal the input value, read the same way, converted to a
// 4-byte real.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "child.h"
#include "files.h"
#include "sample_data.h"

namespace {

TEST(ConvertPeer, FortranReadsTheOutputAsTheInputConverted) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const std::string checker = std::string(UNF_PEER_DIR) + "/check_conversion";
  if (!file_exists(checker))
    GTEST_SKIP() << "the Fortran checker was not built (gfortran was not found "
                    "when the build was configured)";
  TempDir dir;
  auto records = sample::file_records();
  // Values at the edges of the 4-byte range ride along with the sample.
  auto te = sample::level(sample::Field::te, 5);
  te[0] = 1.0e39;
  te[1] = -1.0e-40;
  te[2] = 0.1;
  te[3] = -0.0;
  te[4] = std::numeric_limits<double>::infinity();
  te[5] = 3.4028235677973366e38;
  records[2 + 4 + 2] = sample::level_record(te);  // te level 5
  std::string input;
  for (const auto& r : records) input += r;
  write_file(dir.file("in.dat"), input);

  auto run = run_program({kelvoran_binary(), "in.dat", "out.dat"},
                         {.dir = dir.path(), .unset_env = {"FORTRANOPT"}});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  auto check = run_program({checker, dir.file("in.dat"), dir.file("out.dat")});
  EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
  EXPECT_EQ(check.out, "OK\n");
}

}  // namespace
