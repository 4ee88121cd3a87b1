// OPEN and CLOSE: specifier decoding, the order of the checks, re-OPEN,
// default and environment-given names, scratch files and dispositions.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "child.h"
#include "files.h"
#include "layer.h"

namespace {

struct KeywordCase {
  const char* text;
  const char* keyword;
  int expected;
};

TEST(KeywordMatch, CaseBlanksAndPrefixes) {
  const KeywordCase cases[] = {
      {"new", "NEW", 1},      {"New", "NEW", 1},       {"NEW   ", "NEW", 1},
      {"NEWS", "NEW", 0},     {" NEW", "NEW", 0},      {"NE", "NEW", 0},
      {"", "NEW", 0},         {"dIrEcT", "DIRECT", 1}, {"big_endian", "BIG_ENDIAN", 1},
      {"NEW x", "NEW", 0},    {"new\t", "NEW", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(__fio_eq_str(c.text, static_cast<std::int32_t>(strlen(c.text)),
                           c.keyword),
              c.expected)
        << "'" << c.text << "' against " << c.keyword;
  }
  EXPECT_EQ(__fio_eq_str(nullptr, 3, "NEW"), 0);
  EXPECT_EQ(__fio_eq_str("NEW", -1, "NEW"), 0);
  // Only the given length counts: the rest of the buffer is not looked at.
  EXPECT_EQ(__fio_eq_str("NEWSPAPER", 3, "NEW"), 1);
}

// One OPEN with error control through an IOSTAT variable; `setup` prepares
// the directory first. The code reported is the IOSTAT value.
struct OpenCase {
  const char* what;
  OpenArgs args;
  std::function<void(const TempDir&)> setup;
  int expected_code;
};

void existing(const TempDir& d) { write_file(d.file("f"), "data"); }

// Root may write any file, so permission cases run as an ordinary user that
// owns the file.
void become_unprivileged_owner_of(const char* path) {
  if (geteuid() != 0) return;
  if (chmod(".", 0777) != 0 || chown(path, 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
    _exit(99);
}

TEST(Open, ChecksRunInOrderAndReportTheirCodes) {
  constexpr std::string_view F = "f";
  const OpenCase cases[] = {
      {"NEW on a missing file", {.file = F, .status = "new"}, nullptr, 0},
      {"NEW with trailing blanks", {.file = F, .status = "NEW   "}, nullptr, 0},
      {"STATUS NEWS", {.file = F, .status = "NEWS"}, nullptr, 201},
      {"STATUS with a leading blank", {.file = F, .status = " NEW"}, nullptr, 201},
      {"STATUS NE", {.file = F, .status = "NE"}, nullptr, 201},
      {"bad ACCESS", {.file = F, .access = "RANDOM"}, nullptr, 201},
      {"bad FORM", {.file = F, .form = "PRINTED"}, nullptr, 201},
      {"bad BLANK", {.file = F, .blank = "NONE"}, nullptr, 201},
      {"bad DISPOSE", {.file = F, .dispose = "TOSS"}, nullptr, 201},
      {"BLANK on direct (unformatted by default)",
       {.file = F, .access = "DIRECT", .blank = "ZERO", .recl = 4}, nullptr, 202},
      {"BLANK on unformatted", {.file = F, .form = "UNFORMATTED", .blank = "NULL"},
       nullptr, 202},
      {"DIRECT without RECL", {.file = F, .access = "DIRECT"}, nullptr, 203},
      {"DIRECT with RECL -1", {.file = F, .access = "DIRECT", .recl = -1}, nullptr, 203},
      {"SEQUENTIAL ignores RECL", {.file = F, .access = "SEQUENTIAL", .recl = -7},
       nullptr, 0},
      {"SCRATCH with KEEP", {.status = "SCRATCH", .dispose = "KEEP"}, nullptr, 205},
      {"SCRATCH with SAVE", {.status = "SCRATCH", .dispose = "save"}, nullptr, 205},
      {"SCRATCH with FILE", {.file = F, .status = "SCRATCH"}, nullptr, 206},
      {"READONLY with SCRATCH", {.status = "SCRATCH", .readonly = true}, nullptr, 204},
      {"READONLY with REPLACE", {.file = F, .status = "REPLACE", .readonly = true},
       nullptr, 204},
      {"READONLY with DELETE", {.file = F, .dispose = "DELETE", .readonly = true},
       nullptr, 204},
      {"READONLY with APPEND", {.file = F, .access = "APPEND", .readonly = true},
       nullptr, 204},
      {"OLD on a missing file", {.file = F, .status = "OLD"}, nullptr, 209},
      {"NEW on an existing file", {.file = F, .status = "NEW"}, existing, 208},
      {"all-blank FILE", {.file = "    ", .status = "NEW"}, nullptr, 211},
      {"empty FILE", {.file = "", .status = "NEW"}, nullptr, 211},
      // Order: STATUS is decoded before RECL is checked, BLANK before
      // DISPOSE, SCRATCH+KEEP before a FILE= check, RECL before SCRATCH.
      {"bad STATUS wins over missing RECL",
       {.file = F, .status = "X", .access = "DIRECT"}, nullptr, 201},
      {"BLANK conflict wins over bad DISPOSE",
       {.file = F, .form = "UNFORMATTED", .blank = "ZERO", .dispose = "X"}, nullptr, 202},
      {"SCRATCH+KEEP wins over FILE",
       {.file = F, .status = "SCRATCH", .dispose = "KEEP"}, nullptr, 205},
      {"missing RECL wins over SCRATCH+KEEP",
       {.status = "SCRATCH", .access = "DIRECT", .dispose = "KEEP"}, nullptr, 203},
      {"READONLY check before existence", 
       {.file = F, .status = "REPLACE", .readonly = true}, existing, 204},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.setup) c.setup(dir);
    auto r = run_child(
        [&] {
          std::int32_t ios = -5;
          const std::int32_t res = open_unit(10, c.args, iostat_ref(ios));
          child_notef("%d %d", res, ios);
        },
        {.dir = dir.path()});
    const std::string expected =
        std::to_string(c.expected_code == 0 ? 0 : 1) + " " +
        std::to_string(c.expected_code);
    EXPECT_EQ(r.notes, expected) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

TEST(Open, NegativeUnitIsRefused) {
  auto r = run_child([] {
    std::int32_t ios = 0;
    open_unit(-1, {.file = "x"}, iostat_ref(ios));
    child_notef("%d ", ios);
    close_unit(-5, iostat_ref(ios));
    child_notef("%d", ios);
  });
  EXPECT_EQ(r.notes, "212 212");
}

TEST(Open, SameFileOnTwoUnitsIsRefused) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        open_unit(10, {.file = "data"}, iostat_ref(ios));
        open_unit(11, {.file = "  data  "}, iostat_ref(ios));
        child_notef("%d", ios);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "207");
}

TEST(Open, OnlyNamedConnectionsAreCompared) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        // Pre-connected names carry a trailing blank: a file called stdout
        // can be opened.
        open_unit(10, {.file = "stdout"}, iostat_ref(ios));
        child_notef("%d", ios);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "0");
  EXPECT_TRUE(file_exists(dir.file("stdout")));
}

TEST(Open, MissingFileWithoutStatusIsCreatedEmpty) {
  TempDir dir;
  auto r = run_child([] { open_unit(10, {.file = "new.dat"}); },
                     {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(file_size(dir.file("new.dat")), 0);
}

TEST(Open, OldOnMissingFileCreatesNothing) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        open_unit(10, {.file = "none", .status = "OLD"}, iostat_ref(ios));
      },
      {.dir = dir.path()});
  EXPECT_FALSE(file_exists(dir.file("none")));
}

TEST(Open, NewNeverTruncatesAnExistingFile) {
  TempDir dir;
  write_file(dir.file("keep"), "precious");
  symlink("keep", dir.file("link").c_str());
  symlink("nowhere", dir.file("dangling").c_str());
  for (const char* name : {"keep", "link", "dangling"}) {
    auto r = run_child(
        [&] {
          std::int32_t ios = 0;
          open_unit(1, {.file = name, .status = "new"}, iostat_ref(ios));
          child_notef("%d", ios);
        },
        {.dir = dir.path()});
    EXPECT_EQ(r.notes, "208") << name;
  }
  EXPECT_EQ(read_file(dir.file("keep")), "precious");
  EXPECT_FALSE(file_exists(dir.file("nowhere")));
}

TEST(Open, LongNamesAreUsedWhole) {
  TempDir dir;
  const std::string long_name(300, 'n');
  const std::string too_long(4096, 'n');
  auto r = run_child(
      [&] {
        std::int32_t ios = 0;
        open_unit(10, {.file = long_name.substr(0, 250) + "/" + long_name.substr(0, 40)},
                  iostat_ref(ios));
        child_notef("%d ", ios > 0 && ios < 200 ? 1 : ios);  // host error: no such dir
        mkdir(long_name.substr(0, 250).c_str(), 0755);
        open_unit(10, {.file = long_name.substr(0, 250) + "/" + long_name.substr(0, 40)},
                  iostat_ref(ios));
        child_notef("%d ", ios);
        open_unit(11, {.file = too_long}, iostat_ref(ios));
        child_notef("%d", ios);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "1 0 211");
  EXPECT_TRUE(file_exists(dir.file(long_name.substr(0, 250) + "/" + long_name.substr(0, 40))));
}

TEST(Open, OversizedValuesAreRefusedNotWrapped) {
  TempDir dir;
  const std::string long_value(4096, 'e');
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        // A FORnnn name too long to use whole is refused like a FILE= text.
        open_unit(12, {}, iostat_ref(ios));
        child_notef("%d ", ios);
        // 4-byte record units would carry this length past 32 bits.
        open_unit(13, {.file = "d", .access = "direct", .recl = 600000000}, iostat_ref(ios));
        child_notef("%d ", ios);
        open_unit(14, {.file = "e", .access = "direct", .recl = 500000000}, iostat_ref(ios));
        child_notef("%d", ios);
      },
      {.dir = dir.path(), .env = {{"FOR012", long_value}, {"FORTRANOPT", "vaxio"}}});
  EXPECT_EQ(r.notes, "211 201 0");
  EXPECT_FALSE(file_exists(dir.file("d")));
}

TEST(Open, DefaultAndEnvironmentNames) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(7, {});
        open_unit(8, {});
        open_unit(100, {});
        close_unit(7);
        close_unit(8);
        close_unit(100);
      },
      {.dir = dir.path(), .env = {{"FOR008", "eight.dat"}, {"FOR100", "hundred"}}});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(file_exists(dir.file("fort.7")));
  EXPECT_TRUE(file_exists(dir.file("eight.dat")));
  EXPECT_FALSE(file_exists(dir.file("fort.8")));
  EXPECT_TRUE(file_exists(dir.file("hundred")));
}

TEST(Open, ScratchFileVanishes) {
  TempDir dir;
  TempDir tmp;
  auto r = run_child(
      [&] {
        open_unit(7, {.status = "SCRATCH"});
        Fcb* f = __fio_find_unit(7);
        child_notef("%s|%d|%d|", f->name, f->named, f->dispose);
        child_notef("%d|", access(f->name, F_OK) == 0);
        fputs("scratch data", f->stream);
        close_unit(7);
      },
      {.dir = dir.path(), .env = {{"TMPDIR", tmp.path()}}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string prefix = tmp.path() + "/FTN";
  EXPECT_EQ(r.notes.compare(0, prefix.size(), prefix), 0) << r.notes;
  EXPECT_NE(r.notes.find("|0|12|0|"), std::string::npos) << r.notes;
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(Open, VaxioCountsUnformattedRecordLengthInWords) {
  struct Row {
    const char* fortranopt;
    const char* form;
    int reclen;
  } rows[] = {
      {nullptr, "UNFORMATTED", 44376},
      {"vaxio", "UNFORMATTED", 4 * 44376},
      {"novaxio", "UNFORMATTED", 4 * 44376},  // plain substring search
      {"vaxio", "FORMATTED", 44376},
      {"format_relaxed", "UNFORMATTED", 44376},
  };
  for (const auto& row : rows) {
    TempDir dir;
    ChildOptions o{.dir = dir.path()};
    if (row.fortranopt) o.env.push_back({"FORTRANOPT", row.fortranopt});
    else o.unset_env.push_back("FORTRANOPT");
    auto r = run_child(
        [&] {
          open_unit(1, {.file = "o", .status = "NEW", .access = "DIRECT",
                        .form = row.form, .recl = 44376});
          child_notef("%d", __fio_find_unit(1)->reclen);
        },
        o);
    EXPECT_EQ(r.notes, std::to_string(row.reclen)) << (row.fortranopt ? row.fortranopt : "unset");
  }
}

TEST(Open, ConverterConnectionsDecodeAsExpected) {
  TempDir dir;
  auto r = run_child(
      [] {
        const std::string in(80, ' ');
        std::string in_name = in;
        in_name.replace(0, 6, "in.dat");
        std::string out_name = in;
        out_name.replace(0, 7, "out.dat");
        open_unit(100, {.file = in_name, .form = "unformatted"});
        open_unit(1, {.file = out_name, .status = "new", .access = "direct",
                      .form = "unformatted", .recl = 44376});
        for (int u : {100, 1}) {
          Fcb* f = __fio_find_unit(u);
          child_notef("%s st=%d di=%d ac=%d bl=%d fo=%d rl=%d mr=%d nr=%d tp=%d;",
                      f->name, f->status, f->dispose, f->access, f->blank,
                      f->form, f->reclen, f->max_rec, f->next_rec, f->trunc_pending);
        }
        // List order: most recently connected first.
        child_notef("%d %d %d %d %d %d %d", qbi_fio.units->unit,
                    qbi_fio.units->next->unit, qbi_fio.units->next->next->unit,
                    qbi_fio.units->next->next->next->unit,
                    qbi_fio.units->next->next->next->next->unit,
                    qbi_fio.units->next->next->next->next->next->unit,
                    qbi_fio.units->next->next->next->next->next->next->unit);
      },
      {.dir = dir.path(), .unset_env = {"FORTRANOPT"}});
  EXPECT_EQ(r.notes,
            "in.dat st=1 di=11 ac=22 bl=91 fo=32 rl=0 mr=0 nr=1 tp=1;"
            "out.dat st=1 di=11 ac=21 bl=91 fo=32 rl=44376 mr=0 nr=1 tp=0;"
            "1 100 0 6 5 -6 -5");
}

TEST(Open, DirectAccessCountsWholeExistingRecords) {
  TempDir dir;
  write_file(dir.file("d"), std::string(35, 'x'));
  auto r = run_child(
      [] {
        open_unit(3, {.file = "d", .access = "DIRECT", .recl = 10});
        child_notef("%d", __fio_find_unit(3)->max_rec);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "3");
}

TEST(Open, ReopenRules) {
  struct Row {
    const char* what;
    OpenArgs again;
    std::string expected;  // iostat, then blank code and file of unit 10
  } rows[] = {
      {"same file, new BLANK", {.file = "a", .blank = "ZERO"}, "0 90 a"},
      {"no file, new BLANK", {.blank = "ZERO"}, "0 90 a"},
      {"same file, other FORM", {.file = "a", .form = "UNFORMATTED"}, "202 91 a"},
      {"same file, other ACCESS", {.file = "a", .access = "APPEND"}, "202 91 a"},
      {"same file, SCRATCH", {.status = "SCRATCH"}, "202 91 a"},
      {"same file, STATUS NEW is accepted", {.file = "a", .status = "NEW"}, "0 91 a"},
      {"other file", {.file = "b"}, "0 91 b"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    auto r = run_child(
        [&] {
          std::int32_t ios = 0;
          open_unit(10, {.file = "a"});
          open_unit(10, row.again, iostat_ref(ios));
          Fcb* f = __fio_find_unit(10);
          child_notef("%d %d %s", ios, f->blank, f->name);
        },
        {.dir = dir.path()});
    EXPECT_EQ(r.notes, row.expected) << row.what;
  }
}

TEST(Open, ReopenDirectChecksRecordLength) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        open_unit(10, {.file = "a", .access = "DIRECT", .recl = 8});
        open_unit(10, {.file = "a", .access = "DIRECT", .recl = 8}, iostat_ref(ios));
        child_notef("%d ", ios);
        open_unit(10, {.file = "a", .access = "DIRECT", .recl = 9}, iostat_ref(ios));
        child_notef("%d", ios);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "0 202");
}

TEST(Open, ReopenOfAnAppendUnitConflicts) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        open_unit(10, {.file = "a", .access = "APPEND"});
        open_unit(10, {.file = "a", .access = "APPEND"}, iostat_ref(ios));
        child_notef("%d", ios);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "202");
}

TEST(Open, ReopenWithOtherFileAppliesOldDispose) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(10, {.file = "old", .dispose = "DELETE"});
        open_unit(10, {.file = "new"});
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_FALSE(file_exists(dir.file("old")));
  EXPECT_TRUE(file_exists(dir.file("new")));
}

TEST(Open, BinaryWithDirectReportsButStaysConnected) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        open_unit(10, {.file = "b", .access = "DIRECT", .form = "BINARY", .recl = 4},
                  iostat_ref(ios));
        Fcb* f = __fio_find_unit(10);
        child_notef("%d %d %d %d;", ios, f != nullptr, f ? f->binary : -1, f ? f->form : -1);
        open_unit(11, {.file = "c", .form = "binary"}, iostat_ref(ios));
        f = __fio_find_unit(11);
        child_notef("%d %d %d", ios, f->binary, f->form);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "201 1 0 32;0 1 32");
}

TEST(Open, ConvertSpecifier) {
  struct Row {
    OpenArgs args;
    const char* convert;
    std::string expected;  // result; big-endian, native, little-endian flag
  } rows[] = {
      {{.file = "u", .form = "UNFORMATTED"}, "BIG_ENDIAN", "0 1 0 0"},
      {{.file = "u", .form = "UNFORMATTED"}, "little_endian", "0 0 0 1"},
      {{.file = "u", .form = "UNFORMATTED"}, "NATIVE", "0 0 1 0"},
      {{.file = "u", .form = "UNFORMATTED"}, "VAX", "1 0 0 0"},
      {{.file = "u"}, "BIG_ENDIAN", "1 0 0 0"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    auto r = run_child(
        [&] {
          std::int32_t res = open_unit(10, row.args, 1);
          res = fio_open_cvt(&res, row.convert, static_cast<std::int32_t>(strlen(row.convert)));
          Fcb* f = __fio_find_unit(10);
          child_notef("%d %d %d %d", res, f->convert_big_endian,
                      f->convert_native, f->convert_little_endian);
        },
        {.dir = dir.path()});
    EXPECT_EQ(r.notes, row.expected) << row.convert;
  }
}

TEST(Open, LaterConvertReplacesEarlier) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t res = open_unit(10, {.file = "u", .form = "UNFORMATTED"});
        fio_open_cvt(&res, "NATIVE", 6);
        fio_open_cvt(&res, "LITTLE_ENDIAN", 13);
        fio_open_cvt(&res, "BIG_ENDIAN", 10);
        Fcb* f = __fio_find_unit(10);
        child_notef("%d %d %d", f->convert_big_endian, f->convert_native,
                    f->convert_little_endian);
        std::int32_t failed = 1;
        child_notef(" %d %d", fio_open_cvt(&failed, "X", 1), fio_open_share(&res, "SHARED", 6));
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "1 0 0 1 0");
}

TEST(Close, Dispositions) {
  struct Row {
    const char* what;
    OpenArgs args;
    std::optional<std::string> dispose;
    bool writable;
    std::string expected;  // iostat, file still there
  } rows[] = {
      {"keep by default", {.file = "f"}, {}, true, "0 1"},
      {"DELETE", {.file = "f"}, "DELETE", true, "0 0"},
      {"opened with DELETE", {.file = "f", .dispose = "DELETE"}, {}, true, "0 0"},
      {"opened with DELETE, closed KEEP", {.file = "f", .dispose = "DELETE"}, "KEEP", true, "0 1"},
      {"DELETE on readonly unit", {.file = "f", .readonly = true}, "DELETE", true, "204 1"},
      {"bad DISPOSE", {.file = "f"}, "BURN", true, "201 1"},
      {"KEEP on scratch", {.status = "SCRATCH"}, "KEEP", true, "202 1"},
      {"DELETE of a file without write permission", {.file = "f"}, "DELETE", false, "204 1"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    write_file(dir.file("f"), "x");
    auto r = run_child(
        [&] {
          std::int32_t ios = 0;
          if (!row.writable) become_unprivileged_owner_of("f");
          open_unit(10, row.args);
          if (!row.writable) chmod("f", 0444);
          close_unit(10, iostat_ref(ios), row.dispose);
          child_notef("%d %d", ios, access("f", F_OK) == 0);
        },
        {.dir = dir.path()});
    EXPECT_EQ(r.notes, row.expected) << row.what;
  }
}

TEST(Close, UnconnectedUnitIsQuiet) {
  auto r = run_child([] { child_notef("%d", close_unit(44)); });
  EXPECT_EQ(r.notes, "0");
  EXPECT_EQ(r.err, "");
}

TEST(Close, StandardOutputThenImplicitReconnection) {
  TempDir dir;
  auto r = run_child(
      [] {
        write_text(6, "first");
        close_unit(6);
        child_notef("%d ", __fio_find_unit(6) == nullptr);
        write_text(6, "second");
        close_unit(6);
      },
      {.dir = dir.path(), .env = {{"FOR006", "six.txt"}}});
  EXPECT_EQ(r.out, " first\n");
  EXPECT_EQ(r.notes, "1 ");
  EXPECT_EQ(read_file(dir.file("six.txt")), " second\n");
}

TEST(Close, FreedRecordsAreReused) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(10, {.file = "a"});
        Fcb* first = __fio_find_unit(10);
        close_unit(10);
        open_unit(11, {.file = "b"});
        child_notef("%d", __fio_find_unit(11) == first);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "1");
}

}  // namespace
