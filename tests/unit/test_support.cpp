// Support services and the command-line routines built on them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <string>

#include "child.h"
#include "files.h"
#include "ftn.h"
#include "qbc.h"

namespace {

TEST(Getarg, FillsBlankPaddedBuffers) {
  char prog[] = "kelvoran", a1[] = "in.dat", a2[] = "a-rather-long-name";
  char* argv[] = {prog, a1, a2, nullptr};
  __qbio_set_argc(3);
  __qbio_set_argv(argv);
  EXPECT_EQ(iargc_(), 2);

  struct Row {
    std::int32_t n;
    std::int32_t len;
    std::string expected;
  } rows[] = {
      {0, 10, "kelvoran  "},
      {1, 10, "in.dat    "},
      {2, 10, "a-rather-l"},  // cut to the buffer without a report
      {2, 18, "a-rather-long-name"},
      {3, 4, "    "},         // not less than the count: all blanks
      {-1, 4, "    "},
      {1, 0, ""},
  };
  for (const auto& row : rows) {
    std::string buf(static_cast<size_t>(row.len) + 2, '#');
    getarg_(&row.n, buf.data(), row.len);
    EXPECT_EQ(buf.substr(0, row.len), row.expected) << row.n;
    EXPECT_EQ(buf.substr(row.len), "##") << "nothing written past the buffer";
  }
  std::int32_t one = 1;
  char sentinel = '#';
  getarg_(&one, &sentinel, -3);
  EXPECT_EQ(sentinel, '#');
}

TEST(TempName, NamesAreFreshReservedAndPrefixed) {
  TempDir dir;
  std::set<std::string> seen;
  for (int i = 0; i < 500; ++i) {
    char* name = __qbio_tempnam(dir.path().c_str(), "FTN");
    ASSERT_NE(name, nullptr);
    const std::string s = name;
    std::free(name);
    EXPECT_EQ(s.rfind(dir.path() + "/FTN", 0), 0u) << s;
    EXPECT_TRUE(file_exists(s)) << "the name is reserved by creating it";
    EXPECT_TRUE(seen.insert(s).second) << "duplicate " << s;
  }
}

TEST(TempName, DefaultDirectoryFollowsTmpdir) {
  TempDir dir;
  auto r = run_child(
      [] {
        char* name = __qbio_tempnam(nullptr, "FTN");
        child_note(name);
        std::free(name);
      },
      {.env = {{"TMPDIR", dir.path()}}});
  EXPECT_EQ(r.notes.rfind(dir.path() + "/FTN", 0), 0u) << r.notes;
}

TEST(TempName, UnwritableDirectoryGivesNoName) {
  EXPECT_EQ(__qbio_tempnam("/nonexistent-dir-for-test", "FTN"), nullptr);
}

TEST(StreamQueries, PipesAndFiles) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::FILE* p = fdopen(fds[0], "r");
  std::FILE* f = std::tmpfile();
  EXPECT_EQ(__qbio_ispipe(p), 1);
  EXPECT_EQ(__qbio_ispipe(f), 0);
  EXPECT_EQ(__qbio_getfd(f), fileno(f));
  EXPECT_EQ(__qbio_feof(f), 0);
  std::fgetc(f);
  EXPECT_EQ(__qbio_feof(f), 1);
  std::fclose(p);
  close(fds[1]);
  std::fclose(f);
}

TEST(Arithmetic, LeftShift) {
  EXPECT_EQ(__mth_i_klshift(3, 1), 6);
  EXPECT_EQ(__mth_i_klshift(1, 40), std::int64_t{1} << 40);
  EXPECT_EQ(__mth_i_klshift(1, 64), 0);
  EXPECT_EQ(__mth_i_klshift(8, -2), 2);
}

}  // namespace
