// Unique temporary names. The name is created with mkstemp (exclusive
// create), so it cannot collide with an existing file or with the name
// another process is handed at the same moment; the caller reopens it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qbc.h"

extern "C" char* __qbio_tempnam(const char* dir, const char* prefix) {
  const char* base = "/tmp";
  if (dir != nullptr && *dir != '\0') {
    base = dir;
  } else if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
    base = tmp;
  }
  if (prefix == nullptr) prefix = "";
  const std::size_t base_len = std::strlen(base);
  const char* slash = base[base_len - 1] == '/' ? "" : "/";
  // Built in plain heap storage: no memory is a null result, never a throw.
  const std::size_t size =
      base_len + std::strlen(slash) + std::strlen(prefix) + sizeof "XXXXXX";
  char* name = static_cast<char*>(std::malloc(size));
  if (name == nullptr) return nullptr;
  std::snprintf(name, size, "%s%s%sXXXXXX", base, slash, prefix);
  const int fd = mkstemp(name);
  if (fd < 0) {
    std::free(name);
    return nullptr;
  }
  close(fd);
  return name;
}
