// The converter under limits of address space (ulimit -v) and of stack
// (ulimit -s): every run completes with the same bytes as an unlimited
// run, or fails with a numbered report and status 1, or is refused before
// main by the system or the C library, which the start probe (the
// converter's image, stopping at main) shows by dying at the same limit.
// A run is never ended by a signal from the converter's own code.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "child.h"
#include "files.h"
#include "fio.h"
#include "fio_open_with.h"
#include "qbc.h"
#include "sample_data.h"

extern "C" void MAIN_(void);

namespace {

struct ReferenceRun {
  ChildResult result;
  std::string output;
};

// The program under `ulimit -<kind> kb`, in `dir`, with no environment: the
// limits left over for the program must not depend on the caller's.
ChildResult under_limit(char kind, long kb, const std::vector<std::string>& argv,
                        const std::string& dir) {
  std::string script = "ulimit -" + std::string(1, kind) + " " +
                       std::to_string(kb) + " && exec";
  for (std::size_t i = 0; i < argv.size(); ++i)
    script += " \"$" + std::to_string(i) + "\"";
  std::vector<std::string> args = {"/usr/bin/env", "-i", "/bin/sh", "-c", script};
  args.insert(args.end(), argv.begin(), argv.end());
  return run_program(args, {.dir = dir});
}

bool reached_main(const ChildResult& r) {
  return r.exited && r.exit_code == 0 && r.out == "main\n";
}

enum class Outcome { complete, reported, refused, wrong };

const char* name(Outcome o) {
  switch (o) {
    case Outcome::complete: return "complete";
    case Outcome::reported: return "numbered report";
    case Outcome::refused: return "refused before main";
    default: return "WRONG";
  }
}

struct Sweep {
  char kind;
  std::vector<long> kb;
  int tries;  // the stack's start is placed at random: each limit is tried
              // several times, the probe twice as often
};

class LimitSweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    write_file(dir_->file("in.dat"), sample::file_bytes());
    reference_ = new ReferenceRun;
    reference_->result = run_program(
        {"/usr/bin/env", "-i", kelvoran_binary(), "in.dat", "ref.dat"},
        {.dir = dir_->path()});
    reference_->output = read_file(dir_->file("ref.dat"));
  }
  static void TearDownTestSuite() {
    delete reference_;
    delete dir_;
  }

  // One run of the converter at the limit, judged against the probe.
  static Outcome judge(char kind, long kb, bool probe_refused,
                       std::string& why) {
    std::remove(dir_->file("out.dat").c_str());
    const ChildResult r = under_limit(
        kind, kb, {kelvoran_binary(), "in.dat", "out.dat"}, dir_->path());
    if (r.exited && r.exit_code == 0 && r.out == reference_->result.out &&
        r.err.empty() && read_file(dir_->file("out.dat")) == reference_->output)
      return Outcome::complete;
    if (r.exited && r.exit_code == 1 && r.err.rfind("QBFIO", 0) == 0 &&
        r.err.find("at line number") != std::string::npos)
      return Outcome::reported;
    if (probe_refused && !r.exited) return Outcome::refused;
    why = "status " + std::to_string(r.exit_code) + ", signal " +
          std::to_string(r.signal) + ", stderr: " + r.err.substr(0, 200);
    return Outcome::wrong;
  }

  static void sweep(const Sweep& s, long must_complete_at) {
    for (const long kb : s.kb) {
      bool probe_refused = false;
      for (int i = 0; i < 2 * s.tries; ++i)
        probe_refused |= !reached_main(
            under_limit(s.kind, kb, {START_PROBE}, dir_->path()));
      std::string seen;
      for (int i = 0; i < s.tries; ++i) {
        std::string why;
        const Outcome o = judge(s.kind, kb, probe_refused, why);
        EXPECT_NE(o, Outcome::wrong) << "ulimit -" << s.kind << " " << kb << ": " << why;
        if (kb == must_complete_at) {
          EXPECT_EQ(o, Outcome::complete) << "ulimit -" << s.kind << " " << kb << ": " << why;
        }
        if (seen.find(name(o)) == std::string::npos)
          seen += std::string(seen.empty() ? "" : ", ") + name(o);
      }
      // The thresholds, for whoever reads the log.
      std::printf("ulimit -%c %6ld: %s\n", s.kind, kb, seen.c_str());
    }
  }

  static TempDir* dir_;
  static ReferenceRun* reference_;
};

TempDir* LimitSweep::dir_ = nullptr;
ReferenceRun* LimitSweep::reference_ = nullptr;

TEST_F(LimitSweep, AddressSpace) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
#ifdef LIMITS_UNDER_SANITIZERS
  GTEST_SKIP() << "the sanitizers' run-time reserves more address space than any limit swept";
#endif
  ASSERT_EQ(reference_->result.exit_code, 0) << reference_->result.err;
  sweep({'v', {400, 800, 1000, 1100, 1200, 1500, 2000, 2500, 3000, 3500, 3800,
               4000, 4500, 5000, 6000, 7000, 8000, 10000, 16000},
         1},
        7000);
}

TEST_F(LimitSweep, Stack) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
#ifdef LIMITS_UNDER_SANITIZERS
  GTEST_SKIP() << "the sanitizers' run-time needs stack of its own";
#endif
  ASSERT_EQ(reference_->result.exit_code, 0) << reference_->result.err;
  sweep({'s', {4, 16, 20, 24, 32, 64, 256, 8192}, 3}, 64);
}

// ---- allocation failures inside one process ----

// Limits this process's address space to what it uses now and `spare`
// bytes more, so that a larger allocation fails.
void leave_address_space(long spare) {
  long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  const rlim_t limit = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + spare);
  const rlimit r = {limit, limit};
  setrlimit(RLIMIT_AS, &r);
}

struct OutOfMemoryCase {
  const char* what;
  void (*body)(const TempDir& dir);  // runs in the child
  const char* report;                // what the child's standard error holds
};

TEST(OutOfMemory, ReportedAsError210WithStatus1) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' run-time cannot work under a limit of address space";
#endif
  if (target_programs_unavailable() != nullptr)
    GTEST_SKIP() << "under the emulator a limit of address space limits the emulator";
  const OutOfMemoryCase cases[] = {
      {"the option text, at the first statement",
       [](const TempDir&) {
         setenv("FORTRANOPT", std::string(64 << 20, 'x').c_str(), 1);
         leave_address_space(16 << 20);
         fio_src_info(12, "t.f", 3);
         fio_open_with(10, {.file = "u", .form = "unformatted"});
       },
       "QBFIO-F-210/OPEN/unit=10/dynamic memory allocation failed.\n"
       " In source file t.f, at line number 12\n"},
      {"the level storage, at the first level read",
       [](const TempDir& dir) {
         const auto records = sample::file_records();
         write_file(dir.file("in.dat"), records[0] + records[1]);
         static char prog[] = "kelvoran", in[] = "in.dat", out[] = "out.dat";
         static char* argv[] = {prog, in, out, nullptr};
         __qbio_set_argc(3);
         __qbio_set_argv(argv);
         leave_address_space(1 << 20);
         MAIN_();
       },
       "QBFIO-F-210/unformatted read/unit=100/dynamic memory allocation "
       "failed.\n File name = in.dat    unformatted, sequential access"
       "   record = 2\n In source file kelvoran, at line number 82\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const ChildResult r =
        run_child([&] { c.body(dir); },
                  {.dir = dir.path(), .unset_env = {"FORTRANOPT", "LANG"}});
    EXPECT_TRUE(r.exited) << c.what << ": signal " << r.signal;
    EXPECT_EQ(r.exit_code, 1) << c.what;
    EXPECT_EQ(r.err, c.report) << c.what;
  }
}

}  // namespace
