// Significant-digit and fraction-digit forms of an 8-byte real,
// built on the generator of cvt.cpp. Results live in static buffers that each
// call overwrites.
#include <bit>
#include <cstdint>
#include <cstring>

#include "fpcvt.h"

namespace {

constexpr int ECVT_SIZE = 30;   // 29 digits and the terminator
constexpr int FCVT_SIZE = 512;  // carry position, 510 digits, terminator
char ecvt_buf[ECVT_SIZE];
char fcvt_buf[FCVT_SIZE];

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

extern "C" {

char* __ecvt(double value, std::int32_t n, std::int32_t* decpt,
             std::int32_t* sign) {
  ecvt_buf[0] = '\0';
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if (((bits >> 52) & 0x7FF) == 0x7FF) {
    if ((bits & 0xFFFFFFFFFFFFFull) == 0) {
      std::memcpy(ecvt_buf, "Inf", 4);
      *sign = static_cast<std::int32_t>(bits >> 63);
    } else {
      std::memcpy(ecvt_buf, "NaN", 4);
      *sign = 0;
    }
    *decpt = 0;
    return ecvt_buf;
  }
  // The result buffer holds 29 digits: longer requests are cut to 29.
  if (n > ECVT_SIZE - 1) n = ECVT_SIZE - 1;
  const char* s = fio_num::ecvt(value, n, decpt, sign);
  std::size_t len = std::strlen(s);
  if (len > ECVT_SIZE - 1) len = ECVT_SIZE - 1;
  std::memcpy(ecvt_buf, s, len);
  ecvt_buf[len] = '\0';
  return ecvt_buf;
}

// The G editing of reals calls __fcvt only for a non-zero value with a
// decimal exponent of 0 or more and f of 0 or more. For other arguments the
// result is still the digits of the value rounded at f places after the
// point: decpt + f of them counted from the first significant digit ("0"
// when there are none), padded with 0 digits up to decpt.
char* __fcvt(double value, std::int32_t f, std::int32_t* decpt,
             std::int32_t* sign) {
  // The 16 significant digits that are then rounded again.
  const char* s = __ecvt(value, 16, decpt, sign);
  if (!is_digit(s[0])) return const_cast<char*>(s);
  const int slen = static_cast<int>(std::strlen(s));
  constexpr int kMax = FCVT_SIZE - 2;  // digits after the carry position

  // The digits kept: decpt integer digits (only the 16 that exist when decpt
  // is larger), then f fraction digits, 0 digits once the 16 run out.
  long t;
  if (*decpt > slen && f > 0) {
    t = slen + static_cast<long>(f);
  } else {
    t = static_cast<long>(*decpt) + f;
  }
  if (t > kMax) t = kMax;
  char* const first = &fcvt_buf[1];
  int written = 0;
  for (; written < t; ++written) {
    first[written] = written < slen ? s[written] : '0';
  }
  first[written] = '\0';

  // Round on the first of the 16 digits not copied.
  char* result = first;
  if (t >= 0 && t < slen && s[t] >= '5') {
    int i = written - 1;
    while (i >= 0 && first[i] == '9') first[i--] = '0';
    if (i >= 0) {
      first[i]++;
    } else {
      fcvt_buf[0] = '1';
      result = fcvt_buf;
      (*decpt)++;
    }
  }

  // A value with more integer digits than the 16 gets 0 digits up
  // to decpt.
  int len = static_cast<int>(std::strlen(result));
  const int room = FCVT_SIZE - 1 - static_cast<int>(result - fcvt_buf);
  while (len < *decpt && len < room) result[len++] = '0';
  result[len] = '\0';

  // No digit at all reads as 0.
  if (len == 0) {
    result[0] = '0';
    result[1] = '\0';
  }
  return result;
}

}  // extern "C"
