#include "verify.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace check {

void convert_level(const unsigned char* values, unsigned char* record,
                   std::int64_t record_bytes) {
  for (int i = 0; i < kPoints; ++i) {
    std::uint64_t b = 0;
    for (int k = 0; k < 8; ++k) b = b << 8 | values[8 * i + k];
    std::uint32_t f;
    if ((b & 0x7FFFFFFFFFFFFFFFu) > 0x7FF0000000000000u)
      f = static_cast<std::uint32_t>(b >> 32 & 0x80000000u) | 0x7FC00000u |
          static_cast<std::uint32_t>(b >> 29 & 0x7FFFFFu);
    else
      f = std::bit_cast<std::uint32_t>(static_cast<float>(std::bit_cast<double>(b)));
    unsigned char* p = record + 4 * i;
    p[0] = static_cast<unsigned char>(f >> 24);
    p[1] = static_cast<unsigned char>(f >> 16);
    p[2] = static_cast<unsigned char>(f >> 8);
    p[3] = static_cast<unsigned char>(f);
  }
  std::memset(record + kRecordBytes, 0, static_cast<std::size_t>(record_bytes - kRecordBytes));
}

Verifier::Verifier(Input& output, std::int64_t record_bytes) : output_(output) {
  facts_.record_bytes = record_bytes;
  const auto n = static_cast<std::size_t>(record_bytes);
  hold_ = static_cast<unsigned char*>(std::malloc(kLevels * n));
  expected_ = static_cast<unsigned char*>(std::malloc(n));
  got_ = static_cast<unsigned char*>(std::malloc(n));
}

Verifier::~Verifier() {
  std::free(hold_);
  std::free(expected_);
  std::free(got_);
}

void Verifier::level(int record, const unsigned char* values) {
  const Level l = input_level(record);
  const std::int64_t n = facts_.record_bytes;
  if (l.field == vv) {
    convert_level(values, hold_ + (l.level - 1) * n, n);
    if (l.level == kLevels)
      for (int k = 1; k <= kLevels; ++k) compare(output_record({vv, k}), hold_ + (k - 1) * n);
    return;
  }
  if (l.field < 0) return;
  convert_level(values, expected_, n);
  compare(output_record(l), expected_);
}

// Output records arrive here in increasing order, so the output is read
// straight through.
void Verifier::compare(int w, const unsigned char* expected) {
  if (ended_ || w != next_) return;
  const std::int64_t n = facts_.record_bytes;
  const std::int64_t got = output_.read(got_, n);
  facts_.size += got;
  if (got < n) {
    facts_.read_error = output_.error();
    ended_ = true;
    return;
  }
  ++next_;
  if (facts_.differs != 0) return;
  if (std::memcmp(got_, expected, static_cast<std::size_t>(n)) == 0) {
    facts_.matching = w;
    return;
  }
  facts_.differs = w;
  for (std::int64_t i = 0; i < n; ++i) {
    if (got_[i] != expected[i]) {
      facts_.differs_value = i < kRecordBytes ? static_cast<int>(i / 4 + 1) : 0;
      break;
    }
  }
}

void Verifier::finish() {
  if (output_.regular()) {
    facts_.size = output_.size();
    return;
  }
  if (ended_) return;
  // Enough to tell whether the output is longer than kelvoran's.
  const std::int64_t margin = kOutputRecords * facts_.record_bytes + 1;
  while (facts_.size < margin) {
    const std::int64_t want = std::min<std::int64_t>(facts_.record_bytes, margin - facts_.size);
    const std::int64_t got = output_.read(got_, want);
    facts_.size += got;
    if (got < want) {
      facts_.read_error = output_.error();
      return;
    }
  }
  facts_.size_at_least = true;
}

}  // namespace check
