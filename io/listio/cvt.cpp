// Decimal digit generator: digits are extracted with repeated
// multiplication and division by 10 in 8-byte floating point, splitting
// integer and fraction parts. The digits are those of this
// procedure, not of the exact binary value: printed text must match the
// digits users already have, so every step, constants included, stays as
// it is and must not be "improved".
#include <bit>
#include <cstdint>
#include <cstring>

#include "fpcvt.h"

namespace {

constexpr int NDIG = 512;  // size of buf
char buf[NDIG];

// Infinities and NaNs would never end the integer-digit loop; the generator
// gives their texts instead (on the program's paths __ecvt has already
// turned them into "Inf" and "NaN").
bool isspecial(double x, std::int32_t* decpt, std::int32_t* sign) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  if (((bits >> 52) & 0x7FF) != 0x7FF) return false;
  const bool nan = (bits & 0xFFFFFFFFFFFFFull) != 0;
  std::memcpy(buf, nan ? "NaN" : "Inf", 4);
  *decpt = 0;
  *sign = (!nan && (bits >> 63) != 0) ? 1 : 0;
  return true;
}

// The integer part of a finite, non-negative x in *ip and its fraction
// part as the result, exactly as the C library's modf gives them; done
// here, the program needs no mathematics library. From 2^52 up every
// 8-byte real is an integer; below it the conversion to a 64-bit integer
// truncates, and the difference is exact.
double split_integer(double x, double* ip) {
  constexpr double kAllInteger = 4503599627370496.0;  // 2^52
  if (x >= kAllInteger) {
    *ip = x;
    return 0.0;
  }
  *ip = static_cast<double>(static_cast<std::int64_t>(x));
  return x - *ip;
}

}  // namespace

namespace fio_num {

char* cvt(double arg, int ndigits, std::int32_t* decpt, std::int32_t* sign,
          int eflag) {
  if (isspecial(arg, decpt, sign)) return buf;

  // Sign and count. A negative count asks for no digit.
  if (ndigits < 0) ndigits = 0;
  if (ndigits > NDIG - 2) ndigits = NDIG - 2;
  int r2 = 0;
  *sign = 0;
  char* p = &buf[0];
  if (arg < 0) {  // negative zero is not less than zero
    *sign = 1;
    arg = -arg;
  }

  // Integer part fi and fraction part arg.
  double fi;
  double fj;
  arg = split_integer(arg, &fi);

  if (fi != 0) {
    // Integer digits, from the right end of buf leftwards. The bias keeps a
    // remainder that the rounded division left just below its exact tenths
    // from dropping to the digit below.
    char* p1 = &buf[NDIG];
    while (fi != 0) {
      const double q = fi / 10.0;
      fj = split_integer(q, &fi);
      *--p1 = static_cast<char>(static_cast<int>((fj + 0.03) * 10.0) + '0');
      r2++;
    }
    while (p1 < &buf[NDIG]) *p++ = *p1++;
  } else if (arg > 0) {
    // A pure fraction is scaled up until its first digit is not 0.
    while ((fj = arg * 10.0) < 1) {
      arg = fj;
      r2--;
    }
  }

  // The rounding position: significant digits count from the first digit,
  // fraction digits from the decimal point.
  int pos = ndigits;
  if (eflag == 0) pos += r2;
  *decpt = r2;
  if (pos < 0) {  // mode 0 only
    buf[0] = '\0';
    return buf;
  }

  // Fraction digits, one more than kept (it decides the rounding), while
  // buf has room.
  while (p - buf <= pos && p < &buf[NDIG]) {
    arg *= 10.0;
    arg = split_integer(arg, &fj);
    *p++ = static_cast<char>(static_cast<int>(fj) + '0');
  }
  if (pos >= NDIG) {
    // Mode 0 only (pos = ndigits + r2 with ndigits <= 510): the rounding
    // digit lies past the buffer; the 511 digits stand unrounded.
    buf[NDIG - 1] = '\0';
    return buf;
  }

  // Round half up at position pos, carrying to the left.
  char* end = &buf[pos];
  char* p1 = end;
  *p1 = static_cast<char>(*p1 + 5);
  while (*p1 > '9') {
    *p1 = '0';
    if (p1 > &buf[0]) {
      ++*--p1;
    } else {
      *p1 = '1';
      (*decpt)++;
      if (eflag == 0) {
        // Mode 0: the value gained an integer digit, so one more digit.
        if (end > buf) *end = '0';
        if (end < &buf[NDIG - 1]) end++;
      }
    }
  }
  *end = '\0';
  return buf;
}

char* ecvt(double value, int n, std::int32_t* decpt, std::int32_t* sign) {
  return cvt(value, n, decpt, sign, 1);
}

char* fcvt(double value, int n, std::int32_t* decpt, std::int32_t* sign) {
  return cvt(value, n, decpt, sign, 0);
}

}  // namespace fio_num
