// Sequential input that arrives through a pipe: the unread rest of a record
// and whole skipped segments are read and dropped, since a pipe cannot seek.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_unf_common.h"

namespace {

constexpr std::int32_t kUnit = 100;

std::string ints_payload(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += be_i32(i);
  return s;
}

// In the child: feeds `bytes` through a pipe from another process, opens
// the read end on unit 100, runs `body` and waits for the writer.
void with_piped_unit(const std::string& bytes, void (*body)()) {
  int fds[2];
  if (pipe(fds) != 0) return child_note("pipe failed\n");
  const pid_t writer = fork();
  if (writer == 0) {
    close(fds[0]);
    write_all(fds[1], bytes);
    _exit(0);
  }
  close(fds[1]);
  const std::string path = "/dev/fd/" + std::to_string(fds[0]);
  open_file(kUnit, path);
  child_notef("pipe %d\n", __fio_find_unit(kUnit)->pipe);
  body();
  close_unit(kUnit);
  waitpid(writer, nullptr, 0);
}

struct PipeCase {
  const char* what;
  std::string input;
  void (*body)();
  const char* notes;
};

TEST(UnfPipedRead, SkippingReadsAndDropsTheBytes) {
  // Longer than the pipe's buffer and than the skipping buffer, so the
  // skip spans many reads and the writer blocks until they happen.
  const std::string big = be_record(ints_payload(1, 30000));
  const std::string segmented = be32(0x80000008) + ints_payload(1, 2) +
                                be32(8) + be32(0x80004000) +
                                std::string(0x4000, 'x') + be32(0x80004000) +
                                be32(4) + be_i32(3) + be32(0x80000004);
  const PipeCase cases[] = {
      {"partly read record, then the next", big + be_record(be_i32(77)),
       [] {
         read_ints(kUnit, 2);
         read_ints(kUnit, 1);
         read_ints(kUnit, 1, 2);
       },
       "pipe 1\n0 0 0 [1 2]\n0 0 0 [77]\n2 2 2 [-1]\n"},
      {"empty item list, then the next", big + be_record(be_i32(77)),
       [] {
         read_ints(kUnit, 0);
         read_ints(kUnit, 1);
       },
       "pipe 1\n0 0 0 []\n0 0 0 [77]\n"},
      {"continued record: later segments dropped",
       segmented + be_record(be_i32(42)),
       [] {
         read_ints(kUnit, 1);
         read_ints(kUnit, 1);
       },
       "pipe 1\n0 0 0 [1]\n0 0 0 [42]\n"},
      {"record shorter than the items: refused, the next still read",
       big + be_record(be_i32(77)),
       [] {
         std::vector<std::int32_t> v(30001, -1);
         const int r0 = fio_usw_init(1, kUnit, 0, 1);
         const int r1 = fio_usw_read(v.data(), TY_INT, 30001, 4, 0);
         const int r2 = fio_usw_end();
         child_notef("%d %d %d %d\n", r0, r1, r2, v[0]);
         read_ints(kUnit, 1);
       },
       "pipe 1\n0 1 1 -1\n0 0 0 [77]\n"},
      {"largest marker: the skip runs into the end of the input",
       be32(0x7FFFFFFF) + ints_payload(1, 2),
       [] {
         read_ints(kUnit, 1, 2);
         read_ints(kUnit, 1, 2);
       },
       "pipe 1\n0 0 0 [1]\n2 2 2 [-1]\n"},
      {"continuation segment missing at the end of the input",
       be32(0x80000004) + be_i32(9) + be32(4),
       [] {
         std::int32_t iostat = 0;
         read_ints(kUnit, 1, iostat_ref(iostat));
         child_notef("iostat %d\n", iostat);
       },
       "pipe 1\n0 0 2 [9]\niostat -1\n"},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file("", [&](const std::string&) {
      with_piped_unit(c.input, c.body);
    });
    EXPECT_EQ(run.child.exit_code, 0) << c.what << "\n" << run.child.err;
    EXPECT_EQ(run.child.notes, c.notes) << c.what;
  }
}

}  // namespace
