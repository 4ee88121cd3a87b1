// Real write failures of a whole run, not injected ones: a file-size limit
// on the output file and a standard output whose reader goes away. Either
// must end with status 1 and a host-error report, and the output file must
// hold exactly the records before the one reported, whole, plus at most a
// cut-short part of that record.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

using oracle::kRecordBytes;

struct Report {
  int record = 0;  // record number on the file line
  int line = 0;    // statement number on the source line
};

// The four lines of a host-error report for `unit`, whose file line starts
// with `file_head`; fills in the record and statement it names.
void expect_host_report(const std::string& err, const char* host_text,
                        const std::string& first, const std::string& file_head,
                        Report& rep) {
  const auto lines = oracle::split_lines(err);
  ASSERT_EQ(lines.size(), 4u) << err;
  EXPECT_EQ(lines[0], std::string("QBFIO/stdio: ") + host_text);
  EXPECT_EQ(lines[1], first);
  ASSERT_EQ(lines[2].rfind(file_head, 0), 0u) << lines[2];
  rep.record = std::atoi(lines[2].c_str() + file_head.size());
  EXPECT_EQ(lines[2], file_head + std::to_string(rep.record));
  const std::string where = " In source file kelvoran, at line number ";
  ASSERT_EQ(lines[3].rfind(where, 0), 0u) << lines[3];
  rep.line = std::atoi(lines[3].c_str() + where.size());
}

// The output holds `whole` records equal to the conversion, then at most a
// cut-short part of the next one.
void expect_whole_records(const std::string& output, int whole, bool partial) {
  const auto bytes = static_cast<std::size_t>(whole * kRecordBytes);
  const std::string& expected = oracle::sample_output();
  if (partial) {
    EXPECT_GE(output.size(), bytes);
    EXPECT_LT(output.size(), bytes + kRecordBytes);
  } else {
    EXPECT_EQ(output.size(), bytes);
  }
  EXPECT_TRUE(output.size() <= expected.size() &&
              expected.compare(0, output.size(), output) == 0)
      << "output bytes differ from the conversion of the input";
}

// Runs the program in the current (child) process image with stdout on fd
// `out_fd`, after a file-size limit of `limit` bytes (0: none) with
// SIGXFSZ at its default, as a shell leaves it. The limit holds for the
// captured report as well, so limits stay above its 23153 bytes.
[[noreturn]] void exec_program(const std::string& dir, rlim_t limit,
                               int out_fd) {
  std::signal(SIGXFSZ, SIG_DFL);
  std::signal(SIGPIPE, SIG_DFL);
  if (limit != 0) {
    const rlimit r{limit, limit};
    setrlimit(RLIMIT_FSIZE, &r);
  }
  if (out_fd != 1) dup2(out_fd, 1);
  if (chdir(dir.c_str()) != 0) _exit(126);
  const std::string bin = kelvoran_binary();
  execl(bin.c_str(), bin.c_str(), "in.dat", "out.dat",
        static_cast<char*>(nullptr));
  _exit(127);
}

struct LimitCase {
  long long limit;    // bytes the output file may reach
  int first_missing;  // the record the report must name
  bool partial;       // a cut-short part of it is in the file
};

class FileSizeLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(FileSizeLimit, ReportsTheFirstMissingRecordAndKeepsTheOnesBefore) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const LimitCase& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  const ChildResult r = run_child(
      [&] { exec_program(dir.path(), static_cast<rlim_t>(c.limit), 1); });
  ASSERT_TRUE(r.exited) << "ended by signal " << r.signal;
  EXPECT_EQ(r.exit_code, 1);
  Report rep;
  expect_host_report(
      r.err, "File too large",
      "QBFIO-F-/unformatted write/unit=1/error code returned by "
      "host stdio - 27.",
      " File name = out.dat    unformatted, direct access   record = ", rep);
  EXPECT_EQ(rep.record, c.first_missing);
  EXPECT_EQ(rep.line, oracle::write_statement(c.first_missing));
  expect_whole_records(read_file(dir.file("out.dat")), c.first_missing - 1,
                       c.partial);
  const std::string& report = r.out;
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'),
            oracle::lines_before_write(c.first_missing));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, FileSizeLimit,
    ::testing::Values(
        LimitCase{30000, 1, true},              // inside the first record
        LimitCase{2 * kRecordBytes, 3, false},  // te level 1, at a boundary
        LimitCase{2048000, 47, true},           // a shell's `ulimit -f 2000`
        LimitCase{58 * kRecordBytes + 4, 59, true},  // first vv record
        LimitCase{113 * kRecordBytes, 114, false}),  // the last record
    [](const auto& info) { return "At" + std::to_string(info.param.limit); });

// Standard output on a pipe whose reader takes `read` bytes of the report
// and closes its end. The pipe holds one page, so the program cannot run
// ahead of the reader by more than that and its stream buffer.
class ClosedReportPipe : public ::testing::TestWithParam<int> {};

TEST_P(ClosedReportPipe, ReportsTheBrokenPipeAndKeepsWholeRecords) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const int want = GetParam();
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  const ChildResult r = run_child([&] {
    int p[2];
    if (pipe(p) != 0) _exit(2);
    fcntl(p[1], F_SETPIPE_SZ, 4096);
    const pid_t pid = fork();
    if (pid == 0) {
      close(p[0]);
      exec_program(dir.path(), 0, p[1]);
    }
    close(p[1]);
    std::string got;
    char buf[512];
    while (static_cast<int>(got.size()) < want) {
      const ssize_t n =
          read(p[0], buf, std::min<std::size_t>(sizeof buf, want - got.size()));
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    close(p[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    child_note(got);
    std::fflush(stdout);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status));
  });
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.exit_code, 1) << r.err;
  EXPECT_EQ(static_cast<int>(r.notes.size()), want);
  Report rep;
  expect_host_report(
      r.err, "Broken pipe",
      "QBFIO-F-/list-directed write/unit=6/error code returned by "
      "host stdio - 32.",
      " File name = stdout     formatted, sequential access   record = ", rep);
  EXPECT_EQ(rep.line, oracle::statement_of_line(rep.record));
  expect_whole_records(read_file(dir.file("out.dat")),
                       oracle::outputs_before_line(rep.record), false);
}

// Closed before the first byte, during the header, and during the reports.
INSTANTIATE_TEST_SUITE_P(Reads, ClosedReportPipe,
                         ::testing::Values(0, 5000, 12000));

}  // namespace
