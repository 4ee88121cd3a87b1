// The program from the command line: the usage stop, the two OPEN
// statements and the end of a run, checked byte for byte.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "child.h"
#include "files.h"

namespace {

const std::string kUsage = " Usage: kelvoran infile outfile\n";

ChildResult kelvoran(std::vector<std::string> args, ChildOptions o = {}) {
  args.insert(args.begin(), kelvoran_binary());
  o.unset_env.push_back("NO_STOP_MESSAGE");
  o.unset_env.push_back("FORTRANOPT");
  o.unset_env.push_back("LANG");
  return run_program(args, o);
}

std::string padded(const std::string& s) { return s + std::string(80 - s.size(), ' '); }

TEST(Cli, WrongArgumentCountStops) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const std::vector<std::vector<std::string>> counts = {{}, {"a"}, {"a", "b", "c"}};
  for (const auto& args : counts) {
    TempDir dir;
    auto r = kelvoran(args, {.dir = dir.path()});
    EXPECT_EQ(r.exit_code, 0) << args.size();
    EXPECT_EQ(r.out, kUsage) << args.size();
    EXPECT_EQ(r.err, "FORTRAN STOP\n") << args.size();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "no file is created";
  }
}

TEST(Cli, NoStopMessageSilencesTheStop) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  for (const char* value : {"", "1", "no"}) {
    auto r = run_program({kelvoran_binary(), "only-one"},
                         {.env = {{"NO_STOP_MESSAGE", value}}});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "") << "NO_STOP_MESSAGE='" << value << "'";
  }
}

TEST(Cli, UsageReachesAPipe) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    execl(kelvoran_binary().c_str(), "kelvoran", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(out, kUsage);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Cli, StandardOutputThatCannotBeWrittenFailsTheRun) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  auto r = run_child(
      [&] {
        dup2(full, 1);
        execl(kelvoran_binary().c_str(), "kelvoran", static_cast<char*>(nullptr));
        _exit(127);
      },
      {.dir = dir.path(), .unset_env = {"NO_STOP_MESSAGE"}});
  close(full);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "FORTRAN STOP\n"
            "QBFIO/stdio: No space left on device\n"
            "QBFIO-F-/CLOSE/unit=6/error code returned by host stdio - 28.\n"
            " File name = stdout     formatted, sequential access   record = 1\n"
            " In source file kelvoran, at line number 63\n");
}

struct OpenCase {
  const char* what;
  std::function<void(const TempDir&)> setup;
  std::vector<std::string> args;
  int exit_code;
  std::string err;
};

TEST(Cli, OpenStatements) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const OpenCase cases[] = {
      {"existing output file", [](const TempDir& d) { write_file(d.file("out.dat"), "keep"); },
       {"in.dat", "out.dat"}, 1,
       "QBFIO-F-208/OPEN/unit=1/'NEW' specified for file which already exists.\n"
       " File name = " + padded("out.dat") + "\n"
       " In source file kelvoran, at line number 71\n"},
      {"same name twice", nullptr, {"same", "same"}, 1,
       "QBFIO-F-207/OPEN/unit=1/file is already connected to another unit.\n"
       " File name = " + padded("same") + "\n"
       " In source file kelvoran, at line number 71\n"},
      {"empty input name", nullptr, {"", "out.dat"}, 1,
       "QBFIO-F-211/OPEN/unit=100/invalid file name.\n"
       " File name = " + padded("") + "\n"
       " In source file kelvoran, at line number 70\n"},
      {"all-blank output name", nullptr, {"in.dat", "   "}, 1,
       "QBFIO-F-211/OPEN/unit=1/invalid file name.\n"
       " File name = " + padded("") + "\n"
       " In source file kelvoran, at line number 71\n"},
      {"output directory missing", nullptr, {"in.dat", "nodir/out.dat"}, 1,
       "QBFIO/stdio: No such file or directory\n"
       "QBFIO-F-/OPEN/unit=1/error code returned by host stdio - 2.\n"
       " File name = " + padded("nodir/out.dat") + "\n"
       " In source file kelvoran, at line number 71\n"},
      {"output is a directory", [](const TempDir& d) { mkdir(d.file("dir").c_str(), 0755); },
       {"in.dat", "dir"}, 1,
       "QBFIO-F-208/OPEN/unit=1/'NEW' specified for file which already exists.\n"
       " File name = " + padded("dir") + "\n"
       " In source file kelvoran, at line number 71\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.setup) c.setup(dir);
    auto r = kelvoran(c.args, {.dir = dir.path()});
    EXPECT_EQ(r.exit_code, c.exit_code) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(r.out, "") << c.what;
  }
}

TEST(Cli, ExistingOutputFileIsLeftUntouched) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), "input");
  write_file(dir.file("out.dat"), "precious");
  auto r = kelvoran({"in.dat", "out.dat"}, {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(read_file(dir.file("out.dat")), "precious");
  EXPECT_EQ(read_file(dir.file("in.dat")), "input");
}

TEST(Cli, ArgumentsWithBlanksAndLongNames) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  const std::string long_name(100, 'x');
  auto r = kelvoran({"  in.dat  ", long_name}, {.dir = dir.path()});
  EXPECT_TRUE(file_exists(dir.file("in.dat")));
  // A name longer than the 80-character buffer is used whole.
  EXPECT_TRUE(file_exists(dir.file(long_name)));
  EXPECT_FALSE(file_exists(dir.file(long_name.substr(0, 80))));
}

}  // namespace
