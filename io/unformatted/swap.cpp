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

template <typename Word>
Word byte_reversed(Word w) {
  if constexpr (sizeof(Word) == 2) return __builtin_bswap16(w);
  if constexpr (sizeof(Word) == 4) return __builtin_bswap32(w);
  if constexpr (sizeof(Word) == 8) return __builtin_bswap64(w);
}

// Reads each unit from src and stores it reversed at dst. Inlined into the
// routines below, each of which tells the compiler whether dst is src or a
// separate buffer: either way it needs no overlap check before the vector
// loop, which some compilers answer for dst == src by falling back to
// one unit at a time.
template <typename Word>
[[gnu::always_inline]] inline void reverse_loop(unsigned char* dst,
                                                const unsigned char* src,
                                                std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    Word w;
    std::memcpy(&w, src + sizeof w * i, sizeof w);
    w = byte_reversed(w);
    std::memcpy(dst + sizeof w * i, &w, sizeof w);
  }
}

using Bytes = unsigned char*;
using ConstBytes = const unsigned char*;

KELVORAN_VECTOR_CLONES
void reverse_in_place_2(Bytes p, std::int64_t n) { reverse_loop<std::uint16_t>(p, p, n); }
KELVORAN_VECTOR_CLONES
void reverse_in_place_4(Bytes p, std::int64_t n) { reverse_loop<std::uint32_t>(p, p, n); }
KELVORAN_VECTOR_CLONES
void reverse_in_place_8(Bytes p, std::int64_t n) { reverse_loop<std::uint64_t>(p, p, n); }

KELVORAN_VECTOR_CLONES
void reverse_copy_2(Bytes __restrict dst, ConstBytes __restrict src, std::int64_t n) {
  reverse_loop<std::uint16_t>(dst, src, n);
}
KELVORAN_VECTOR_CLONES
void reverse_copy_4(Bytes __restrict dst, ConstBytes __restrict src, std::int64_t n) {
  reverse_loop<std::uint32_t>(dst, src, n);
}
KELVORAN_VECTOR_CLONES
void reverse_copy_8(Bytes __restrict dst, ConstBytes __restrict src, std::int64_t n) {
  reverse_loop<std::uint64_t>(dst, src, n);
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

// Reverses the units in place, or from src into dst, which must not overlap
// it; false when the type has none.
bool reverse_units(Bytes dst, ConstBytes src, Units u) {
  const bool in_place = dst == src;
  switch (u.size) {
    case 2:
      in_place ? reverse_in_place_2(dst, u.count) : reverse_copy_2(dst, src, u.count);
      return true;
    case 4:
      in_place ? reverse_in_place_4(dst, u.count) : reverse_copy_4(dst, src, u.count);
      return true;
    case 8:
      in_place ? reverse_in_place_8(dst, u.count) : reverse_copy_8(dst, src, u.count);
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
