// kelvoran: converts a big-endian sequential file of 8-byte model fields
// into a big-endian direct-access file of 4-byte records, printing the
// header and each level's extremes. One fixed sequence of I/O statements;
// each statement first records its number for the error reports.
#include <sys/mman.h>

#include <bit>
#include <cstring>

#include "fio.h"
#include "ftn.h"
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

// ---- static storage: everything the run needs, allocated once ----
char infile[kNameLen];
char outfile[kNameLen];

double header_value;
std::int32_t header_integers[4];
double header_table_29[29];
double header_table_28[28];
double header_table_144[144];
double header_table_306[306];

// The field arrays, about 15.6 million bytes, in one block aligned to the
// 2 MiB pages the kernel can back it with: a few large pages fault in far
// faster than thousands of small ones.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
struct alignas(kLargePage) Fields {
  double gz[NPTS];
  double q[NPTS];
  double te[NLEV][NPTS];
  double uu[NLEV][NPTS];
  double vv[NLEV][NPTS];
  double rq[NLEV][NPTS];
  double trailing_field[5][NPTS];

  float gz4[NPTS];
  float q4[NPTS];
  float te4[NLEV][NPTS];
  float uu4[NLEV][NPTS];
  float vv4[NLEV][NPTS];
  float rq4[NLEV][NPTS];
};
Fields fields;

auto& gz = fields.gz;
auto& q = fields.q;
auto& te = fields.te;
auto& uu = fields.uu;
auto& vv = fields.vv;
auto& rq = fields.rq;
auto& trailing_field = fields.trailing_field;
auto& gz4 = fields.gz4;
auto& q4 = fields.q4;
auto& te4 = fields.te4;
auto& uu4 = fields.uu4;
auto& vv4 = fields.vv4;
auto& rq4 = fields.rq4;

// Asks for large pages before the storage is first touched; where the
// kernel declines, small pages serve as before.
void prefer_large_pages() {
#ifdef MADV_HUGEPAGE
  madvise(&fields, sizeof fields, MADV_HUGEPAGE);
#endif
}

}  // namespace

// The named shared block whose first 32 bytes hold the header text.
extern "C" {
struct {
  char header_text[4][8];
  char reserved[96];
} regbiti;
}

namespace {

bool has_nan(const double* x, std::int32_t n);

void at(std::int32_t statement) {
  fio_src_info(statement, kSource, kSourceLen);
}

struct FileText {
  const char* text;
  std::int32_t len;
};

// The FILE= text for argument n: the 80-character buffer, or the whole
// argument when it is longer, so that the file opened is the one named.
FileText file_text(std::int32_t n, const char* buffer) {
  const char* arg = __qbio_get_argv()[n];
  const std::size_t len = std::strlen(arg);
  if (len > static_cast<std::size_t>(kNameLen))
    return {arg, static_cast<std::int32_t>(len)};
  return {buffer, kNameLen};
}

void usage_stop() {
  static constexpr char kUsage[] = "Usage: kelvoran infile outfile";
  at(63);
  fio_ldw_init(kStdout, 0, 0);
  fio_ldw(kUsage, TY_CHAR, 1, 0, sizeof kUsage - 1);
  fio_ldw_end();
  ftn_stop(nullptr, 0);
}

void open_files() {
  const FileText in = file_text(1, infile);
  const FileText out = file_text(2, outfile);
  static constexpr char kUnformatted[] = "unformatted";
  static constexpr char kNew[] = "new";
  static constexpr char kDirect[] = "direct";
  constexpr std::int32_t kUnfLen = sizeof kUnformatted - 1;

  at(70);
  fio_open(kInUnit, 0, nullptr, nullptr, nullptr, nullptr, 0, in.text,
           kUnformatted, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, in.len, kUnfLen, 0, 0);
  at(71);
  fio_open(kOutUnit, 0, kNew, nullptr, kDirect, nullptr, kRecl, out.text,
           kUnformatted, 0, 0, 1, 0, 0, 0, sizeof kNew - 1, 0,
           sizeof kDirect - 1, 0, out.len, kUnfLen, 0, 0);
}

// READ(100) level: one record of NPTS 8-byte reals.
void read_level(std::int32_t statement, double* level) {
  at(statement);
  fio_usw_init(1, kInUnit, 0, 0);
  fio_usw_read(level, TY_DBLE, NPTS, 8, 0);
  fio_usw_end();
}

// WRITE(1, REC=rec) level: one record of NPTS 4-byte reals.
void write_level(std::int32_t statement, std::int32_t rec, const float* level) {
  at(statement);
  fio_usw_init(0, kOutUnit, rec, 0);
  fio_usw_write(level, TY_REAL, NPTS, 4, 0);
  fio_usw_end();
}

// 8-byte to 4-byte real, rounding to nearest. A NaN keeps its sign and the
// leading bits of its fraction and becomes quiet, whatever the hardware
// would do with it.
float to_real4(double x) {
  if (x != x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const auto sign = static_cast<std::uint32_t>(bits >> 32) & 0x80000000u;
    const auto frac = static_cast<std::uint32_t>(bits >> 29) & 0x007FFFFFu;
    return std::bit_cast<float>(sign | 0x7FC00000u | frac);
  }
  return static_cast<float>(x);
}

// Plain rounding runs in vector registers; the rare level that holds a NaN
// is then passed over again value by value.
void convert_level(const double* in, float* out) {
  for (std::int32_t i = 0; i < NPTS; ++i) out[i] = static_cast<float>(in[i]);
  if (has_nan(in, NPTS))
    for (std::int32_t i = 0; i < NPTS; ++i) out[i] = to_real4(in[i]);
}

void read_header() {
  at(73);
  fio_usw_init(1, kInUnit, 0, 0);
  fio_usw_read(regbiti.header_text, TY_CHAR, 4, 8, 8);
  fio_usw_end();

  at(74);
  fio_ldw_init(kStdout, 0, 0);
  fio_ldw(regbiti.header_text, TY_CHAR, 4, 8, 8);
  fio_ldw_end();

  at(76);
  fio_usw_init(1, kInUnit, 0, 0);
  fio_usw_read(&header_value, TY_DBLE, 1, 0, 0);
  fio_usw_read(header_integers, TY_INT, 4, 4, 0);
  fio_usw_read(header_table_29, TY_DBLE, 29, 8, 0);
  fio_usw_read(header_table_28, TY_DBLE, 28, 8, 0);
  fio_usw_read(header_table_144, TY_DBLE, 144, 8, 0);
  fio_usw_read(header_table_306, TY_DBLE, 306, 8, 0);
  fio_usw_end();

  at(78);
  fio_ldw_init(kStdout, 0, 0);
  fio_sc_d_ldw(header_value);
  fio_ldw(header_integers, TY_INT, 4, 4, 0);
  fio_ldw(header_table_29, TY_DBLE, 29, 8, 0);
  fio_ldw(header_table_28, TY_DBLE, 28, 8, 0);
  fio_ldw(header_table_144, TY_DBLE, 144, 8, 0);
  fio_ldw(header_table_306, TY_DBLE, 306, 8, 0);
  fio_ldw_end();
}

void report(const double* field, std::int32_t levels, const char* label,
            std::int32_t label_len) {
  const std::int32_t n = NPTS, first = 1;
  maxmin_(field, &n, &levels, &first, &levels, label, label_len);
}

}  // namespace

extern "C" void MAIN_(void) {
  if (iargc_() != 2) usage_stop();
  prefer_large_pages();
  const std::int32_t one = 1, two = 2;
  getarg_(&one, infile, kNameLen);
  getarg_(&two, outfile, kNameLen);
  open_files();
  read_header();

  read_level(82, gz);
  report(gz, 1, "gz", 2);
  convert_level(gz, gz4);
  write_level(87, 1, gz4);

  read_level(89, q);
  report(q, 1, "q", 1);
  convert_level(q, q4);
  write_level(94, 2, q4);

  for (std::int32_t k = 0; k < NLEV; ++k) {
    read_level(97, te[k]);
    convert_level(te[k], te4[k]);
    write_level(101, k + 3, te4[k]);
  }
  report(te[0], NLEV, "te", 2);

  for (std::int32_t k = 0; k < NLEV; ++k) {
    read_level(106, uu[k]);
    read_level(107, vv[k]);
    convert_level(uu[k], uu4[k]);
    convert_level(vv[k], vv4[k]);
  }
  for (std::int32_t k = 0; k < NLEV; ++k) write_level(114, k + 31, uu4[k]);
  for (std::int32_t k = 0; k < NLEV; ++k) write_level(117, k + 59, vv4[k]);
  report(uu[0], NLEV, "uu", 2);
  report(vv[0], NLEV, "vv", 2);

  for (std::int32_t k = 0; k < NLEV; ++k) {
    read_level(123, rq[k]);
    convert_level(rq[k], rq4[k]);
    write_level(127, k + 87, rq4[k]);
  }
  report(rq[0], NLEV, "rq", 2);

  for (std::int32_t t = 0; t < 5; ++t) read_level(131 + t, trailing_field[t]);

  at(137);
  fio_close(kInUnit, 0, nullptr, 0);
}

// ---- per-level extremes, printed as two records per level ----

namespace {
// Running extremes of the level being reported by maxmin_.
double running_max;
double running_min;

// Whether any of the values is a NaN: an exponent of all ones with a
// non-zero fraction makes the masked bits, plus the largest fraction,
// carry into the top bit. Integer operations only, so it runs in vector
// registers.
bool has_nan(const double* x, std::int32_t n) {
  std::uint64_t carry = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const auto bits = std::bit_cast<std::uint64_t>(x[i]);
    carry |= (bits & 0x7FFFFFFFFFFFFFFFull) + 0x000FFFFFFFFFFFFFull;
  }
  return (carry >> 63) != 0;
}

// The extremes of one level as a running comparison defines them: the
// comparisons are strict and the newer value wins every false test, so a
// NaN replaces both extremes and the value after it starts them afresh.
// The result is the NaN when the level ends with one, else the largest and
// smallest of the values after the last NaN. These are found with four
// running extremes side by side, which the processor overlaps; taken in
// another order equal values can differ only in the sign of a zero, and a
// zero is printed without its sign.
void level_extremes(const double* level, std::int32_t points) {
  std::int32_t start = 0;
  if (has_nan(level, points)) {
    std::int32_t last = points - 1;
    while (level[last] == level[last]) --last;
    if (last == points - 1) {
      running_max = running_min = level[last];
      return;
    }
    start = last + 1;
  }
  const double* x = level + start;
  const std::int32_t n = points - start;
  double hi[4] = {x[0], x[0], x[0], x[0]};
  double lo[4] = {x[0], x[0], x[0], x[0]};
  std::int32_t i = 0;
  for (; i + 4 <= n; i += 4)
    for (int l = 0; l < 4; ++l) {
      hi[l] = hi[l] > x[i + l] ? hi[l] : x[i + l];
      lo[l] = lo[l] < x[i + l] ? lo[l] : x[i + l];
    }
  for (; i < n; ++i) {
    hi[0] = hi[0] > x[i] ? hi[0] : x[i];
    lo[0] = lo[0] < x[i] ? lo[0] : x[i];
  }
  for (int l = 1; l < 4; ++l) {
    hi[0] = hi[0] > hi[l] ? hi[0] : hi[l];
    lo[0] = lo[0] < lo[l] ? lo[0] : lo[l];
  }
  running_max = hi[0];
  running_min = lo[0];
}
}  // namespace

extern "C" void maxmin_(const double* field, const std::int32_t* n,
                        const std::int32_t* /*declared_levels*/,
                        const std::int32_t* first, const std::int32_t* last,
                        const char* label, std::int32_t label_len) {
  static constexpr char kHasMax[] = " has max=";
  static constexpr char kMin[] = " min=";
  static constexpr char kAtK[] = " at k=";
  const std::int32_t points = *n;
  if (points < 1) return;
  for (std::int32_t k = *first; k <= *last; ++k) {
    const double* level = field + static_cast<std::int64_t>(k - 1) * points;
    level_extremes(level, points);
    at(154);
    fio_ldw_init(6, 0, 0);
    fio_ldw(label, TY_CHAR, 1, 0, label_len);
    fio_ldw(kHasMax, TY_CHAR, 1, 0, sizeof kHasMax - 1);
    fio_sc_d_ldw(running_max);
    fio_ldw(kMin, TY_CHAR, 1, 0, sizeof kMin - 1);
    fio_sc_d_ldw(running_min);
    fio_ldw(kAtK, TY_CHAR, 1, 0, sizeof kAtK - 1);
    fio_sc_ldw(k, TY_INT);
    fio_ldw_end();
  }
}
