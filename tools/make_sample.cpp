// kelvoran-sample: writes a sample input file for kelvoran.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "sample_data.h"

#ifndef KELVORAN_VERSION
#define KELVORAN_VERSION "0"
#endif

namespace {

constexpr char kUsage[] =
    "usage: kelvoran-sample OUTPUT\n"
    "Writes a made-up model file for kelvoran (10566568 bytes: two header\n"
    "records and 119 levels of 11094 values) to OUTPUT, which must not exist.\n"
    "\n"
    "      --help     print this help\n"
    "      --version  print the version\n"
    "\n"
    "Exit status: 0 written; 1 OUTPUT exists or cannot be written; 64 a wrong\n"
    "command line.\n";

int fail(const char* path) {
  std::fprintf(stderr, "kelvoran-sample: %s: %s\n", path, std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  bool options_done = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (!options_done && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        options_done = true;
        continue;
      }
      if (a == "--help") return std::fputs(kUsage, stdout) < 0 ? 1 : 0;
      if (a == "--version") return std::printf("kelvoran-sample %s\n", KELVORAN_VERSION) < 0;
      std::fprintf(stderr, "kelvoran-sample: unknown option: %s\nTry 'kelvoran-sample --help'.\n",
                   argv[i]);
      return 64;
    }
    if (path != nullptr) {
      std::fprintf(stderr, "kelvoran-sample: one OUTPUT only\nTry 'kelvoran-sample --help'.\n");
      return 64;
    }
    path = argv[i];
  }
  if (path == nullptr) {
    std::fputs(kUsage, stderr);
    return 64;
  }
  const std::string bytes = sample::file_bytes();
  // O_EXCL: an existing file, or a link to one, is never written over.
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return fail(path);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      close(fd);
      unlink(path);  // a partial sample would pass for a cut model file
      errno = e;
      return fail(path);
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) return fail(path);
  return 0;
}
