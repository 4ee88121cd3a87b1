#include "framing.h"

#include <cstdint>

namespace check {
namespace {

struct Framed {
  int records = 0;   // consistent records from the start
  int nonempty = 0;  // of them, records with a payload
};

// Follows the markers from the start for as long as each record's two
// markers agree on its length, up to a few records.
Framed follow(const unsigned char* bytes, std::size_t size, bool big) {
  constexpr int kEnough = 8;
  Framed f;
  std::size_t at = 0;
  while (f.records < kEnough && at + 4 <= size) {
    const std::uint64_t len = four_bytes(bytes + at, big) & 0x7FFFFFFFu;
    if (at + 8 + len > size) break;
    if ((four_bytes(bytes + at + 4 + len, big) & 0x7FFFFFFFu) != len) break;
    ++f.records;
    f.nonempty += len > 0;
    at += 8 + len;
  }
  return f;
}

}  // namespace

ByteOrder framing_order(const unsigned char* bytes, std::size_t size) {
  const Framed big = follow(bytes, size, true);
  const Framed little = follow(bytes, size, false);
  // Empty records read the same either way; only a payload tells.
  if (big.nonempty > 0 && big.records >= little.records) return ByteOrder::big;
  if (little.nonempty > 0) return ByteOrder::little;
  if (big.records > 0) return ByteOrder::big;
  return ByteOrder::unknown;
}

const char* order_name(ByteOrder order) {
  switch (order) {
    case ByteOrder::big: return "big";
    case ByteOrder::little: return "little";
    default: return "unknown";
  }
}

}  // namespace check
