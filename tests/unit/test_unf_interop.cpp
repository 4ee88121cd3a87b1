// Interoperability with an independent Fortran compiler's run-time: its
// big-endian sequential file read by the layer, and the layer's sequential
// and direct-access files read back by it. The peer programs live in
// tests/fortran; without a Fortran compiler they are not built and these
// tests skip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_unf_common.h"

namespace {

std::string peer(const char* name) {
  return std::string(UNF_PEER_DIR) + "/" + name;
}

bool peers_built() {
  return file_exists(peer("unf_peer_write")) &&
         file_exists(peer("unf_peer_read"));
}

constexpr const char* kSkipText =
    "the Fortran peer programs were not built (gfortran was not found when "
    "the build was configured): interoperability is not checked";

TEST(UnfInterop, LayerReadsThePeersBigEndianFile) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  if (!peers_built()) GTEST_SKIP() << kSkipText;
  TempDir dir;
  const std::string path = dir.file("peer.dat");
  const auto wrote = run_program({peer("unf_peer_write"), path});
  ASSERT_EQ(wrote.exit_code, 0) << wrote.out << wrote.err;

  const auto run = run_child([&] {
    open_file(100, path);
    char tag[8];
    std::int32_t ivals[4];
    double dvals[3];
    int r[5];
    r[0] = fio_usw_init(1, 100, 0, 0);
    r[1] = fio_usw_read(tag, TY_CHAR, 1, 8, 8);
    r[2] = fio_usw_read(ivals, TY_INT, 4, 4, 0);
    r[3] = fio_usw_read(dvals, TY_DBLE, 3, 8, 0);
    r[4] = fio_usw_end();
    child_notef("%d%d%d%d%d %.8s %s %.17g %.17g %.17g\n", r[0], r[1], r[2],
                r[3], r[4], tag, join_ints(ivals, 4).c_str(), dvals[0],
                dvals[1], dvals[2]);

    std::vector<double> big(1000);
    std::int32_t n = 0;
    r[0] = fio_usw_init(1, 100, 0, 0);
    r[1] = fio_usw_read(big.data(), TY_DBLE, 1000, 8, 0);
    r[2] = fio_usw_read(&n, TY_INT, 1, 0, 0);
    r[3] = fio_usw_end();
    int wrong = 0;
    for (int i = 0; i < 1000; ++i) wrong += big[i] != (i + 1) * 0.5;
    child_notef("%d%d%d%d wrong %d n %d\n", r[0], r[1], r[2], r[3], wrong, n);

    read_ints(100, 0);   // the empty record
    read_ints(100, 1);   // 7
    read_ints(100, 1, 2);  // end of file
  });
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.notes,
            "00000 HEADER01 [1 -2 3 2147483647] 1 -2.5 1e-300\n"
            "0000 wrong 0 n 1000\n"
            "0 0 0 []\n0 0 0 [7]\n2 2 2 [-1]\n");
}

TEST(UnfInterop, PeerReadsTheLayersFiles) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  if (!peers_built()) GTEST_SKIP() << kSkipText;
  TempDir dir;
  const std::string seq = dir.file("seq.dat");
  const std::string direct = dir.file("direct.dat");

  const auto run = run_child([&] {
    int bad = 0;
    open_file(1, seq, "unformatted", nullptr, "new");
    const std::int32_t ivals[4] = {1, -2, 3, 2147483647};
    const double dvals[3] = {1.0, -2.5, 1.0e-300};
    bad += fio_usw_init(0, 1, 0, 0);
    bad += fio_usw_write("HEADER01", TY_CHAR, 1, 8, 8);
    bad += fio_usw_write(ivals, TY_INT, 4, 4, 0);
    bad += fio_usw_write(dvals, TY_DBLE, 3, 8, 0);
    bad += fio_usw_end();
    // Longer than the staging buffer, with an item after it: the leading
    // marker is written early and corrected at the end.
    std::vector<double> big(1000);
    for (int i = 0; i < 1000; ++i) big[i] = (i + 1) * 0.5;
    const std::int32_t n = 1000, seven = 7;
    bad += fio_usw_init(0, 1, 0, 0);
    bad += fio_usw_write(big.data(), TY_DBLE, 1000, 8, 0);
    bad += fio_usw_write(&n, TY_INT, 1, 0, 0);
    bad += fio_usw_end();
    bad += fio_usw_init(0, 1, 0, 0);
    bad += fio_usw_end();
    bad += fio_usw_init(0, 1, 0, 0);
    bad += fio_usw_write(&seven, TY_INT, 1, 4, 0);
    bad += fio_usw_end();
    close_unit(1);

    open_file(2, direct, "unformatted", "direct", "new", 16);
    for (std::int32_t rec : {5, 1, 2}) {
      const float r = static_cast<float>(rec) * 1.5f;
      const double d = rec * 0.25;
      bad += fio_usw_init(0, 2, rec, 0);
      bad += fio_usw_write(&rec, TY_INT, 1, 4, 0);
      bad += fio_usw_write(&r, TY_REAL, 1, 4, 0);
      bad += fio_usw_write(&d, TY_DBLE, 1, 8, 0);
      bad += fio_usw_end();
    }
    close_unit(2);
    child_notef("statuses %d\n", bad);
  });
  ASSERT_EQ(run.notes, "statuses 0\n") << run.err;

  const auto check = run_program({peer("unf_peer_read"), seq, direct});
  EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
  EXPECT_EQ(check.out, "OK\n");
}

}  // namespace
