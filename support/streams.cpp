// Standard streams, the host error number and queries on a stream.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "qbc.h"

extern "C" {

std::FILE* __qbio_stdin(void) { return stdin; }
std::FILE* __qbio_stdout(void) { return stdout; }
std::FILE* __qbio_stderr(void) { return stderr; }

std::int32_t __qbio_errno(void) { return errno; }

std::int32_t __qbio_feof(std::FILE* stream) { return std::feof(stream) != 0; }

// A stream that cannot be positioned: a pipe, a FIFO or a socket.
std::int32_t __qbio_ispipe(std::FILE* stream) {
  struct stat st;
  if (fstat(fileno(stream), &st) != 0) return 0;
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
}

std::int32_t __qbio_getfd(std::FILE* stream) { return fileno(stream); }

// Streams on this host have no text mode.
std::int32_t __qbio_binary_mode(std::FILE*) { return 1; }

std::int64_t __mth_i_klshift(std::int64_t value, std::int32_t shift) {
  if (shift <= -64 || shift >= 64) return 0;
  const auto bits = static_cast<std::uint64_t>(value);
  return static_cast<std::int64_t>(shift >= 0 ? bits << shift
                                              : bits >> -shift);
}

}  // extern "C"
