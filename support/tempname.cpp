// Unique temporary names. The name is created with mkstemp (exclusive
// create), so it cannot collide with an existing file or with the name
// another process is handed at the same moment; the caller reopens it.
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "qbc.h"

extern "C" char* __qbio_tempnam(const char* dir, const char* prefix) {
  std::string path;
  if (dir != nullptr && *dir != '\0') {
    path = dir;
  } else if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
    path = tmp;
  } else {
    path = "/tmp";
  }
  if (path.back() != '/') path += '/';
  path += (prefix != nullptr ? prefix : "");
  path += "XXXXXX";

  char* name = static_cast<char*>(std::malloc(path.size() + 1));
  if (name == nullptr) return nullptr;
  std::memcpy(name, path.c_str(), path.size() + 1);
  const int fd = mkstemp(name);
  if (fd < 0) {
    std::free(name);
    return nullptr;
  }
  close(fd);
  return name;
}
