// Type sizes and byte reversal: each unit of reversal of every type code,
// on any host, and that reversal is its own inverse.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "files.h"
#include "fio.h"

namespace {

// The little-endian image of a value, least significant byte first, built
// from the value so that it is the same on every host. Reversal is a pure
// byte operation: its result is the big-endian image, whatever the host.
template <typename T>
std::string le_bytes(const T& v) {
  using Bits = std::conditional_t<sizeof(T) == 2, std::uint16_t,
               std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
  static_assert(sizeof(Bits) == sizeof(T));
  const auto bits = std::bit_cast<Bits>(v);
  std::string s(sizeof bits, '\0');
  for (std::size_t i = 0; i < sizeof bits; ++i)
    s[i] = static_cast<char>(bits >> (8 * i));
  return s;
}

template <typename T, std::size_t N>
std::string le_bytes(const T (&v)[N]) {
  std::string s;
  for (const T& x : v) s += le_bytes(x);
  return s;
}

std::string swapped(std::string bytes, std::int32_t type, std::int64_t count) {
  __fio_swap_bytes(bytes.data(), type, count);
  return bytes;
}

TEST(UnfTypeSize, TableGivesTheBytesOfOneElementPerCode) {
  constexpr std::int16_t expected[FIO_TYPE_COUNT] = {
      0, 4, 8, 4, 1, 2, 4, 4, 8, 16, 8, 16, 1, 2, 4, 1, 2, 8, 8, 4};
  for (int code = 0; code < FIO_TYPE_COUNT; ++code)
    EXPECT_EQ(__fio_type_size[code], expected[code]) << "type code " << code;
}

struct SwapCase {
  const char* what;
  std::int32_t type;
  std::int64_t count;
  std::string bytes;     // the value's little-endian image
  const char* file_hex;  // the same bytes after reversal
};

TEST(UnfSwapBytes, ReversesEachUnitOfTheTypeCode) {
  const float cplx[2] = {1.0f, 2.0f};
  const double dcplx[2] = {1.0, -2.0};
  const std::int32_t ints[2] = {1, 0x01020304};
  const std::int64_t i8 = 0x0102030405060708;
  const std::int16_t i2 = 0x0102;
  const char16_t nchars[3] = {u'a', u'b', u'\x1234'};
  const SwapCase cases[] = {
      {"integer 1", TY_INT, 1, le_bytes(std::int32_t{1}), "00 00 00 01"},
      {"real 1.0", TY_REAL, 1, le_bytes(1.0f), "3F 80 00 00"},
      {"double 1.0", TY_DBLE, 1, le_bytes(1.0),
       "3F F0 00 00 00 00 00 00"},
      {"complex (1,2): halves keep their order", TY_CMPLX, 1,
       le_bytes(cplx), "3F 80 00 00 40 00 00 00"},
      {"double complex (1,-2)", TY_DCMPLX, 1, le_bytes(dcplx),
       "3F F0 00 00 00 00 00 00 C0 00 00 00 00 00 00 00"},
      {"two integers", TY_INT, 2, le_bytes(ints),
       "00 00 00 01 01 02 03 04"},
      {"2-byte integer", TY_SINT, 1, le_bytes(i2), "01 02"},
      {"2-byte logical", TY_SLOG, 1, le_bytes(i2), "01 02"},
      {"4-byte logical", TY_LOG, 1, le_bytes(ints[1]), "01 02 03 04"},
      {"untyped 4 bytes", TY_WORD, 1, le_bytes(ints[1]), "01 02 03 04"},
      {"4 bytes, no conversion", TY_HOLL, 1, le_bytes(ints[1]),
       "01 02 03 04"},
      {"pointer-sized 4 bytes", TY_PTR, 1, le_bytes(ints[1]),
       "01 02 03 04"},
      {"untyped 8 bytes", TY_DWORD, 1, le_bytes(i8),
       "01 02 03 04 05 06 07 08"},
      {"8-byte integer", TY_INT8, 1, le_bytes(i8),
       "01 02 03 04 05 06 07 08"},
      {"8-byte logical", TY_LOG8, 1, le_bytes(i8),
       "01 02 03 04 05 06 07 08"},
      {"code 16: three characters, each reversed", TY_NCHAR, 3,
       le_bytes(nchars), "00 61 00 62 12 34"},
      {"character left alone", TY_CHAR, 3, "abc", "61 62 63"},
      {"no type left alone", TY_NONE, 4, "\x01\x02\x03\x04", "01 02 03 04"},
      {"1-byte integer left alone", TY_BINT, 4, "\x01\x02\x03\x04",
       "01 02 03 04"},
      {"1-byte logical left alone", TY_BLOG, 4, "\x01\x02\x03\x04",
       "01 02 03 04"},
      {"quad real left alone", TY_QUAD, 1,
       "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10",
       "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10"},
      {"count 0 changes nothing", TY_INT, 0, le_bytes(ints[1]),
       "04 03 02 01"},
      {"negative count changes nothing", TY_INT, -1, le_bytes(ints[1]),
       "04 03 02 01"},
      {"code above the table changes nothing", 20, 1, le_bytes(ints[1]),
       "04 03 02 01"},
      {"negative code changes nothing", -1, 1, le_bytes(ints[1]),
       "04 03 02 01"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hex(swapped(c.bytes, c.type, c.count)), c.file_hex) << c.what;
    // Reversed while copied, as a WRITE stages its items: the same bytes,
    // and the source as it was.
    const std::string source = c.bytes;
    std::string copy(source.size(), '\xEE');
    __fio_copy_swapped(copy.data(), source.data(), copy.size(), c.type, c.count);
    EXPECT_EQ(hex(copy), c.file_hex) << c.what << ", copied";
    EXPECT_EQ(source, c.bytes) << c.what;
  }
}

TEST(UnfSwapBytes, ReversingTwiceRestoresEveryCode) {
  std::string pattern(64, '\0');
  for (std::size_t i = 0; i < pattern.size(); ++i)
    pattern[i] = static_cast<char>(i * 37 + 11);
  for (int code = 0; code < FIO_TYPE_COUNT; ++code) {
    // As many elements as fit the 64 bytes (one character unit for 15, 16).
    const int size = code == TY_CHAR ? 1 : __fio_type_size[code];
    const std::int64_t count = size > 0 ? 64 / size : 3;
    const std::string once = swapped(pattern, code, count);
    EXPECT_EQ(swapped(once, code, count), pattern) << "type code " << code;
  }
}

TEST(UnfSwapBytes, LongRunsAreReversedUnitByUnitCopiedOrInPlace) {
  // Long enough for the vector loops and their tails, one byte off their
  // natural alignment as items inside a record can be.
  for (const std::int32_t type : {TY_SINT, TY_REAL, TY_DBLE}) {
    const int size = __fio_type_size[type];
    for (const std::int64_t count : {1, 3, 4, 15, 16, 17, 33, 1001}) {
      std::string source(1 + size * count, '\0');
      for (std::size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<char>(i * 131 + 7);
      std::string expected = source;
      for (std::int64_t k = 0; k < count; ++k)
        std::reverse(&expected[1 + size * k], &expected[1 + size * (k + 1)]);
      std::string copy(source.size(), source[0]);
      __fio_copy_swapped(&copy[1], &source[1], size * count, type, count);
      std::string in_place = source;
      __fio_swap_bytes(&in_place[1], type, count);
      EXPECT_EQ(copy, expected) << "copied, type " << type << " count " << count;
      EXPECT_EQ(in_place, expected) << "in place, type " << type << " count " << count;
    }
  }
}

TEST(UnfSwapBytes, ReversesOnlyTheCountedElements) {
  // Three integers given, two reversed: the third keeps host order.
  const std::int32_t v[3] = {1, 2, 3};
  EXPECT_EQ(hex(swapped(le_bytes(v), TY_INT, 2)),
            "00 00 00 01 00 00 00 02 03 00 00 00");
  // Complex counts whole values: one complex is two reversed halves, the
  // second complex stays.
  const float c[4] = {1.0f, 2.0f, 1.0f, 2.0f};
  EXPECT_EQ(hex(swapped(le_bytes(c), TY_CMPLX, 1)),
            "3F 80 00 00 40 00 00 00 00 00 80 3F 00 00 00 40");
}

}  // namespace
