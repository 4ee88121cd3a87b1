// Every host call of the layer whose failure the layer reports goes through
// this table. Each wrapper clears errno first, so the number the reporter
// shows belongs to the failing call and is never left over from an earlier
// one. Tests replace entries to make chosen calls fail.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

struct HostCalls {
  std::FILE* (*fopen)(const char* path, const char* mode);
  int (*fclose)(std::FILE* stream);
  std::size_t (*fread)(void* buf, std::size_t size, std::size_t n,
                       std::FILE* stream);
  std::size_t (*fwrite)(const void* buf, std::size_t size, std::size_t n,
                        std::FILE* stream);
  int (*fseeko)(std::FILE* stream, off_t offset, int whence);
  off_t (*ftello)(std::FILE* stream);
  int (*fflush)(std::FILE* stream);
  int (*ftruncate)(int fd, off_t length);
  int (*access)(const char* path, int mode);
  int (*unlink)(const char* path);
};

// The live table; starts out pointing at the C library.
extern HostCalls host_calls;
// The C library's own entries, for restoring the table.
extern const HostCalls host_calls_libc;

namespace host {

inline std::FILE* fopen(const char* path, const char* mode) {
  errno = 0;
  return host_calls.fopen(path, mode);
}
inline int fclose(std::FILE* s) {
  errno = 0;
  return host_calls.fclose(s);
}
inline std::size_t fread(void* b, std::size_t size, std::size_t n,
                         std::FILE* s) {
  errno = 0;
  return host_calls.fread(b, size, n, s);
}
inline std::size_t fwrite(const void* b, std::size_t size, std::size_t n,
                          std::FILE* s) {
  errno = 0;
  return host_calls.fwrite(b, size, n, s);
}
inline int fseeko(std::FILE* s, off_t off, int whence) {
  errno = 0;
  return host_calls.fseeko(s, off, whence);
}
inline off_t ftello(std::FILE* s) {
  errno = 0;
  return host_calls.ftello(s);
}
inline int fflush(std::FILE* s) {
  errno = 0;
  return host_calls.fflush(s);
}
inline int ftruncate(int fd, off_t len) {
  errno = 0;
  return host_calls.ftruncate(fd, len);
}
inline int access(const char* path, int mode) {
  errno = 0;
  return host_calls.access(path, mode);
}
inline int unlink(const char* path) {
  errno = 0;
  return host_calls.unlink(path);
}

}  // namespace host
