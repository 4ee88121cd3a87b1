#include "host.h"

#include <unistd.h>

namespace {
// fseeko and ftello may be macros or overloads; pin the exact signatures.
int libc_fseeko(std::FILE* s, off_t off, int whence) {
  return ::fseeko(s, off, whence);
}
off_t libc_ftello(std::FILE* s) { return ::ftello(s); }
int libc_ftruncate(int fd, off_t len) { return ::ftruncate(fd, len); }
int libc_access(const char* p, int m) { return ::access(p, m); }
int libc_unlink(const char* p) { return ::unlink(p); }
}  // namespace

const HostCalls host_calls_libc = {
    &std::fopen, &std::fclose,  &std::fread,     &std::fwrite,
    &libc_fseeko, &libc_ftello, &std::fflush,    &libc_ftruncate,
    &libc_access, &libc_unlink,
};

HostCalls host_calls = host_calls_libc;
