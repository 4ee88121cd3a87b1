// The error reporter: message forms, continuation lines, the hand-back of
// errors and end-of-file conditions, and the message texts.
#include <gtest/gtest.h>

#include <cstring>

#include "child.h"
#include "files.h"
#include "layer.h"

namespace {

const std::string kPadded80 = "out.dat" + std::string(73, ' ');

void at(int line) { fio_src_info(line, "kelvoran", 8); }

struct ReportCase {
  const char* what;
  std::function<void(const TempDir&)> setup;
  std::function<void()> body;
  std::string expected_err;
};

TEST(ErrorReport, MessageForms) {
  const ReportCase cases[] = {
      {"OPEN before connection shows the FILE= text as passed",
       [](const TempDir& d) { write_file(d.file("out.dat"), "x"); },
       [] {
         at(71);
         open_unit(1, {.file = kPadded80, .status = "new", .access = "direct",
                       .form = "unformatted", .recl = 44376});
       },
       "QBFIO-F-208/OPEN/unit=1/'NEW' specified for file which already exists.\n"
       " File name = " + kPadded80 + "\n"
       " In source file kelvoran, at line number 71\n"},
      {"host error form",
       nullptr,
       [] {
         at(71);
         open_unit(1, {.file = "no/such/dir/out", .status = "new"});
       },
       "QBFIO/stdio: No such file or directory\n"
       "QBFIO-F-/OPEN/unit=1/error code returned by host stdio - 2.\n"
       " File name = no/such/dir/out\n"
       " In source file kelvoran, at line number 71\n"},
      {"a transfer shows the connected name, form, access and record",
       nullptr,
       [] {
         open_unit(1, {.file = "  out.dat  ", .status = "new", .access = "direct",
                       .recl = 8});
         at(12);
         fio_ldw_init(1, 0, 0);
       },
       "QBFIO-F-215/list-directed write/unit=1/formatted/unformatted file conflict.\n"
       " File name = out.dat    unformatted, direct access   record = 0\n"
       " In source file kelvoran, at line number 12\n"},
      {"no record and no FILE= text: no name line",
       nullptr,
       [] {
         at(5);
         __fio_errinit(9, 0, "unformatted read");
         __fio_rwinit(9, FIO_UNFORMATTED, 0, FIO_READ);
       },
       "QBFIO-F-209/unformatted read/unit=9/'OLD' specified for file which does not exist.\n"
       " In source file kelvoran, at line number 5\n"},
      {"internal file form",
       nullptr,
       [] {
         at(3);
         __fio_errinit(-99, 0, "internal list-directed write");
         __fio_error(220);
       },
       "QBFIO-F-220/internal list-directed write/internal file/write after last internal record.\n"
       " In source file kelvoran, at line number 3\n"},
      {"internal file with a host error keeps unit -99",
       nullptr,
       [] {
         at(4);
         __fio_errinit(-99, 0, "internal list-directed write");
         __fio_error(5);
       },
       "QBFIO/stdio: Input/output error\n"
       "QBFIO-F-/internal list-directed write/unit=-99/error code returned by host stdio - 5.\n"
       " In source file kelvoran, at line number 4\n"},
      {"pre-connected unit record line",
       nullptr,
       [] {
         at(8);
         fio_close(-5, 0, nullptr, 0);
       },
       "QBFIO-F-212/CLOSE/unit=-5/invalid unit number.\n"
       " File name = stdin     formatted, sequential access   record = 0\n"
       " In source file kelvoran, at line number 8\n"},
      {"end of file uses the numbered form",
       nullptr,
       [] {
         at(73);
         __fio_errinit(100, 0, "unformatted read");
         __fio_error(217);
       },
       "QBFIO-F-217/unformatted read/unit=100/attempt to read past end of file.\n"
       " In source file kelvoran, at line number 73\n"},
      {"before any source location",
       nullptr,
       [] {
         __fio_errinit(3, 0, "OPEN");
         __fio_error(212);
       },
       "QBFIO-F-212/OPEN/unit=3/invalid unit number.\n"
       " In source file , at line number 0\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.setup) c.setup(dir);
    auto r = run_child(c.body, {.dir = dir.path(), .unset_env = {"LANG"}});
    EXPECT_EQ(r.exit_code, 1) << c.what;
    EXPECT_EQ(r.err, c.expected_err) << c.what;
    EXPECT_EQ(r.out, "") << c.what;
  }
}

TEST(ErrorReport, JapaneseTextOnlyForLangJapan) {
  struct Row {
    const char* lang;
    bool japanese;
  } rows[] = {{"japan", true}, {"ja_JP", false}, {"Japan", false}, {nullptr, false}};
  for (const auto& row : rows) {
    ChildOptions o;
    if (row.lang) o.env.push_back({"LANG", row.lang});
    else o.unset_env.push_back("LANG");
    auto r = run_child(
        [] {
          __fio_errinit(1, 0, "OPEN");
          __fio_error(208);
        },
        o);
    const std::string prefix = "QBFIO-F-208/OPEN/unit=1/";
    ASSERT_EQ(r.err.compare(0, prefix.size(), prefix), 0);
    const std::string text = r.err.substr(prefix.size(), r.err.find('\n') - prefix.size());
    if (row.japanese) {
      // EUC-JP: every Japanese character is two bytes with the high bit set.
      EXPECT_NE(text.find("'NEW'"), std::string::npos);
      EXPECT_TRUE(static_cast<unsigned char>(text[text.size() - 2]) >= 0xA1) << text;
      EXPECT_EQ(text.back(), '.');
      EXPECT_EQ(text.find("specified"), std::string::npos);
    } else {
      EXPECT_EQ(text, "'NEW' specified for file which already exists.");
    }
  }
}

TEST(ErrorReport, JapaneseTableIsWellFormedEucJp) {
  auto r = run_child([] {
    for (int code = 200; code <= 254; ++code) child_notef("%s\n", __fio_errmsg(code));
  }, {.env = {{"LANG", "japan"}}});
  int lines = 0;
  size_t start = 0;
  for (size_t nl; (nl = r.notes.find('\n', start)) != std::string::npos; start = nl + 1) {
    const std::string line = r.notes.substr(start, nl - start);
    ++lines;
    EXPECT_FALSE(line.empty());
    for (size_t i = 0; i < line.size(); ++i) {
      const auto b = static_cast<unsigned char>(line[i]);
      if (b < 0x80) continue;
      // A two-byte EUC-JP character: both bytes in A1..FE.
      ASSERT_LT(i + 1, line.size()) << line;
      EXPECT_TRUE(b >= 0xA1 && b <= 0xFE) << lines;
      const auto b2 = static_cast<unsigned char>(line[++i]);
      EXPECT_TRUE(b2 >= 0xA1 && b2 <= 0xFE) << lines;
    }
  }
  EXPECT_EQ(lines, 55);
}

// The iostat argument decides who sees an error or an end of file.
struct IostatCase {
  int code;            // reported through __fio_error
  std::intptr_t flag;  // 0..3, or -1 for an IOSTAT variable
  int exit_code;       // 1 when the process ends, 0 when handed back
  std::string notes;   // result, IOSTAT variable, error_flag, eof_flag
};

TEST(ErrorReport, IostatConvention) {
  const IostatCase cases[] = {
      {208, 0, 1, ""},           {208, 1, 0, "1 77 1 0"},
      {208, 2, 1, ""},           {208, 3, 0, "1 77 1 0"},
      {208, -1, 0, "1 208 1 0"}, {217, 0, 1, ""},
      {217, 1, 1, ""},           {217, 2, 0, "2 77 0 1"},
      {217, 3, 0, "2 77 0 1"},   {217, -1, 0, "2 -1 0 1"},
      {252, 2, 0, "2 77 0 1"},   {252, -1, 0, "2 -1 0 1"},
      {5, -1, 0, "1 5 1 0"},
  };
  for (const auto& c : cases) {
    auto r = run_child([&] {
      std::int32_t var = 77;
      const std::intptr_t iostat = c.flag < 0 ? iostat_ref(var) : c.flag;
      __fio_errinit(10, iostat, "OPEN");
      if (c.flag < 0 && var != 0) child_note("IOSTAT not cleared");
      if (c.flag < 0) var = 77;
      const int res = __fio_error(c.code);
      child_notef("%d %d %d %d", res, var, qbi_fio.error_flag, qbi_fio.eof_flag);
    });
    EXPECT_EQ(r.exit_code, c.exit_code) << c.code << " flag " << c.flag;
    EXPECT_EQ(r.notes, c.notes) << c.code << " flag " << c.flag;
    EXPECT_EQ(r.err.empty(), c.exit_code == 0) << c.code << " flag " << c.flag;
  }
}

TEST(ErrorReport, HandedBackErrorRewindsDirectAccessUnit) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(3, {.file = "d", .status = "new", .access = "direct", .recl = 4});
        __fio_errinit(3, 1, "unformatted write");
        Fcb* f = __fio_rwinit(3, FIO_UNFORMATTED, 3, FIO_WRITE);
        fwrite("abcd", 1, 4, f->stream);
        child_notef("%d %lld;", f->next_rec, static_cast<long long>(ftello(f->stream)));
        __fio_error(219);
        child_notef("%d %lld", f->next_rec, static_cast<long long>(ftello(f->stream)));
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "4 12;1 0");
}

TEST(ErrorReport, EndOfFileMarksUnitAndNextReadFails) {
  TempDir dir;
  write_file(dir.file("in"), "");
  auto r = run_child(
      [] {
        open_unit(4, {.file = "in", .form = "unformatted"});
        __fio_errinit(4, 2, "unformatted read");
        Fcb* f = __fio_rwinit(4, FIO_UNFORMATTED, 0, FIO_READ);
        child_notef("%d ", __fio_error(217));
        child_notef("%d ", f->eof_seen);
        __fio_errinit(4, 2, "unformatted read");
        const bool refused = __fio_rwinit(4, FIO_UNFORMATTED, 0, FIO_READ) == nullptr;
        child_notef("%d %d ", refused, qbi_fio.eof_flag);
        // A write is accepted and clears the mark.
        __fio_errinit(4, 0, "unformatted write");
        const bool accepted = __fio_rwinit(4, FIO_UNFORMATTED, 0, FIO_WRITE) != nullptr;
        child_notef("%d %d", accepted, f->eof_seen);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "2 1 1 1 1 0");
}

TEST(ErrorReport, ReadAfterEndOfFileWithoutControlIsReported) {
  TempDir dir;
  write_file(dir.file("in"), "");
  auto r = run_child(
      [] {
        open_unit(4, {.file = "in", .form = "unformatted"});
        __fio_errinit(4, 2, "unformatted read");
        __fio_rwinit(4, FIO_UNFORMATTED, 0, FIO_READ);
        __fio_error(217);
        fio_src_info(9, "t", 1);
        __fio_errinit(4, 0, "unformatted read");
        __fio_rwinit(4, FIO_UNFORMATTED, 0, FIO_READ);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "QBFIO-F-252/unformatted read/unit=4/operation attempted after end of file.\n"
            " File name = in    unformatted, sequential access   record = 0\n"
            " In source file t, at line number 9\n");
}

TEST(ErrorReport, MessageText) {
  struct Row {
    int code;
    std::string text;
  } rows[] = {
      {0, " "},
      {2, strerror(2)},
      {-1, strerror(-1)},
      {217, "attempt to read past end of file"},
      {254, "illegal repeat count in format"},
      {200, "xxx"},
      {255, "get_iostat_msg: iostat value 255 is out of range"},
      {300, "get_iostat_msg: iostat value 300 is out of range"},
  };
  for (const auto& row : rows) EXPECT_EQ(__fio_errmsg(row.code), row.text) << row.code;
}

}  // namespace
