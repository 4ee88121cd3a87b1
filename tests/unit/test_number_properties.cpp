// Properties of the texts of reals and integers, checked
// over more than a million pseudo-random values each for 8-byte and 4-byte
// reals: every exponent range, subnormals, zeros, infinities and NaNs. The
// checks say what the text must be like, not how it is made.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <bit>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "fio.h"
#include "fpcvt.h"

namespace {

constexpr int kCount = 1'000'000;

// ---- value sources ----

double random_double(std::mt19937_64& g) {
  static const double special[] = {
      0.0,
      -0.0,
      std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(),
      std::numeric_limits<double>::quiet_NaN(),
      -std::numeric_limits<double>::quiet_NaN(),
      std::bit_cast<double>(std::uint64_t{0x7FF0000000000001}),
      std::bit_cast<double>(std::uint64_t{0xFFFFFFFFFFFFFFFF}),
      std::numeric_limits<double>::max(),
      -std::numeric_limits<double>::max(),
      std::numeric_limits<double>::min(),
      std::numeric_limits<double>::denorm_min(),
      -std::numeric_limits<double>::denorm_min(),
      1.0,
      0.1,
      1.0e16,
  };
  static const double edges[] = {0.1, 1.0e16, 1.0, 10.0, 1.0e15, 0.5};
  const std::uint64_t r = g();
  switch (r % 10) {
    case 0:
    case 1:
    case 2:
    case 3:  // any bit pattern: all exponents, some NaNs and subnormals
      return std::bit_cast<double>(g());
    case 4:
    case 5:
    case 6: {  // decimal magnitudes around the F-form range
      std::uniform_real_distribution<double> m(1.0, 10.0);
      std::uniform_int_distribution<int> k(-6, 20);
      const double v = m(g) * std::pow(10.0, k(g));
      return (r >> 8) & 1 ? -v : v;
    }
    case 7: {  // subnormals
      const std::uint64_t frac = g() & 0xFFFFFFFFFFFFFull;
      return std::bit_cast<double>(frac | ((r >> 8) & 1 ? 1ull << 63 : 0));
    }
    case 8: {  // a few ulps from a boundary
      double v = edges[(r >> 8) % 6];
      const int steps = static_cast<int>((r >> 16) % 64);
      const double to = (r >> 24) & 1 ? 0.0 : HUGE_VAL;
      for (int i = 0; i < steps; ++i) v = std::nextafter(v, to);
      return (r >> 25) & 1 ? -v : v;
    }
    default: {
      if ((r >> 8) & 1) return special[(r >> 16) % 16];
      // integers of every size up to 2**63
      const int bits = static_cast<int>((r >> 16) % 63) + 1;
      return static_cast<double>(g() >> (64 - bits));
    }
  }
}

float random_float(std::mt19937_64& g) {
  static const float special[] = {
      0.0f,
      -0.0f,
      std::numeric_limits<float>::infinity(),
      -std::numeric_limits<float>::infinity(),
      std::numeric_limits<float>::quiet_NaN(),
      std::bit_cast<float>(std::uint32_t{0xFF800001}),
      std::numeric_limits<float>::max(),
      std::numeric_limits<float>::min(),
      std::numeric_limits<float>::denorm_min(),
      -std::numeric_limits<float>::denorm_min(),
  };
  static const float edges[] = {0.1f, 1.0e7f, 1.0f, 9999999.0f, 0.5f};
  const std::uint64_t r = g();
  switch (r % 10) {
    case 0:
    case 1:
    case 2:
    case 3:
      return std::bit_cast<float>(static_cast<std::uint32_t>(g()));
    case 4:
    case 5:
    case 6: {
      std::uniform_real_distribution<double> m(1.0, 10.0);
      std::uniform_int_distribution<int> k(-6, 10);
      const float v = static_cast<float>(m(g) * std::pow(10.0, k(g)));
      return (r >> 8) & 1 ? -v : v;
    }
    case 7: {
      const std::uint32_t frac = static_cast<std::uint32_t>(g()) & 0x7FFFFFu;
      return std::bit_cast<float>(frac | ((r >> 8) & 1 ? 0x80000000u : 0u));
    }
    case 8: {
      float v = edges[(r >> 8) % 5];
      const int steps = static_cast<int>((r >> 16) % 64);
      const float to = (r >> 24) & 1 ? 0.0f : HUGE_VALF;
      for (int i = 0; i < steps; ++i) v = std::nextafter(v, to);
      return (r >> 25) & 1 ? -v : v;
    }
    default:
      return special[(r >> 16) % 10];
  }
}

std::string text_of(const void* item, std::int32_t type) {
  std::int32_t n = -1;
  const char* p = __fio_default_convert(item, type, 0, &n);
  return std::string(p, static_cast<size_t>(n < 0 ? 0 : n));
}

// ---- independent references ----

// |x| rounded to `digits` significant digits by the C library (exact
// decimal rounding); only consulted near a form boundary.
double rounded_magnitude(double x, int digits) {
  char b[64];
  std::snprintf(b, sizeof b, "%.*e", digits - 1, std::fabs(x));
  return std::strtod(b, nullptr);
}

bool expect_f_form(double x, int digits, double upper) {
  const double a = std::fabs(x);
  if (a == 0.0) return false;
  // Far from 0.1 and from `upper`, rounding to the digits cannot cross them.
  const bool near_low = a > 0.0999 && a < 0.1001;
  const bool near_high = a > upper * 0.999 && a < upper * 1.001;
  const double v = (near_low || near_high) ? rounded_magnitude(a, digits) : a;
  return v >= 0.1 && v < upper;
}

std::string first_visible(const std::string& t) {
  const auto p = t.find_first_not_of(' ');
  return p == std::string::npos ? std::string() : t.substr(p);
}

struct Failures {
  int count = 0;
  std::string first;
  void add(const std::string& what) {
    if (count++ < 10) first += what + "\n";
  }
};

std::string describe(double x, const std::string& text, const char* why) {
  char b[200];
  std::snprintf(b, sizeof b, "%s: x=%.17g (0x%016llx) text=[", why, x,
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(x)));
  return b + text + "]";
}

// Checks one real's text; `width`, `digits`, `upper` and `tolerance` differ
// between 8-byte and 4-byte reals.
void check_real(double x, const std::string& text, std::size_t width,
                int digits, double upper, double tolerance, Failures& f) {
  if (text.size() != width) {
    f.add(describe(x, text, "width"));
    return;
  }
  const std::string vis = first_visible(text);
  const bool is_nan = std::isnan(x);
  const bool negative = !is_nan && x < 0;  // -0.0 is not negative
  if ((vis[0] == '-') != negative) f.add(describe(x, text, "sign"));

  const double back = std::strtod(text.c_str(), nullptr);
  if (is_nan) {
    if (vis != "NaN") f.add(describe(x, text, "NaN text"));
    return;
  }
  if (std::isinf(x)) {
    if (back != x) f.add(describe(x, text, "infinity"));
    return;
  }
  const bool e_form = text.find('E') != std::string::npos;
  if (e_form == expect_f_form(x, digits, upper)) {
    f.add(describe(x, text, e_form ? "E form, expected F" : "F form, expected E"));
  }
  if (!e_form && text.substr(width - (digits == 17 ? 5 : 4)) !=
                     std::string(digits == 17 ? 5 : 4, ' ')) {
    f.add(describe(x, text, "F form without trailing blanks"));
  }
  if (x == 0.0) {
    if (back != 0.0 || vis[0] == '-') f.add(describe(x, text, "zero"));
    return;
  }
  double rel = std::fabs(back - x) / std::fabs(x);
  if (std::isinf(back)) {
    // The digits of the largest doubles may name a value just above the
    // largest double (1.7976931348623167E+308 for 1.7976931348623157E+308),
    // which strtod turns into infinity: read those back in long double.
    const long double wide = std::strtold(text.c_str(), nullptr);
    rel = static_cast<double>(std::fabs(wide - static_cast<long double>(x)) /
                              std::fabs(static_cast<long double>(x)));
  }
  if (!(rel <= tolerance)) f.add(describe(x, text, "value read back"));
}

TEST(NumberProperties, EightByteReals) {
  std::mt19937_64 g(20240611);
  Failures f;
  int seen_subnormal = 0, seen_nan = 0, seen_inf = 0, seen_zero = 0,
      seen_f = 0, seen_e = 0;
  for (int i = 0; i < kCount; ++i) {
    const double x = random_double(g);
    const std::string text = text_of(&x, TY_DBLE);
    check_real(x, text, 25, 17, 1.0e16, 1e-12, f);
    seen_subnormal += std::fpclassify(x) == FP_SUBNORMAL;
    seen_nan += std::isnan(x);
    seen_inf += std::isinf(x);
    seen_zero += x == 0.0;
    (text.find('E') == std::string::npos ? seen_f : seen_e) += 1;
  }
  EXPECT_EQ(f.count, 0) << f.first;
  // The source reached every kind of value.
  EXPECT_GT(seen_subnormal, 10000);
  EXPECT_GT(seen_nan, 100);
  EXPECT_GT(seen_inf, 100);
  EXPECT_GT(seen_zero, 100);
  EXPECT_GT(seen_f, 100000);
  EXPECT_GT(seen_e, 100000);
}

TEST(NumberProperties, FourByteReals) {
  std::mt19937_64 g(19700101);
  Failures f;
  int seen_subnormal = 0, seen_nan = 0, seen_inf = 0, seen_zero = 0,
      seen_f = 0, seen_e = 0;
  for (int i = 0; i < kCount; ++i) {
    const float x = random_float(g);
    const std::string text = text_of(&x, TY_REAL);
    check_real(static_cast<double>(x), text, 15, 8, 1.0e7, 1e-6, f);
    seen_subnormal += std::fpclassify(x) == FP_SUBNORMAL;
    seen_nan += std::isnan(x);
    seen_inf += std::isinf(x);
    seen_zero += x == 0.0f;
    (text.find('E') == std::string::npos ? seen_f : seen_e) += 1;
  }
  EXPECT_EQ(f.count, 0) << f.first;
  EXPECT_GT(seen_subnormal, 10000);
  EXPECT_GT(seen_nan, 100);
  EXPECT_GT(seen_inf, 100);
  EXPECT_GT(seen_zero, 100);
  EXPECT_GT(seen_f, 100000);
  EXPECT_GT(seen_e, 100000);
}

TEST(NumberProperties, ComplexItemsJoinTheirStrippedParts) {
  std::mt19937_64 g(4242);
  Failures f;
  for (int i = 0; i < 50000; ++i) {
    const double z[2] = {random_double(g), random_double(g)};
    const std::string whole = text_of(z, TY_DCMPLX);
    std::string parts = "(";
    for (double part : z) {
      const std::string t = text_of(&part, TY_DBLE);
      parts += first_visible(t).substr(0, first_visible(t).find(' '));
      parts += ',';
    }
    parts.back() = ')';
    if (whole != parts) f.add(describe(z[0], whole, parts.c_str()));
  }
  EXPECT_EQ(f.count, 0) << f.first;
}

TEST(NumberProperties, FourByteIntegers) {
  std::mt19937_64 g(777);
  Failures f;
  for (int i = 0; i < 300000; ++i) {
    const std::uint64_t r = g();
    std::int32_t v = static_cast<std::int32_t>(r);
    if (i % 3 == 1) v >>= (r >> 32) % 32;  // all digit counts
    if (i == 0) v = INT32_MIN;
    if (i == 1) v = INT32_MAX;
    if (i == 2) v = 0;
    const std::string text = text_of(&v, TY_INT);
    char* end = nullptr;
    const long long back = std::strtoll(text.c_str(), &end, 10);
    const bool ok = text.size() == 12 && back == v && *end == '\0' &&
                    text.find_first_not_of(' ') != 0 &&
                    (text[text.find_first_not_of(' ')] == '-') == (v < 0);
    if (!ok) f.add(describe(v, text, "4-byte integer"));
  }
  EXPECT_EQ(f.count, 0) << f.first;
}

}  // namespace
