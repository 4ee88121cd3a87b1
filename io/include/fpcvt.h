// Text of numbers: decimal digit generation and the
// editing routines behind __fio_default_convert. The shared entry points keep
// C linkage; the helpers private to the number-text module keep their names
// in the namespace fio_num (so that `ecvt`/`fcvt` do not collide with the
// host library's routines of the same names) and are declared here only so
// that tests can reach them.
#pragma once

#include <cstdint>

extern "C" {

// ---- listio/fpcvt ----
// The first n significant digits of value (n is capped at 29, the size of the
// result buffer less its terminator), or "Inf" / "NaN". The result lives in a
// static buffer valid until the next call.
char* __ecvt(double value, std::int32_t n, std::int32_t* decpt,
             std::int32_t* sign);
// The digits of value rounded to f digits after the decimal point, or
// "Inf" / "NaN". Static result, valid until the next call of __fcvt.
char* __fcvt(double value, std::int32_t f, std::int32_t* decpt,
             std::int32_t* sign);

// ---- listio/fmtconv ----
// Integer editing into a field of w characters with at least m digits.
char* __fio_fmt_i(std::int32_t value, std::int32_t w, std::int32_t m,
                  std::int32_t plus);
// The same for 8-byte integers (type code 17).
char* __fio_fmt_i8(std::int64_t value, std::int32_t w, std::int32_t m,
                   std::int32_t plus);
// G editing of an 8-byte real into a field of exactly w characters.
char* __fio_fmt_g(double value, std::int32_t w, std::int32_t d,
                  std::int32_t e, std::int32_t k, std::int32_t single,
                  std::int32_t plus, std::int32_t letter);
// The 4-byte real at the address, widened to an 8-byte real (infinities and
// NaNs keep their sign and fraction bits).
double __fio_chk_f(const void* addr);

}  // extern "C"

namespace fio_num {

// ---- listio/cvt ----
// The generator: mode 1 counts n as significant digits, mode 0 as digits after
// the decimal point. Result in a static 512-character buffer.
char* cvt(double value, int n, std::int32_t* decpt, std::int32_t* sign,
          int mode);
char* ecvt(double value, int n, std::int32_t* decpt, std::int32_t* sign);
char* fcvt(double value, int n, std::int32_t* decpt, std::int32_t* sign);

// ---- listio/fmtconv helpers ----
// Places an optional sign character (0 for none) and n characters
// right-justified into a field of w characters at the start of the
// conversion buffer; returns that buffer.
char* put_buf(std::int32_t w, const char* text, std::int32_t n, int sign_char);
// Copies src without its leading blanks up to its first blank or its end,
// terminates the copy and returns the position of the terminator.
char* strip_blnk(char* dst, const char* src);
// The conversion buffer in use and its size (for tests of its growth).
const char* conv_buffer();
std::int32_t conv_buffer_size();

}  // namespace fio_num
