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

KELVORAN_VECTOR_CLONES
void reverse_units_2(unsigned char* p, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint16_t w;
    std::memcpy(&w, p + 2 * i, 2);
    w = __builtin_bswap16(w);
    std::memcpy(p + 2 * i, &w, 2);
  }
}

KELVORAN_VECTOR_CLONES
void reverse_units_4(unsigned char* p, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint32_t w;
    std::memcpy(&w, p + 4 * i, 4);
    w = __builtin_bswap32(w);
    std::memcpy(p + 4 * i, &w, 4);
  }
}

KELVORAN_VECTOR_CLONES
void reverse_units_8(unsigned char* p, std::int64_t count) {
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint64_t w;
    std::memcpy(&w, p + 8 * i, 8);
    w = __builtin_bswap64(w);
    std::memcpy(p + 8 * i, &w, 8);
  }
}

}  // namespace

extern "C" void __fio_swap_bytes(void* p, std::int32_t type,
                                 std::int64_t count) {
  if (type < 0 || type >= FIO_TYPE_COUNT || count <= 0) return;
  std::int32_t unit = __fio_type_size[type];
  // A complex value is two reals: each part keeps its place and is reversed
  // by itself.
  if (type == TY_CMPLX) {
    unit = __fio_type_size[TY_REAL];
    count = __mth_i_klshift(count, 1);
  } else if (type == TY_DCMPLX) {
    unit = __fio_type_size[TY_DBLE];
    count = __mth_i_klshift(count, 1);
  } else if (type == TY_CHAR) {
    return;
  }
  auto* bytes = static_cast<unsigned char*>(p);
  switch (unit) {
    case 2:
      reverse_units_2(bytes, count);
      break;
    case 4:
      reverse_units_4(bytes, count);
      break;
    case 8:
      reverse_units_8(bytes, count);
      break;
    default:
      // Single bytes have no order; 16-byte reals are kept as they are.
      break;
  }
}
