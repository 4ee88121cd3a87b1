// What a run of the converter must leave behind, worked out from the record
// layouts and the fixed statement sequence rather than from the program:
// which statement reads each input record and writes each output record,
// how many output records and report lines exist when a statement fails,
// and the bytes of the output file.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "layout.h"
#include "sample_data.h"

namespace oracle {

inline constexpr long long kRecordBytes = 44376;
inline constexpr int kOutputRecords = 114;
inline constexpr int kInputRecords = 121;
inline constexpr int kReportLines = 399;
inline constexpr std::int64_t kLevelBytes = 8LL * sample::kPoints;

inline const std::vector<std::string>& sample_records() {
  static const auto records = sample::file_records();
  return records;
}

inline std::string join(const std::vector<std::string>& records) {
  std::string all;
  for (const auto& r : records) all += r;
  return all;
}

inline const std::string& sample_file() {
  static const std::string bytes = join(sample_records());
  return bytes;
}

// Statement number of the read of input record r (from 1), and the output
// records complete when it begins: kelvoran-check's layout, which the
// tests thereby hold to the real converter too.
using check::outputs_before_read;
using check::read_statement;

// Statement number of the write of output record w (from 1).
inline int write_statement(int w) {
  if (w == 1) return 87;
  if (w == 2) return 94;
  if (w <= 30) return 101;
  if (w <= 58) return 114;
  if (w <= 86) return 117;
  return 127;
}

// Input record holding the level that output record w receives.
inline int source_record(int w) {
  if (w <= 30) return w + 2;               // gz, q, te 1..28
  if (w <= 58) return 31 + 2 * (w - 30);   // uu level k: record 31 + 2k
  if (w <= 86) return 32 + 2 * (w - 58);   // vv level k: record 32 + 2k
  return 88 + (w - 86);                    // rq
}

// Report lines on standard output when the read of input record r begins.
inline int lines_before_read(int r) {
  if (r <= 1) return 0;
  if (r == 2) return 1;
  if (r == 3) return 171;
  if (r == 4) return 173;
  if (r <= 32) return 175;
  if (r <= 88) return 231;
  if (r <= 116) return 343;
  return kReportLines;
}

// Report lines on standard output when the write of output record w begins.
inline int lines_before_write(int w) {
  if (w == 1) return 173;
  if (w <= 30) return 175;
  if (w <= 86) return 231;
  return 343;
}

// Statement that prints report line x (from 1) and the output records that
// are complete when it prints.
inline int statement_of_line(int x) {
  if (x == 1) return 74;
  if (x <= 171) return 78;
  return 154;
}
inline int outputs_before_line(int x) {
  if (x <= 173) return 0;   // header, gz report
  if (x <= 175) return 1;   // q report
  if (x <= 231) return 30;  // te
  if (x <= 343) return 86;  // uu, vv
  return kOutputRecords;    // rq
}

// The 4 bytes of one output value: the nearest 4-byte real, a NaN made quiet
// with its sign and leading fraction bits, most significant byte first.
inline void put_real4(std::string& out, double x) {
  std::uint32_t bits;
  if (std::isnan(x)) {
    const auto b = std::bit_cast<std::uint64_t>(x);
    bits = static_cast<std::uint32_t>(b >> 32 & 0x80000000u) | 0x7FC00000u |
           static_cast<std::uint32_t>(b >> 29 & 0x7FFFFFu);
  } else {
    bits = std::bit_cast<std::uint32_t>(static_cast<float>(x));
  }
  for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(bits >> s & 0xFF);
}

// One output record made from a level of 8-byte big-endian reals that starts
// at byte `at` of `file`.
inline std::string converted_level(const std::string& file, std::int64_t at) {
  std::string out;
  out.reserve(kRecordBytes);
  for (int i = 0; i < sample::kPoints; ++i) {
    std::uint64_t bits = 0;
    for (int b = 0; b < 8; ++b)
      bits = bits << 8 | static_cast<unsigned char>(file[at + 8 * i + b]);
    put_real4(out, std::bit_cast<double>(bits));
  }
  return out;
}

// The output file of a complete run on well-formed records.
inline std::string expected_output(const std::vector<std::string>& records) {
  std::string out;
  out.reserve(kOutputRecords * kRecordBytes);
  for (int w = 1; w <= kOutputRecords; ++w)
    out += converted_level(records[source_record(w) - 1], 4);
  return out;
}

inline const std::string& sample_output() {
  static const std::string bytes = expected_output(sample_records());
  return bytes;
}

// Offset just past the end of line `lines` of a text, or npos when the text
// has fewer lines.
inline std::size_t end_of_lines(const std::string& text, int lines) {
  std::size_t at = 0;
  for (int i = 0; i < lines; ++i) {
    const std::size_t nl = text.find('\n', at);
    if (nl == std::string::npos) return std::string::npos;
    at = nl + 1;
  }
  return at;
}

inline std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> v;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos;
       start = nl + 1)
    v.push_back(text.substr(start, nl - start));
  if (start < text.size()) v.push_back(text.substr(start));
  return v;
}

inline std::string padded80(const std::string& s) {
  return s + std::string(s.size() < 80 ? 80 - s.size() : 0, ' ');
}

}  // namespace oracle
