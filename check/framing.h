// Which byte order a file's length markers are written in, judged from its
// first records: a record is framed consistently in an order when its
// trailing marker repeats the length its leading marker gives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace check {

// Four bytes of the file as an unsigned number, most or least significant
// byte first: a length marker, or a header integer.
inline std::uint32_t four_bytes(const unsigned char* p, bool big_endian) {
  if (big_endian)
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
  return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

enum class ByteOrder { big, little, unknown };

ByteOrder framing_order(const unsigned char* bytes, std::size_t size);

const char* order_name(ByteOrder order);

}  // namespace check
