// The batch recipes of README.md, taken from it as printed and run over a
// directory of good and broken model files: every good file converts, every
// failure is named, and the status of the whole tells a failure apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

// The shell block that follows the marker line "<!-- batch recipe: NAME -->".
std::string recipe(const std::string& name) {
  const std::string readme = read_file(std::string(TEST_SOURCE_DIR) + "/../README.md");
  const std::string marker = "<!-- batch recipe: " + name + " -->\n```sh\n";
  const auto at = readme.find(marker);
  if (at == std::string::npos) return "";
  const auto begin = at + marker.size();
  return readme.substr(begin, readme.find("```\n", begin) - begin);
}

const std::string& good() { return oracle::sample_file(); }
const std::string& cut() {  // ends inside the wind levels
  static const std::string bytes = good().substr(0, 5000000);
  return bytes;
}
const std::string kEmpty;

struct Case {
  const char* recipe;
  std::vector<std::pair<std::string, const std::string*>> inputs;
  bool fails;
  std::vector<std::string> converted;  // whole output and 399-line report
  std::vector<std::string> named;      // "FAILED: model/NAME" on stderr
  std::vector<std::string> untouched;  // no output at all
};

TEST(BatchRecipes, ConvertGoodFilesAndNameEveryFailure) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const Case cases[] = {
      {"loop", {{"a.dat", &good()}, {"b.dat", &cut()}, {"c d.dat", &good()}}, true,
       {"a"}, {"b"}, {"c d"}},
      {"loop", {{"a.dat", &good()}, {"c d.dat", &good()}}, false, {"a", "c d"}, {}, {}},
      {"parallel",
       {{"a.dat", &good()}, {"b.dat", &cut()}, {"c d.dat", &good()}, {"e.dat", &kEmpty},
        {"f.dat", &good()}},
       true, {"a", "c d", "f"}, {"b", "e"}, {}},
      {"parallel", {{"a.dat", &good()}, {"c d.dat", &good()}}, false, {"a", "c d"}, {}, {}},
      // Nothing matches: a failure, and no file named after the pattern.
      {"loop", {}, true, {}, {}, {}},
      {"parallel", {}, true, {}, {}, {}},
  };
  const std::string bin_dir = std::filesystem::path(kelvoran_binary()).parent_path();
  for (const auto& c : cases) {
    const std::string script = recipe(c.recipe);
    ASSERT_NE(script, "") << "README.md has no batch recipe " << c.recipe;
    TempDir dir;
    std::filesystem::create_directory(dir.file("model"));
    std::filesystem::create_directory(dir.file("converted"));
    for (const auto& [name, bytes] : c.inputs) write_file(dir.file("model/" + name), *bytes);
    auto r = run_program({"/bin/bash", "-c", script},
                         {.dir = dir.path(),
                          .env = {{"PATH", bin_dir + ":" + std::getenv("PATH")}},
                          .timeout_seconds = 120});
    const std::string what = std::string(c.recipe) + " over " + std::to_string(c.inputs.size());
    EXPECT_EQ(r.exit_code != 0, c.fails) << what << ": status " << r.exit_code << "\n" << r.err;
    for (const auto& name : c.converted) {
      EXPECT_TRUE(read_file(dir.file("converted/" + name + ".dat")) == oracle::sample_output())
          << what << ": " << name;
      EXPECT_EQ(oracle::split_lines(read_file(dir.file("converted/" + name + ".txt"))).size(),
                399u) << what << ": " << name;
      EXPECT_EQ(r.err.find("model/" + name + ".dat"), std::string::npos) << what << ": " << name;
    }
    for (const auto& name : c.named)
      EXPECT_NE(r.err.find("FAILED: model/" + name + ".dat"), std::string::npos)
          << what << ": " << name << "\n" << r.err;
    for (const auto& name : c.untouched)
      EXPECT_FALSE(file_exists(dir.file("converted/" + name + ".dat"))) << what << ": " << name;
    const auto left = std::distance(std::filesystem::directory_iterator(dir.file("model")),
                                    std::filesystem::directory_iterator());
    EXPECT_EQ(left, static_cast<long>(c.inputs.size())) << what << ": a file was created in model/";
  }
}

}  // namespace
