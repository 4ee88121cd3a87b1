// The program under valgrind memcheck: a complete run and each way a run
// can fail (usage stop, OPEN refusals, short and cut input, host read,
// write, flush and close failures). Each must end with its own status and
// report, with no invalid access, no use of uninitialised memory and
// nothing definitely lost. Sanitizer builds skip this: the two tools do
// not run together. It runs the dynamically linked build, whose
// allocations memcheck can follow.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

struct Case {
  const char* what;
  std::function<void(const TempDir&)> setup;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> env;
  std::function<void()> before_exec;  // in the child, e.g. limits
  int exit_code;
  std::string err_start;  // the program's report begins with this
};

std::string records(int n) {
  std::string s;
  for (int r = 0; r < n; ++r) s += oracle::sample_records()[r];
  return s;
}

void sample_input(const TempDir& d) { write_file(d.file("in.dat"), oracle::sample_file()); }

std::string valgrind_path() {
  for (const char* p : {"/usr/bin/valgrind", "/usr/local/bin/valgrind"})
    if (access(p, X_OK) == 0) return p;
  return "";
}

TEST(Memcheck, CompleteAndFailingRunsAreClean) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
#ifdef RELIABILITY_UNDER_ASAN
  GTEST_SKIP() << "memcheck does not run sanitizer builds";
#endif
  const std::string valgrind = valgrind_path();
  if (valgrind.empty()) GTEST_SKIP() << "valgrind is not installed";
  const std::string inject = HOST_FAULTS_LIB;
  const auto fault = [&](const char* kind, int at, int error) {
    return std::vector<std::pair<std::string, std::string>>{
        {"LD_PRELOAD", inject},
        {"KELVORAN_FAULT_KIND", kind},
        {"KELVORAN_FAULT_AT", std::to_string(at)},
        {"KELVORAN_FAULT_ERRNO", std::to_string(error)}};
  };
  const std::string read_eof = "QBFIO-F-217/unformatted read/unit=100/";
  const Case cases[] = {
      {"complete run", sample_input, {"in.dat", "out.dat"}, {}, nullptr, 0, ""},
      {"usage stop", nullptr, {"only-one"}, {}, nullptr, 0, "FORTRAN STOP"},
      {"existing output", [](const TempDir& d) {
         sample_input(d);
         write_file(d.file("out.dat"), "keep");
       }, {"in.dat", "out.dat"}, {}, nullptr, 1, "QBFIO-F-208/OPEN/unit=1/"},
      {"same file twice", nullptr, {"same", "same"}, {}, nullptr, 1, "QBFIO-F-207/OPEN/unit=1/"},
      {"blank input name", nullptr, {" ", "out.dat"}, {}, nullptr, 1, "QBFIO-F-211/OPEN/unit=100/"},
      {"missing input", nullptr, {"in.dat", "out.dat"}, {}, nullptr, 1, read_eof},
      {"short field record", [](const TempDir& d) {
         write_file(d.file("in.dat"),
                    records(40) + sample::record(oracle::sample_records()[40].substr(4, 88744)));
       }, {"in.dat", "out.dat"}, {}, nullptr, 1, "QBFIO-F-219/unformatted read/unit=100/"},
      {"input cut inside a record", [](const TempDir& d) {
         write_file(d.file("in.dat"), records(10) + oracle::sample_records()[10].substr(0, 5000));
       }, {"in.dat", "out.dat"}, {}, nullptr, 1, read_eof},
      {"input is a directory", [](const TempDir& d) { mkdir(d.file("in.dat").c_str(), 0755); },
       {"in.dat", "out.dat"}, {}, nullptr, 1, "QBFIO/stdio: Is a directory"},
      {"file size limit reached while writing", sample_input, {"in.dat", "out.dat"}, {}, [] {
         signal(SIGXFSZ, SIG_IGN);
         const rlim_t limit = 3 * oracle::kRecordBytes + 100;
         struct rlimit rl = {limit, limit};
         setrlimit(RLIMIT_FSIZE, &rl);
       }, 1, "QBFIO/stdio: File too large"},
      {"standard output full", sample_input, {"in.dat", "out.dat"}, {}, [] {
         if (!freopen("/dev/full", "w", stdout)) _exit(125);
       }, 1, "QBFIO/stdio: No space left on device"},
      {"host read fails", sample_input, {"in.dat", "out.dat"}, fault("fread", 50, EIO), nullptr,
       1, "QBFIO/stdio: Input/output error"},
      {"host write fails", sample_input, {"in.dat", "out.dat"}, fault("fwrite", 700, ENOSPC),
       nullptr, 1, "QBFIO/stdio: No space left on device"},
      {"host flush fails at the end", sample_input, {"in.dat", "out.dat"}, fault("fflush", 2, EIO),
       nullptr, 1, "QBFIO/stdio: Input/output error"},
      {"host close of the output fails", sample_input, {"in.dat", "out.dat"},
       fault("fclose", 2, EIO), nullptr, 1, "QBFIO/stdio: Input/output error"},
  };
  for (const auto& c : cases) {
    TempDir dir, logs;
    if (c.setup) c.setup(dir);
    const std::string log = logs.file("memcheck.log");
    std::vector<std::string> argv = {valgrind, "--quiet", "--error-exitcode=99",
                                     "--leak-check=full", "--errors-for-leak-kinds=definite",
                                     "--show-leak-kinds=definite", "--log-file=" + log,
                                     INTERPOSABLE_BIN};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    ChildOptions o{.dir = dir.path(), .env = c.env,
                   .unset_env = {"FORTRANOPT", "LANG", "NO_STOP_MESSAGE"},
                   .timeout_seconds = 300};
    const ChildResult r = run_child(
        [&] {
          if (c.before_exec) c.before_exec();
          std::vector<char*> args;
          for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
          args.push_back(nullptr);
          execv(args[0], args.data());
          _exit(127);
        },
        o);
    EXPECT_TRUE(r.exited) << c.what << ": signal " << r.signal;
    EXPECT_EQ(r.exit_code, c.exit_code) << c.what << "\n" << r.err << read_file(log);
    EXPECT_EQ(read_file(log), "") << c.what;
    EXPECT_EQ(r.err.rfind(c.err_start, 0), 0u) << c.what << ": " << r.err;
    if (c.exit_code == 0 && c.args.size() == 2) {
      EXPECT_EQ(r.err, "") << c.what;
      EXPECT_TRUE(read_file(dir.file("out.dat")) == oracle::sample_output()) << c.what;
    }
  }
}

}  // namespace
