// The batch recipes of README.md, taken from it as printed and run over a
// model directory again and again: the first run converts the good files
// and sets the broken ones aside, a rerun after a fix converts only that
// file and leaves good reports alone, and a run with nothing left to do
// succeeds and converts nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

const std::string kSource = std::string(TEST_SOURCE_DIR) + "/..";
const std::string& good() { return oracle::sample_file(); }
const std::string& cut() {  // ends inside the wind levels: 30 records written
  static const std::string bytes = good().substr(0, 5000000);
  return bytes;
}
const std::string kEmpty;
// Longer than the 80 characters of a name that kelvoran keeps.
const std::string kLong = "long " + std::string(80, 'n');
const std::string kStale = std::string(1331280, 'x');  // an older run's partial output

struct Step {
  std::vector<std::pair<std::string, const std::string*>> writes;  // before the run
  int status;
  std::string summary;                 // standard output
  std::vector<std::string> converted;  // converted/NAME.dat verifies, NAME.txt whole
  std::vector<std::string> failed;     // only in converted/failed/, never a good name
  std::vector<std::string> kept;       // NAME.txt not rewritten since the step before
};

struct Case {
  const char* what;
  std::vector<Step> steps;
};

ino_t inode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(BatchRecipes, RerunsFinishOnlyWhatIsMissing) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const Case cases[] = {
      {"good, cut, blank-named and long-named, the cut one fixed after the first run",
       {{{{"model/a.dat", &good()}, {"model/b.dat", &cut()}, {"model/c d.dat", &good()},
          {"model/" + kLong + ".dat", &good()}},
         1, "converted 3, skipped 0, failed 1\nfailed: model/b.dat\n", {"a", "c d", kLong}, {"b"}, {}},
        {{{"model/b.dat", &good()}}, 0, "converted 1, skipped 3, failed 0\n",
         {"a", "b", "c d", kLong}, {}, {"a", "c d", kLong}},
        {{}, 0, "converted 0, skipped 4, failed 0\n", {"a", "b", "c d", kLong}, {},
         {"a", "b", "c d", kLong}}}},
      {"an empty input keeps failing; the good one is converted once",
       {{{{"model/e.dat", &kEmpty}, {"model/f.dat", &good()}}, 1,
         "converted 1, skipped 0, failed 1\nfailed: model/e.dat\n", {"f"}, {"e"}, {}},
        {{}, 1, "converted 0, skipped 1, failed 1\nfailed: model/e.dat\n", {"f"}, {"e"}, {"f"}}}},
      {"an older run's partial output and empty report under good names",
       {{{{"model/a.dat", &good()}, {"model/b.dat", &cut()}, {"converted/a.dat", &kStale},
          {"converted/a.txt", &kEmpty}, {"converted/b.dat", &kStale}, {"converted/b.txt", &kEmpty}},
         1, "converted 1, skipped 0, failed 1\nfailed: model/b.dat\n", {"a"}, {"b"}, {}}}},
      {"a good conversion of a file damaged since: the output is kept aside",
       {{{{"model/a.dat", &good()}}, 0, "converted 1, skipped 0, failed 0\n", {"a"}, {}, {}},
        {{{"model/a.dat", &cut()}}, 1, "converted 0, skipped 0, failed 1\nfailed: model/a.dat\n",
         {}, {"a"}, {}}}},
      {"a good output whose report an older rerun emptied",
       {{{{"model/a.dat", &good()}, {"converted/a.dat", &oracle::sample_output()},
          {"converted/a.txt", &kEmpty}},
         0, "converted 1, skipped 0, failed 0\n", {"a"}, {}, {}}}},
      {"an empty model directory: the pattern is no file",
       {{{}, 1, "converted 0, skipped 0, failed 1\nfailed: model/*.dat\n", {}, {}, {}}}},
  };
  const std::string path = std::filesystem::path(kelvoran_binary()).parent_path().string() + ":" +
                           std::filesystem::path(check_binary()).parent_path().string() + ":" +
                           kSource + "/tools:" + std::getenv("PATH");
  const std::string readme = read_file(kSource + "/README.md");
  for (const char* recipe : {"sequential", "parallel"}) {
    const std::string script = block_after(readme, std::string("batch recipe: ") + recipe);
    ASSERT_NE(script, "") << "README.md has no batch recipe " << recipe;
    for (const auto& c : cases) {
      TempDir dir;
      std::filesystem::create_directories(dir.file("model"));
      std::filesystem::create_directories(dir.file("converted"));
      std::vector<ino_t> before;
      for (std::size_t s = 0; s < c.steps.size(); ++s) {
        const Step& step = c.steps[s];
        const std::string what = std::string(recipe) + ", " + c.what + ", run " + std::to_string(s + 1);
        for (const auto& [name, bytes] : step.writes) write_file(dir.file(name), *bytes);
        auto r = run_program({"/bin/bash", "-c", script},
                             {.dir = dir.path(), .env = {{"PATH", path}}, .timeout_seconds = 120});
        EXPECT_EQ(r.exit_code, step.status) << what << "\n" << r.err;
        EXPECT_EQ(r.out, step.summary) << what << "\n" << r.err;
        for (const auto& name : step.converted) {
          EXPECT_TRUE(read_file(dir.file("converted/" + name + ".dat")) == oracle::sample_output())
              << what << ": " << name;
          EXPECT_EQ(oracle::split_lines(read_file(dir.file("converted/" + name + ".txt"))).size(),
                    399u) << what << ": " << name;
          EXPECT_FALSE(file_exists(dir.file("converted/failed/" + name + ".err"))) << what << ": " << name;
        }
        for (const auto& name : step.failed) {
          EXPECT_FALSE(file_exists(dir.file("converted/" + name + ".dat"))) << what << ": " << name;
          EXPECT_FALSE(file_exists(dir.file("converted/" + name + ".txt"))) << what << ": " << name;
          EXPECT_EQ(read_file(dir.file("converted/failed/" + name + ".err")).rfind("QBFIO-F-217/", 0), 0u)
              << what << ": " << name;
          EXPECT_NE(r.err.find("FAILED: model/" + name + ".dat"), std::string::npos) << what << ": " << name;
        }
        if (step.failed == std::vector<std::string>{"a"}) {
          EXPECT_TRUE(read_file(dir.file("converted/failed/previous/a.dat")) == oracle::sample_output())
              << what;
          EXPECT_EQ(oracle::split_lines(read_file(dir.file("converted/failed/previous/a.txt"))).size(),
                    399u) << what;
        }
        if (read_file(dir.file("model/b.dat")) == cut()) {
          EXPECT_EQ(file_size(dir.file("converted/failed/b.dat")), 30 * oracle::kRecordBytes) << what;
        }
        for (std::size_t k = 0; k < step.kept.size(); ++k)
          EXPECT_EQ(inode(dir.file("converted/" + step.kept[k] + ".txt")), before.at(k))
              << what << ": " << step.kept[k] << ".txt was written again";
        before.clear();
        if (s + 1 < c.steps.size())
          for (const auto& name : c.steps[s + 1].kept)
            before.push_back(inode(dir.file("converted/" + name + ".txt")));
        // Nothing is created among the inputs, nor left in temporary names.
        for (const auto& e : std::filesystem::directory_iterator(dir.file("converted")))
          EXPECT_NE(e.path().filename().string().rfind(".kelvoran-batch.", 0), 0u) << what;
        EXPECT_FALSE(file_exists(dir.file("model/*.dat"))) << what;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("model")),
                                std::filesystem::directory_iterator()),
                  static_cast<long>(c.steps[0].writes.size()) -
                      std::count_if(c.steps[0].writes.begin(), c.steps[0].writes.end(),
                                    [](const auto& w) { return w.first.rfind("converted/", 0) == 0; }))
            << what << ": a file was created in model/";
      }
    }
  }
}

TEST(KelvoranBatch, WrongCommandLinesExit64AndTouchNothing) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;  // start of standard error
  } cases[] = {
      {{}, 64, "kelvoran-batch: give OUTDIR and at least one FILE\n"},
      {{"out"}, 64, "kelvoran-batch: give OUTDIR and at least one FILE\n"},
      {{"-j", "0", "out", "in.dat"}, 64, "kelvoran-batch: JOBS must be a positive number: 0\n"},
      {{"-jx", "out", "in.dat"}, 64, "kelvoran-batch: JOBS must be a positive number: x\n"},
      {{"-j"}, 64, "kelvoran-batch: -j needs a number\n"},
      {{"--jobs=2", "out", "in.dat"}, 64, "kelvoran-batch: unknown option: --jobs=2\n"},
      {{"--help"}, 0, ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::vector<std::string> argv = {kSource + "/tools/kelvoran-batch"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    auto r = run_program(argv, {.dir = dir.path()});
    const std::string what = c.args.empty() ? "no arguments" : c.args[0];
    EXPECT_EQ(r.exit_code, c.status) << what;
    EXPECT_EQ(r.err.rfind(c.says, 0), 0u) << what << "\n" << r.err;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()), 0) << what;
  }
}

}  // namespace
