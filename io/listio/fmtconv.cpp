// Default conversion of list-directed items to text: fixed-width,
// right-justified fields for numbers and logicals, the characters themselves
// for character items. Reals are edited in a G style whose significant
// digits come from __ecvt and __fcvt.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fio.h"
#include "fpcvt.h"

namespace {

// Storage of the texts: the static buffers are never released.
char conv_buf[96];
char fpbuf[64];
char cmplx_buf[64];  // text of complex items

constexpr char exp_letter = 'E';
constexpr char hextab[] = "0123456789ABCDEF";

// Real-editing state: the digit string being edited and the text built.
struct FpDat {
  std::int32_t decpt;     // the value is 0.d1d2... times 10**decpt
  std::int32_t sign;      // the value is negative
  std::int32_t ndigits;   // characters in the digit string
  std::int32_t all_zero;  // every digit copied so far was 0
  char* digits;           // cursor into the digit string
  char* out_cur;          // next output position
  char* out_buf;          // output buffer: fpbuf or a heap buffer
  std::int32_t out_size;  // size of out_buf
};

// The state of the item conversion in progress; one instance. Integer and
// G editing begin by clearing field_overflow; an editing step sets it when
// the value does not fit its field, and put_buf, which places every number
// text, then fills the field with asterisks and clears it. The buffers
// persist between conversions, and a text stays valid until the next one.
struct Conversion {
  char* conv_bufp;             // buffer of the returned text
  std::int32_t conv_bufsize;   // its size
  std::int32_t field_overflow;
  FpDat fpdat;
};
Conversion cv = {conv_buf, 96, 0, {0, 0, 0, 0, nullptr, fpbuf, fpbuf, 64}};

// Heap exhaustion while growing a buffer ends the run with the numbered
// report of the statement in progress: a text cannot be handed back
// half-made, so even a statement with error control does not go on.
[[noreturn]] void out_of_memory() {
  __fio_error(FIO_ENOMEM);
  ftn_exit(1);
}

char* heap_buffer(std::int64_t size) {
  if (size > INT32_MAX) out_of_memory();
  char* p = static_cast<char*>(std::malloc(static_cast<std::size_t>(size)));
  if (p == nullptr) out_of_memory();
  return p;
}

// Makes the conversion buffer hold a field of w characters and its
// terminator: a field of w characters needs a new buffer of w + 128
// characters when w is not less than the current size.
void grow_conv_buf(std::int32_t w) {
  if (w < cv.conv_bufsize) return;
  const std::int64_t size = static_cast<std::int64_t>(w) + 128;
  char* p = heap_buffer(size);
  if (cv.conv_bufp != conv_buf) std::free(cv.conv_bufp);
  cv.conv_bufp = p;
  cv.conv_bufsize = static_cast<std::int32_t>(size);
}

// Makes the real-editing output buffer hold n characters and resets out_cur.
void alloc_fpbuf(std::int32_t n) {
  FpDat& fp = cv.fpdat;
  if (n > fp.out_size) {
    const std::int64_t size = static_cast<std::int64_t>(n) + 32;
    char* p = heap_buffer(size);
    if (fp.out_buf != fpbuf) std::free(fp.out_buf);
    fp.out_buf = p;
    fp.out_size = static_cast<std::int32_t>(size);
  }
  fp.out_cur = fp.out_buf;
}

// One output character; the callers size out_buf first, the bound only
// guards against a miscount.
inline void out_put(char c) {
  FpDat& fp = cv.fpdat;
  if (fp.out_cur < fp.out_buf + fp.out_size) *fp.out_cur++ = c;
}

inline std::int32_t out_len() {
  const FpDat& fp = cv.fpdat;
  return static_cast<std::int32_t>(fp.out_cur - fp.out_buf);
}

// ---- digit routines ----

// Rounds the digit string at n digits: the digit at position n (from 0)
// decides; a carry out of the first digit makes it "1" and raises decpt.
void cvtp_round(std::int32_t n) {
  FpDat& fp = cv.fpdat;
  if (!(n > 0 && n < fp.ndigits)) return;
  char* d = fp.digits;
  if (d[n] < '5') return;
  std::int32_t i = n - 1;
  while (i >= 0) {
    if (d[i] == '9') {
      d[i] = '0';
      --i;
    } else {
      d[i]++;
      return;
    }
  }
  d[0] = '1';
  fp.decpt++;
}

// Copies up to n digits to the output, writing "0" for each digit missing
// when the string ends early.
void cvtp_cp(std::int32_t n) {
  FpDat& fp = cv.fpdat;
  for (std::int32_t i = 0; i < n; ++i) {
    char c = '0';
    if (*fp.digits != '\0') c = *fp.digits++;
    if (c != '0') fp.all_zero = 0;
    out_put(c);
  }
}

void cvtp_set(std::int32_t n, char c) {
  for (std::int32_t i = 0; i < n; ++i) out_put(c);
}

// Decimal digits of a magnitude, most significant first, into d (at least 20
// characters); none for 0. Returns the count.
int magnitude_digits(std::uint64_t v, char* d) {
  char tmp[24];
  int n = 0;
  while (v != 0) {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  for (int i = 0; i < n; ++i) d[i] = tmp[n - 1 - i];
  return n;
}

// E-form text into out_buf.
void conv_e(std::int32_t d, std::int32_t e, std::int32_t k,
            std::int32_t letter) {
  FpDat& fp = cv.fpdat;
  fp.all_zero = 1;
  // d + e + 5 characters hold every text below; the extra room only covers
  // unusual arguments (negative d or e) of direct callers.
  alloc_fpbuf((d > 0 ? d : 0) + (e > 0 ? e : 0) + 8);

  if (k == 0) {
    cvtp_round(d);
    out_put('0');
    out_put('.');
    cvtp_cp(d);
  } else if (k > 0 && k < d + 2) {
    cvtp_round(d + 1);
    cvtp_cp(k);
    out_put('.');
    cvtp_cp(d - k + 1);
  } else if (k < 0 && k > -d) {
    cvtp_round(d + k);
    out_put('0');
    out_put('.');
    cvtp_set(-k, '0');
    cvtp_cp(d + k);
  } else {
    std::fputs("conv_e: illegal scale factor\n", stdout);
    cv.field_overflow = 1;
    return;
  }

  std::int32_t exponent;
  if (fp.all_zero) {
    fp.sign = 0;
    exponent = 0;
  } else {
    exponent = fp.decpt - k;
  }
  char ed[24];
  const std::uint64_t mag =
      exponent < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(exponent))
                   : static_cast<std::uint64_t>(exponent);
  const int nd = magnitude_digits(mag, ed);

  if (e > 0) {
    if (!letter && nd == e + 1) {
      e = e + 1;
    } else {
      out_put(exp_letter);
    }
  } else if (nd <= 2) {
    out_put(exp_letter);
  }
  out_put(exponent < 0 ? '-' : '+');
  if (nd > e) {
    cv.field_overflow = 1;
    return;
  }
  cvtp_set(e - nd, '0');
  for (int i = 0; i < nd; ++i) out_put(ed[i]);
}

// F-form text of w2 characters at most, with f fraction digits, into out_buf.
void conv_f(std::int32_t w2, std::int32_t f) {
  FpDat& fp = cv.fpdat;
  fp.all_zero = 1;
  alloc_fpbuf(w2 + 1);

  if (fp.decpt > 0) {
    while (*fp.digits == '0') {
      fp.digits++;
      fp.decpt--;
      fp.ndigits--;
    }
    if (*fp.digits == '\0') fp.decpt = 0;
  }

  if (fp.decpt > w2 - f - 1) {
    cv.field_overflow = 1;
  } else if (fp.decpt <= 0) {
    out_put('0');
    out_put('.');
    const std::int32_t z = f < -fp.decpt ? f : -fp.decpt;
    cvtp_set(z, '0');
    cvtp_cp(f - z);
  } else {
    cvtp_cp(fp.decpt);
    out_put('.');
    cvtp_cp(f);
  }
  if (fp.all_zero) fp.sign = 0;
}

inline int sign_char(std::int32_t plus) {
  const FpDat& fp = cv.fpdat;
  return fp.sign ? '-' : (plus ? '+' : 0);
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Integer editing of a magnitude with its sign (both integer widths).
char* fmt_int(bool negative, std::uint64_t magnitude, std::int32_t w,
              std::int32_t m, std::int32_t plus) {
  cv.field_overflow = 0;
  char digits[24];
  const int nd = magnitude_digits(magnitude, digits);
  int sign = negative ? '-' : (plus ? '+' : 0);
  const std::int64_t need =
      static_cast<std::int64_t>(m > nd ? m : nd) + (sign ? 1 : 0);
  if (need > w) {
    cv.field_overflow = 1;
    return fio_num::put_buf(w, digits, nd, sign);
  }
  if (m == 0 && magnitude == 0) sign = 0;
  char* out = fio_num::put_buf(w, digits, nd, sign);
  if (nd < m) {
    // The m - nd positions left of the digits become 0, the sign goes just
    // left of them.
    const std::int32_t start = w - m;
    for (std::int32_t i = start; i < w - nd; ++i) out[i] = '0';
    // (The zeros cover the place where put_buf put the sign.)
    if (sign) out[start - 1] = static_cast<char>(sign);
  }
  return out;
}

// A logical's text.
const char* logical_text(bool value, std::int32_t* out_len) {
  grow_conv_buf(2);
  cv.conv_bufp[0] = ' ';
  cv.conv_bufp[1] = value ? 'T' : 'F';
  cv.conv_bufp[2] = '\0';
  *out_len = 2;
  return cv.conv_bufp;
}

// Hexadecimal digits of a 4- or 8-byte value, most significant digit first:
// taken from the value, not from byte positions, so every host prints the
// same digits for the same value.
const char* hex_text(std::uint64_t value, int size, std::int32_t* out_len) {
  grow_conv_buf(2 * size);
  char* buff_pos = cv.conv_bufp;
  for (int shift = 8 * size - 4; shift >= 0; shift -= 4)
    *buff_pos++ = hextab[(value >> shift) & 0xF];
  *buff_pos = '\0';
  *out_len = 2 * size;
  return cv.conv_bufp;
}

template <typename T>
T load(const void* item) {
  T v;
  std::memcpy(&v, item, sizeof v);
  return v;
}

// Two-byte characters become a multi-byte text: each 2-byte unit (host
// order) becomes its own byte when below 0x100, else its two bytes, high
// byte first.
const char* nchar_text(const void* item, std::int32_t length,
                       std::int32_t* out_len) {
  const std::int32_t n = length > 0 ? length : 0;
  if (n > (INT32_MAX - 128) / 2) out_of_memory();
  grow_conv_buf(2 * n);
  const auto* b = static_cast<const unsigned char*>(item);
  char* p = cv.conv_bufp;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint16_t u = load<std::uint16_t>(b + 2 * i);
    if (u >= 0x100) *p++ = static_cast<char>(u >> 8);
    *p++ = static_cast<char>(u & 0xFF);
  }
  *p = '\0';
  *out_len = static_cast<std::int32_t>(p - cv.conv_bufp);
  return cv.conv_bufp;
}

}  // namespace

namespace fio_num {

char* put_buf(std::int32_t w, const char* text, std::int32_t n,
              int sign_char) {
  grow_conv_buf(w);
  if (w <= 0) {
    cv.conv_bufp[0] = '\0';
    return cv.conv_bufp;
  }
  if (n < 0) n = 0;
  const std::int32_t s = sign_char ? 1 : 0;
  bool stars = false;
  if (cv.field_overflow) {
    stars = true;
    cv.field_overflow = 0;
  } else if (static_cast<std::int64_t>(s) + n > w) {
    if (n >= 2 && text[0] == '0' && text[1] == '.' && s + n - 1 <= w) {
      ++text;
      --n;
    } else {
      stars = true;
    }
  }
  if (stars) {
    std::memset(cv.conv_bufp, '*', static_cast<std::size_t>(w));
    cv.conv_bufp[w] = '\0';
    return cv.conv_bufp;
  }
  char* p = cv.conv_bufp;
  const std::int32_t blanks = w - n - s;
  std::memset(p, ' ', static_cast<std::size_t>(blanks));
  p += blanks;
  if (s) *p++ = static_cast<char>(sign_char);
  std::memcpy(p, text, static_cast<std::size_t>(n));
  p[n] = '\0';
  return cv.conv_bufp;
}

char* strip_blnk(char* dst, const char* src) {
  while (*src == ' ') ++src;
  while (*src != '\0' && *src != ' ') *dst++ = *src++;
  *dst = '\0';
  return dst;
}

const char* conv_buffer() { return cv.conv_bufp; }
std::int32_t conv_buffer_size() { return cv.conv_bufsize; }

}  // namespace fio_num

extern "C" {

double __fio_chk_f(const void* addr) {
  const std::uint32_t bits = load<std::uint32_t>(addr);
  if (((bits >> 23) & 0xFF) != 0xFF) {
    return static_cast<double>(std::bit_cast<float>(bits));
  }
  // Infinity or NaN: same sign, all exponent bits, the 23 fraction bits as
  // the lowest fraction bits. Built from bits, so no arithmetic touches it.
  const std::uint64_t d = (static_cast<std::uint64_t>(bits >> 31) << 63) |
                          (0x7FFull << 52) | (bits & 0x7FFFFFu);
  return std::bit_cast<double>(d);
}

char* __fio_fmt_i(std::int32_t value, std::int32_t w, std::int32_t m,
                  std::int32_t plus) {
  // The magnitude of the most negative value is 2147483648, which the
  // unsigned 64-bit magnitude holds.
  const bool neg = value < 0;
  const std::uint64_t mag =
      neg ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value))
          : static_cast<std::uint64_t>(value);
  return fmt_int(neg, mag, w, m, plus);
}

char* __fio_fmt_i8(std::int64_t value, std::int32_t w, std::int32_t m,
                   std::int32_t plus) {
  const bool neg = value < 0;
  const std::uint64_t mag = neg ? ~static_cast<std::uint64_t>(value) + 1
                                : static_cast<std::uint64_t>(value);
  return fmt_int(neg, mag, w, m, plus);
}

char* __fio_fmt_g(double value, std::int32_t w, std::int32_t d,
                  std::int32_t e, std::int32_t k, std::int32_t single,
                  std::int32_t plus, std::int32_t letter) {
  FpDat& fp = cv.fpdat;
  cv.field_overflow = 0;
  // The significant digits: 8 for a value that came from a 4-byte real,
  // 17 otherwise.
  fp.digits = __ecvt(value, single ? 8 : 17, &fp.decpt, &fp.sign);
  fp.ndigits = static_cast<std::int32_t>(std::strlen(fp.digits));
  fp.out_cur = fp.out_buf;

  // Infinity or NaN.
  if (!is_digit(fp.digits[0])) {
    return fio_num::put_buf(w, fp.digits, fp.ndigits, sign_char(plus));
  }

  // E form: zero, a negative decimal exponent, or more integer digits than d.
  if (fp.digits[0] == '0' || fp.decpt < 0 || fp.decpt > d) {
    conv_e(d, e, k, letter);
    return fio_num::put_buf(w, fp.out_buf, out_len(), sign_char(plus));
  }

  // F form in w - (e + 2) characters, then blanks where the exponent would
  // stand.
  const std::int32_t w2 = w - (e + 2);
  std::int32_t decpt = 0;
  std::int32_t sign = 0;
  char* s = __fcvt(value, d - fp.decpt, &decpt, &sign);
  if (decpt != fp.decpt) {
    fp.decpt = decpt;
    s = __fcvt(value, d - fp.decpt, &decpt, &sign);
    fp.decpt = decpt;
  }
  fp.digits = s;
  fp.ndigits = static_cast<std::int32_t>(std::strlen(s));

  grow_conv_buf(w > w2 ? w : w2);
  char* out;
  if (!is_digit(s[0])) {
    out = fio_num::put_buf(w2, s, fp.ndigits, sign_char(plus));
  } else {
    conv_f(w2, d - fp.decpt);
    out = fio_num::put_buf(w2, fp.out_buf, out_len(), sign_char(plus));
  }
  std::int32_t pos = w2 > 0 ? w2 : 0;
  for (std::int32_t i = 0; i < e + 2 && pos < cv.conv_bufsize - 1; ++i) {
    out[pos++] = ' ';
  }
  out[pos] = '\0';
  return out;
}

const char* __fio_default_convert(const void* item, std::int32_t type,
                                  std::int32_t length, std::int32_t* out_len) {
  switch (type) {
    case TY_WORD:
      return hex_text(load<std::uint32_t>(item), 4, out_len);
    case TY_DWORD:
      return hex_text(load<std::uint64_t>(item), 8, out_len);
    case TY_BINT:
      *out_len = 5;
      return __fio_fmt_i(load<std::int8_t>(item), 5, 1, 0);
    case TY_SINT:
      *out_len = 7;
      return __fio_fmt_i(load<std::int16_t>(item), 7, 1, 0);
    case TY_INT:
      *out_len = 12;
      return __fio_fmt_i(load<std::int32_t>(item), 12, 1, 0);
    case TY_REAL:
      *out_len = 15;
      return __fio_fmt_g(__fio_chk_f(item), 15, 7, 2, 1, 1, 0, 1);
    case TY_DBLE:
      *out_len = 25;
      return __fio_fmt_g(load<double>(item), 25, 16, 3, 1, 0, 0, 1);
    case TY_QUAD:
      grow_conv_buf(0);
      cv.conv_bufp[0] = '\0';
      *out_len = 0;
      return cv.conv_bufp;
    case TY_CMPLX:
    case TY_DCMPLX: {
      const bool dbl = type == TY_DCMPLX;
      const char* part = static_cast<const char*>(item);
      char* p = cmplx_buf;
      *p++ = '(';
      if (dbl) {
        __fio_fmt_g(load<double>(part), 25, 16, 3, 1, 0, 0, 1);
      } else {
        __fio_fmt_g(__fio_chk_f(part), 15, 7, 2, 1, 1, 0, 1);
      }
      p = fio_num::strip_blnk(p, cv.conv_bufp);
      *p++ = ',';
      if (dbl) {
        __fio_fmt_g(load<double>(part + 8), 25, 16, 3, 1, 0, 0, 1);
      } else {
        __fio_fmt_g(__fio_chk_f(part + 4), 15, 7, 2, 1, 1, 0, 1);
      }
      p = fio_num::strip_blnk(p, cv.conv_bufp);
      *p++ = ')';
      *p = '\0';
      *out_len = static_cast<std::int32_t>(p - cmplx_buf);
      return cmplx_buf;
    }
    case TY_BLOG: {
      const std::int8_t v = load<std::int8_t>(item);
      if (__fio_cnfg_.true_mask == 1) {
        *out_len = 5;
        return __fio_fmt_i(v, 5, 1, 0);
      }
      return logical_text((v & __fio_cnfg_.true_mask) != 0, out_len);
    }
    case TY_SLOG:
      return logical_text(
          (load<std::int16_t>(item) & __fio_cnfg_.true_mask) != 0, out_len);
    case TY_LOG:
      return logical_text(
          (load<std::int32_t>(item) & __fio_cnfg_.true_mask) != 0, out_len);
    case TY_LOG8:
      // The low 4 bytes of the value, wherever the host keeps them.
      return logical_text(
          (static_cast<std::uint32_t>(load<std::uint64_t>(item)) &
           static_cast<std::uint32_t>(__fio_cnfg_.true_mask)) != 0,
          out_len);
    case TY_CHAR: {
      const std::int32_t n = length > 0 ? length : 0;
      grow_conv_buf(n);
      if (n > 0) std::memcpy(cv.conv_bufp, item, static_cast<std::size_t>(n));
      cv.conv_bufp[n] = '\0';
      *out_len = n;
      return cv.conv_bufp;
    }
    case TY_NCHAR:
      return nchar_text(item, length, out_len);
    case TY_INT8:
      *out_len = 24;
      return __fio_fmt_i8(load<std::int64_t>(item), 24, 1, 0);
    default:  // 3, and codes outside 1 to 18
      grow_conv_buf(1);
      cv.conv_bufp[0] = ' ';
      cv.conv_bufp[1] = '\0';
      *out_len = 1;
      return cv.conv_bufp;
  }
}

}  // extern "C"
