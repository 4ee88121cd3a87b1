// A reference model of reading a sequential unformatted file: where each
// READ statement finds its record, which bytes each item list receives,
// what the statement reports and where the file is left positioned. It
// works on the bytes of the file alone, written from the record rules
// (length markers before and after each record, continuation bit, skips to
// the next record), so it can judge the layer's reader over any input.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace model {

// Element sizes by type code; for codes 15 and 16 the size of one character.
inline constexpr int kTypeSize[20] = {0, 4, 8, 4, 1, 2, 4, 4, 8, 16,
                                      8, 16, 1, 2, 4, 1, 2, 8, 8, 4};

struct Item {
  std::int32_t type;
  std::int32_t count;
  std::int32_t stride;
  std::int32_t length;  // characters per element, codes 15 and 16 only
};

inline bool valid_type(std::int32_t type) { return type >= 0 && type < 20; }

inline std::int64_t element_size(const Item& it) {
  const std::int64_t chars = it.length > 0 ? it.length : 0;
  if (it.type == 15) return chars;
  if (it.type == 16) return 2 * chars;
  return valid_type(it.type) ? kTypeSize[it.type] : 0;
}

// Byte-order unit of one element and how many such units it holds; a unit of
// 1 (or a code that is never reversed) leaves the bytes as they are.
struct Reversal {
  int unit;
  std::int64_t units;
};
inline Reversal reversal(const Item& it) {
  switch (it.type) {
    case 1: case 3: case 6: case 7: case 14: case 19: return {4, 1};
    case 2: case 8: case 17: case 18: return {8, 1};
    case 5: case 13: return {2, 1};
    case 10: return {4, 2};
    case 11: return {8, 2};
    case 16: return {2, it.length > 0 ? it.length : 0};
    default: return {1, 0};
  }
}

// One element as the program receives it: the file bytes, reversed unit by
// unit when the statement swaps.
inline std::string element_value(const std::string& file, std::int64_t at,
                                 const Item& it, bool swap) {
  std::string e = file.substr(static_cast<std::size_t>(at),
                              static_cast<std::size_t>(element_size(it)));
  if (!swap) return e;
  const Reversal r = reversal(it);
  if (r.unit > 1)
    for (std::int64_t u = 0; u < r.units; ++u)
      std::reverse(e.begin() + u * r.unit, e.begin() + (u + 1) * r.unit);
  return e;
}

// Outcome of one statement.
struct Statement {
  std::int32_t code = 0;  // 0, or the code reported: 217/252 end of file,
                          // 219 record too short, 201 unknown type code
  int failed_at = -1;     // -1 the begin, else index of the failing item;
                          // items.size() when the end step failed
  // File offset of the first element of each item that was transferred
  // completely, -1 for the rest.
  std::vector<std::int64_t> offsets;
};

class SequentialFile {
 public:
  SequentialFile(const std::string& bytes, bool big_endian_markers)
      : file_(bytes), size_(static_cast<std::int64_t>(bytes.size())),
        big_endian_(big_endian_markers) {}

  std::int64_t position() const { return pos_; }
  // Records begun so far, the failed begins included.
  std::int32_t records_begun() const { return begun_; }
  bool at_end() const { return eof_seen_; }

  Statement read(const std::vector<Item>& items) {
    Statement st;
    st.offsets.assign(items.size(), -1);
    if (eof_seen_) return fail(st, 252, -1);
    ++begun_;
    std::uint32_t marker = 0;
    if (!read_marker(marker)) return fail(st, 217, -1);
    cont_ = (marker & 0x80000000u) != 0;
    len_ = marker & 0x7FFFFFFFu;
    rec_pos_ = 0;
    bool transferred = false;
    for (std::size_t i = 0; i < items.size(); ++i) {
      const Item& it = items[i];
      if (it.count < 1) continue;
      if (!valid_type(it.type)) return fail(st, 201, static_cast<int>(i));
      transferred = true;
      const std::int64_t s = element_size(it);
      const std::int64_t n = s * it.count;
      if (n > len_ - rec_pos_) {
        // The unit is left at the next record; a skip that runs into the
        // end of the file does not change what is reported.
        if (skip_rest() == 0) (void)skip_segments();
        return fail(st, 219, static_cast<int>(i));
      }
      if (n == 0) continue;
      const std::int64_t first = pos_;
      if (it.stride == s) {
        if (!take(n)) return fail(st, 217, static_cast<int>(i));
      } else {
        for (std::int32_t e = 0; e < it.count; ++e)
          if (!take(s)) return fail(st, 217, static_cast<int>(i));
      }
      rec_pos_ += n;
      st.offsets[i] = first;
    }
    std::int32_t code = 0;
    if (!transferred) {
      pos_ += len_ + 4;
    } else {
      code = skip_rest();
    }
    if (code == 0) code = skip_segments();
    if (code != 0) return fail(st, code, static_cast<int>(items.size()));
    return st;
  }

 private:
  Statement& fail(Statement& st, std::int32_t code, int where) {
    st.code = code;
    st.failed_at = where;
    if (code == 217 || code == 252) eof_seen_ = true;
    return st;
  }

  // A read of n bytes: whole, or it stops at the end of the file.
  bool take(std::int64_t n) {
    if (pos_ + n <= size_) {
      pos_ += n;
      return true;
    }
    pos_ = std::max(pos_, size_);
    return false;
  }

  bool read_marker(std::uint32_t& marker) {
    const std::int64_t at = pos_;
    if (!take(4)) return false;
    marker = 0;
    for (int b = 0; b < 4; ++b) {
      const auto byte = static_cast<unsigned char>(file_[at + b]);
      if (big_endian_)
        marker = marker << 8 | byte;
      else
        marker |= std::uint32_t{byte} << (8 * b);
    }
    return true;
  }

  // Past the rest of the record and its trailing marker. A record read to
  // its end has its trailing marker read, and a file ending there is fine.
  std::int32_t skip_rest() {
    if (rec_pos_ == len_)
      (void)take(4);
    else
      pos_ += len_ - rec_pos_ + 4;
    return 0;
  }

  // Past the segments that continue the record: 0, or 217 when the file
  // ends where a segment should begin.
  std::int32_t skip_segments() {
    while (cont_) {
      std::uint32_t marker = 0;
      if (!read_marker(marker)) return 217;
      cont_ = (marker & 0x80000000u) != 0;
      len_ = marker & 0x7FFFFFFFu;
      pos_ += len_ + 4;
    }
    return 0;
  }

  const std::string& file_;
  std::int64_t size_;
  bool big_endian_;
  std::int64_t pos_ = 0;
  std::int32_t begun_ = 0;
  bool eof_seen_ = false;
  bool cont_ = false;
  std::int64_t len_ = 0;
  std::int64_t rec_pos_ = 0;
};

}  // namespace model
