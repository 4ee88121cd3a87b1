// Record layout of list-directed output: the leading blank, the 79-character
// rule, items never split, and one record per statement at least.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "child.h"
#include "files.h"
#include "layer.h"

namespace {

std::string chars(char c, int n) { return std::string(static_cast<size_t>(n), c); }

struct LayoutCase {
  const char* what;
  std::vector<std::vector<std::string>> statements;  // character items
  std::string expected;
};

TEST(ListDirected, RecordLayout) {
  const LayoutCase cases[] = {
      {"empty statement", {{}}, "\n"},
      {"usage line", {{"Usage: kelvoran infile outfile"}},
       " Usage: kelvoran infile outfile\n"},
      {"adjacent items are joined", {{"ABCDEFGH", "IJKLMNOP", "QRSTUVWX", "YZ012345"}},
       " ABCDEFGHIJKLMNOPQRSTUVWXYZ012345\n"},
      {"73 + 12 starts a new record", {{chars('a', 72), chars('b', 12)}},
       " " + chars('a', 72) + "\n " + chars('b', 12) + "\n"},
      {"67 + 12 stays: 79 characters", {{chars('a', 66), chars('b', 12)}},
       " " + chars('a', 66) + chars('b', 12) + "\n"},
      {"68 + 12 would make 80", {{chars('a', 67), chars('b', 12)}},
       " " + chars('a', 67) + "\n " + chars('b', 12) + "\n"},
      {"zero-length first item still opens the record", {{""}}, " \n"},
      {"zero-length item after text", {{"ab", ""}}, " ab\n"},
      {"a long item is written whole on its own record",
       {{"short", chars('L', 100), "tail"}},
       " short\n " + chars('L', 100) + "\n tail\n"},
      {"a long first item is not tested", {{chars('L', 120)}}, " " + chars('L', 120) + "\n"},
      {"each statement ends its record", {{"one"}, {"two"}, {}}, " one\n two\n\n"},
  };
  for (const auto& c : cases) {
    auto r = run_child([&] {
      for (const auto& items : c.statements) {
        fio_ldw_init(6, 0, 0);
        for (const auto& item : items)
          fio_ldw(item.data(), TY_CHAR, 1, 0, static_cast<std::int32_t>(item.size()));
        fio_ldw_end();
      }
      child_notef("%d", __fio_find_unit(6)->next_rec);
    });
    EXPECT_EQ(r.out, c.expected) << c.what;
    // next_rec counts the records written, starting from 1.
    const auto lines = std::count(c.expected.begin(), c.expected.end(), '\n');
    EXPECT_EQ(r.notes, std::to_string(1 + lines)) << c.what;
  }
}

TEST(ListDirected, ScalarsByValueTakeTheWidthOfTheirCode) {
  // The value is narrowed or widened to its code's width, never cut by
  // byte position, so a big-endian host prints the same.
  struct Row {
    std::int32_t value, type;
    const char* text;
  } rows[] = {
      {-5, TY_INT, "          -5"},
      {0x1234, TY_SINT, "   4660"},
      {0x12345678, TY_SINT, "  22136"},
      {-2, TY_SINT, "     -2"},
      {0x17F, TY_BINT, "  127"},
      {-3, TY_BINT, "   -3"},
      {1, TY_SLOG, " T"},
      {0x10000, TY_SLOG, " F"},
      {-7, TY_INT8, "                      -7"},
      {1, TY_LOG8, " T"},
      {0x0A0B0C0D, TY_WORD, "0A0B0C0D"},
      {-1, TY_DWORD, "FFFFFFFFFFFFFFFF"},
  };
  for (const auto& row : rows) {
    auto r = run_child([&] {
      fio_ldw_init(6, 0, 0);
      fio_sc_ldw(row.value, row.type);
      fio_ldw_end();
    });
    EXPECT_EQ(r.out, std::string(" ") + row.text + "\n")
        << row.value << " as type " << row.type;
  }
}

TEST(ListDirected, ArraysOfCharacterElementsUseTheStride) {
  auto r = run_child([] {
    const char names[] = "gz..q...te..";
    fio_ldw_init(6, 0, 0);
    fio_ldw(names, TY_CHAR, 3, 4, 2);
    fio_ldw(names, TY_CHAR, 0, 4, 2);  // count 0: nothing
    fio_ldw_end();
  });
  EXPECT_EQ(r.out, " gzq.te\n");
}

TEST(ListDirected, CountZeroOnlyStillWritesAnEmptyRecord) {
  auto r = run_child([] {
    fio_ldw_init(6, 0, 0);
    fio_ldw("x", TY_CHAR, 0, 1, 1);
    fio_ldw_end();
  });
  EXPECT_EQ(r.out, "\n");
}

TEST(ListDirected, WriteFailureIsReportedWithTheHostNumber) {
  TempDir dir;
  auto r = run_child(
      [] {
        open_unit(9, {.file = "/dev/full"});
        setvbuf(__fio_find_unit(9)->stream, nullptr, _IONBF, 0);
        fio_src_info(154, "kelvoran", 8);
        write_text(9, "x");
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "QBFIO/stdio: No space left on device\n"
            "QBFIO-F-/list-directed write/unit=9/error code returned by host stdio - 28.\n"
            " File name = /dev/full    formatted, sequential access   record = 1\n"
            " In source file kelvoran, at line number 154\n");
}

TEST(ListDirected, FailureHandedBackStopsTheStatement) {
  auto r = run_child([] {
    std::int32_t ios = 0;
    open_unit(9, {.file = "/dev/full"});
    setvbuf(__fio_find_unit(9)->stream, nullptr, _IONBF, 0);
    fio_ldw_init(9, 0, iostat_ref(ios));
    const int first = fio_ldw("x", TY_CHAR, 1, 0, 1);
    const int second = fio_ldw("y", TY_CHAR, 1, 0, 1);
    const int end = fio_ldw_end();
    child_notef("%d %d %d %d", first, second, end, ios);
  });
  EXPECT_EQ(r.notes, "1 1 1 28");
}

TEST(ListDirected, FormattedStatementOnUnformattedUnitFails) {
  TempDir dir;
  auto r = run_child(
      [] {
        std::int32_t ios = 0;
        open_unit(1, {.file = "o", .status = "new", .access = "direct", .recl = 4});
        child_notef("%d ", fio_ldw_init(1, 0, iostat_ref(ios)));
        child_notef("%d %d", fio_ldw("x", TY_CHAR, 1, 0, 1), ios);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.notes, "1 1 215");
}

}  // namespace
