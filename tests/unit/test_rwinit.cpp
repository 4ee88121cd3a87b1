// Statement set-up: implicit connection, the checks against the connection,
// direct-access positioning with zero fill, cutting a sequential file when
// a write follows a read, and the file helpers.
#include <gtest/gtest.h>

#include "child.h"
#include "files.h"
#include "host.h"
#include "layer.h"

#include <unistd.h>

#include <cerrno>

namespace {

// Counts positioning calls so tests can see when none is made.
int seeks = 0;
int counting_fseeko(std::FILE* s, off_t off, int whence) {
  ++seeks;
  return host_calls_libc.fseeko(s, off, whence);
}

Fcb* begin(std::int32_t unit, std::int32_t form, std::int32_t rec,
           std::int32_t direction, std::intptr_t iostat = 0) {
  __fio_errinit(unit, iostat, direction == FIO_READ ? "unformatted read"
                                                    : "unformatted write");
  return __fio_rwinit(unit, form, rec, direction);
}

TEST(Rwinit, ImplicitConnectionUsesDefaultName) {
  TempDir dir;
  write_file(dir.file("fort.9"), "old contents that must go");
  auto r = run_child(
      [] {
        write_text(9, "abc");
        write_text(11, "x");
        close_unit(9);
        close_unit(11);
      },
      {.dir = dir.path(), .env = {{"FOR011", "eleven"}}});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("fort.9")), " abc\n");
  EXPECT_EQ(read_file(dir.file("eleven")), " x\n");
  EXPECT_FALSE(file_exists(dir.file("fort.11")));
}

TEST(Rwinit, ChecksAgainstTheConnection) {
  struct Row {
    const char* what;
    OpenArgs args;
    std::int32_t form, rec, direction;
    int expected;
  } rows[] = {
      {"write on readonly", {.file = "f", .readonly = true}, FIO_FORMATTED, 0, FIO_WRITE, 204},
      {"unformatted on formatted", {.file = "f"}, FIO_UNFORMATTED, 0, FIO_READ, 215},
      {"formatted on unformatted", {.file = "f", .form = "unformatted"}, FIO_FORMATTED, 0, FIO_WRITE, 215},
      {"record number on sequential", {.file = "f"}, FIO_FORMATTED, 2, FIO_WRITE, 202},
      {"negative record", {.file = "f", .access = "direct", .recl = 4}, FIO_UNFORMATTED, -1, FIO_WRITE, 242},
      {"read beyond the last record", {.file = "f", .access = "direct", .recl = 4}, FIO_UNFORMATTED, 3, FIO_READ, 253},
      {"read of an existing record", {.file = "f", .access = "direct", .recl = 4}, FIO_UNFORMATTED, 2, FIO_READ, 0},
      {"record 0 continues", {.file = "f", .access = "direct", .recl = 4}, FIO_UNFORMATTED, 0, FIO_WRITE, 0},
  };
  for (const auto& row : rows) {
    TempDir dir;
    write_file(dir.file("f"), "12345678");  // two records of 4 bytes
    auto r = run_child(
        [&] {
          std::int32_t ios = 0;
          open_unit(10, row.args);
          Fcb* f = begin(10, row.form, row.rec, row.direction, iostat_ref(ios));
          child_notef("%d %d", ios, f == nullptr);
        },
        {.dir = dir.path()});
    EXPECT_EQ(r.notes, std::to_string(row.expected) + (row.expected ? " 1" : " 0")) << row.what;
  }
}

TEST(Rwinit, ReadBeyondEndReportsTheRequestedRecordThenRewinds) {
  TempDir dir;
  write_file(dir.file("f"), "1234abcd");
  auto r = run_child(
      [] {
        open_unit(10, {.file = "f", .access = "direct", .recl = 4});
        std::int32_t ios = 0;
        begin(10, FIO_UNFORMATTED, 3, FIO_READ, iostat_ref(ios));
        Fcb* f = begin(10, FIO_UNFORMATTED, 0, FIO_READ);
        char b[5] = {};
        fread(b, 1, 4, f->stream);
        child_notef("%d %s", ios, b);
        fio_src_info(20, "t", 1);
        begin(10, FIO_UNFORMATTED, 3, FIO_READ);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "253 1234");
  EXPECT_EQ(r.err,
            "QBFIO-F-253/unformatted read/unit=10/attempt to read non-existent record (direct access).\n"
            " File name = f    unformatted, direct access   record = 3\n"
            " In source file t, at line number 20\n");
}

TEST(Rwinit, LastRecordNumberCannotBeFollowed) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        open_unit(1, {.file = "o", .status = "new", .access = "direct", .recl = 4});
        // The record after it could not be numbered: refused, nothing written.
        const bool refused = begin(1, FIO_UNFORMATTED, 2147483647, FIO_WRITE, iostat_ref(ios)) == nullptr;
        child_notef("%d %d", refused, ios);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "1 75");
  EXPECT_EQ(file_size(dir.file("o")), 0);
}

TEST(Rwinit, FarRecordPositionsDoNotWrap) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(1, {.file = "o", .status = "new", .access = "direct", .recl = 1000000});
        // Record 3000 starts past 2^31 bytes; the file is sparse.
        Fcb* f = begin(1, FIO_UNFORMATTED, 3000, FIO_WRITE);
        child_notef("%lld", static_cast<long long>(ftello(f->stream)));
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "2999000000");
}

TEST(Rwinit, DirectAccessGapIsZeroFilled) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(1, {.file = "o", .status = "new", .access = "direct", .recl = 10});
        Fcb* f = begin(1, FIO_UNFORMATTED, 5, FIO_WRITE);
        child_notef("%lld ", static_cast<long long>(ftello(f->stream)));
        fwrite("0123456789", 1, 10, f->stream);
        child_notef("%d %d;", f->max_rec, f->next_rec);
        // Back into the file: a plain seek, no fill.
        f = begin(1, FIO_UNFORMATTED, 2, FIO_WRITE);
        child_notef("%lld ", static_cast<long long>(ftello(f->stream)));
        fwrite("abcdefghij", 1, 10, f->stream);
        child_notef("%d %d", f->max_rec, f->next_rec);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "40 5 6;10 5 3");
  EXPECT_EQ(read_file(dir.file("o")),
            std::string(10, '\0') + "abcdefghij" + std::string(20, '\0') + "0123456789");
}

TEST(Rwinit, RecordsInOrderNeedNoPositioning) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(1, {.file = "o", .status = "new", .access = "direct", .recl = 4});
        host_calls.fseeko = counting_fseeko;
        for (int rec = 1; rec <= 3; ++rec) {
          Fcb* f = begin(1, FIO_UNFORMATTED, rec, FIO_WRITE);
          fwrite("abcd", 1, 4, f->stream);
        }
        child_notef("%d", seeks);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "0");
  EXPECT_EQ(read_file(dir.file("o")), "abcdabcdabcd");
}

TEST(Rwinit, WriteAfterReadCutsTheFile) {
  TempDir dir;
  write_file(dir.file("s"), "record1\nrecord2\nrecord3\n");
  auto r = run_child(
      [] {
        open_unit(2, {.file = "s", .status = "old"});
        for (int i = 0; i < 2; ++i) {
          __fio_errinit(2, 0, "read");
          Fcb* f = __fio_rwinit(2, FIO_FORMATTED, 0, FIO_READ);
          char line[16];
          fgets(line, sizeof line, f->stream);
        }
        write_text(2, "new");
        close_unit(2);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_file(dir.file("s")), "record1\nrecord2\n new\n");
}

TEST(Rwinit, FirstWriteToAnExistingSequentialFileCutsIt) {
  TempDir dir;
  write_file(dir.file("s"), "old old old old\n");
  auto r = run_child(
      [] {
        open_unit(2, {.file = "s"});
        write_text(2, "n");
        write_text(2, "m");
        close_unit(2);
      },
      {.dir = dir.path()});
  EXPECT_EQ(read_file(dir.file("s")), " n\n m\n");
}

TEST(Rwinit, TruncationFailureIsReported) {
  TempDir dir;
  write_file(dir.file("s"), "abc\n");
  auto r = run_child(
      [] {
        open_unit(2, {.file = "s"});
        host_calls.ftruncate = [](int, off_t) {
          errno = EPERM;
          return -1;
        };
        fio_src_info(4, "t", 1);
        write_text(2, "n");
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "QBFIO/stdio: Operation not permitted\n"
            "QBFIO-F-/list-directed write/unit=2/error code returned by host stdio - 1.\n"
            " File name = s    formatted, sequential access   record = 0\n"
            " In source file t, at line number 4\n");
}

TEST(Rwinit, SequentialCounters) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(2, {.file = "s"});
        Fcb* f = __fio_find_unit(2);
        write_text(2, "a");
        write_text(2, "b");
        child_notef("%d %d ", f->next_rec, f->last_op);
        __fio_errinit(2, 0, "read");
        __fio_rwinit(2, FIO_FORMATTED, 0, FIO_READ);
        child_notef("%d %d %d", f->next_rec, f->last_op, f->trunc_pending);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "3 1 3 2 1");
}

TEST(Rwinit, PipeReadResetsCounterAndNeverCuts) {
  TempDir dir;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  auto r2 = run_child(
      [&] {
        dup2(fds[0], 0);
        close(fds[1]);
        open_unit(7, {.file = "/dev/stdin"});
        Fcb* f = __fio_find_unit(7);
        child_notef("%d %d ", f->pipe, f->trunc_pending);
        __fio_errinit(7, 0, "read");
        __fio_rwinit(7, FIO_FORMATTED, 0, FIO_READ);
        child_notef("%d %d %d", f->next_rec, f->trunc_pending, f->last_op);
      },
      {.dir = dir.path()});
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(r2.notes, "1 0 1 0 0");
}

TEST(FileHelpers, ZeroPadWritesExactCounts) {
  for (long long n : {0LL, 1LL, 511LL, 512LL, 513LL, 133128LL, -4LL}) {
    std::FILE* s = std::tmpfile();
    ASSERT_EQ(__fio_zeropad(s, n), 0);
    std::fflush(s);
    const long long expected = n > 0 ? n : 0;
    EXPECT_EQ(ftello(s), expected) << n;
    std::rewind(s);
    long long nonzero = 0;
    for (int c; (c = std::fgetc(s)) != EOF;) nonzero += c != 0;
    EXPECT_EQ(nonzero, 0);
    std::fclose(s);
  }
}

TEST(FileHelpers, ZeroPadReportsTheFailingWrite) {
  std::FILE* s = std::fopen("/dev/full", "w");
  ASSERT_NE(s, nullptr);
  std::setvbuf(s, nullptr, _IONBF, 0);
  EXPECT_EQ(__fio_zeropad(s, 1000), ENOSPC);
  std::fclose(s);
}

TEST(FileHelpers, CutToZeroResetsTheUnit) {
  TempDir dir;
  write_file(dir.file("s"), "abcdef");
  auto r = run_child(
      [] {
        open_unit(2, {.file = "s"});
        Fcb* f = __fio_find_unit(2);
        f->next_rec = 9;
        f->eof_seen = 1;
        f->last_op = 2;
        child_notef("%d ", __fio_trunc(f, 0));
        child_notef("%d %d %d %d", f->next_rec, f->trunc_pending, f->last_op, f->eof_seen);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "0 1 0 0 0");
  EXPECT_EQ(file_size(dir.file("s")), 0);
}

}  // namespace
