// kelvoran-check: says what a model file is and what kelvoran will do with
// it, and checks that an output file is exactly its conversion. It only
// reads: it never creates, changes or locks a file.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "findings.h"

#ifndef KELVORAN_VERSION
#define KELVORAN_VERSION "0"
#endif

namespace {

using namespace check;

constexpr int kUsageStatus = 64;
// How long a FIFO is given for a writer to open it.
constexpr int kWriterWaitMs = 3000;
// An input that cannot be positioned is read for no more than a complete
// file and this margin, which leaves room for levels of finer grids.
constexpr std::int64_t kReadMargin = std::int64_t{64} << 20;
// kelvoran keeps this many characters of a file name.
constexpr std::size_t kNameLength = 80;

constexpr char kUsage[] =
    "usage: kelvoran-check [-q | --json] INFILE [OUTFILE]\n"
    "Says what INFILE is and what kelvoran would do with it; with OUTFILE,\n"
    "checks that OUTFILE is exactly kelvoran's conversion of INFILE.\n"
    "\n"
    "  -q, --quiet   print nothing; the exit status tells\n"
    "      --json    print one JSON object\n"
    "      --help    print this help\n"
    "      --version print the version\n"
    "\n"
    "Exit status: 0 kelvoran converts INFILE as intended (and OUTFILE verifies);\n"
    "1 kelvoran would fail, the check cannot tell, or OUTFILE is incomplete or\n"
    "different; 2 kelvoran would report success but INFILE is not the layout it\n"
    "expects; 64 a wrong command line.\n";

int usage_error(const char* what, const char* arg) {
  std::fprintf(stderr, "kelvoran-check: %s%s\nTry 'kelvoran-check --help'.\n", what, arg);
  return kUsageStatus;
}

// The name kelvoran opens for an argument: its first 80 characters, without
// the blanks around them.
void kelvoran_name(const char* arg, char* name) {
  std::string_view s(arg, strnlen(arg, kNameLength));
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  std::memcpy(name, s.data(), s.size());
  name[s.size()] = '\0';
}

// A missing input is created empty by kelvoran where its directory lets it.
bool directory_exists(const char* path) {
  char dir[kNameLength + 1];
  std::strcpy(dir, path);
  char* slash = std::strrchr(dir, '/');
  if (slash == nullptr) return true;
  if (slash == dir) slash[1] = '\0';
  else *slash = '\0';
  struct stat st;
  return stat(dir, &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens a file for reading only. A FIFO is given a little while for a
// writer, so that the check never waits for ever; `no_writer` says none came.
int open_read_only(const char* path, bool& no_writer, struct stat& st) {
  no_writer = false;
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0) {
    const int e = errno;
    close(fd);
    errno = e;
    return -1;
  }
  if (S_ISFIFO(st.st_mode)) {
    pollfd p = {fd, POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, kWriterWaitMs)) < 0 && errno == EINTR) {
    }
    no_writer = n == 0;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

// The header text and integers, from the first two records in the file's
// own byte order.
void read_header(Findings& f, const unsigned char* p, std::size_t n) {
  const bool little = f.order == ByteOrder::little;
  auto marker = [&](std::size_t at) {
    return four_bytes(p + at, !little) & 0x7FFFFFFFu;
  };
  if (n < 4) return;
  const std::uint64_t len1 = marker(0);
  if (len1 >= 32 && 4 + 32 <= n) {
    f.have_text = true;
    std::memcpy(f.text, p + 4, 32);
  }
  const std::uint64_t second = 8 + len1;
  if (second + 4 > n) return;
  const std::uint64_t len2 = marker(second);
  if (len2 >= 24 && second + 4 + 24 <= n) {
    f.have_integers = true;
    for (int k = 0; k < 4; ++k) {
      const unsigned char* q = p + second + 4 + 8 + 4 * k;
      f.integers[k] = static_cast<std::int32_t>(four_bytes(q, !little));
    }
  }
}

bool vaxio() {
  const char* v = std::getenv("FORTRANOPT");
  return v != nullptr && std::strstr(v, "vaxio") != nullptr;
}

// The level kelvoran reads into, and the walks' results: one of each.
unsigned char level_scratch[kLevelBytes];
Findings findings;

Verdict input_verdict(const Findings& f) {
  if (!f.kelvoran.known) return Verdict::unknown;
  if (f.kelvoran.status != 0) return Verdict::fails;
  return layout_differs(f) ? Verdict::mismatch : Verdict::ok;
}

bool output_verifies(const Findings& f) {
  const OutputFacts& o = f.output;
  const int want = f.kelvoran.output_records;
  return f.output_open_error == 0 && o.read_error == 0 && f.kelvoran.known &&
         want == kOutputRecords && o.differs == 0 && !o.size_at_least &&
         o.size == want * o.record_bytes;
}

int exit_status(const Findings& f) {
  if (f.outfile != nullptr && !f.output_verifies) return 1;
  switch (f.verdict) {
    case Verdict::ok: return 0;
    case Verdict::mismatch: return 2;
    default: return 1;
  }
}

// Checks the input (and the output, when one is named) and fills findings.
int run(const char* infile, const char* outfile) {
  Findings& f = findings;
  static char opened[kNameLength + 1];
  kelvoran_name(infile, opened);
  f.infile = infile;
  f.opened = opened;
  f.name_differs = std::strcmp(infile, opened) != 0;
  f.outfile = outfile;
  f.vaxio = vaxio();
  f.output.record_bytes = kRecordBytes * (f.vaxio ? 4 : 1);

  int out_fd = -1;
  struct stat out_st {};
  if (outfile != nullptr) {
    bool no_writer = false;
    out_fd = open_read_only(outfile, no_writer, out_st);
    if (out_fd < 0) f.output_open_error = errno;
    else if (no_writer) f.output_open_error = ENODATA;
  }

  bool no_writer = false;
  struct stat st {};
  const int fd = opened[0] == '\0' ? -1 : open_read_only(opened, no_writer, st);
  if (opened[0] == '\0') {
    f.kelvoran = {true, 1, 211, 70, 0, 0};
    f.exists = false;
  } else if (fd < 0) {
    const int e = errno;
    if (e == ENOENT && directory_exists(opened)) {
      f.exists = false;
      f.kelvoran = {true, 1, 217, 73, 1, 0};
    } else {
      f.open_error = e;
      f.kelvoran = {true, 1, e, 70, 0, 0};
    }
  } else if (no_writer) {
    f.fifo_without_writer = true;
    f.kelvoran.known = false;
  } else {
    const bool regular = S_ISREG(st.st_mode);
    Input in(fd, regular, regular ? st.st_size : -1, kCompleteInputBytes + kReadMargin);
    const bool out_regular = out_fd >= 0 && S_ISREG(out_st.st_mode);
    Input out(out_fd, out_regular, out_regular ? out_st.st_size : -1,
              kOutputRecords * f.output.record_bytes + 1);
    Verifier verifier(out, f.output.record_bytes);
    if (!in.allocated() || !out.allocated() || !verifier.allocated()) {
      std::fprintf(stderr, "kelvoran-check: out of memory\n");
      return -1;
    }
    const bool verifying = out_fd >= 0 && f.output_open_error == 0;
    walk(in, Order::big, level_scratch, verifying ? &verifier : nullptr, f.big);
    f.kelvoran = f.big.kelvoran;
    if (verifying) {
      verifier.finish();
      f.output = verifier.facts();
    }
    in.fill_prefix();
    const unsigned char* prefix = nullptr;
    const std::size_t n = in.prefix(prefix);
    f.order = framing_order(prefix, n);
    if (f.order != ByteOrder::unknown) read_header(f, prefix, n);
    if (f.order == ByteOrder::little && regular) {
      Input again(fd, true, st.st_size, 0);
      if (again.allocated()) {
        walk(again, Order::little, level_scratch, nullptr, f.little);
        f.little_walked = true;
      }
    }
  }
  if (fd >= 0) close(fd);
  if (out_fd >= 0) close(out_fd);
  f.verdict = input_verdict(f);
  if (outfile != nullptr) f.output_verifies = output_verifies(f);
  f.status = exit_status(f);
  return f.status;
}

}  // namespace

int main(int argc, char** argv) {
  enum { text, quiet, json } mode = text;
  const char* files[2] = {nullptr, nullptr};
  int nfiles = 0;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (!options_done && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        options_done = true;
      } else if (a == "--help") {
        std::fputs(kUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
      } else if (a == "--version") {
        std::printf("kelvoran-check %s\n", KELVORAN_VERSION);
        return std::fflush(stdout) == 0 ? 0 : 1;
      } else if (a == "-q" || a == "--quiet") {
        mode = quiet;
      } else if (a == "--json") {
        mode = json;
      } else {
        return usage_error("unknown option: ", argv[i]);
      }
      continue;
    }
    if (nfiles == 2) return usage_error("too many files: ", argv[i]);
    files[nfiles++] = argv[i];
  }
  if (nfiles == 0) return usage_error("no INFILE given", "");

  const int status = run(files[0], files[1]);
  if (status < 0) return 1;
  if (mode == text) print_text(findings);
  if (mode == json) print_json(findings);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "kelvoran-check: writing the report: %s\n", std::strerror(errno));
    return 1;
  }
  return status;
}
