// Digits and item texts of reals over the whole exponent range, against the
// table that the exact model in tests/digit_model computes from the rules of
// the digit procedure. A wrong digit anywhere in the 17 shows here, which
// read-back checks within a tolerance cannot see.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fio.h"
#include "fpcvt.h"

namespace {

// One table row, kept as the text after its kind and value so that a
// mismatch prints the expected row beside the one the code makes.
struct Row {
  int line;
  std::uint64_t bits;
  std::int32_t count;    // fraction digits (F rows only)
  std::string expected;  // digits decpt sign [|text|]
};

std::vector<Row> rows_of(char kind) {
  std::ifstream in(TEST_SOURCE_DIR "/digit_model/digit_table.txt");
  EXPECT_TRUE(in) << "digit table missing";
  std::vector<Row> rows;
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty() || line[0] != kind) continue;
    std::istringstream s(line.substr(2));
    Row r{n, 0, 0, ""};
    s >> std::hex >> r.bits >> std::dec;
    if (kind == 'F') s >> r.count;
    s >> std::ws;
    std::getline(s, r.expected);
    rows.push_back(r);
  }
  return rows;
}

std::string digits(const char* text, std::int32_t decpt, std::int32_t sign) {
  return std::string(text) + " " + std::to_string(decpt) + " " +
         std::to_string(sign);
}

std::string item_text(const void* item, std::int32_t type) {
  std::int32_t n = 0;
  const char* t = __fio_default_convert(item, type, 0, &n);
  return "|" + std::string(t, static_cast<std::size_t>(n)) + "|";
}

// Every row of one kind: the significant digits of __ecvt, then the text of
// the value as a list-directed item of the given type.
template <typename Real, typename Bits>
void check_real_rows(char kind, std::int32_t n, std::int32_t type,
                     std::size_t at_least) {
  const std::vector<Row> rows = rows_of(kind);
  EXPECT_GE(rows.size(), at_least);
  for (const Row& r : rows) {
    const Real v = std::bit_cast<Real>(static_cast<Bits>(r.bits));
    std::int32_t decpt = -777, sign = -777;
    const char* t = __ecvt(v, n, &decpt, &sign);
    const std::string d = digits(t, decpt, sign);
    EXPECT_EQ(d + " " + item_text(&v, type), r.expected)
        << "table line " << r.line;
  }
}

TEST(DigitTable, SeventeenDigitsAndTextOfEightByteReals) {
  check_real_rows<double, std::uint64_t>('D', 17, TY_DBLE, 200);
}

TEST(DigitTable, EightDigitsAndTextOfFourByteReals) {
  check_real_rows<float, std::uint32_t>('R', 8, TY_REAL, 35);
}

TEST(DigitTable, FractionDigits) {
  const std::vector<Row> rows = rows_of('F');
  EXPECT_GE(rows.size(), 10u);
  for (const Row& r : rows) {
    std::int32_t decpt = -777, sign = -777;
    const char* t = __fcvt(std::bit_cast<double>(r.bits), r.count, &decpt,
                           &sign);
    EXPECT_EQ(digits(t, decpt, sign), r.expected) << "table line " << r.line;
  }
}

}  // namespace
