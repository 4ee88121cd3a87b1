// One pass over a sequential unformatted file along its length markers, as
// kelvoran's reader moves through it: every record found, where the file
// ends, what kelvoran's read of each record does, and from that what the
// whole run does (status, error, line, whole output records left).
#pragma once

#include <cstdint>

#include "input.h"
#include "layout.h"

namespace check {

enum class Order { big, little };

// Where an input ends early, relative to the record it cuts.
enum class EndPlace {
  none,               // the file holds all it should
  before_record,      // where a record should begin
  leading_marker,     // inside a leading length marker
  payload,            // inside the bytes kelvoran reads
  rest,               // inside the bytes after them, which kelvoran skips
  trailing_marker,    // inside a trailing length marker
  continuation,       // inside a segment that continues a record
};

struct RecordFacts {
  std::int64_t offset = 0;   // of the leading marker
  std::uint32_t lead = 0;    // the leading marker, decoded
  std::uint32_t trailing = 0;
  bool trailing_read = false;  // the trailing marker was in the file
  std::int64_t length = 0;   // payload of the first segment
  int segments = 1;          // with the segments that continue it
};

struct FieldCounts {
  std::int64_t nan = 0;
  std::int64_t infinite = 0;
  std::int64_t beyond = 0;  // finite, but too large for a 4-byte real
};

struct Prediction {
  bool known = true;    // false when the check stopped before the outcome
  int status = 0;       // kelvoran's exit status
  int error = 0;        // the error number it reports, 0 for none
  int line = 0;         // the line number of that report
  int record = 0;       // the input record the report names
  int output_records = kOutputRecords;
};

struct WalkResult {
  int records = 0;  // records whose leading marker is in the file (up to 121)
  RecordFacts facts[kInputRecords];
  EndPlace end_place = EndPlace::none;
  int end_record = 0;            // the record the end falls in or before
  std::int64_t end_offset = -1;  // bytes the input held, when it ended
  std::int64_t after_last = 0;   // bytes after record 121
  bool after_last_at_least = false;  // the count stopped at the margin
  bool stopped = false;   // the read budget was spent
  int read_error = 0;     // host error number of a failed read
  FieldCounts fields[kFields];
  std::int64_t values_per_level = -1;  // -1 when the records do not agree
  Prediction kelvoran;
};

// Receives each field level that kelvoran converts, as the 8-byte values
// the file holds (big-endian), in the order kelvoran reads them.
struct LevelSink {
  virtual void level(int record, const unsigned char* values) = 0;
  virtual ~LevelSink() = default;
};

// Bytes counted after record 121 on an input that cannot be positioned.
inline constexpr std::int64_t kAfterLastMargin = std::int64_t{1} << 20;

// Walks `in` once from its start. With Order::big the prediction is
// kelvoran's; with Order::little only the framing is of interest.
// `scratch` holds one level (kLevelBytes).
void walk(Input& in, Order order, unsigned char* scratch, LevelSink* sink,
          WalkResult& result);

// Counts of NaN, infinite and out-of-range values in one level of
// big-endian 8-byte reals.
void count_values(const unsigned char* level, FieldCounts& counts);

}  // namespace check
