// File and byte helpers for tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A fresh directory under /tmp, removed with its contents at scope end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(std::string_view name) const;

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, std::string_view bytes);
bool file_exists(const std::string& path);
long long file_size(const std::string& path);  // -1 when missing
void write_all(int fd, std::string_view bytes);

// Big-endian encodings, as the files of this system store numbers.
std::string be32(std::uint32_t v);
std::string be_i32(std::int32_t v);
std::string be_f32(float v);
std::string be_f64(double v);
std::string le32(std::uint32_t v);
// 4 bytes in this host's order, as the host-order family stores them, and
// in the opposite order.
std::string host32(std::uint32_t v);
std::string foreign32(std::uint32_t v);

// One sequential record: big-endian length marker, payload, marker.
std::string be_record(std::string_view payload);

// Hex dump "3F 80 00 00" of bytes, for readable expectations.
std::string hex(std::string_view bytes);

// The code block that follows the line "<!-- MARKER -->" in a Markdown
// text, as printed; "" when there is none.
std::string block_after(const std::string& markdown, const std::string& marker);
