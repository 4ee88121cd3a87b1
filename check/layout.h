// The layout kelvoran reads and writes, as seen from outside the program:
// what each input record holds, the statement that reads it, the item lists
// it is read with, and which input level each output record receives.
#pragma once

#include <cstdint>
#include <cstdio>

namespace check {

inline constexpr int kPoints = 11094;
inline constexpr int kLevels = 28;
inline constexpr int kInputRecords = 121;
inline constexpr int kOutputRecords = 114;
inline constexpr std::int64_t kLevelBytes = 8LL * kPoints;
inline constexpr std::int64_t kRecordBytes = 4LL * kPoints;
inline constexpr std::int64_t kCompleteInputBytes = 10566568;
inline constexpr std::int64_t kHeaderTextBytes = 32;
inline constexpr std::int64_t kHeaderValueBytes = 4080;

// The converted fields, in the order of their output records.
enum Field { gz, q, te, uu, vv, rq, kFields };
inline constexpr const char* kFieldNames[kFields] = {"gz", "q", "te", "uu", "vv", "rq"};

// Payload bytes the converter reads from input record r (from 1).
constexpr std::int64_t payload_read(int r) {
  return r == 1 ? kHeaderTextBytes : r == 2 ? kHeaderValueBytes : kLevelBytes;
}

// Ends of the item lists the converter reads record r with, in payload
// bytes from the start of the record: each list is checked against the
// record's length before any of it is read.
struct ItemEnds {
  int count;
  std::int64_t end[6];
};
constexpr ItemEnds item_ends(int r) {
  if (r == 1) return {1, {32}};
  if (r == 2) return {6, {8, 24, 256, 480, 1632, 4080}};
  return {1, {kLevelBytes}};
}

// Line number of the statement that reads input record r.
constexpr int read_statement(int r) {
  if (r == 1) return 73;
  if (r == 2) return 76;
  if (r == 3) return 82;
  if (r == 4) return 89;
  if (r <= 32) return 97;
  if (r <= 88) return r % 2 == 1 ? 106 : 107;
  if (r <= 116) return 123;
  return 131 + (r - 117);
}

// Output records that are whole in the file when the read of input record
// r fails: uu and vv are written only after all their levels are read.
constexpr int outputs_before_read(int r) {
  if (r <= 3) return 0;
  if (r == 4) return 1;
  if (r <= 32) return 2 + (r - 5);
  if (r <= 88) return 30;
  if (r <= 116) return 86 + (r - 89);
  return kOutputRecords;
}

// Field and level held by input record r (from 3), or -1 for the five
// trailing fields, which are read and not converted.
struct Level {
  int field;  // a Field, or -1
  int level;  // from 1; trailing field number for field -1
};
constexpr Level input_level(int r) {
  if (r == 3) return {gz, 1};
  if (r == 4) return {q, 1};
  if (r <= 32) return {te, r - 4};
  if (r <= 88) return r % 2 == 1 ? Level{uu, (r - 31) / 2} : Level{vv, (r - 32) / 2};
  if (r <= 116) return {rq, r - 88};
  return {-1, r - 116};
}

// Field and level written to output record w (from 1).
constexpr Level output_level(int w) {
  if (w == 1) return {gz, 1};
  if (w == 2) return {q, 1};
  if (w <= 30) return {te, w - 2};
  if (w <= 58) return {uu, w - 30};
  if (w <= 86) return {vv, w - 58};
  return {rq, w - 86};
}

// The output record that receives a converted field level.
constexpr int output_record(Level l) {
  switch (l.field) {
    case gz: return 1;
    case q: return 2;
    case te: return 2 + l.level;
    case uu: return 30 + l.level;
    case vv: return 58 + l.level;
    default: return 86 + l.level;
  }
}

// "header text", "uu level 3", "trailing field 2": what input record r holds.
inline void describe_input(int r, char* text, std::size_t size) {
  if (r == 1) {
    std::snprintf(text, size, "header text");
  } else if (r == 2) {
    std::snprintf(text, size, "header values");
  } else if (r > kInputRecords) {
    std::snprintf(text, size, "not read by kelvoran");
  } else {
    const Level l = input_level(r);
    if (l.field < 0)
      std::snprintf(text, size, "trailing field %d", l.level);
    else if (l.field == gz || l.field == q)
      std::snprintf(text, size, "%s", kFieldNames[l.field]);
    else
      std::snprintf(text, size, "%s level %d", kFieldNames[l.field], l.level);
  }
}

}  // namespace check
