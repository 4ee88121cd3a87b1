#include "files.h"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
  char name[] = "/tmp/kelvoran-dir-XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore permissions a test may have taken away, then remove.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); ++it) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

long long file_size(const std::string& path) {
  std::error_code ec;
  const auto n = std::filesystem::file_size(path, ec);
  return ec ? -1 : static_cast<long long>(n);
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string be32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (24 - 8 * i));
  return s;
}

std::string le32(std::uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string host32(std::uint32_t v) {
  return std::endian::native == std::endian::big ? be32(v) : le32(v);
}

std::string foreign32(std::uint32_t v) {
  return std::endian::native == std::endian::big ? le32(v) : be32(v);
}

std::string be_i32(std::int32_t v) { return be32(static_cast<std::uint32_t>(v)); }

std::string be_f32(float v) { return be32(std::bit_cast<std::uint32_t>(v)); }

std::string be_f64(double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  return be32(static_cast<std::uint32_t>(bits >> 32)) +
         be32(static_cast<std::uint32_t>(bits));
}

std::string be_record(std::string_view payload) {
  const std::string marker = be32(static_cast<std::uint32_t>(payload.size()));
  return marker + std::string(payload) + marker;
}

std::string hex(std::string_view bytes) {
  std::string s;
  char b[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(b, sizeof b, "%02X", static_cast<unsigned char>(bytes[i]));
    if (i) s += ' ';
    s += b;
  }
  return s;
}

std::string block_after(const std::string& markdown, const std::string& marker) {
  const auto at = markdown.find("<!-- " + marker + " -->\n```");
  if (at == std::string::npos) return "";
  const auto begin = markdown.find('\n', markdown.find("```", at)) + 1;
  const auto end = markdown.find("\n```", begin);
  return end == std::string::npos ? "" : markdown.substr(begin, end + 1 - begin);
}
