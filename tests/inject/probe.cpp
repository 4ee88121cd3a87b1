// Makes two calls of every kind the host-failure interposer stands in
// front of, straight to the C library, and prints for each call whether it
// failed and with which errno, one line per kind: "kind r1 e1 r2 e2".
// Run under the interposer, it shows that each kind is caught, the program's
// direct read and write calls included.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

void line(const char* kind, bool ok1, int e1, bool ok2, int e2) {
  std::fprintf(stderr, "%s %d %d %d %d\n", kind, ok1 ? 0 : -1, ok1 ? 0 : e1, ok2 ? 0 : -1,
               ok2 ? 0 : e2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const char* path = argv[1];
  int e[2];
  bool ok[2];
  std::FILE* f[2] = {};
  for (int i = 0; i < 2; ++i) {
    errno = 0;
    f[i] = std::fopen(path, "w+");
    ok[i] = f[i] != nullptr;
    e[i] = errno;
  }
  line("fopen", ok[0], e[0], ok[1], e[1]);
  std::FILE* s = f[0] != nullptr ? f[0] : f[1];
  if (s == nullptr) return 3;
  char buf[4] = {'a', 'b', 'c', 'd'};
  auto probe = [&](const char* kind, auto call) {
    for (int i = 0; i < 2; ++i) {
      errno = 0;
      ok[i] = call();
      e[i] = errno;
    }
    line(kind, ok[0], e[0], ok[1], e[1]);
  };
  probe("fwrite", [&] { return std::fwrite(buf, 1, 4, s) == 4; });
  probe("fflush", [&] { return std::fflush(s) == 0; });
  probe("fseeko", [&] { return fseeko(s, 0, SEEK_SET) == 0; });
  probe("ftello", [&] { return ftello(s) >= 0; });
  probe("fread", [&] { return std::fread(buf, 1, 2, s) == 2; });
  probe("ftruncate", [&] { return ftruncate(fileno(s), 2) == 0; });
  const int fd = ::open(path, O_RDWR);
  if (fd < 0) return 4;
  probe("write", [&] { return ::write(fd, buf, 1) == 1; });
  probe("read", [&] { return ::read(fd, buf, 1) >= 0; });
  ::close(fd);
  probe("fclose", [&] {
    std::FILE* g = std::fopen(path, "r");
    return g != nullptr && std::fclose(g) == 0;
  });
  if (f[1] != nullptr && f[1] != s) std::fclose(f[1]);
  std::fclose(s);
  return 0;
}
