// The default conversion of every list-directed item kind to text,
// and the editing routines behind it.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "child.h"
#include "fio.h"
#include "fpcvt.h"

namespace {

std::string rep(char c, int n) { return std::string(static_cast<size_t>(n), c); }

std::string convert(const void* item, std::int32_t type,
                    std::int32_t length = 0) {
  std::int32_t n = -1;
  const char* p = __fio_default_convert(item, type, length, &n);
  EXPECT_GE(n, 0);
  return std::string(p, static_cast<size_t>(n < 0 ? 0 : n));
}

std::string text_of_int(std::int32_t v) { return convert(&v, TY_INT); }
std::string text_of_double(double v) { return convert(&v, TY_DBLE); }
std::string text_of_float(float v) { return convert(&v, TY_REAL); }

float float_from_bits(std::uint32_t b) { return std::bit_cast<float>(b); }
std::uint64_t bits_of(double v) { return std::bit_cast<std::uint64_t>(v); }

// ---- item texts ----

struct TextRow {
  const char* name;
  std::int32_t type;  // 6, 7, 8 or 15
  double value;       // numbers
  const char* chars;  // character items
  int before;
  const char* visible;
  int after;
};

void PrintTo(const TextRow& r, std::ostream* os) { *os << r.name; }

class ItemTextTable : public ::testing::TestWithParam<TextRow> {};

TEST_P(ItemTextTable, BlanksVisibleCharactersBlanks) {
  const TextRow& r = GetParam();
  std::string text;
  switch (r.type) {
    case TY_INT:
      text = text_of_int(static_cast<std::int32_t>(r.value));
      break;
    case TY_REAL:
      text = text_of_float(static_cast<float>(r.value));
      break;
    case TY_DBLE:
      text = text_of_double(r.value);
      break;
    case TY_CHAR:
      text = convert(r.chars, TY_CHAR,
                     static_cast<std::int32_t>(std::strlen(r.chars)));
      break;
  }
  EXPECT_EQ(text, rep(' ', r.before) + r.visible + rep(' ', r.after));
}

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ItemTextTable,
    ::testing::Values(
        TextRow{"int_zero", TY_INT, 0, nullptr, 11, "0", 0},
        TextRow{"int_minus_5", TY_INT, -5, nullptr, 10, "-5", 0},
        TextRow{"int_most_negative", TY_INT, -2147483648.0, nullptr, 1,
                "-2147483648", 0},
        TextRow{"int_most_positive", TY_INT, 2147483647.0, nullptr, 2,
                "2147483647", 0},
        TextRow{"dble_one", TY_DBLE, 1.0, nullptr, 3, "1.000000000000000", 5},
        TextRow{"dble_minus_2_25", TY_DBLE, -2.25, nullptr, 2,
                "-2.250000000000000", 5},
        TextRow{"dble_half", TY_DBLE, 0.5, nullptr, 2, "0.5000000000000000",
                5},
        TextRow{"dble_tenth", TY_DBLE, 0.1, nullptr, 2, "0.1000000000000000",
                5},
        TextRow{"dble_123456_789", TY_DBLE, 123456.789, nullptr, 3,
                "123456.7890000000", 5},
        TextRow{"dble_1e15", TY_DBLE, 1.0e15, nullptr, 3,
                "1000000000000000.", 5},
        TextRow{"dble_zero", TY_DBLE, 0.0, nullptr, 2,
                "0.0000000000000000E+000", 0},
        TextRow{"dble_negative_zero", TY_DBLE, -0.0, nullptr, 2,
                "0.0000000000000000E+000", 0},
        TextRow{"dble_0_05", TY_DBLE, 0.05, nullptr, 2,
                "5.0000000000000000E-002", 0},
        TextRow{"dble_1e20", TY_DBLE, 1.0e20, nullptr, 2,
                "1.0000000000000000E+020", 0},
        TextRow{"dble_1e16_is_E_form", TY_DBLE, 1.0e16, nullptr, 2,
                "1.0000000000000000E+016", 0},
        TextRow{"dble_plus_infinity", TY_DBLE, kInf, nullptr, 22, "Inf", 0},
        TextRow{"dble_minus_infinity", TY_DBLE, -kInf, nullptr, 21, "-Inf",
                0},
        TextRow{"dble_nan", TY_DBLE, kNaN, nullptr, 22, "NaN", 0},
        TextRow{"dble_negative_nan", TY_DBLE, -kNaN, nullptr, 22, "NaN", 0},
        TextRow{"real_one", TY_REAL, 1.0, nullptr, 3, "1.000000", 4},
        TextRow{"real_tenth", TY_REAL, 0.1, nullptr, 2, "0.1000000", 4},
        TextRow{"real_minus_12_5", TY_REAL, -12.5, nullptr, 2, "-12.50000",
                4},
        TextRow{"real_9999999", TY_REAL, 9999999.0, nullptr, 3, "9999999.",
                4},
        TextRow{"real_1e7_is_E_form", TY_REAL, 1.0e7, nullptr, 2,
                "1.0000000E+07", 0},
        TextRow{"real_1e10", TY_REAL, 1.0e10, nullptr, 2, "1.0000000E+10", 0},
        TextRow{"real_zero", TY_REAL, 0.0, nullptr, 2, "0.0000000E+00", 0},
        TextRow{"real_negative_zero", TY_REAL, -0.0, nullptr, 2,
                "0.0000000E+00", 0},
        TextRow{"real_minus_1_5e_7", TY_REAL, -1.5e-7, nullptr, 1,
                "-1.5000001E-07", 0},
        TextRow{"real_plus_infinity", TY_REAL, kInf, nullptr, 12, "Inf", 0},
        TextRow{"real_minus_infinity", TY_REAL, -kInf, nullptr, 11, "-Inf",
                0},
        TextRow{"real_nan", TY_REAL, kNaN, nullptr, 12, "NaN", 0},
        TextRow{"char_gz", TY_CHAR, 0, "gz", 0, "gz", 0},
        TextRow{"char_with_blanks", TY_CHAR, 0, " a b ", 0, " a b ", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the F/E boundaries ----

TEST(RealText, EightByteBoundaries) {
  // Largest double below 1.0E16 (9999999999999998) prints in F form with
  // 16 digits. Its last integer digit comes from 999999999999999.75, the
  // quotient by 10 rounded to a double, so the procedure gives 7.
  const double below = std::nextafter(1.0e16, 0.0);
  EXPECT_EQ(text_of_double(below), "   9999999999999997.     ");
  EXPECT_EQ(text_of_double(1.0e16), "  1.0000000000000000E+016");
  EXPECT_EQ(text_of_double(-1.0e16), " -1.0000000000000000E+016");
  // Below a tenth: E form.
  const std::string t = text_of_double(std::nextafter(0.1, 0.0));
  EXPECT_EQ(t.size(), 25u);
  EXPECT_EQ(t.substr(t.size() - 5), "E-002");
  EXPECT_EQ(text_of_double(-0.1), " -0.1000000000000000     ");
  // Values just under 1 keep 16 digits in F form.
  EXPECT_EQ(text_of_double(0.99999), "  0.9999900000000000     ");
}

TEST(RealText, FourByteBoundaries) {
  EXPECT_EQ(text_of_float(9999999.0f), "   9999999.    ");
  EXPECT_EQ(text_of_float(1.0e7f), "  1.0000000E+07");
  EXPECT_EQ(text_of_float(0.1f), "  0.1000000    ");
  const std::string t = text_of_float(std::nextafter(0.1f, 0.0f));
  EXPECT_EQ(t, "  9.9999994E-02");
  // Rounding at the seven digits carries into a new integer digit.
  EXPECT_EQ(text_of_float(999999.9688f), "   1000000.    ");
  EXPECT_EQ(text_of_float(123.456f), "   123.4560    ");
}

TEST(RealText, ExtremeValues) {
  // The digits are the procedure's (the exact values end in ...57 and
  // ...54): 324 products or 308 quotients each round a little.
  EXPECT_EQ(text_of_double(std::numeric_limits<double>::max()),
            "  1.7976931348623167E+308");
  EXPECT_EQ(text_of_double(std::numeric_limits<double>::denorm_min()),
            "  4.9406564584124659E-324");
  EXPECT_EQ(text_of_double(-std::numeric_limits<double>::denorm_min()),
            " -4.9406564584124659E-324");
  EXPECT_EQ(text_of_double(std::numeric_limits<double>::min()),
            "  2.2250738585072010E-308");
  EXPECT_EQ(text_of_float(std::numeric_limits<float>::denorm_min()),
            "  1.4012985E-45");
  EXPECT_EQ(text_of_float(std::numeric_limits<float>::max()),
            "  3.4028235E+38");
}

TEST(RealText, WidthsOfEveryForm) {
  for (double v : {0.0, -0.0, 1.0, -1.0, 0.1, 0.05, -1e-300, 1e300, 5e-324,
                   kInf, -kInf, kNaN, 123.0, 1e15, -9.9e15, 1e16}) {
    EXPECT_EQ(text_of_double(v).size(), 25u) << v;
    EXPECT_EQ(text_of_float(static_cast<float>(v)).size(), 15u) << v;
  }
  for (std::int32_t v : {0, 1, -1, 99999, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(text_of_int(v).size(), 12u) << v;
  }
}

// ---- every other row of the conversion table ----

TEST(ItemKindText, Hexadecimal) {
  // Digits of the value, most significant first, on every host.
  const std::uint32_t w = 0xAB030201;
  EXPECT_EQ(convert(&w, TY_WORD), "AB030201");
  const std::uint32_t one = 1;
  EXPECT_EQ(convert(&one, TY_WORD), "00000001");
  const std::uint64_t d = 0x0123456789ABCDEFull;
  EXPECT_EQ(convert(&d, TY_DWORD), "0123456789ABCDEF");
  const double x = 1.0;
  EXPECT_EQ(convert(&x, TY_DWORD), "3FF0000000000000");
}

TEST(ItemKindText, NoConversionGivesOneBlank) {
  const std::int64_t v[2] = {42, 42};
  for (std::int32_t type : {0, 3, 19, 20, 21, -1, 1000}) {
    EXPECT_EQ(convert(v, type), " ") << type;
  }
}

TEST(ItemKindText, QuadGivesAnEmptyText) {
  const unsigned char q[16] = {1, 2, 3};
  std::int32_t n = -1;
  const char* p = __fio_default_convert(q, TY_QUAD, 0, &n);
  EXPECT_EQ(n, 0);
  EXPECT_STREQ(p, "");
}

TEST(ItemKindText, SmallIntegers) {
  const std::int8_t b[] = {0, 1, -1, 127, -128};
  const char* bt[] = {"    0", "    1", "   -1", "  127", " -128"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(convert(&b[i], TY_BINT), bt[i]);
  const std::int16_t s[] = {0, -5, 32767, -32768};
  const char* st[] = {"      0", "     -5", "  32767", " -32768"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(convert(&s[i], TY_SINT), st[i]);
}

TEST(ItemKindText, EightByteIntegers) {
  const std::int64_t v[] = {0, -5, INT64_MAX, INT64_MIN};
  const char* t[] = {"                       0", "                      -5",
                     "     9223372036854775807", "    -9223372036854775808"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(convert(&v[i], TY_INT8), t[i]);
}

TEST(ItemKindText, Complex) {
  const float c[2] = {1.0f, 2.0f};
  EXPECT_EQ(convert(c, TY_CMPLX), "(1.000000,2.000000)");
  const float c2[2] = {-1.5e-7f, 0.0f};
  EXPECT_EQ(convert(c2, TY_CMPLX), "(-1.5000001E-07,0.0000000E+00)");
  const double z[2] = {1.0, -2.25};
  EXPECT_EQ(convert(z, TY_DCMPLX), "(1.000000000000000,-2.250000000000000)");
  const double z2[2] = {-1.0e20, -kInf};
  EXPECT_EQ(convert(z2, TY_DCMPLX), "(-1.0000000000000000E+020,-Inf)");
}

class TrueMask : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = __fio_cnfg_.true_mask; }
  void TearDown() override { __fio_cnfg_.true_mask = saved_; }
  std::int32_t saved_ = 1;
};

TEST_F(TrueMask, OneByteLogicalIsAnIntegerUnderMaskOne) {
  __fio_cnfg_.true_mask = 1;
  const std::int8_t v[] = {1, 0, -1, 2};
  const char* t[] = {"    1", "    0", "   -1", "    2"};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(convert(&v[i], TY_BLOG), t[i]);
}

TEST_F(TrueMask, OneByteLogicalUnderOtherMasks) {
  __fio_cnfg_.true_mask = -1;
  const std::int8_t one = 1, zero = 0, two = 2;
  EXPECT_EQ(convert(&one, TY_BLOG), " T");
  EXPECT_EQ(convert(&zero, TY_BLOG), " F");
  EXPECT_EQ(convert(&two, TY_BLOG), " T");
  __fio_cnfg_.true_mask = 2;
  EXPECT_EQ(convert(&one, TY_BLOG), " F");
  EXPECT_EQ(convert(&two, TY_BLOG), " T");
}

TEST_F(TrueMask, LogicalsAreAndedWithTheMask) {
  __fio_cnfg_.true_mask = 1;
  const std::int16_t s1 = 1, s2 = 2;
  const std::int32_t l1 = 1, l2 = 2, l0 = 0;
  const std::int64_t q1 = 1, q2 = 2, qhigh = std::int64_t{1} << 32 | 0;
  EXPECT_EQ(convert(&s1, TY_SLOG), " T");
  EXPECT_EQ(convert(&s2, TY_SLOG), " F");
  EXPECT_EQ(convert(&l1, TY_LOG), " T");
  EXPECT_EQ(convert(&l2, TY_LOG), " F");
  EXPECT_EQ(convert(&l0, TY_LOG), " F");
  EXPECT_EQ(convert(&q1, TY_LOG8), " T");
  EXPECT_EQ(convert(&q2, TY_LOG8), " F");
  __fio_cnfg_.true_mask = -1;
  EXPECT_EQ(convert(&s2, TY_SLOG), " T");
  EXPECT_EQ(convert(&l2, TY_LOG), " T");
  EXPECT_EQ(convert(&l0, TY_LOG), " F");
  EXPECT_EQ(convert(&q2, TY_LOG8), " T");
  // Only the low 4 bytes of an 8-byte logical count.
  EXPECT_EQ(convert(&qhigh, TY_LOG8), " F");
}

TEST(ItemKindText, CharacterItems) {
  EXPECT_EQ(convert("abc", TY_CHAR, 0), "");
  EXPECT_EQ(convert("abc", TY_CHAR, -3), "");
  EXPECT_EQ(convert("abc", TY_CHAR, 2), "ab");
  const std::string with_nul("a\0b", 3);
  EXPECT_EQ(convert(with_nul.data(), TY_CHAR, 3), with_nul);
}

TEST(ItemKindText, TwoByteCharactersAsBytes) {
  const std::uint16_t units[] = {0x0041, 0xA4A2, 0x0020};
  EXPECT_EQ(convert(units, TY_NCHAR, 3), "A\xA4\xA2 ");
  EXPECT_EQ(convert(units, TY_NCHAR, 0), "");
}

TEST(ItemKindText, ElementsNeedNoAlignment) {
  alignas(8) unsigned char raw[24] = {};
  const double v = -2.25;
  std::memcpy(raw + 1, &v, sizeof v);
  EXPECT_EQ(convert(raw + 1, TY_DBLE), "  -2.250000000000000     ");
  const std::int32_t i = -5;
  std::memcpy(raw + 3, &i, sizeof i);
  EXPECT_EQ(convert(raw + 3, TY_INT), "          -5");
}

// ---- the conversion buffer ----

TEST(ConversionBuffer, GrowsForLongCharacterItemsAndKeepsWorking) {
  const ChildResult r = run_child([] {
    child_notef("%d ", fio_num::conv_buffer_size());
    const std::string s95(95, 'x');
    std::int32_t n = 0;
    __fio_default_convert(s95.data(), TY_CHAR, 95, &n);
    child_notef("%d ", fio_num::conv_buffer_size());
    const char* before = fio_num::conv_buffer();
    const std::string s96(96, 'y');
    const char* p = __fio_default_convert(s96.data(), TY_CHAR, 96, &n);
    child_notef("%d %d %d ", fio_num::conv_buffer_size(), n,
                std::string(p, n) == s96 && p != before);
    std::string big(1000, 'z');
    big[999] = 'q';
    p = __fio_default_convert(big.data(), TY_CHAR, 1000, &n);
    child_notef("%d %d ", fio_num::conv_buffer_size(),
                std::string(p, n) == big);
    const double v = 0.5;
    p = __fio_default_convert(&v, TY_DBLE, 0, &n);
    child_notef("[%s] %d", p, fio_num::conv_buffer_size());
  });
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.notes, "96 96 224 96 1 1128 1 [  0.5000000000000000     ] 1128");
}

TEST(ConversionBuffer, WideFieldsGrowIt) {
  const ChildResult r = run_child([] {
    const char* p = __fio_fmt_i(-42, 300, 250, 0);
    child_notef("%zu|", std::strlen(p));
    child_note(std::string(p).substr(45, 8) + "|" + std::string(p).substr(290));
  });
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.notes, "300|    -000|0000000042");
}

TEST(ConversionBuffer, ExhaustionEndsTheRunWithTheNumberedReport) {
  const ChildResult r = run_child([] {
    __fio_fmt_i(1, INT32_MAX, 1, 0);
    child_note("returned");
  });
  EXPECT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.notes, "");
  EXPECT_EQ(r.err.rfind("QBFIO-F-210/", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("/dynamic memory allocation failed.\n"), std::string::npos)
      << r.err;
}

// ---- integer editing ----

struct IntRow {
  std::int32_t value, w, m, plus;
  const char* text;
};

TEST(IntegerEditing, WidthsDigitsAndSigns) {
  const IntRow rows[] = {
      {5, 6, 3, 1, "  +005"},   {-5, 6, 3, 0, "  -005"},
      {5, 6, 3, 0, "   005"},   {0, 4, 0, 0, "    "},
      {0, 4, 0, 1, "    "},     {0, 4, 1, 0, "   0"},
      {0, 4, 1, 1, "  +0"},     {0, 3, 3, 0, "000"},
      {-123, 4, 1, 0, "-123"},  {-1234, 4, 1, 0, "****"},
      {12345, 4, 1, 0, "****"}, {7, 3, 3, 1, "***"},
      {7, 4, 3, 1, "+007"},     {INT32_MIN, 11, 1, 0, "-2147483648"},
      {INT32_MIN, 10, 1, 0, "**********"},
      {INT32_MAX, 11, 1, 1, "+2147483647"},
      {42, 0, 1, 0, ""},
  };
  for (const IntRow& r : rows) {
    EXPECT_EQ(std::string(__fio_fmt_i(r.value, r.w, r.m, r.plus)), r.text)
        << r.value << " w=" << r.w << " m=" << r.m << " plus=" << r.plus;
  }
  EXPECT_EQ(std::string(__fio_fmt_i8(-7, 5, 3, 0)), " -007");
  EXPECT_EQ(std::string(__fio_fmt_i8(INT64_MIN, 19, 1, 0)), rep('*', 19));
}

// ---- G editing with arguments other than list-directed output's ----

struct GRow {
  double value;
  std::int32_t w, d, e, k, single, plus, letter;
  const char* text;
};

TEST(GEditing, ScaleFactorsLettersAndOverflow) {
  const GRow rows[] = {
      // Scale factor 0: "0." then d digits, rounded at d.
      {1234567.0, 15, 6, 2, 0, 0, 0, 1, "   0.123457E+07"},
      // Scale factor 2: two digits before the point.
      {1234567.0, 15, 6, 2, 2, 0, 0, 1, "   12.34567E+05"},
      // Negative scale factor: zeros after the point.
      {1234567.0, 15, 6, 2, -2, 0, 0, 1, "   0.001235E+09"},
      {-1234567.0, 15, 6, 2, -2, 0, 0, 1, "  -0.001235E+09"},
      // Rounding at d + 1 digits carries into the exponent.
      {9999999.0, 15, 5, 2, 1, 0, 0, 1, "    1.00000E+07"},
      // A three-digit exponent in e = 2: letter dropped when letter is 0,
      // asterisks when it is 1.
      {1.0e100, 15, 6, 2, 1, 0, 0, 0, "   1.000000+100"},
      {1.0e100, 15, 6, 2, 1, 0, 0, 1, "***************"},
      {-1.0e-100, 15, 6, 2, 1, 0, 0, 0, "  -1.000000-100"},
      // e = 0: the letter only, then no room for any exponent digit.
      {0.0, 12, 4, 0, 1, 0, 0, 1, "    0.0000E+"},
      {1.0e5, 12, 3, 0, 1, 0, 0, 1, "************"},
      // plus asks for a "+" on non-negative values.
      {1.0, 25, 16, 3, 1, 0, 1, 1, "  +1.000000000000000     "},
      {0.0, 25, 16, 3, 1, 0, 1, 1, " +0.0000000000000000E+000"},
      {kInf, 25, 16, 3, 1, 0, 1, 1, "                     +Inf"},
      {kNaN, 10, 16, 3, 1, 0, 1, 1, "      +NaN"},
      // F form: "0." loses its 0 when the sign would not fit otherwise.
      {-0.5, 23, 16, 3, 1, 0, 0, 1, "-.5000000000000000     "},
      {-0.5, 22, 16, 3, 1, 0, 0, 1, "*****************     "},
      // F form too wide for w2: asterisks, still followed by the blanks.
      {123.0, 8, 6, 2, 1, 0, 0, 1, "****    "},
      // Special values in a field too narrow.
      {-kInf, 3, 16, 3, 1, 0, 0, 1, "***"},
  };
  for (const GRow& r : rows) {
    EXPECT_EQ(std::string(__fio_fmt_g(r.value, r.w, r.d, r.e, r.k, r.single,
                                      r.plus, r.letter)),
              r.text)
        << r.value << " w=" << r.w << " d=" << r.d << " e=" << r.e
        << " k=" << r.k << " letter=" << r.letter;
  }
}

TEST(GEditing, MoreDigitsThanGeneratedArePaddedWithZeros) {
  const std::string t = __fio_fmt_g(1.0e200, 130, 100, 3, 1, 0, 0, 1);
  // 17 digits of the procedure (1.0000000000000007), then zeros.
  const std::string want = "1.0000000000000007" + rep('0', 84) + "E+200";
  EXPECT_EQ(t, rep(' ', 130 - static_cast<int>(want.size())) + want);
  const std::string f = __fio_fmt_g(1.0 / 3.0, 70, 40, 3, 1, 0, 0, 1);
  EXPECT_EQ(f.size(), 70u);
  // F form: the 16 digits of __fcvt, then zeros.
  EXPECT_NE(f.find("0.3333333333333333000000000000000000000000"),
            std::string::npos)
      << f;
}

TEST(GEditing, IllegalScaleFactorPrintsAndGivesAsterisks) {
  const ChildResult r = run_child([] {
    child_note(__fio_fmt_g(1.0e20, 15, 6, 2, 8, 0, 0, 1));
    child_note("|");
    child_note(__fio_fmt_g(1.0e20, 15, 6, 2, -6, 0, 0, 1));
    child_note("|");
    // The next conversion is not affected.
    child_note(__fio_fmt_g(1.0e20, 15, 6, 2, 1, 0, 0, 1));
  });
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out,
            "conv_e: illegal scale factor\nconv_e: illegal scale factor\n");
  EXPECT_EQ(r.notes, rep('*', 15) + "|" + rep('*', 15) + "|   1.000000E+20");
}

// ---- small helpers ----

TEST(NumberTextHelpers, PutBuf) {
  EXPECT_STREQ(fio_num::put_buf(6, "abc", 3, '-'), "  -abc");
  EXPECT_STREQ(fio_num::put_buf(3, "abc", 3, 0), "abc");
  EXPECT_STREQ(fio_num::put_buf(3, "abc", 3, '+'), "***");
  EXPECT_STREQ(fio_num::put_buf(3, "0.5", 3, '-'), "-.5");
  EXPECT_STREQ(fio_num::put_buf(2, "0.5", 3, 0), ".5");
  EXPECT_STREQ(fio_num::put_buf(1, "0.5", 3, 0), "*");
  EXPECT_STREQ(fio_num::put_buf(0, "abc", 3, '-'), "");
  EXPECT_STREQ(fio_num::put_buf(4, "", 0, 0), "    ");
}

TEST(NumberTextHelpers, StripBlnk) {
  char dst[32];
  char* end = fio_num::strip_blnk(dst, "   1.000000    ");
  EXPECT_STREQ(dst, "1.000000");
  EXPECT_EQ(end, dst + 8);
  end = fio_num::strip_blnk(dst, "  a b");
  EXPECT_STREQ(dst, "a");
  end = fio_num::strip_blnk(dst, "   ");
  EXPECT_STREQ(dst, "");
  EXPECT_EQ(end, dst);
}

TEST(NumberTextHelpers, WideningOfFourByteReals) {
  float f = 1.5f;
  EXPECT_EQ(__fio_chk_f(&f), 1.5);
  f = std::numeric_limits<float>::denorm_min();
  EXPECT_EQ(__fio_chk_f(&f), static_cast<double>(f));
  f = -std::numeric_limits<float>::infinity();
  EXPECT_EQ(__fio_chk_f(&f), -kInf);
  f = float_from_bits(0x7FC00001u);
  EXPECT_EQ(bits_of(__fio_chk_f(&f)), 0x7FF0000000400001ull);
  f = float_from_bits(0xFF800003u);  // negative signalling NaN
  EXPECT_EQ(bits_of(__fio_chk_f(&f)), 0xFFF0000000000003ull);
  f = -0.0f;
  EXPECT_EQ(bits_of(__fio_chk_f(&f)), 0x8000000000000000ull);
}

}  // namespace
