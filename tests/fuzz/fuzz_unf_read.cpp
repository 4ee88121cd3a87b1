// Fuzz target of the sequential unformatted reader. Each input is a small
// plan of READ statements (item lists of any type, count, stride and
// length) followed by the bytes of a file. The file is connected to a unit,
// the statements run with an IOSTAT variable so that every error and end of
// file comes back instead of ending the process, and after every call the
// layer is held to a reference model of the record rules:
//   - every status is 0, 1 or 2, the same one from the failing call to the
//     end of the statement, and the IOSTAT value matches it;
//   - an item receives exactly the bytes of its place in the record, in the
//     order the statement asks for, and nothing when the record is too short;
//   - no byte outside an item is written (the item storage is exactly sized,
//     so the sanitizer sees any overrun);
//   - after each statement the stream position and record count are where
//     the model says.
// Any difference aborts, which the fuzzer reports as a crash.
//
// Input layout:
//   byte 0: bit 0 family (0 byte-swapped, 1 host order); bits 1-2 CONVERT=
//           (1 BIG_ENDIAN, 2 NATIVE, 3 LITTLE_ENDIAN, 0 none); bits 3-5
//           plans - 1
//   per plan: 1 byte, the number of items in its low 2 bits; then 4 bytes
//           per item: type, count, stride and length selectors
//   the rest: the file
// The plans are run in turn, at most kMaxStatements statements.
#include <sys/mman.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fio.h"
#include "fio_open_with.h"
#include "seq_model.h"

namespace {

constexpr int kUnit = 10;
constexpr int kMaxStatements = 48;
constexpr std::int64_t kMaxExtent = 1 << 20;

[[noreturn]] void violated(const char* what, int statement, long long got,
                           long long want) {
  std::fprintf(stderr, "invariant broken at statement %d: %s (got %lld, want %lld)\n",
               statement, what, got, want);
  std::abort();
}

#define REQUIRE_EQ(got, want, what)                                       \
  do {                                                                    \
    const long long g_ = (got), w_ = (want);                              \
    if (g_ != w_) violated(what, statement, g_, w_);                      \
  } while (0)

struct Plan {
  std::vector<model::Item> items;
};

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ >= end_; }
  std::uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
  std::string rest() const {
    return std::string(reinterpret_cast<const char*>(p_),
                       static_cast<std::size_t>(end_ - p_));
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

model::Item decode_item(Reader& in) {
  const std::uint8_t t = in.byte(), c = in.byte(), s = in.byte(), l = in.byte();
  model::Item it{};
  it.type = t % 21 == 20 ? 20 + t % 3 * 7 : t % 21;  // 20, 27, 34: unknown codes
  static constexpr std::int32_t kHuge[] = {0x7FFFFFFF, 0x40000000, -1, 1 << 20,
                                           -0x7FFFFFFF - 1, 65536, 11094, 4080,
                                           0x10000001, 3, 306, 144, 29, 28, 1, 0};
  it.count = c < 240 ? c : kHuge[c - 240];
  it.length = l == 255 ? -1 : l % 17;
  const std::int64_t size = model::element_size(it);
  switch (s % 4) {
    case 0: it.stride = static_cast<std::int32_t>(size); break;
    case 1: it.stride = 0; break;
    case 2: it.stride = static_cast<std::int32_t>(size + 1 + (s >> 2) % 7); break;
    default: it.stride = static_cast<std::int32_t>(size > 1 ? size / 2 : size); break;
  }
  // Storage for the whole item must fit; a larger list reads its elements
  // one at a time into a single place instead.
  if (it.count > 1 && (it.count - 1LL) * it.stride + size > kMaxExtent)
    it.stride = 0;
  return it;
}

std::int64_t extent(const model::Item& it) {
  const std::int64_t size = model::element_size(it);
  if (it.count < 1) return 1;
  const std::int64_t e = (it.count - 1LL) * it.stride + size;
  return e > 0 ? e : 1;
}

std::int32_t status_of(std::int32_t code) {
  if (code == 0) return 0;
  return code == 217 || code == 252 ? 2 : 1;
}

std::int32_t iostat_of(std::int32_t code) {
  if (code == 217 || code == 252) return -1;
  return code;
}

// A file with the given bytes, reachable by name, kept in memory.
struct MemFile {
  explicit MemFile(const std::string& bytes) {
    fd = memfd_create("fuzz-input", 0);
    if (fd < 0) std::abort();
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    name = "/proc/self/fd/" + std::to_string(fd);
  }
  ~MemFile() { ::close(fd); }
  int fd;
  std::string name;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  Reader in(data, size);
  const std::uint8_t config = in.byte();
  const bool host_family = (config & 1) != 0;
  const int convert = (config >> 1) & 3;
  const int plans_count = ((config >> 3) & 7) + 1;
  std::vector<Plan> plans(static_cast<std::size_t>(plans_count));
  for (auto& plan : plans) {
    const int items = in.byte() & 3;
    for (int i = 0; i < items; ++i) plan.items.push_back(decode_item(in));
  }
  const std::string file = in.rest();
  MemFile mem(file);

  int statement = 0;
  std::int32_t ios = 12345;
  const auto iostat = reinterpret_cast<std::intptr_t>(&ios);
  std::int32_t r = fio_open_with(kUnit, {.file = mem.name, .form = "unformatted"},
                                 iostat);
  REQUIRE_EQ(r, 0, "OPEN");
  REQUIRE_EQ(ios, 0, "OPEN iostat");
  if (convert == 1) r = fio_open_cvt(&r, "BIG_ENDIAN", 10);
  if (convert == 2) r = fio_open_cvt(&r, "NATIVE", 6);
  if (convert == 3) r = fio_open_cvt(&r, "LITTLE_ENDIAN", 13);
  REQUIRE_EQ(r, 0, "CONVERT=");

  // The file's byte order: the one CONVERT= names (NATIVE: the host's), or
  // else the family's (big-endian, or the host's). The statements reverse
  // bytes where it is not the host's.
  constexpr bool host_big = std::endian::native == std::endian::big;
  const bool file_big = convert == 1   ? true
                        : convert == 3 ? false
                        : convert == 2 || host_family ? host_big
                                                      : true;
  const bool swap = file_big != host_big;
  model::SequentialFile reference(file, file_big);
  auto* init = host_family ? fio_unf_init : fio_usw_init;
  auto* item_read = host_family ? fio_unf_read : fio_usw_read;
  auto* end = host_family ? fio_unf_end : fio_usw_end;

  for (statement = 0; statement < kMaxStatements; ++statement) {
    const Plan& plan = plans[static_cast<std::size_t>(statement % plans_count)];
    const std::size_t n_items = plan.items.size();
    std::vector<std::vector<unsigned char>> storage(n_items);
    for (std::size_t i = 0; i < n_items; ++i)
      storage[i].assign(static_cast<std::size_t>(extent(plan.items[i])),
                        static_cast<unsigned char>(0xA5 ^ i));
    const auto untouched = storage;

    const model::Statement want = reference.read(plan.items);
    const std::int32_t fail_status = status_of(want.code);
    // Index of the call that fails: 0 the begin, 1 + i item i, 1 + n the end.
    const std::size_t failing = want.code == 0 ? SIZE_MAX
                                : want.failed_at < 0
                                    ? 0
                                    : static_cast<std::size_t>(want.failed_at) + 1;
    ios = 12345;
    REQUIRE_EQ(init(1, kUnit, 0, iostat), failing == 0 ? fail_status : 0, "begin status");
    for (std::size_t i = 0; i < n_items; ++i) {
      const model::Item& it = plan.items[i];
      const std::int32_t got = item_read(storage[i].data(), it.type, it.count,
                                         it.stride, it.length);
      REQUIRE_EQ(got, failing <= i + 1 ? fail_status : 0, "item status");
    }
    REQUIRE_EQ(end(), failing <= n_items + 1 ? fail_status : 0, "end status");
    REQUIRE_EQ(ios, iostat_of(want.code), "IOSTAT value");

    // Items: each transferred one holds its elements as the record has
    // them; the one that found the record too short, and every one after
    // a failure, holds nothing new.
    for (std::size_t i = 0; i < n_items; ++i) {
      const model::Item& it = plan.items[i];
      if (want.offsets[i] >= 0) {
        std::vector<unsigned char> expect = untouched[i];
        const std::int64_t s = model::element_size(it);
        for (std::int32_t e = 0; e < it.count && s > 0; ++e) {
          const std::string v = model::element_value(file, want.offsets[i] + e * s, it, swap);
          std::memcpy(expect.data() + static_cast<std::int64_t>(e) * it.stride, v.data(),
                      v.size());
        }
        if (expect != storage[i]) violated("item bytes", statement, static_cast<long long>(i), -1);
      } else if (!(want.code == 217 && want.failed_at == static_cast<int>(i))) {
        // A read cut off by the end of the file may have stored part.
        if (storage[i] != untouched[i])
          violated("item changed without a transfer", statement, static_cast<long long>(i), -1);
      }
    }

    const Fcb* f = __fio_find_unit(kUnit);
    if (f == nullptr) violated("unit lost", statement, 0, 1);
    REQUIRE_EQ(ftello(f->stream), reference.position(), "stream position");
    REQUIRE_EQ(f->next_rec, reference.records_begun() + 1, "record count");
    if (want.code == 252) break;
  }

  r = fio_close(kUnit, iostat, nullptr, 0);
  REQUIRE_EQ(r, 0, "CLOSE");
  REQUIRE_EQ(ios, 0, "CLOSE iostat");
  return 0;
}
