// Which byte order a file's length markers are written in, judged from its
// first records: a record is framed consistently in an order when its
// trailing marker repeats the length its leading marker gives.
#pragma once

#include <cstddef>

namespace check {

enum class ByteOrder { big, little, unknown };

ByteOrder framing_order(const unsigned char* bytes, std::size_t size);

const char* order_name(ByteOrder order);

}  // namespace check
