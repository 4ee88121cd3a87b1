// Separate runs of the program started at the same moment in one directory,
// each converting into its own output file, once from separate input copies
// and once all from the same input. Every run must succeed with the same
// report and the same output, the inputs must stay as they were, and the
// directory must hold nothing but the inputs and outputs afterwards: the
// program keeps no shared or temporary state on disk.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

constexpr int kRuns = 8;

struct Started {
  pid_t pid;
  std::string out_log, err_log;
};

TEST(ConcurrentRuns, SameResultsAndNoSharedState) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  for (const bool shared_input : {false, true}) {
    const std::string mode = shared_input ? "one shared input" : "separate inputs";
    TempDir work, logs;
    std::set<std::string> inputs;
    for (int i = 0; i < kRuns; ++i) {
      const std::string name = "in" + std::to_string(shared_input ? 0 : i) + ".dat";
      if (inputs.insert(name).second) write_file(work.file(name), oracle::sample_file());
    }

    // The children wait on this pipe and start together when it closes.
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<Started> runs;
    for (int i = 0; i < kRuns; ++i) {
      Started s{0, logs.file("out" + std::to_string(i)), logs.file("err" + std::to_string(i))};
      const std::string in = "in" + std::to_string(shared_input ? 0 : i) + ".dat";
      const std::string out = "out" + std::to_string(i) + ".dat";
      s.pid = fork();
      ASSERT_GE(s.pid, 0);
      if (s.pid == 0) {
        close(gate[1]);
        char c;
        while (read(gate[0], &c, 1) > 0) {
        }
        if (chdir(work.path().c_str()) != 0 || !freopen(s.out_log.c_str(), "w", stdout) ||
            !freopen(s.err_log.c_str(), "w", stderr))
          _exit(125);
        unsetenv("FORTRANOPT");
        unsetenv("LANG");
        execl(kelvoran_binary().c_str(), "kelvoran", in.c_str(), out.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
      }
      runs.push_back(s);
    }
    close(gate[0]);
    close(gate[1]);

    std::string first_report;
    for (int i = 0; i < kRuns; ++i) {
      int status = 0;
      ASSERT_EQ(waitpid(runs[i].pid, &status, 0), runs[i].pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << mode << " run " << i;
      EXPECT_EQ(read_file(runs[i].err_log), "") << mode << " run " << i;
      const std::string report = read_file(runs[i].out_log);
      if (i == 0) first_report = report;
      EXPECT_TRUE(report == first_report) << mode << " run " << i << ": report differs";
      EXPECT_TRUE(read_file(work.file("out" + std::to_string(i) + ".dat")) ==
                  oracle::sample_output())
          << mode << " run " << i << ": output differs";
    }
    EXPECT_EQ(std::count(first_report.begin(), first_report.end(), '\n'),
              oracle::kReportLines);

    std::set<std::string> expected = inputs, found;
    for (int i = 0; i < kRuns; ++i) expected.insert("out" + std::to_string(i) + ".dat");
    for (const auto& e : std::filesystem::directory_iterator(work.path()))
      found.insert(e.path().filename().string());
    EXPECT_EQ(found, expected) << mode;
    for (const auto& name : inputs)
      EXPECT_TRUE(read_file(work.file(name)) == oracle::sample_file()) << mode << " " << name;
  }
}

}  // namespace
