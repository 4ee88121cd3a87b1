// Deterministic sample model data: smooth, plausible fields on a
// 129 x 86 grid (11094 points), and the bytes of a complete input file
// holding them, written without the record I/O layer so the file can serve
// as an independent oracle.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace sample {

inline constexpr int kPoints = 11094;
inline constexpr int kLevels = 28;
inline constexpr int kLon = 129;
inline constexpr int kLat = 86;

struct Header {
  std::array<char, 32> text;
  double value;
  std::array<std::int32_t, 4> integers;
  std::vector<double> table_29, table_28, table_144, table_306;
};

// The fields in the order of the file: gz, q, te 1..28, then uu and vv
// alternating level by level, rq 1..28 and five trailing fields.
enum class Field { gz, q, te, uu, vv, rq, trailing };

Header header();
// One level (k from 1) of a field; `trailing` takes k = 1..5.
std::vector<double> level(Field field, int k);

// Big-endian encodings and one sequential record (marker, payload, marker).
void put_be32(std::string& out, std::uint32_t v);
void put_be64(std::string& out, std::uint64_t v);
void put_f64(std::string& out, double v);
std::string record(const std::string& payload);

std::string header_record_1(const Header& h);
std::string header_record_2(const Header& h);
std::string level_record(const std::vector<double>& values);

// The 121 records of a complete input file, each framed.
std::vector<std::string> file_records();
// All of them concatenated: 10566568 bytes.
std::string file_bytes();

}  // namespace sample
