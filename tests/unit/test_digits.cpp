// Decimal digit generation (__ecvt, __fcvt and the generator cvt).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>

#include "fpcvt.h"

namespace {

struct Digits {
  std::string text;
  std::int32_t decpt;
  std::int32_t sign;
};

Digits ecvt_of(double v, int n) {
  Digits d{"", -777, -777};
  d.text = __ecvt(v, n, &d.decpt, &d.sign);
  return d;
}

Digits fcvt_of(double v, int f) {
  Digits d{"", -777, -777};
  d.text = __fcvt(v, f, &d.decpt, &d.sign);
  return d;
}

std::string rep(char c, int n) { return std::string(static_cast<size_t>(n), c); }

// ---- __ecvt results ----

struct EcvtRow {
  const char* name;
  double value;
  int n;
  std::string digits;
  std::int32_t decpt;
  std::int32_t sign;
};

void PrintTo(const EcvtRow& r, std::ostream* os) { *os << r.name; }

class EcvtTable : public ::testing::TestWithParam<EcvtRow> {};

TEST_P(EcvtTable, DigitsDecptAndSign) {
  const EcvtRow& r = GetParam();
  const Digits d = ecvt_of(r.value, r.n);
  EXPECT_EQ(d.text, r.digits);
  EXPECT_EQ(d.decpt, r.decpt);
  EXPECT_EQ(d.sign, r.sign);
}

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, EcvtTable,
    ::testing::Values(
        EcvtRow{"one", 1.0, 17, "1" + rep('0', 16), 1, 0},
        EcvtRow{"tenth", 0.1, 17, "1" + rep('0', 16), 0, 0},
        EcvtRow{"twentieth", 0.05, 17, "5" + rep('0', 16), -1, 0},
        EcvtRow{"minus_2_25", -2.25, 17, "225" + rep('0', 14), 1, 1},
        EcvtRow{"zero", 0.0, 17, rep('0', 17), 0, 0},
        EcvtRow{"negative_zero", -0.0, 17, rep('0', 17), 0, 0},
        EcvtRow{"e20", 1.0e20, 17, "1" + rep('0', 16), 21, 0},
        EcvtRow{"nine_and_a_half_one_digit", 9.5, 1, "1", 2, 0},
        EcvtRow{"two_thirds", 2.0 / 3.0, 17, rep('6', 16) + "1", 0, 0},
        EcvtRow{"plus_infinity_17", kInf, 17, "Inf", 0, 0},
        EcvtRow{"plus_infinity_1", kInf, 1, "Inf", 0, 0},
        EcvtRow{"minus_infinity", -kInf, 8, "Inf", 0, 1},
        EcvtRow{"nan", kNaN, 17, "NaN", 0, 0},
        EcvtRow{"negative_nan", -kNaN, 17, "NaN", 0, 0},
        EcvtRow{"signalling_nan", std::bit_cast<double>(0x7FF0000000000001ull), 3,
                "NaN", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Further __ecvt cases ----

TEST(Ecvt, TwoThirdsFollowsTheProcedureNotTheBinaryValue) {
  // The exact binary value of 2.0/3.0 rounded to 17 digits ends in 3.
  char exact[64];
  std::snprintf(exact, sizeof exact, "%.16e", 2.0 / 3.0);
  EXPECT_EQ(std::string(exact).substr(0, 18), "6.6666666666666663");
  EXPECT_EQ(ecvt_of(2.0 / 3.0, 17).text.back(), '1');
}

TEST(Ecvt, RoundingCarriesIntoANewLeadingDigit) {
  EXPECT_EQ(ecvt_of(9.99, 2).text, "10");
  EXPECT_EQ(ecvt_of(9.99, 2).decpt, 2);
  EXPECT_EQ(ecvt_of(99.96, 3).text, "100");
  EXPECT_EQ(ecvt_of(99.96, 3).decpt, 3);
}

TEST(Ecvt, EightDigitsOfSingleValues) {
  EXPECT_EQ(ecvt_of(1.0, 8).text, "10000000");
  const Digits d = ecvt_of(static_cast<double>(-1.5e-7f), 8);
  EXPECT_EQ(d.text, "15000001");
  EXPECT_EQ(d.decpt, -6);
  EXPECT_EQ(d.sign, 1);
}

TEST(Ecvt, RequestsLongerThanTheBufferAreCutTo29Digits) {
  for (int n : {29, 30, 31, 100, 510, 511, 100000}) {
    const Digits d = ecvt_of(1.0 / 3.0, n);
    EXPECT_EQ(d.text.size(), 29u) << n;
    EXPECT_EQ(d.decpt, 0) << n;
  }
  EXPECT_EQ(ecvt_of(12.0, 1000).text, "12" + rep('0', 27));
}

TEST(Ecvt, ZeroAndNegativeCountsGiveNoDigits) {
  EXPECT_EQ(ecvt_of(3.0, 0).text, "");
  EXPECT_EQ(ecvt_of(3.0, -5).text, "");
  EXPECT_EQ(ecvt_of(3.0, 0).decpt, 1);
  // A carry still shows in decpt.
  EXPECT_EQ(ecvt_of(9.5, 0).decpt, 2);
}

TEST(Ecvt, ExtremeMagnitudes) {
  const Digits big = ecvt_of(std::numeric_limits<double>::max(), 17);
  EXPECT_EQ(big.decpt, 309);
  EXPECT_EQ(big.text.substr(0, 4), "1797");
  const Digits tiny = ecvt_of(std::numeric_limits<double>::denorm_min(), 17);
  EXPECT_EQ(tiny.decpt, -323);
  EXPECT_EQ(tiny.text.substr(0, 4), "4940");
  const Digits least_normal = ecvt_of(std::numeric_limits<double>::min(), 17);
  EXPECT_EQ(least_normal.decpt, -307);
  EXPECT_EQ(least_normal.text.substr(0, 4), "2225");
}

TEST(Ecvt, ResultBufferIsReusedByTheNextCall) {
  std::int32_t decpt, sign;
  char* a = __ecvt(1.0, 5, &decpt, &sign);
  char* b = __ecvt(2.0, 5, &decpt, &sign);
  EXPECT_EQ(a, b);
  EXPECT_STREQ(a, "20000");
}

// ---- __fcvt ----

TEST(Fcvt, WorkedExamples) {
  Digits d = fcvt_of(1.5, 15);
  EXPECT_EQ(d.text, "15" + rep('0', 14));
  EXPECT_EQ(d.decpt, 1);
  EXPECT_EQ(d.sign, 0);
  d = fcvt_of(0.5, 0);
  EXPECT_EQ(d.text, "1");
  EXPECT_EQ(d.decpt, 1);
}

TEST(Fcvt, RoundsTwiceFirstTo16SignificantDigits) {
  // 0.1249999999999999944 has 16 digits 1250000000000000, so one fraction
  // digit rounds to 0.1 ... 2 -> "1", and two digits see the 5 of 0.125.
  EXPECT_EQ(fcvt_of(0.125, 2).text, "13");
  EXPECT_EQ(fcvt_of(0.125, 2).decpt, 0);
  EXPECT_EQ(fcvt_of(0.124, 2).text, "12");
  EXPECT_EQ(fcvt_of(123.456, 1).text, "1235");
  EXPECT_EQ(fcvt_of(123.456, 1).decpt, 3);
  EXPECT_EQ(fcvt_of(-2.5, 0).text, "3");
  EXPECT_EQ(fcvt_of(-2.5, 0).sign, 1);
}

TEST(Fcvt, CarryIntoTheReservedPosition) {
  const Digits d = fcvt_of(99.96, 1);
  EXPECT_EQ(d.text, "1000");
  EXPECT_EQ(d.decpt, 3);
  const Digits e = fcvt_of(0.99996, 4);
  EXPECT_EQ(e.text, "10000");
  EXPECT_EQ(e.decpt, 1);
  // 1 - 2**-53: the repeated products lose the last nines, so the 16 digits
  // are 9999999999999998 and nothing carries.
  const Digits f = fcvt_of(0.99999999999999989, 16);
  EXPECT_EQ(f.text, rep('9', 15) + "8");
  EXPECT_EQ(f.decpt, 0);
}

TEST(Fcvt, FractionDigitsBeyondThe16ArePaddedWithZeros) {
  // The 17th digit of the procedure is 1, so 16 digits are all
  // 6s without rounding up.
  const Digits d = fcvt_of(2.0 / 3.0, 20);
  EXPECT_EQ(d.text, rep('6', 16) + rep('0', 4));
  EXPECT_EQ(d.decpt, 0);
}

TEST(Fcvt, MoreThan16IntegerDigitsArePaddedToDecpt) {
  const Digits d = fcvt_of(1.0e20, 0);
  EXPECT_EQ(d.text, "1" + rep('0', 20));
  EXPECT_EQ(d.decpt, 21);
}

TEST(Fcvt, SpecialValues) {
  EXPECT_EQ(fcvt_of(kInf, 3).text, "Inf");
  EXPECT_EQ(fcvt_of(-kInf, 3).sign, 1);
  EXPECT_EQ(fcvt_of(kNaN, 3).text, "NaN");
}

TEST(Fcvt, BelowATenthAndNegativeCounts) {
  // Below 0.1: decpt + f digits counted from the first significant digit.
  Digits d = fcvt_of(0.0123, 3);
  EXPECT_EQ(d.text, "12");
  EXPECT_EQ(d.decpt, -1);
  d = fcvt_of(0.05, 1);  // rounds up to 0.1
  EXPECT_EQ(d.text, "1");
  EXPECT_EQ(d.decpt, 0);
  d = fcvt_of(0.0001, 2);  // nothing left: "0"
  EXPECT_EQ(d.text, "0");
  // A negative count rounds left of the point and pads to decpt.
  d = fcvt_of(12345.0, -2);
  EXPECT_EQ(d.text, "12300");
  EXPECT_EQ(d.decpt, 5);
  // Huge counts stay inside the 512-character buffer.
  d = fcvt_of(1.0, 100000);
  EXPECT_EQ(d.text.size(), 510u);
}

// ---- the generator itself ----

TEST(CvtGenerator, SignificantDigitMode) {
  std::int32_t decpt, sign;
  EXPECT_STREQ(fio_num::ecvt(1234.5, 4, &decpt, &sign), "1235");
  EXPECT_EQ(decpt, 4);
  EXPECT_STREQ(fio_num::cvt(-0.25, 3, &decpt, &sign, 1), "250");
  EXPECT_EQ(decpt, 0);
  EXPECT_EQ(sign, 1);
}

TEST(CvtGenerator, FractionDigitMode) {
  std::int32_t decpt, sign;
  EXPECT_STREQ(fio_num::fcvt(1234.5678, 2, &decpt, &sign), "123457");
  EXPECT_EQ(decpt, 4);
  EXPECT_STREQ(fio_num::fcvt(0.5, 0, &decpt, &sign), "1");
  EXPECT_EQ(decpt, 1);
  EXPECT_STREQ(fio_num::fcvt(9.6, 0, &decpt, &sign), "10");
  EXPECT_EQ(decpt, 2);
  // The rounding position left of the first digit: empty result.
  EXPECT_STREQ(fio_num::fcvt(0.00123, 1, &decpt, &sign), "");
  EXPECT_EQ(decpt, -2);
  EXPECT_STREQ(fio_num::fcvt(0.0, 3, &decpt, &sign), "000");
  EXPECT_EQ(decpt, 0);
}

TEST(CvtGenerator, CountsAreCappedAt510Digits) {
  std::int32_t decpt, sign;
  EXPECT_EQ(std::strlen(fio_num::ecvt(1.0 / 7.0, 510, &decpt, &sign)), 510u);
  EXPECT_EQ(std::strlen(fio_num::ecvt(1.0 / 7.0, 511, &decpt, &sign)), 510u);
  EXPECT_EQ(std::strlen(fio_num::ecvt(1.0 / 7.0, 1 << 30, &decpt, &sign)),
            510u);
  // Fraction-digit mode past the end of the buffer keeps 511 digits.
  EXPECT_EQ(std::strlen(fio_num::fcvt(1.25, 510, &decpt, &sign)), 511u);
  EXPECT_EQ(std::strlen(fio_num::fcvt(123.25, 510, &decpt, &sign)), 511u);
  EXPECT_EQ(std::strlen(fio_num::fcvt(1.0e300, 510, &decpt, &sign)), 511u);
  EXPECT_EQ(decpt, 301);
}

TEST(CvtGenerator, GuardsAgainstInfinitiesAndNaNs) {
  std::int32_t decpt = -1, sign = -1;
  EXPECT_STREQ(fio_num::ecvt(-kInf, 5, &decpt, &sign), "Inf");
  EXPECT_EQ(sign, 1);
  EXPECT_EQ(decpt, 0);
  EXPECT_STREQ(fio_num::fcvt(kNaN, 5, &decpt, &sign), "NaN");
  EXPECT_EQ(sign, 0);
}

TEST(CvtGenerator, IntegerDigitsUseTheBias) {
  // Each integer digit is (fraction of I / 10 + 0.03) * 10 truncated, so the
  // digits of an exactly representable integer come out exact.
  std::int32_t decpt, sign;
  EXPECT_STREQ(fio_num::ecvt(9007199254740993.0, 17, &decpt, &sign),
               "90071992547409920");
  EXPECT_EQ(decpt, 16);
  EXPECT_STREQ(fio_num::ecvt(123456789.0, 9, &decpt, &sign), "123456789");
}

}  // namespace
