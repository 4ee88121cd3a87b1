#include "child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "files.h"

namespace {

int notes_fd = -1;

int temp_fd(std::string& path) {
  char name[] = "/tmp/kelvoran-test-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  path = name;
  return fd;
}

// Sets up the child's streams and environment; returns only in the child.
void enter_child(const ChildOptions& o, int in_fd, int out_fd, int err_fd) {
  if (!o.dir.empty() && chdir(o.dir.c_str()) != 0) _exit(125);
  dup2(in_fd, 0);
  dup2(out_fd, 1);
  dup2(err_fd, 2);
  for (const auto& [k, v] : o.env) setenv(k.c_str(), v.c_str(), 1);
  for (const auto& k : o.unset_env) unsetenv(k.c_str());
  alarm(static_cast<unsigned>(o.timeout_seconds));
}

template <typename Start>
ChildResult run(const ChildOptions& o, Start start) {
  std::string in_path, out_path, err_path, notes_path;
  const int in_fd = temp_fd(in_path);
  const int out_fd = temp_fd(out_path);
  const int err_fd = temp_fd(err_path);
  const int n_fd = temp_fd(notes_path);
  if (!o.stdin_data.empty()) {
    write_all(in_fd, o.stdin_data);
    lseek(in_fd, 0, SEEK_SET);
  }
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    enter_child(o, in_fd, out_fd, err_fd);
    notes_fd = n_fd;
    start();
    _exit(126);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  ChildResult r;
  r.exited = WIFEXITED(status);
  r.exit_code = r.exited ? WEXITSTATUS(status) : -1;
  r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  r.notes = read_file(notes_path);
  for (int fd : {in_fd, out_fd, err_fd, n_fd}) close(fd);
  for (const auto* p : {&in_path, &out_path, &err_path, &notes_path})
    unlink(p->c_str());
  return r;
}

}  // namespace

ChildResult run_child(const std::function<void()>& body,
                      const ChildOptions& options) {
  return run(options, [&] {
    body();
    std::fflush(nullptr);
    _exit(0);
  });
}

ChildResult run_program(const std::vector<std::string>& argv,
                        const ChildOptions& options) {
  return run(options, [&] {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  });
}

void child_note(const std::string& text) {
  if (notes_fd >= 0) write_all(notes_fd, text);
}

void child_notef(const char* format, ...) {
  char buf[4096];
  va_list ap;
  va_start(ap, format);
  const int n = std::vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  if (n > 0) child_note(std::string(buf, std::min<std::size_t>(n, sizeof buf - 1)));
}

std::string kelvoran_binary() {
  if (const char* p = std::getenv("KELVORAN_BIN"); p && *p) return p;
#ifdef KELVORAN_BIN
  return KELVORAN_BIN;
#else
  return "kelvoran";
#endif
}

std::string check_binary() {
  if (const char* p = std::getenv("KELVORAN_CHECK_BIN"); p && *p) return p;
  return KELVORAN_CHECK_BIN;
}

std::string sample_binary() { return KELVORAN_SAMPLE_BIN; }

const char* target_programs_unavailable() {
#ifdef KELVORAN_TESTS_EMULATED
  return "built for another processor and run under an emulator, which "
         "cannot start a second program of the target";
#else
  return nullptr;
#endif
}
