// Compares an output file with the conversion of the input, record by
// record, as the input's levels are read: the output is read once, front
// to back, and only vv is held, since its records follow all of uu's.
#pragma once

#include <cstdint>

#include "input.h"
#include "walk.h"

namespace check {

struct OutputFacts {
  std::int64_t record_bytes = kRecordBytes;
  std::int64_t size = 0;        // bytes the output holds (as far as read)
  bool size_at_least = false;   // reading stopped at the margin
  int matching = 0;             // records from the first equal to the conversion
  int differs = 0;              // first output record that differs, 0 none
  int differs_value = 0;        // its first differing value, 0 in the padding
  int read_error = 0;
};

// The 4-byte big-endian record kelvoran makes of one level of big-endian
// 8-byte reals: values rounded to nearest, NaNs kept quiet with their sign
// and leading fraction bits. Bytes after the values, up to `record_bytes`,
// are zero.
void convert_level(const unsigned char* values, unsigned char* record,
                   std::int64_t record_bytes);

class Verifier final : public LevelSink {
 public:
  Verifier(Input& output, std::int64_t record_bytes);
  ~Verifier() override;
  Verifier(const Verifier&) = delete;
  Verifier& operator=(const Verifier&) = delete;
  bool allocated() const { return hold_ && expected_ && got_; }

  void level(int record, const unsigned char* values) override;
  // Reads what is left of the output, to learn its size.
  void finish();
  const OutputFacts& facts() const { return facts_; }

 private:
  void compare(int w, const unsigned char* expected);

  Input& output_;
  OutputFacts facts_;
  unsigned char* hold_ = nullptr;      // vv, converted
  unsigned char* expected_ = nullptr;  // one record
  unsigned char* got_ = nullptr;       // one record of the output
  int next_ = 1;                       // next output record to compare
  bool ended_ = false;                 // the output has no record next_
};

}  // namespace check
