// Host-failure interposer, loaded into a run of the program with LD_PRELOAD.
// It stands in front of the C library's stream and file calls, counts the
// calls of each kind, and makes the k-th call of one chosen kind fail with
// a chosen errno, doing nothing else. The program itself carries no test
// hook: its host-call table holds the C library's own entries, which the
// dynamic linker resolves to these functions first.
//
// Environment:
//   KELVORAN_FAULT_KIND   kind of call to fail: fopen, fread, fwrite, fseeko,
//                         ftello, fflush, fclose, ftruncate, read or write
//   KELVORAN_FAULT_AT     which call of that kind fails, counting from 1
//   KELVORAN_FAULT_ERRNO  the errno it fails with (default EIO)
//   KELVORAN_FAULT_COUNTS file that receives, at process exit, one line
//                         "kind count" per kind
// Without KELVORAN_FAULT_KIND nothing fails and the calls are only counted.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum Kind {
  kFopen,
  kFread,
  kFwrite,
  kFseeko,
  kFtello,
  kFflush,
  kFclose,
  kFtruncate,
  kRead,
  kWrite,
  kKinds
};

constexpr const char* kKindNames[kKinds] = {
    "fopen",  "fread",  "fwrite",    "fseeko", "ftello",
    "fflush", "fclose", "ftruncate", "read",   "write"};

std::atomic<long> calls[kKinds];
int fail_kind = -1;
long fail_at = 0;
int fail_errno = EIO;
bool configured = false;

void configure() {
  if (configured) return;
  configured = true;
  const char* kind = std::getenv("KELVORAN_FAULT_KIND");
  const char* at = std::getenv("KELVORAN_FAULT_AT");
  const char* err = std::getenv("KELVORAN_FAULT_ERRNO");
  if (kind != nullptr)
    for (int k = 0; k < kKinds; ++k)
      if (std::strcmp(kind, kKindNames[k]) == 0) fail_kind = k;
  if (at != nullptr) fail_at = std::atol(at);
  if (err != nullptr) fail_errno = std::atoi(err);
}

// Counts one call; true when this call is the one to fail.
bool hit(Kind kind) {
  configure();
  const long n = ++calls[kind];
  return kind == fail_kind && n == fail_at;
}

template <typename F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using FopenFn = FILE* (*)(const char*, const char*);
using FreadFn = size_t (*)(void*, size_t, size_t, FILE*);
using FwriteFn = size_t (*)(const void*, size_t, size_t, FILE*);
using FseekoFn = int (*)(FILE*, off_t, int);
using FtelloFn = off_t (*)(FILE*);
using StreamFn = int (*)(FILE*);
using FtruncateFn = int (*)(int, off_t);
using ReadFn = ssize_t (*)(int, void*, size_t);
using WriteFn = ssize_t (*)(int, const void*, size_t);

// Writes the counts when the process ends, whichever way it ends through
// exit; the file is written with the C library's own calls, not counted.
__attribute__((destructor)) void write_counts() {
  const char* path = std::getenv("KELVORAN_FAULT_COUNTS");
  if (path == nullptr) return;
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  static const WriteFn real_write = next<WriteFn>("write");
  char line[64];
  for (int k = 0; k < kKinds; ++k) {
    const int n = std::snprintf(line, sizeof line, "%s %ld\n", kKindNames[k],
                                calls[k].load());
    if (n > 0) (void)real_write(fd, line, static_cast<size_t>(n));
  }
  ::close(fd);
}

}  // namespace

extern "C" {

FILE* fopen(const char* path, const char* mode) {
  static const FopenFn real = next<FopenFn>("fopen");
  if (hit(kFopen)) {
    errno = fail_errno;
    return nullptr;
  }
  return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  static const FopenFn real = next<FopenFn>("fopen64");
  if (hit(kFopen)) {
    errno = fail_errno;
    return nullptr;
  }
  return real(path, mode);
}

size_t fread(void* buf, size_t size, size_t n, FILE* stream) {
  static const FreadFn real = next<FreadFn>("fread");
  if (hit(kFread)) {
    errno = fail_errno;
    return 0;
  }
  return real(buf, size, n, stream);
}

size_t fwrite(const void* buf, size_t size, size_t n, FILE* stream) {
  static const FwriteFn real = next<FwriteFn>("fwrite");
  if (hit(kFwrite)) {
    errno = fail_errno;
    return 0;
  }
  return real(buf, size, n, stream);
}

int fseeko(FILE* stream, off_t offset, int whence) {
  static const FseekoFn real = next<FseekoFn>("fseeko");
  if (hit(kFseeko)) {
    errno = fail_errno;
    return -1;
  }
  return real(stream, offset, whence);
}

int fseeko64(FILE* stream, off_t offset, int whence) {
  static const FseekoFn real = next<FseekoFn>("fseeko64");
  if (hit(kFseeko)) {
    errno = fail_errno;
    return -1;
  }
  return real(stream, offset, whence);
}

off_t ftello(FILE* stream) {
  static const FtelloFn real = next<FtelloFn>("ftello");
  if (hit(kFtello)) {
    errno = fail_errno;
    return -1;
  }
  return real(stream);
}

off_t ftello64(FILE* stream) {
  static const FtelloFn real = next<FtelloFn>("ftello64");
  if (hit(kFtello)) {
    errno = fail_errno;
    return -1;
  }
  return real(stream);
}

int fflush(FILE* stream) {
  static const StreamFn real = next<StreamFn>("fflush");
  if (hit(kFflush)) {
    errno = fail_errno;
    return EOF;
  }
  return real(stream);
}

// A failing close still releases the stream, as the C library's does: the
// buffered bytes go out and only the result reports the failure.
int fclose(FILE* stream) {
  static const StreamFn real = next<StreamFn>("fclose");
  if (hit(kFclose)) {
    (void)real(stream);
    errno = fail_errno;
    return EOF;
  }
  return real(stream);
}

int ftruncate(int fd, off_t length) noexcept {
  static const FtruncateFn real = next<FtruncateFn>("ftruncate");
  if (hit(kFtruncate)) {
    errno = fail_errno;
    return -1;
  }
  return real(fd, length);
}

int ftruncate64(int fd, off_t length) noexcept {
  static const FtruncateFn real = next<FtruncateFn>("ftruncate64");
  if (hit(kFtruncate)) {
    errno = fail_errno;
    return -1;
  }
  return real(fd, length);
}

ssize_t read(int fd, void* buf, size_t n) {
  static const ReadFn real = next<ReadFn>("read");
  if (hit(kRead)) {
    errno = fail_errno;
    return -1;
  }
  return real(fd, buf, n);
}

ssize_t write(int fd, const void* buf, size_t n) {
  static const WriteFn real = next<WriteFn>("write");
  if (hit(kWrite)) {
    errno = fail_errno;
    return -1;
  }
  return real(fd, buf, n);
}

}  // extern "C"
