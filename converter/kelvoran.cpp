// kelvoran: converts a big-endian sequential file of 8-byte model fields
// into a big-endian direct-access file of 4-byte records, printing the
// header and each level's extremes. One fixed sequence of I/O statements;
// each statement first records its number for the error reports.
#include <cstring>

#include "fio.h"
#include "ftn.h"
#include "qbc.h"

namespace {

constexpr char kSource[] = "kelvoran";
constexpr std::int32_t kSourceLen = sizeof kSource - 1;
constexpr std::int32_t kNameLen = 80;

constexpr std::int32_t kInUnit = 100;
constexpr std::int32_t kOutUnit = 1;
constexpr std::int32_t kStdout = 6;

void at(std::int32_t statement) {
  fio_src_info(statement, kSource, kSourceLen);
}

char infile[kNameLen];
char outfile[kNameLen];

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
  fio_open(kOutUnit, 0, kNew, nullptr, kDirect, nullptr, 44376, out.text,
           kUnformatted, 0, 0, 1, 0, 0, 0, sizeof kNew - 1, 0,
           sizeof kDirect - 1, 0, out.len, kUnfLen, 0, 0);
}

}  // namespace

extern "C" void MAIN_(void) {
  if (iargc_() != 2) usage_stop();
  const std::int32_t one = 1, two = 2;
  getarg_(&one, infile, kNameLen);
  getarg_(&two, outfile, kNameLen);
  open_files();
}
