// Sequential unformatted READ: record framing, where each statement leaves
// the stream, item forms, the two byte orders, continued records, end of
// file, and crafted lengths that must end in a report.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>

#include "test_unf_common.h"

namespace {

constexpr std::int32_t kUnit = 100;

std::string first_line_report(int code, const char* text) {
  return "QBFIO-F-" + std::to_string(code) + "/unformatted read/unit=100/" +
         text + ".\n";
}

std::string continuation_lines(const std::string& path, int record) {
  return " File name = " + path +
         "    unformatted, sequential access   record = " +
         std::to_string(record) + "\n In source file unf.f, at line number 12\n";
}

std::string ints_payload(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += be_i32(i);
  return s;
}

// ---- where a statement leaves the stream ----

struct PositionCase {
  const char* what;
  std::string file;
  int ints_read;       // 4-byte integers the first READ asks for
  const char* notes;   // statuses, values, position after it, next READ
};

TEST(UnfSequentialRead, EachStatementEndsAtTheNextLeadingMarker) {
  const std::string next = be_record(be_i32(99));
  const PositionCase cases[] = {
      {"32 of 40 bytes: the rest and the trailing marker are skipped",
       be_record(ints_payload(1, 10)) + next, 8,
       "0 0 0 [1 2 3 4 5 6 7 8]\npos 48 seeks 1\n0 0 0 [99]\n"},
      {"record read exactly: its trailing marker is read, whatever its value",
       be32(8) + ints_payload(1, 2) + be32(0xDEADBEEF) + next, 2,
       "0 0 0 [1 2]\npos 16 seeks 0\n0 0 0 [99]\n"},
      {"empty item list: the whole record is skipped",
       be_record(ints_payload(1, 10)) + next, 0,
       "0 0 0 []\npos 48 seeks 1\n0 0 0 [99]\n"},
      {"empty record read with an empty item list", be_record("") + next, 0,
       "0 0 0 []\npos 8 seeks 1\n0 0 0 [99]\n"},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(c.file, [&](const std::string& path) {
      open_file(kUnit, path);
      host_calls.fseeko = counting_fseeko;
      seek_calls = 0;
      read_ints(kUnit, c.ints_read);
      child_notef("pos %lld seeks %d\n", unit_pos(kUnit), seek_calls);
      read_ints(kUnit, 1);
    });
    EXPECT_EQ(run.child.exit_code, 0) << c.what << "\n" << run.child.err;
    EXPECT_EQ(run.child.notes, c.notes) << c.what;
  }
}

TEST(UnfSequentialRead, ItemsWithACountBelowOneDoNotCountAsATransfer) {
  // Only count-0 items: the record is skipped as for an empty item list.
  const std::string file = be_record(ints_payload(1, 3)) + be_record(be_i32(5));
  const auto run = run_on_file(file, [&](const std::string& path) {
    open_file(kUnit, path);
    std::int32_t v = -1;
    const int r0 = fio_usw_init(1, kUnit, 0, 0);
    const int r1 = fio_usw_read(&v, TY_INT, 0, 4, 0);
    const int r2 = fio_usw_read(&v, TY_INT, -3, 4, 0);
    const int r3 = fio_usw_end();
    child_notef("%d %d %d %d v=%d pos %lld\n", r0, r1, r2, r3, v,
                unit_pos(kUnit));
    read_ints(kUnit, 1);
  });
  EXPECT_EQ(run.child.notes, "0 0 0 0 v=-1 pos 20\n0 0 0 [5]\n")
      << run.child.err;
}

// ---- item forms ----

TEST(UnfSequentialRead, ItemFormsStoreTheRightBytesInTheRightPlaces) {
  std::string payload = "HEAD";           // character, 4
  payload += be_f64(2.5);                 // (8, 1, 0): scalar, stride 0
  payload += ints_payload(7, 9);          // (6, 3, 8): every other element
  payload += std::string("\x00\x41\x00\x42", 4);  // code 16, 2 characters
  payload += be_f32(-0.5f) + be_f32(4.0f);        // complex
  const auto run = run_on_file(be_record(payload), [](const std::string& path) {
    open_file(kUnit, path);
    char text[4];
    double d = 0;
    std::int32_t spread[6] = {-1, -1, -1, -1, -1, -1};
    char16_t wide[2] = {};
    float cplx[2] = {};
    int r[7];
    r[0] = fio_usw_init(1, kUnit, 0, 0);
    r[1] = fio_usw_read(text, TY_CHAR, 1, 4, 4);
    r[2] = fio_usw_read(&d, TY_DBLE, 1, 0, 0);
    r[3] = fio_usw_read(spread, TY_INT, 3, 8, 0);
    r[4] = fio_usw_read(wide, TY_NCHAR, 1, 4, 2);
    r[5] = fio_usw_read(cplx, TY_CMPLX, 1, 8, 0);
    r[6] = fio_usw_end();
    child_notef("%d%d%d%d%d%d%d %.4s %g %s %c%c %g %g\n", r[0], r[1], r[2],
                r[3], r[4], r[5], r[6], text, d, join_ints(spread, 6).c_str(),
                static_cast<char>(wide[0]), static_cast<char>(wide[1]),
                cplx[0], cplx[1]);
  });
  EXPECT_EQ(run.child.notes,
            "0000000 HEAD 2.5 [7 -1 8 -1 9 -1] AB -0.5 4\n")
      << run.child.err;
}

TEST(UnfSequentialRead, ZeroLengthCharacterItemsReadNothing) {
  struct Case {
    const char* what;
    std::string file;
    const char* notes;
  };
  const Case cases[] = {
      {"in an empty record", be_record("") + be_record(be_i32(3)),
       "0 0 0 pos 8\n0 0 0 [3]\n"},
      {"in a record of data", be_record(be_i32(4)) + be_record(be_i32(3)),
       "0 0 0 pos 12\n0 0 0 [3]\n"},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(c.file, [](const std::string& path) {
      open_file(kUnit, path);
      char text[1] = {'x'};
      const int r0 = fio_usw_init(1, kUnit, 0, 0);
      const int r1 = fio_usw_read(text, TY_CHAR, 1, 0, 0);
      const int r2 = fio_usw_end();
      child_notef("%d %d %d pos %lld\n", r0, r1, r2, unit_pos(kUnit));
      read_ints(kUnit, 1);
    });
    EXPECT_EQ(run.child.notes, c.notes) << c.what << "\n" << run.child.err;
  }
}

// ---- byte order of the two families ----

// Integers from..to, 4 bytes each in the order opposite to this host's.
std::string foreign_ints(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += foreign32(static_cast<std::uint32_t>(i));
  return s;
}

TEST(UnfSequentialRead, MarkerIsReadInTheFamilysByteOrder) {
  // 32 in the file's order, 536870912 in the other: the big-endian family
  // reads a big-endian file, the host-order family a file of the other
  // order as one of 536870912 bytes.
  const std::string file = be_record(ints_payload(1, 8));
  const std::string foreign_file =
      foreign32(32) + foreign_ints(1, 8) + foreign32(32);
  struct Case {
    const char* what;
    const std::string& file;
    bool big_endian_family;
    int ints;
    const char* notes;
  };
  const Case cases[] = {
      {"big-endian family: 32 bytes, exactly consumed", file, true, 8,
       "0 0 0 [1 2 3 4 5 6 7 8]\npos 40\n"},
      {"big-endian family: a ninth integer is past the end", file, true, 9,
       "0 1 1 [-1 -1 -1 -1 -1 -1 -1 -1 -1]\npos 40\n"},
      // The host-order family sees a record of 536870912 bytes: the ninth
      // integer is the trailing marker, and the end skips far past it.
      {"host-order family: 536870912 bytes", foreign_file, false, 9,
       "0 0 0 [16777216 33554432 50331648 67108864 83886080 100663296 "
       "117440512 134217728 536870912]\npos 536870920\n"},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(c.file, [&](const std::string& path) {
      open_file(kUnit, path);
      read_ints(kUnit, c.ints, 1, c.big_endian_family);
      child_notef("pos %lld\n", unit_pos(kUnit));
    });
    EXPECT_EQ(run.child.notes, c.notes) << c.what << "\n" << run.child.err;
  }
}

TEST(UnfSequentialRead, HostOrderFileReadsWithHostOrderFamily) {
  const std::string rec = host32(8) + host32(5) + host32(6) + host32(8);
  const auto run = run_on_file(rec + rec, [](const std::string& path) {
    open_file(kUnit, path);
    read_ints(kUnit, 2, 0, false);
    read_ints(kUnit, 0, 0, false);
    child_notef("pos %lld\n", unit_pos(kUnit));
  });
  EXPECT_EQ(run.child.notes, "0 0 0 [5 6]\n0 0 0 []\npos 32\n")
      << run.child.err;
}

TEST(UnfSequentialRead, ConvertSpecifierNamesTheFilesOrder) {
  // The record holds one integer 5; its bytes are in the file's order.
  const std::string le_rec = le32(4) + le32(5) + le32(4);
  const std::string be_rec = be_record(be_i32(5));
  const std::string host_rec = host32(4) + host32(5) + host32(4);
  struct Case {
    const char* what;
    const char* convert;
    bool big_endian_family;
    const std::string& file;
  };
  const Case cases[] = {
      {"NATIVE: the big-endian family reads host order", "NATIVE", true,
       host_rec},
      {"NATIVE: the host-order family too", "native", false, host_rec},
      {"LITTLE_ENDIAN: the big-endian family reads little-endian",
       "little_endian", true, le_rec},
      {"LITTLE_ENDIAN: the host-order family too", "LITTLE_ENDIAN", false,
       le_rec},
      {"BIG_ENDIAN: the host-order family reads big-endian", "BIG_ENDIAN",
       false, be_rec},
      {"BIG_ENDIAN: the big-endian family too", "BIG_ENDIAN", true, be_rec},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(c.file, [&](const std::string& path) {
      std::int32_t r = open_file(kUnit, path);
      r = fio_open_cvt(&r, c.convert,
                       static_cast<std::int32_t>(std::strlen(c.convert)));
      child_notef("cvt %d\n", r);
      read_ints(kUnit, 1, 0, c.big_endian_family);
    });
    EXPECT_EQ(run.child.notes, "cvt 0\n0 0 0 [5]\n")
        << c.what << "\n" << run.child.err;
  }
}

// ---- short records ----

TEST(UnfSequentialRead, ShortRecordReportsAndNextReadStartsAtTheFollowingRecord) {
  const std::string file = be_record(ints_payload(1, 2)) + be_record(be_i32(7));
  const auto run = run_on_file(file, [](const std::string& path) {
    open_file(kUnit, path);
    std::int32_t iostat = -5;
    std::int32_t v[3] = {-1, -1, -1};
    const int r0 = fio_usw_init(1, kUnit, 0, iostat_ref(iostat));
    const int r1 = fio_usw_read(v, TY_INT, 3, 4, 0);
    const int r2 = fio_usw_read(v, TY_INT, 1, 4, 0);  // returns at once
    const int r3 = fio_usw_end();
    child_notef("%d %d %d %d iostat %d %s pos %lld\n", r0, r1, r2, r3, iostat,
                join_ints(v, 3).c_str(), unit_pos(kUnit));
    read_ints(kUnit, 1, iostat_ref(iostat));
    child_notef("iostat %d\n", iostat);
  });
  EXPECT_EQ(run.child.notes,
            "0 1 1 1 iostat 219 [-1 -1 -1] pos 16\n0 0 0 [7]\niostat 0\n")
      << run.child.err;
}

TEST(UnfSequentialRead, ShortRecordWithoutErrorControlEndsTheRun) {
  const auto run = run_on_file(be_record(be_i32(1)), [](const std::string& path) {
    open_file(kUnit, path);
    read_ints(kUnit, 2);
    child_note("not reached\n");
  });
  EXPECT_TRUE(run.child.exited);
  EXPECT_EQ(run.child.exit_code, 1);
  EXPECT_EQ(run.child.notes, "");
  EXPECT_EQ(run.child.err,
            first_line_report(219, "attempt to read/write past end of record") +
                continuation_lines(run.path, 1));
}

// ---- continued records ----

TEST(UnfSequentialRead, ContinuedRecordSkipsItsLaterSegments) {
  // Three segments: lead markers 0x80000008, 0x80000004, 4; trailing
  // markers 8, 0x80000004, 0x80000004.
  const std::string segmented = be32(0x80000008) + ints_payload(1, 2) +
                                be32(8) + be32(0x80000004) + be_i32(3) +
                                be32(0x80000004) + be32(4) + be_i32(4) +
                                be32(0x80000004);
  const std::string file = segmented + be_record(be_i32(42));
  struct Case {
    const char* what;
    int ints;
    std::intptr_t iostat;
    const char* notes;
  };
  const Case cases[] = {
      {"item within the first segment", 2, 0,
       "0 0 0 [1 2]\npos 40 records 1\n0 0 0 [42]\n"},
      {"empty item list", 0, 0, "0 0 0 []\npos 40 records 1\n0 0 0 [42]\n"},
      // Past the first segment: refused, and the unit still moves past the
      // whole record.
      {"item past the first segment", 3, 1,
       "0 1 1 [-1 -1 -1]\npos 40 records 1\n0 0 0 [42]\n"},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(file, [&](const std::string& path) {
      open_file(kUnit, path);
      read_ints(kUnit, c.ints, c.iostat);
      child_notef("pos %lld records %d\n", unit_pos(kUnit),
                  __fio_find_unit(kUnit)->next_rec - 1);
      read_ints(kUnit, 1);
    });
    EXPECT_EQ(run.child.notes, c.notes) << c.what << "\n" << run.child.err;
  }
}

TEST(UnfSequentialRead, MissingContinuationSegmentAtEndOfFileIsEndOfFile) {
  struct Case {
    const char* what;
    std::string tail;  // what follows the first segment
  };
  const Case cases[] = {
      {"no further byte", ""},
      {"half a marker", std::string("\x00\x00", 2)},
  };
  for (const auto& c : cases) {
    const std::string file =
        be32(0x80000008) + ints_payload(1, 2) + be32(8) + c.tail;
    const auto with_iostat = run_on_file(file, [](const std::string& path) {
      open_file(kUnit, path);
      std::int32_t iostat = 0;
      read_ints(kUnit, 2, iostat_ref(iostat));
      child_notef("iostat %d\n", iostat);
    });
    EXPECT_EQ(with_iostat.child.notes, "0 0 2 [1 2]\niostat -1\n")
        << c.what << "\n" << with_iostat.child.err;

    const auto no_control = run_on_file(file, [](const std::string& path) {
      open_file(kUnit, path);
      read_ints(kUnit, 2);
    });
    EXPECT_EQ(no_control.child.exit_code, 1) << c.what;
    EXPECT_EQ(no_control.child.err,
              first_line_report(217, "attempt to read past end of file") +
                  continuation_lines(no_control.path, 1))
        << c.what;
  }
}

// ---- end of file ----

TEST(UnfSequentialRead, EndOfFileAtTheLeadingMarker) {
  const std::string file = be_record(be_i32(1));
  // Without error control: the message and status 1.
  const auto ended = run_on_file(file, [](const std::string& path) {
    open_file(kUnit, path);
    read_ints(kUnit, 1);
    read_ints(kUnit, 1);
    child_note("not reached\n");
  });
  EXPECT_EQ(ended.child.exit_code, 1);
  EXPECT_EQ(ended.child.notes, "0 0 0 [1]\n");
  EXPECT_EQ(ended.child.err,
            first_line_report(217, "attempt to read past end of file") +
                continuation_lines(ended.path, 2));

  // With END=: status 2 from every call, then 252 on the next READ.
  const auto handed = run_on_file(file, [](const std::string& path) {
    open_file(kUnit, path);
    read_ints(kUnit, 1, 2);
    read_ints(kUnit, 1, 2);
    read_ints(kUnit, 1, 2);
  });
  EXPECT_EQ(handed.child.exit_code, 0) << handed.child.err;
  EXPECT_EQ(handed.child.notes, "0 0 0 [1]\n2 2 2 [-1]\n2 2 2 [-1]\n");

  // 252 without END= is reported and ends the run.
  const auto after = run_on_file(file, [](const std::string& path) {
    open_file(kUnit, path);
    read_ints(kUnit, 1, 2);
    read_ints(kUnit, 1, 2);
    read_ints(kUnit, 1);
  });
  EXPECT_EQ(after.child.exit_code, 1);
  EXPECT_EQ(after.child.err,
            first_line_report(252, "operation attempted after end of file") +
                continuation_lines(after.path, 2));
}

TEST(UnfSequentialRead, FileEndingAfterTheDataOfAConsumedRecordIsAccepted) {
  // The trailing marker is missing: the READ that consumed the data still
  // succeeds, and the next READ meets the end of the file.
  const auto run = run_on_file(be32(4) + be_i32(6), [](const std::string& path) {
    open_file(kUnit, path);
    read_ints(kUnit, 1, 2);
    read_ints(kUnit, 1, 2);
  });
  EXPECT_EQ(run.child.notes, "0 0 0 [6]\n2 2 2 [-1]\n") << run.child.err;
}

TEST(UnfSequentialRead, DataEndingInsideAnItemIsEndOfFile) {
  // The record claims 12 bytes but the file holds 6 of them.
  const auto run = run_on_file(be32(12) + be_i32(1) + std::string("\0\0", 2),
                               [](const std::string& path) {
                                 open_file(kUnit, path);
                                 std::int32_t v[3];
                                 const int r0 = fio_usw_init(1, kUnit, 0, 2);
                                 const int r1 = fio_usw_read(v, TY_INT, 3, 4, 0);
                                 const int r2 = fio_usw_end();
                                 child_notef("%d %d %d\n", r0, r1, r2);
                               });
  EXPECT_EQ(run.child.notes, "0 2 2\n") << run.child.err;
}

TEST(UnfSequentialRead, FailingHostReadReportsTheHostNumber) {
  const auto run = run_on_file(be_record(be_i32(1)), [](const std::string& path) {
    open_file(kUnit, path);
    host_calls.fread = [](void*, std::size_t, std::size_t, std::FILE*)
        -> std::size_t {
      errno = EIO;
      return 0;
    };
    std::int32_t iostat = 0;
    read_ints(kUnit, 1, iostat_ref(iostat));
    child_notef("iostat %d\n", iostat);
  });
  EXPECT_EQ(run.child.notes, "1 1 1 [-1]\niostat 5\n") << run.child.err;
}

// ---- crafted lengths ----

TEST(UnfSequentialRead, LargestMarkerEndsInAReportNeverAHang) {
  struct Case {
    const char* what;
    std::uint32_t marker;
    int ints;  // -1: one character item of length 0
    const char* notes;
  };
  const Case cases[] = {
      // The end skips 0x7FFFFFFF - 8 + 4 bytes forward: far past the end of
      // the file, never backwards.
      {"0x7FFFFFFF, partly read", 0x7FFFFFFF, 2,
       "0 0 0 [1 2]\npos 2147483655\n2 2 2 [-1]\n"},
      {"0x7FFFFFFF, empty item list", 0x7FFFFFFF, 0,
       "0 0 0 []\npos 2147483655\n2 2 2 [-1]\n"},
      // A transfer of no bytes: the skip covers the whole data and the
      // trailing marker, one more than 0x7FFFFFFF + 3.
      {"0x7FFFFFFF, zero-length character item", 0x7FFFFFFF, -1,
       "0 0 0 []\npos 2147483655\n2 2 2 [-1]\n"},
      // With the continuation bit the end looks for a next segment there
      // and meets the end of the file.
      {"0xFFFFFFFF, empty item list", 0xFFFFFFFF, 0,
       "0 0 2 []\npos 2147483655\n2 2 2 [-1]\n"},
  };
  for (const auto& c : cases) {
    ChildOptions options;
    options.timeout_seconds = 10;
    const auto run = run_on_file(
        be32(c.marker) + ints_payload(1, 2) + be32(c.marker),
        [&](const std::string& path) {
          open_file(kUnit, path);
          if (c.ints >= 0) {
            read_ints(kUnit, c.ints, 2);
          } else {
            char none[1];
            const int r0 = fio_usw_init(1, kUnit, 0, 2);
            const int r1 = fio_usw_read(none, TY_CHAR, 1, 0, 0);
            const int r2 = fio_usw_end();
            child_notef("%d %d %d []\n", r0, r1, r2);
          }
          child_notef("pos %lld\n", unit_pos(kUnit));
          // A later READ: 217, or 252 after an end of file was handed back.
          read_ints(kUnit, 1, 2);
        },
        true, options);
    EXPECT_EQ(run.child.signal, 0) << c.what;
    EXPECT_EQ(run.child.notes, c.notes) << c.what << "\n" << run.child.err;
  }
}

TEST(UnfSequentialRead, HugeCountIsReportedNeverWraps) {
  // Each count times the element size passes 32 bits; 0x40000001 four-byte
  // elements would wrap to 4 bytes, which the 40-byte record could hold.
  struct Case {
    const char* what;
    std::int32_t type, count, stride, length;
  };
  const Case cases[] = {
      {"0x40000001 integers", TY_INT, 0x40000001, 4, 0},
      {"INT_MAX reals", TY_DBLE, INT_MAX, 8, 0},
      {"INT_MAX integers, element by element", TY_INT, INT_MAX, 0, 0},
      {"4 characters of INT_MAX", TY_CHAR, 4, INT_MAX, INT_MAX},
      {"two-byte characters of 0x40000000", TY_NCHAR, 2, INT_MIN, 0x40000000},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(
        be_record(ints_payload(1, 10)) + be_record(be_i32(8)),
        [&](const std::string& path) {
          open_file(kUnit, path);
          std::int32_t guard[4] = {-1, -1, -1, -1};
          std::int32_t iostat = 0;
          const int r0 = fio_usw_init(1, kUnit, 0, iostat_ref(iostat));
          const int r1 = fio_usw_read(guard, c.type, c.count, c.stride,
                                      c.length);
          const int r2 = fio_usw_end();
          child_notef("%d %d %d iostat %d %s\n", r0, r1, r2, iostat,
                      join_ints(guard, 4).c_str());
          read_ints(kUnit, 1);
        });
    EXPECT_EQ(run.child.notes,
              "0 1 1 iostat 219 [-1 -1 -1 -1]\n0 0 0 [8]\n")
        << c.what << "\n" << run.child.err;
  }
}

TEST(UnfSequentialRead, NegativeCharacterLengthReadsNothing) {
  const auto run = run_on_file(be_record(be_i32(3)), [](const std::string& path) {
    open_file(kUnit, path);
    char text[4] = {'x', 'x', 'x', 'x'};
    std::int32_t v = -1;
    const int r0 = fio_usw_init(1, kUnit, 0, 0);
    const int r1 = fio_usw_read(text, TY_CHAR, 2, 4, -4);
    const int r2 = fio_usw_read(&v, TY_INT, 1, 4, 0);
    const int r3 = fio_usw_end();
    child_notef("%d %d %d %d %.4s %d\n", r0, r1, r2, r3, text, v);
  });
  EXPECT_EQ(run.child.notes, "0 0 0 0 xxxx 3\n") << run.child.err;
}

TEST(UnfSequentialRead, TypeCodeOutsideTheTableIsRefused) {
  const auto run = run_on_file(be_record(be_i32(3)), [](const std::string& path) {
    open_file(kUnit, path);
    std::int32_t v = -1;
    std::int32_t iostat = 0;
    const int r0 = fio_usw_init(1, kUnit, 0, iostat_ref(iostat));
    const int r1 = fio_usw_read(&v, 20, 1, 4, 0);
    child_notef("%d %d iostat %d v %d\n", r0, r1, iostat, v);
  });
  EXPECT_EQ(run.child.notes, "0 1 iostat 201 v -1\n") << run.child.err;
}

// ---- records without markers ----

TEST(UnfSequentialRead, BinaryUnitHasNoMarkers) {
  const auto run = run_on_file(ints_payload(1, 5), [](const std::string& path) {
    open_file(kUnit, path, "binary");
    read_ints(kUnit, 2);
    read_ints(kUnit, 0);  // reads and skips nothing
    read_ints(kUnit, 3);
    read_ints(kUnit, 1, 2);
  });
  EXPECT_EQ(run.child.notes,
            "0 0 0 [1 2]\n0 0 0 []\n0 0 0 [3 4 5]\n0 2 2 [-1]\n")
      << run.child.err;
}

// ---- direct access ----

TEST(UnfDirectRead, EndOfStatementMovesToTheEndOfTheRecord) {
  // Three records of 12 bytes.
  const std::string file = ints_payload(1, 9);
  struct Case {
    const char* what;
    std::int32_t rec;
    int ints;
    const char* notes;
  };
  const Case cases[] = {
      {"one integer of record 2, then the next record", 2, 1,
       "0 0 0 [4]\npos 24\n0 0 0 [7]\n"},
      {"no item of record 1, then the next record", 1, 0,
       "0 0 0 []\npos 12\n0 0 0 [4]\n"},
      {"record 3 read exactly", 3, 3, "0 0 0 [7 8 9]\npos 36\n"},
  };
  for (const auto& c : cases) {
    const auto run = run_on_file(file, [&](const std::string& path) {
      open_file(kUnit, path, "unformatted", "direct", "old", 12);
      std::int32_t v[3] = {-1, -1, -1};
      const int r0 = fio_usw_init(1, kUnit, c.rec, 0);
      const int r1 = fio_usw_read(v, TY_INT, c.ints, 4, 0);
      const int r2 = fio_usw_end();
      child_notef("%d %d %d %s\npos %lld\n", r0, r1, r2,
                  join_ints(v, c.ints).c_str(), unit_pos(kUnit));
      if (c.rec < 3) read_ints(kUnit, 1);
    });
    EXPECT_EQ(run.child.notes, c.notes) << c.what << "\n" << run.child.err;
  }
}

TEST(UnfDirectRead, ItemPastTheRecordLengthIsRefused) {
  const auto run = run_on_file(ints_payload(1, 6), [](const std::string& path) {
    open_file(kUnit, path, "unformatted", "direct", "old", 12);
    std::int32_t v[4] = {-1, -1, -1, -1};
    std::int32_t iostat = 0;
    const int r0 = fio_usw_init(1, kUnit, 1, iostat_ref(iostat));
    const int r1 = fio_usw_read(v, TY_INT, 4, 4, 0);
    const int r2 = fio_usw_end();
    child_notef("%d %d %d iostat %d %s\n", r0, r1, r2, iostat,
                join_ints(v, 4).c_str());
  });
  EXPECT_EQ(run.child.notes, "0 1 1 iostat 219 [-1 -1 -1 -1]\n")
      << run.child.err;
}

}  // namespace
