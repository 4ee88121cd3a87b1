// kelvoran-sample: writes a sample input file for kelvoran.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "sample_data.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kelvoran-sample OUTPUT\n"
                         "writes a sample model file (10566568 bytes) to OUTPUT,"
                         " which must not exist\n");
    return 2;
  }
  const std::string bytes = sample::file_bytes();
  const int fd = open(argv[1], O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "kelvoran-sample: %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "kelvoran-sample: %s: %s\n", argv[1], std::strerror(errno));
      close(fd);
      return 1;
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) {
    std::fprintf(stderr, "kelvoran-sample: %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  return 0;
}
