// The floor: the least work that produces kelvoran's output file. Reads the
// input once, converts and byte-swaps every value in one loop and writes
// the output with one write. No report, no checks beyond what is needed
// not to run off the input. Used only as a yardstick.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr int kPoints = 11094;

std::uint32_t be32(const unsigned char* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
         std::uint32_t{p[2]} << 8 | p[3];
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const int in = open(argv[1], O_RDONLY);
  struct stat st;
  if (in < 0 || fstat(in, &st) != 0) return 1;
  const auto size = static_cast<std::size_t>(st.st_size);
  auto* data = static_cast<unsigned char*>(
      mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, in, 0));
  if (data == MAP_FAILED) return 1;

  // Offsets of the payloads of the 119 field records.
  std::vector<const unsigned char*> levels;
  std::size_t pos = 0;
  for (int r = 0; r < 121 && pos + 4 <= size; ++r) {
    const std::uint32_t len = be32(data + pos);
    if (r >= 2) levels.push_back(data + pos + 4);
    pos += 8 + std::size_t{len};
  }
  if (levels.size() < 116 || pos > size) return 1;

  std::vector<int> order = {0, 1};
  for (int k = 0; k < 28; ++k) order.push_back(2 + k);
  for (int k = 0; k < 28; ++k) order.push_back(30 + 2 * k);
  for (int k = 0; k < 28; ++k) order.push_back(31 + 2 * k);
  for (int k = 0; k < 28; ++k) order.push_back(86 + k);

  std::vector<std::uint32_t> out(order.size() * kPoints);
  std::uint32_t* o = out.data();
  for (int idx : order) {
    const unsigned char* p = levels[idx];
    for (int i = 0; i < kPoints; ++i) {
      std::uint64_t bits;
      std::memcpy(&bits, p + 8 * i, 8);
      const double x = std::bit_cast<double>(__builtin_bswap64(bits));
      *o++ = __builtin_bswap32(std::bit_cast<std::uint32_t>(static_cast<float>(x)));
    }
  }
  const int fd = open(argv[2], O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) return 1;
  const auto bytes = out.size() * 4;
  const auto* b = reinterpret_cast<const char*>(out.data());
  for (std::size_t done = 0; done < bytes;) {
    const ssize_t n = write(fd, b + done, bytes - done);
    if (n <= 0) return 1;
    done += static_cast<std::size_t>(n);
  }
  return close(fd) == 0 ? 0 : 1;
}
