// kelvoran: converts a big-endian sequential file of 8-byte model fields
// into a big-endian direct-access file of 4-byte records, printing the
// header and each level's extremes. One fixed sequence of I/O statements;
// each statement first records its number for the error reports.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include <string_view>

#include "fio.h"
#include "fio_open_with.h"
#include "ftn.h"
#include "level.h"
#include "qbc.h"

namespace {

constexpr std::int32_t NPTS = 11094;  // values per field level
constexpr std::int32_t NLEV = 28;     // levels per level field

constexpr char kSource[] = "kelvoran";
constexpr std::int32_t kSourceLen = sizeof kSource - 1;
constexpr std::int32_t kNameLen = 80;
constexpr std::int32_t kRecl = NPTS * 4;

constexpr std::int32_t kInUnit = 100;
constexpr std::int32_t kOutUnit = 1;
constexpr std::int32_t kStdout = 6;

// The first arguments of a statement's begin call: read or write, and the
// record number, where 0 means the next one (always so for sequential units).
constexpr std::int32_t kRead = 1;
constexpr std::int32_t kWrite = 0;
constexpr std::int32_t kNoRecord = 0;

// ---- storage: everything the run needs, set up once ----
char infile[kNameLen];
char outfile[kNameLen];

double header_value;
std::int32_t header_integers[4];
double header_table_29[29];
double header_table_28[28];
double header_table_144[144];
double header_table_306[306];

// A level is converted and its extremes taken as soon as it is read, so one
// 8-byte level, reused, stays in the processor's cache for the whole run.
// Only uu and vv are held converted: both fields are read before the first
// of them is written. All of it, 2.6 million bytes, is one block mapped at
// the first level read, starting on a 2 MiB boundary so that the kernel can
// back it with large pages: they fault in far faster than the hundreds of
// small ones it would take. Mapped, not static: a static block aligned to
// 2 MiB makes the program's image reserve the alignment as well, and a
// modest limit on address space then kills the run before it starts.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
struct LevelStorage {
  float uu4[NLEV][NPTS];
  float vv4[NLEV][NPTS];
  double level[NPTS];  // the level just read
  float level4[NPTS];  // the level just converted, when written at once
};
LevelStorage* mapped_storage = nullptr;

std::size_t round_up(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

void* map_anonymous(std::size_t size) {
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return p == MAP_FAILED ? nullptr : p;
}

// `size` bytes (a multiple of the page size) starting on a 2 MiB boundary,
// or null. A mapping one large page longer always holds such a start; what
// lies outside the block is unmapped again.
void* map_aligned(std::size_t size) {
  void* p = map_anonymous(size + kLargePage);
  if (p == nullptr) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t aligned = round_up(start, kLargePage);
  if (aligned > start) munmap(p, aligned - start);
  munmap(reinterpret_cast<void*>(aligned + size),
         start + size + kLargePage - (aligned + size));
  return reinterpret_cast<void*>(aligned);
}

// The level storage, or null when the memory cannot be had. It is given
// whole large pages, so that the kernel can back all of it with them. Where
// the address space has no room for those and the spare, the block is
// mapped at its own size on small pages.
LevelStorage* map_level_storage() {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t large = round_up(sizeof(LevelStorage), kLargePage);
  if (void* p = map_aligned(large)) {
#ifdef MADV_HUGEPAGE
    // Asked before the block is first touched; where the kernel declines,
    // small pages serve as before.
    madvise(p, large, MADV_HUGEPAGE);
#endif
    return static_cast<LevelStorage*>(p);
  }
  return static_cast<LevelStorage*>(
      map_anonymous(round_up(sizeof(LevelStorage), page)));
}

// The extremes of every level, printed after the field's last level.
Extremes gz_extremes[1];
Extremes q_extremes[1];
Extremes te_extremes[NLEV];
Extremes uu_extremes[NLEV];
Extremes vv_extremes[NLEV];
Extremes rq_extremes[NLEV];

}  // namespace

// The named shared block whose first 32 bytes hold the header text.
extern "C" {
struct {
  char header_text[4][8];
  char reserved[96];
} regbiti;
}

namespace {

void at(std::int32_t statement) {
  fio_src_info(statement, kSource, kSourceLen);
}

// The FILE= text for argument n: the 80-character buffer, or the whole
// argument when it is longer, so that the file opened is the one named.
std::string_view file_text(std::int32_t n, const char* buffer) {
  const std::string_view arg = __qbio_get_argv()[n];
  if (arg.size() > static_cast<std::size_t>(kNameLen)) return arg;
  return {buffer, kNameLen};
}

void usage_stop() {
  static constexpr char kUsage[] = "Usage: kelvoran infile outfile";
  at(63);
  fio_ldw_init(kStdout, kNoRecord, FIO_IOSTAT_NONE);
  fio_ldw(kUsage, TY_CHAR, 1, 0, sizeof kUsage - 1);
  fio_ldw_end();
  ftn_stop(nullptr, 0);
}

void open_files() {
  at(70);
  fio_open_with(kInUnit, {.file = file_text(1, infile), .form = "unformatted"});
  at(71);
  fio_open_with(kOutUnit, {.file = file_text(2, outfile),
                           .status = "new",
                           .access = "direct",
                           .form = "unformatted",
                           .recl = kRecl});
}

// READ(100) level: one record of NPTS 8-byte reals.
void read_level(std::int32_t statement, double* level) {
  at(statement);
  fio_usw_init(kRead, kInUnit, kNoRecord, FIO_IOSTAT_NONE);
  fio_usw_read(level, TY_DBLE, NPTS, 8, 0);
  fio_usw_end();
}

// WRITE(1, REC=rec) level: one record of NPTS 4-byte reals.
void write_level(std::int32_t statement, std::int32_t rec, const float* level) {
  at(statement);
  fio_usw_init(kWrite, kOutUnit, rec, FIO_IOSTAT_NONE);
  fio_usw_write(level, TY_REAL, NPTS, 4, 0);
  fio_usw_end();
}

void read_header() {
  at(73);
  fio_usw_init(kRead, kInUnit, kNoRecord, FIO_IOSTAT_NONE);
  fio_usw_read(regbiti.header_text, TY_CHAR, 4, 8, 8);
  fio_usw_end();

  at(74);
  fio_ldw_init(kStdout, kNoRecord, FIO_IOSTAT_NONE);
  fio_ldw(regbiti.header_text, TY_CHAR, 4, 8, 8);
  fio_ldw_end();

  at(76);
  fio_usw_init(kRead, kInUnit, kNoRecord, FIO_IOSTAT_NONE);
  fio_usw_read(&header_value, TY_DBLE, 1, 0, 0);
  fio_usw_read(header_integers, TY_INT, 4, 4, 0);
  fio_usw_read(header_table_29, TY_DBLE, 29, 8, 0);
  fio_usw_read(header_table_28, TY_DBLE, 28, 8, 0);
  fio_usw_read(header_table_144, TY_DBLE, 144, 8, 0);
  fio_usw_read(header_table_306, TY_DBLE, 306, 8, 0);
  fio_usw_end();

  at(78);
  fio_ldw_init(kStdout, kNoRecord, FIO_IOSTAT_NONE);
  fio_sc_d_ldw(header_value);
  fio_ldw(header_integers, TY_INT, 4, 4, 0);
  fio_ldw(header_table_29, TY_DBLE, 29, 8, 0);
  fio_ldw(header_table_28, TY_DBLE, 28, 8, 0);
  fio_ldw(header_table_144, TY_DBLE, 144, 8, 0);
  fio_ldw(header_table_306, TY_DBLE, 306, 8, 0);
  fio_ldw_end();
}

// The two report records of level k, the same for maxmin_ and for the
// extremes the converter takes while converting.
void print_extremes(const char* label, std::int32_t label_len, std::int32_t k,
                    Extremes e);

// The report of a field whose levels 1 to `levels` were taken in order.
void report(const Extremes* extremes, std::int32_t levels, const char* label,
            std::int32_t label_len) {
  for (std::int32_t k = 1; k <= levels; ++k)
    print_extremes(label, label_len, k, extremes[k - 1]);
}

// The level storage, mapped at the first level read. Without it the READ
// at `statement`, which needs it for its item, fails with the report of any
// allocation failure.
LevelStorage& level_storage(std::int32_t statement) {
  if (mapped_storage == nullptr) mapped_storage = map_level_storage();
  if (mapped_storage == nullptr) {
    at(statement);
    __fio_errinit(kInUnit, FIO_IOSTAT_NONE, "unformatted read");
    __fio_error(FIO_ENOMEM);
    ftn_exit(1);
  }
  return *mapped_storage;
}

}  // namespace

extern "C" void MAIN_(void) {
  if (iargc_() != 2) usage_stop();
  const std::int32_t one = 1, two = 2;
  getarg_(&one, infile, kNameLen);
  getarg_(&two, outfile, kNameLen);
  open_files();
  read_header();

  LevelStorage& storage = level_storage(82);
  auto& uu4 = storage.uu4;
  auto& vv4 = storage.vv4;
  auto& level = storage.level;
  auto& level4 = storage.level4;

  read_level(82, level);
  gz_extremes[0] = convert_level(level, level4, NPTS);
  report(gz_extremes, 1, "gz", 2);
  write_level(87, 1, level4);

  read_level(89, level);
  q_extremes[0] = convert_level(level, level4, NPTS);
  report(q_extremes, 1, "q", 1);
  write_level(94, 2, level4);

  for (std::int32_t k = 0; k < NLEV; ++k) {
    read_level(97, level);
    te_extremes[k] = convert_level(level, level4, NPTS);
    write_level(101, k + 3, level4);
  }
  report(te_extremes, NLEV, "te", 2);

  for (std::int32_t k = 0; k < NLEV; ++k) {
    read_level(106, level);
    uu_extremes[k] = convert_level(level, uu4[k], NPTS);
    read_level(107, level);
    vv_extremes[k] = convert_level(level, vv4[k], NPTS);
  }
  for (std::int32_t k = 0; k < NLEV; ++k) write_level(114, k + 31, uu4[k]);
  for (std::int32_t k = 0; k < NLEV; ++k) write_level(117, k + 59, vv4[k]);
  report(uu_extremes, NLEV, "uu", 2);
  report(vv_extremes, NLEV, "vv", 2);

  for (std::int32_t k = 0; k < NLEV; ++k) {
    read_level(123, level);
    rq_extremes[k] = convert_level(level, level4, NPTS);
    write_level(127, k + 87, level4);
  }
  report(rq_extremes, NLEV, "rq", 2);

  // The five trailing fields are read and not used.
  for (std::int32_t t = 0; t < 5; ++t) read_level(131 + t, level);

  at(137);
  fio_close(kInUnit, FIO_IOSTAT_NONE, nullptr, 0);
}

// ---- per-level extremes, printed as two records per level ----

namespace {

void print_extremes(const char* label, std::int32_t label_len, std::int32_t k,
                    Extremes e) {
  static constexpr char kHasMax[] = " has max=";
  static constexpr char kMin[] = " min=";
  static constexpr char kAtK[] = " at k=";
  at(154);
  fio_ldw_init(kStdout, kNoRecord, FIO_IOSTAT_NONE);
  fio_ldw(label, TY_CHAR, 1, 0, label_len);
  fio_ldw(kHasMax, TY_CHAR, 1, 0, sizeof kHasMax - 1);
  fio_sc_d_ldw(e.max);
  fio_ldw(kMin, TY_CHAR, 1, 0, sizeof kMin - 1);
  fio_sc_d_ldw(e.min);
  fio_ldw(kAtK, TY_CHAR, 1, 0, sizeof kAtK - 1);
  fio_sc_ldw(k, TY_INT);
  fio_ldw_end();
}

}  // namespace

extern "C" void maxmin_(const double* field, const std::int32_t* n,
                        const std::int32_t* /*declared_levels*/,
                        const std::int32_t* first, const std::int32_t* last,
                        const char* label, std::int32_t label_len) {
  const std::int32_t points = *n;
  if (points < 1) return;
  for (std::int32_t k = *first; k <= *last; ++k) {
    const double* values = field + static_cast<std::int64_t>(k - 1) * points;
    print_extremes(label, label_len, k, level_extremes(values, points));
  }
}
