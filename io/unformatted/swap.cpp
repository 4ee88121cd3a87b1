// Item type sizes and in-place byte reversal. Big-endian files hold every
// multi-byte value most significant byte first; reversal is its own inverse,
// so the same routine turns file order into host order after a read and host
// order into file order in the copy made for a write.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fio.h"
#include "qbc.h"

extern "C" {

// Bytes per element, indexed by type code; for the two character codes the
// bytes per character.
const std::int16_t __fio_type_size[FIO_TYPE_COUNT] = {
    0,   // TY_NONE
    4,   // TY_WORD
    8,   // TY_DWORD
    4,   // TY_HOLL
    1,   // TY_BINT
    2,   // TY_SINT
    4,   // TY_INT
    4,   // TY_REAL
    8,   // TY_DBLE
    16,  // TY_QUAD
    8,   // TY_CMPLX
    16,  // TY_DCMPLX
    1,   // TY_BLOG
    2,   // TY_SLOG
    4,   // TY_LOG
    1,   // TY_CHAR
    2,   // TY_NCHAR
    8,   // TY_INT8
    8,   // TY_LOG8
    4,   // TY_PTR
};

}  // extern "C"

namespace {

// Each unit is loaded, byte-swapped as an integer and stored back. Written
// as an indexed loop the compiler turns it into vector byte shuffles; on
// x86-64 a copy is also built for processors with SSSE3 and with AVX2 and
// the best one is chosen when the program starts, which matters for whole
// levels of data. memcpy keeps unaligned units well defined.
#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones) && !defined(__SANITIZE_ADDRESS__)
#define KELVORAN_VECTOR_CLONES __attribute__((target_clones("avx2", "ssse3", "default")))
#endif
#endif
#ifndef KELVORAN_VECTOR_CLONES
#define KELVORAN_VECTOR_CLONES
#endif

// Each routine reads its units from src and stores them reversed at dst,
// which is either src itself or a separate buffer: reversing in place and
// reversing while copying are then one pass each.
KELVORAN_VECTOR_CLONES
void reverse_units_2(unsigned char* dst, const unsigned char* src,
                     std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint16_t w;
    std::memcpy(&w, src + 2 * i, 2);
    w = __builtin_bswap16(w);
    std::memcpy(dst + 2 * i, &w, 2);
  }
}

KELVORAN_VECTOR_CLONES
void reverse_units_4(unsigned char* dst, const unsigned char* src,
                     std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint32_t w;
    std::memcpy(&w, src + 4 * i, 4);
    w = __builtin_bswap32(w);
    std::memcpy(dst + 4 * i, &w, 4);
  }
}

KELVORAN_VECTOR_CLONES
void reverse_units_8(unsigned char* dst, const unsigned char* src,
                     std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint64_t w;
    std::memcpy(&w, src + 8 * i, 8);
    w = __builtin_bswap64(w);
    std::memcpy(dst + 8 * i, &w, 8);
  }
}

// The bytes of one unit of reversal of `type`, and how many units `count`
// elements hold; a unit of 0 means the bytes keep their order.
struct Units {
  std::int32_t size;
  std::int64_t count;
};

Units reversal_units(std::int32_t type, std::int64_t count) {
  if (type < 0 || type >= FIO_TYPE_COUNT || count <= 0) return {0, 0};
  // A complex value is two reals: each part keeps its place and is reversed
  // by itself.
  if (type == TY_CMPLX) return {__fio_type_size[TY_REAL], __mth_i_klshift(count, 1)};
  if (type == TY_DCMPLX) return {__fio_type_size[TY_DBLE], __mth_i_klshift(count, 1)};
  if (type == TY_CHAR) return {0, 0};
  const std::int32_t size = __fio_type_size[type];
  // Single bytes have no order; 16-byte reals are kept as they are.
  if (size != 2 && size != 4 && size != 8) return {0, 0};
  return {size, count};
}

// Reverses the units from src into dst; false when the type has none.
bool reverse_units(unsigned char* dst, const unsigned char* src, Units u) {
  switch (u.size) {
    case 2:
      reverse_units_2(dst, src, u.count);
      return true;
    case 4:
      reverse_units_4(dst, src, u.count);
      return true;
    case 8:
      reverse_units_8(dst, src, u.count);
      return true;
    default:
      return false;
  }
}

}  // namespace

extern "C" void __fio_swap_bytes(void* p, std::int32_t type,
                                 std::int64_t count) {
  auto* bytes = static_cast<unsigned char*>(p);
  reverse_units(bytes, bytes, reversal_units(type, count));
}

extern "C" void __fio_copy_swapped(void* dst, const void* src, std::int64_t n,
                                   std::int32_t type, std::int64_t count) {
  if (n <= 0) return;
  auto* to = static_cast<unsigned char*>(dst);
  const auto* from = static_cast<const unsigned char*>(src);
  if (!reverse_units(to, from, reversal_units(type, count)))
    std::memcpy(to, from, static_cast<std::size_t>(n));
}
