// Runs a piece of test code, or a program, in a child process with its
// standard streams captured, so that paths which end the process (error
// reports, stops) can be checked byte for byte and every case starts with
// the layer's state fresh.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ChildResult {
  bool exited = false;  // ended through exit/_exit
  int exit_code = -1;   // valid when exited
  int signal = 0;       // the signal that ended it, or 0
  std::string out;      // bytes written to standard output
  std::string err;      // bytes written to standard error
  std::string notes;    // text the child passed back with child_note
};

struct ChildOptions {
  std::string dir;         // working directory of the child (empty: unchanged)
  std::string stdin_data;  // standard input of the child
  std::vector<std::pair<std::string, std::string>> env;  // set in the child
  std::vector<std::string> unset_env;                    // removed in the child
  int timeout_seconds = 60;  // the child is killed after this
};

// Runs `body` in a forked child. When `body` returns, the child flushes its
// streams and ends with status 0.
ChildResult run_child(const std::function<void()>& body,
                      const ChildOptions& options = {});

// Runs a program with the given arguments (argv[0] included).
ChildResult run_program(const std::vector<std::string>& argv,
                        const ChildOptions& options = {});

// In the child: appends text to the notes channel read back by the parent.
void child_note(const std::string& text);
void child_notef(const char* format, ...)
    __attribute__((format(printf, 1, 2)));

// Paths of the programs under test: kelvoran, kelvoran-check and
// kelvoran-sample.
std::string kelvoran_binary();
std::string check_binary();
std::string sample_binary();

// Null where a test can start the programs of its build (the converter, the
// interposer's probe, a memcheck run); otherwise why it cannot: a test
// built for another processor runs under an emulator, which starts this
// test but not a second program of the target.
const char* target_programs_unavailable();

// The first statement of a test that starts programs of its build.
#define SKIP_UNLESS_TARGET_PROGRAMS_RUN()                   \
  if (const char* why = target_programs_unavailable()) \
  GTEST_SKIP() << why
