// Unformatted WRITE: direct-access slots with zero padding and gaps,
// sequential framing with the staging buffer's early flush, markerless
// binary units, and the failures a WRITE reports.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "test_unf_common.h"

namespace {

constexpr std::int32_t kUnit = 1;

// One item of a WRITE statement: its description and the bytes the caller
// holds (host order).
struct Item {
  std::int32_t type;
  std::int32_t count;
  std::int32_t stride;
  std::int32_t length;
  std::string data;
};

template <typename T>
std::string host_bytes(const T& v) {
  return std::string(reinterpret_cast<const char*>(&v), sizeof v);
}

std::string host_ints(int from, int to) {
  std::string s;
  for (std::int32_t i = from; i <= to; ++i) s += host_bytes(i);
  return s;
}

std::string be_ints(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += be_i32(i);
  return s;
}

std::string host_floats(int n, float first) {
  std::string s;
  for (int i = 0; i < n; ++i) s += host_bytes(first + static_cast<float>(i));
  return s;
}

std::string be_floats(int n, float first) {
  std::string s;
  for (int i = 0; i < n; ++i) s += be_f32(first + static_cast<float>(i));
  return s;
}

// One WRITE statement; notes "begin items... end" statuses and reports in
// the notes whether the caller's data were left as they were.
void write_stmt(bool big_endian_family, std::int32_t rec,
                const std::vector<Item>& items, std::intptr_t iostat = 0) {
  const auto init = big_endian_family ? fio_usw_init : fio_unf_init;
  const auto write = big_endian_family ? fio_usw_write : fio_unf_write;
  const auto end = big_endian_family ? fio_usw_end : fio_unf_end;
  std::string statuses = std::to_string(init(0, kUnit, rec, iostat));
  bool unchanged = true;
  for (const Item& it : items) {
    std::string copy = it.data;
    statuses += " " + std::to_string(write(copy.data(), it.type, it.count,
                                           it.stride, it.length));
    unchanged = unchanged && copy == it.data;
  }
  statuses += " " + std::to_string(end());
  child_notef("%s%s\n", statuses.c_str(), unchanged ? "" : " changed");
}

// ---- direct access ----

TEST(UnfDirectWrite, RecordsInAnyOrderWithZeroGaps) {
  const auto run = run_on_file(
      "",
      [](const std::string& path) {
        open_file(kUnit, path, "unformatted", "direct", "new", 8);
        write_stmt(true, 5, {{TY_INT, 2, 4, 0, host_ints(5, 6)}});
        std::fflush(__fio_find_unit(kUnit)->stream);
        child_notef("size %lld\n", file_size(path));
        write_stmt(true, 2, {{TY_INT, 1, 4, 0, host_ints(2, 2)}});
        write_stmt(true, 0, {{TY_INT, 2, 4, 0, host_ints(3, 4)}});
        child_notef("next %d max %d\n", __fio_find_unit(kUnit)->next_rec,
                    __fio_find_unit(kUnit)->max_rec);
      },
      false);
  EXPECT_EQ(run.child.notes, "0 0 0\nsize 40\n0 0 0\n0 0 0\nnext 4 max 5\n")
      << run.child.err;
  const std::string zeros8(8, '\0');
  EXPECT_EQ(hex(run.after),
            hex(zeros8 + be_i32(2) + std::string(4, '\0') + be_ints(3, 4) +
                zeros8 + be_ints(5, 6)));
}

TEST(UnfDirectWrite, RecordsInOrderNeedNoPositioning) {
  const auto run = run_on_file(
      "",
      [](const std::string& path) {
        open_file(kUnit, path, "unformatted", "direct", "new", 12);
        host_calls.fseeko = counting_fseeko;
        seek_calls = 0;
        for (int rec = 1; rec <= 3; ++rec)
          write_stmt(true, rec, {{TY_INT, 3, 4, 0,
                                  host_ints(3 * rec - 2, 3 * rec)}});
        child_notef("seeks %d\n", seek_calls);
      },
      false);
  EXPECT_EQ(run.child.notes, "0 0 0\n0 0 0\n0 0 0\nseeks 0\n")
      << run.child.err;
  EXPECT_EQ(run.after, be_ints(1, 9));
}

TEST(UnfDirectWrite, FieldLevelRecordFillsTheSlotExactly) {
  // 11094 four-byte reals in a 44376-byte record: too long for the staging
  // buffer, so staged one element at a time; no padding follows.
  const std::string values = host_floats(11094, -3.25f);
  const auto run = run_on_file(
      "",
      [&](const std::string& path) {
        open_file(kUnit, path, "unformatted", "direct", "new", 44376);
        write_stmt(true, 1, {{TY_REAL, 11094, 4, 0, values}});
        write_stmt(true, 2, {{TY_REAL, 11094, 4, 0, values}});
      },
      false);
  EXPECT_EQ(run.child.notes, "0 0 0\n0 0 0\n") << run.child.err;
  const std::string record = be_floats(11094, -3.25f);
  ASSERT_EQ(run.after.size(), 2u * 44376u);
  EXPECT_TRUE(run.after == record + record);
}

TEST(UnfDirectWrite, ShorterItemsArePaddedWithZeroBytesToTheRecordLength) {
  struct Case {
    const char* what;
    const char* fortranopt;  // null: unset
    std::int32_t recl;
    std::vector<Item> items;
    std::string expected;
  };
  const std::string values = host_floats(11094, 1.0f);
  const Case cases[] = {
      // RECL counted in 4-byte words: 44376 data bytes, 133128 zero bytes.
      {"field level under vaxio", "vaxio", 44376,
       {{TY_REAL, 11094, 4, 0, values}},
       be_floats(11094, 1.0f) + std::string(133128, '\0')},
      {"one integer in 16 bytes", nullptr, 16, {{TY_INT, 1, 4, 0,
                                                 host_ints(7, 7)}},
       be_i32(7) + std::string(12, '\0')},
      {"empty item list", nullptr, 16, {}, std::string(16, '\0')},
      {"only count-0 items", nullptr, 16,
       {{TY_INT, 0, 4, 0, ""}, {TY_DBLE, -1, 8, 0, ""}},
       std::string(16, '\0')},
      // Longer than a megabyte: written in pieces, not staged whole.
      {"record of 1 MiB + 4 bytes", nullptr, (1 << 20) + 4,
       {{TY_REAL, 11094, 4, 0, values}},
       be_floats(11094, 1.0f) + std::string((1 << 20) + 4 - 44376, '\0')},
  };
  for (const auto& c : cases) {
    ChildOptions options;
    if (c.fortranopt) options.env.push_back({"FORTRANOPT", c.fortranopt});
    const auto run = run_on_file(
        "",
        [&](const std::string& path) {
          open_file(kUnit, path, "unformatted", "direct", "new", c.recl);
          write_stmt(true, 1, c.items);
        },
        false, options);
    EXPECT_EQ(run.child.exit_code, 0) << c.what << "\n" << run.child.err;
    EXPECT_EQ(run.after.size(), c.expected.size()) << c.what;
    EXPECT_TRUE(run.after == c.expected) << c.what;
  }
}

// A record staged whole reuses its buffer: what an earlier, longer WRITE
// left there must never reach the padding of a shorter one.
TEST(UnfDirectWrite, AShorterRewriteIsPaddedWithZerosNotTheEarlierRecord) {
  struct Case {
    std::int32_t recl;
    std::string expected;
  };
  const Case cases[] = {
      {16, be_i32(9) + std::string(12, '\0') + be_i32(5) + be_i32(6) +
               be_i32(7) + be_i32(8)},
      {(1 << 20) + 8, ""},  // in pieces: checked by its first 8 bytes only
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(
        "",
        [&](const std::string& path) {
          open_file(kUnit, path, "unformatted", "direct", "new", c.recl);
          write_stmt(true, 1, {{TY_INT, 4, 4, 0, host_ints(1, 4)}});
          write_stmt(true, 2, {{TY_INT, 4, 4, 0, host_ints(5, 8)}});
          write_stmt(true, 1, {{TY_INT, 1, 4, 0, host_ints(9, 9)}});
        },
        false);
    ASSERT_EQ(run.child.exit_code, 0) << run.child.err;
    ASSERT_EQ(run.after.size(), 2u * static_cast<std::size_t>(c.recl));
    if (!c.expected.empty()) {
      EXPECT_TRUE(run.after == c.expected) << hex(run.after);
    }
    // Record 1 is 9 and zeros up to record 2, whose first value is 5.
    EXPECT_EQ(run.after.substr(0, 4), be_i32(9));
    EXPECT_EQ(run.after.find_first_not_of('\0', 4), std::size_t(c.recl) + 3);
  }
}

TEST(UnfDirectWrite, ItemPastTheRecordIsRefusedAndNothingOfItIsWritten) {
  const std::string values = host_floats(11095, 1.0f);
  struct Case {
    const char* what;
    std::vector<Item> items;
    const char* notes;
  };
  const Case cases[] = {
      {"11095 reals", {{TY_REAL, 11095, 4, 0, values}}, "0 1 1\n"},
      {"a staged item, then 11094 more",
       {{TY_REAL, 1, 4, 0, host_floats(1, 2.0f)},
        {TY_REAL, 11094, 4, 0, host_floats(11094, 1.0f)}},
       "0 0 1 1\n"},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(
        "",
        [&](const std::string& path) {
          open_file(kUnit, path, "unformatted", "direct", "new", 44376);
          write_stmt(true, 1, c.items, 1);
        },
        false);
    EXPECT_EQ(run.child.notes, c.notes) << c.what << "\n" << run.child.err;
    EXPECT_EQ(run.after.size(), 0u) << c.what;
  }

  // Without error control the run ends with the report.
  const auto ended = run_on_file(
      "",
      [&](const std::string& path) {
        open_file(kUnit, path, "unformatted", "direct", "new", 44376);
        write_stmt(true, 1, {{TY_REAL, 11095, 4, 0, values}});
      },
      false);
  EXPECT_EQ(ended.child.exit_code, 1);
  EXPECT_EQ(ended.child.notes, "");
  EXPECT_EQ(ended.child.err,
            "QBFIO-F-219/unformatted write/unit=1/attempt to read/write past "
            "end of record.\n File name = " +
                ended.path +
                "    unformatted, direct access   record = 1\n In source "
                "file unf.f, at line number 12\n");
  EXPECT_EQ(ended.after.size(), 0u);
}

TEST(UnfDirectWrite, HugeCountIsReportedNeverWraps) {
  // 0x40000001 four-byte elements would wrap to 4 bytes in 32 bits.
  struct Case {
    const char* what;
    std::int32_t type, count, stride, length;
  };
  const Case cases[] = {
      {"0x40000001 integers", TY_INT, 0x40000001, 4, 0},
      {"INT_MAX doubles", TY_DBLE, INT_MAX, 8, 0},
      {"characters of INT_MAX", TY_CHAR, 2, INT_MAX, INT_MAX},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(
        "",
        [&](const std::string& path) {
          open_file(kUnit, path, "unformatted", "direct", "new", 16);
          std::int32_t iostat = 0;
          const std::int32_t guard[4] = {1, 2, 3, 4};
          const int r0 = fio_usw_init(0, kUnit, 1, iostat_ref(iostat));
          const int r1 =
              fio_usw_write(guard, c.type, c.count, c.stride, c.length);
          const int r2 = fio_usw_end();
          child_notef("%d %d %d iostat %d\n", r0, r1, r2, iostat);
        },
        false);
    EXPECT_EQ(run.child.notes, "0 1 1 iostat 219\n")
        << c.what << "\n" << run.child.err;
    EXPECT_EQ(run.after.size(), 0u) << c.what;
  }
}

// ---- sequential framing ----

struct FramingCase {
  const char* what;
  bool big_endian_family;
  std::vector<Item> items;
  std::string expected;
  int seeks;  // positioning calls the statement makes
};

TEST(UnfSequentialWrite, RecordsAreFramedByTheirLength) {
  const std::string a3000(3000, 'a');
  const std::string b3000(3000, 'b');
  const std::string c5000(5000, 'c');
  std::u16string wide(3000, u'\x0102');
  const std::string wide_host(reinterpret_cast<const char*>(wide.data()),
                              wide.size() * 2);
  std::string wide_be;
  for (std::size_t i = 0; i < wide.size(); ++i) wide_be += "\x01\x02";
  const std::string host8 = host32(8);
  const FramingCase cases[] = {
      {"record that fits the buffer", true,
       {{TY_INT, 1, 4, 0, host_ints(1, 1)},
        {TY_REAL, 1, 0, 0, host_bytes(1.0f)},
        {TY_CHAR, 1, 3, 3, "abc"},
        {TY_DBLE, 1, 8, 0, host_bytes(1.0)}},
       be_record(be_i32(1) + be_f32(1.0f) + "abc" + be_f64(1.0)), 0},
      {"empty record", true, {}, std::string(8, '\0'), 0},
      {"only count-0 items", true, {{TY_INT, 0, 4, 0, ""}},
       std::string(8, '\0'), 0},
      {"zero-length character item", true, {{TY_CHAR, 1, 0, 0, ""}},
       std::string(8, '\0'), 0},
      // The second item flushes: its leading marker counts both items and
      // needs no correction.
      {"early flush, marker already right", true,
       {{TY_CHAR, 1, 3000, 3000, a3000}, {TY_CHAR, 1, 3000, 3000, b3000}},
       be_record(a3000 + b3000), 0},
      // An item after the flush: the leading marker is rewritten.
      {"early flush, record grows after it", true,
       {{TY_CHAR, 1, 3000, 3000, a3000},
        {TY_CHAR, 1, 3000, 3000, b3000},
        {TY_INT, 2, 4, 0, host_ints(5, 6)}},
       be_record(a3000 + b3000 + be_ints(5, 6)), 2},
      {"adjacent integers beyond the buffer", true,
       {{TY_INT, 3000, 4, 0, host_ints(1, 3000)}},
       be_record(be_ints(1, 3000)), 0},
      {"elements with a gap between them", true,
       {{TY_INT, 3, 8, 0, host_ints(1, 6)}},
       be_record(be_i32(1) + be_i32(3) + be_i32(5)), 0},
      {"character element longer than the buffer", true,
       {{TY_INT, 1, 4, 0, host_ints(9, 9)}, {TY_CHAR, 1, 5000, 5000, c5000}},
       be_record(be_i32(9) + c5000), 0},
      {"two-byte characters longer than the buffer", true,
       {{TY_NCHAR, 1, 6000, 3000, wide_host}}, be_record(wide_be), 0},
      {"two-byte characters in the buffer", true,
       {{TY_NCHAR, 2, 4, 2, wide_host.substr(0, 8)}},
       be_record(wide_be.substr(0, 8)), 0},
      {"complex values", true,
       {{TY_CMPLX, 1, 8, 0, host_bytes(1.0f) + host_bytes(2.0f)}},
       be_record(be_f32(1.0f) + be_f32(2.0f)), 0},
      {"host order: record that fits", false,
       {{TY_INT, 2, 4, 0, host_ints(1, 2)}}, host8 + host_ints(1, 2) + host8, 0},
      {"host order: empty record", false, {}, std::string(8, '\0'), 0},
      // A single element counts as adjacent and goes out in one write.
      {"host order: one element beyond the buffer", false,
       {{TY_CHAR, 1, 0, 5000, c5000}},
       host32(5000) + c5000 + host32(5000), 0},
      {"host order: early flush, record grows after it", false,
       {{TY_CHAR, 1, 3000, 3000, a3000},
        {TY_CHAR, 1, 3000, 3000, b3000},
        {TY_INT, 1, 4, 0, host_ints(7, 7)}},
       host32(6004) + a3000 + b3000 + host_ints(7, 7) + host32(6004), 2},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(
        "",
        [&](const std::string& path) {
          open_file(kUnit, path, "unformatted", nullptr, "new");
          host_calls.fseeko = counting_fseeko;
          seek_calls = 0;
          write_stmt(c.big_endian_family, 0, c.items);
          child_notef("seeks %d\n", seek_calls);
        },
        false);
    std::string ok = "0";
    for (std::size_t i = 0; i < c.items.size(); ++i) ok += " 0";
    EXPECT_EQ(run.child.notes,
              ok + " 0\nseeks " + std::to_string(c.seeks) + "\n")
        << c.what << "\n" << run.child.err;
    EXPECT_EQ(run.after.size(), c.expected.size()) << c.what;
    EXPECT_TRUE(run.after == c.expected)
        << c.what << "\n" << hex(run.after.substr(0, 16));
  }
}

TEST(UnfSequentialWrite, RecordsFollowOneAnotherAndReadBack) {
  const auto run = run_on_file(
      "",
      [](const std::string& path) {
        open_file(kUnit, path, "unformatted", nullptr, "new");
        write_stmt(true, 0, {{TY_INT, 2, 4, 0, host_ints(1, 2)}});
        write_stmt(true, 0, {});
        write_stmt(true, 0, {{TY_INT, 2000, 4, 0, host_ints(1, 2000)}});
        close_unit(kUnit);
        open_file(kUnit, path);
        read_ints(kUnit, 2);
        read_ints(kUnit, 0);
        std::vector<std::int32_t> v(2000);
        const int r0 = fio_usw_init(1, kUnit, 0, 0);
        const int r1 = fio_usw_read(v.data(), TY_INT, 2000, 4, 0);
        const int r2 = fio_usw_end();
        child_notef("%d %d %d %d %d\n", r0, r1, r2, v[0], v[1999]);
      },
      false);
  EXPECT_EQ(run.child.notes,
            "0 0 0\n0 0\n0 0 0\n0 0 0 [1 2]\n0 0 0 []\n0 0 0 1 2000\n")
      << run.child.err;
  EXPECT_TRUE(run.after == be_record(be_ints(1, 2)) + be_record("") +
                               be_record(be_ints(1, 2000)));
}

TEST(UnfSequentialWrite, RecordTooLongForOneSegmentIsRefused) {
  // 0x20000000 four-byte elements make 2^31 bytes: more than one segment
  // can hold, and more than a 32-bit length could count.
  const auto run = run_on_file(
      "",
      [](const std::string& path) {
        open_file(kUnit, path, "unformatted", nullptr, "new");
        const std::int32_t guard = 0;
        std::int32_t iostat = 0;
        const int r0 = fio_usw_init(0, kUnit, 0, iostat_ref(iostat));
        const int r1 = fio_usw_write(&guard, TY_INT, 0x20000000, 4, 0);
        const int r2 = fio_usw_end();
        child_notef("%d %d %d iostat %d\n", r0, r1, r2, iostat);
      },
      false);
  EXPECT_EQ(run.child.notes, "0 1 1 iostat 219\n") << run.child.err;
  EXPECT_EQ(run.after.size(), 0u);
}

TEST(UnfSequentialWrite, BinaryUnitWritesNoMarkers) {
  const auto run = run_on_file(
      "",
      [](const std::string& path) {
        open_file(kUnit, path, "binary", nullptr, "new");
        write_stmt(true, 0, {{TY_INT, 1, 4, 0, host_ints(1, 1)},
                             {TY_REAL, 1, 4, 0, host_bytes(1.0f)}});
        write_stmt(true, 0, {});
        write_stmt(true, 0, {{TY_INT, 2000, 4, 0, host_ints(1, 2000)}});
      },
      false);
  EXPECT_EQ(run.child.notes, "0 0 0 0\n0 0\n0 0 0\n") << run.child.err;
  EXPECT_TRUE(run.after == be_i32(1) + be_f32(1.0f) + be_ints(1, 2000));
}

TEST(UnfSequentialWrite, ConvertSpecifierNamesTheFilesOrder) {
  // One integer 3, written from the host's variable; markers and data in
  // the order that CONVERT= names, whichever family writes.
  struct Case {
    const char* convert;
    bool big_endian_family;
    std::string file;
  };
  const Case cases[] = {
      {"NATIVE", true, host32(4) + host_ints(3, 3) + host32(4)},
      {"NATIVE", false, host32(4) + host_ints(3, 3) + host32(4)},
      {"LITTLE_ENDIAN", true, le32(4) + le32(3) + le32(4)},
      {"LITTLE_ENDIAN", false, le32(4) + le32(3) + le32(4)},
      {"BIG_ENDIAN", true, be32(4) + be32(3) + be32(4)},
      {"BIG_ENDIAN", false, be32(4) + be32(3) + be32(4)},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(
        "",
        [&](const std::string& path) {
          std::int32_t r =
              open_file(kUnit, path, "unformatted", nullptr, "new");
          r = fio_open_cvt(&r, c.convert,
                           static_cast<std::int32_t>(std::strlen(c.convert)));
          write_stmt(c.big_endian_family, 0,
                     {{TY_INT, 1, 4, 0, host_ints(3, 3)}});
        },
        false);
    EXPECT_EQ(run.child.notes, "0 0 0\n") << run.child.err;
    EXPECT_EQ(hex(run.after), hex(c.file))
        << c.convert << (c.big_endian_family ? ", big-endian" : ", host-order")
        << " family";
  }
}

TEST(UnfSequentialWrite, FailingHostWriteReportsTheHostNumber) {
  const auto run = run_on_file(
      "",
      [](const std::string& path) {
        open_file(kUnit, path, "unformatted", nullptr, "new");
        host_calls.fwrite = [](const void*, std::size_t, std::size_t,
                               std::FILE*) -> std::size_t {
          errno = ENOSPC;
          return 0;
        };
        std::int32_t iostat = 0;
        write_stmt(true, 0, {{TY_INT, 1, 4, 0, host_ints(3, 3)}},
                   iostat_ref(iostat));
        child_notef("iostat %d\n", iostat);
      },
      false);
  EXPECT_EQ(run.child.notes, "0 0 1\niostat 28\n") << run.child.err;
}

}  // namespace
