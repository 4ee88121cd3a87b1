// Hostile file names on the command line: an output path that is already
// taken (a file, a symlink to one, a dangling symlink, a directory, the input
// under another spelling) or that cannot be created, and an input that is a
// directory, unreadable or a dangling symlink. Each run must end with the
// numbered report of the statement concerned and status 1, print no report
// lines, and leave every other file as it was: the whole tree around the run
// is compared before and after, symlink targets included.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// Everything observable about one directory entry.
struct Entry {
  std::string kind;     // file, dir, link, other
  unsigned mode = 0;
  long long size = 0;
  long long mtime_ns = 0;
  std::string content;  // file bytes, or the link target
  bool operator==(const Entry&) const = default;
};

std::map<std::string, Entry> snapshot(const std::string& root) {
  std::map<std::string, Entry> tree;
  for (auto it = fs::recursive_directory_iterator(root);
       it != fs::recursive_directory_iterator(); ++it) {
    const std::string path = it->path().string();
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    Entry e;
    e.mode = st.st_mode & 07777;
    e.size = st.st_size;
    e.mtime_ns = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    if (S_ISLNK(st.st_mode)) {
      e.kind = "link";
      e.content = fs::read_symlink(path).string();
    } else if (S_ISDIR(st.st_mode)) {
      e.kind = "dir";
    } else if (S_ISREG(st.st_mode)) {
      e.kind = "file";
      e.content = read_file(path);
    } else {
      e.kind = "other";
    }
    tree[path.substr(root.size())] = e;
  }
  return tree;
}

std::string describe_changes(const std::map<std::string, Entry>& before,
                             const std::map<std::string, Entry>& after) {
  std::string s;
  for (const auto& [p, e] : after)
    if (!before.count(p)) s += "  created " + p + " (" + e.kind + ")\n";
    else if (!(before.at(p) == e)) s += "  changed " + p + "\n";
  for (const auto& [p, e] : before)
    if (!after.count(p)) s += "  removed " + p + "\n";
  return s;
}

struct Case {
  const char* what;
  // Builds the files under `work` (the directory the run starts in) and
  // `elsewhere` (a sibling holding symlink targets).
  std::function<void(const std::string& work, const std::string& elsewhere)> setup;
  std::string in, out;
  bool unprivileged;  // run as an ordinary user, so that permissions hold
  std::string err;
  // Entry the run may create under work (empty: none), with its size.
  std::string created;
};

// A failed OPEN shows the FILE= text as passed: 80 characters.
std::string open_failure(int line, const std::string& name,
                         const std::string& first_lines) {
  return first_lines + " File name = " + oracle::padded80(name) +
         "\n In source file kelvoran, at line number " + std::to_string(line) +
         "\n";
}

std::string exists_report(const std::string& name) {
  return open_failure(71, name,
                      "QBFIO-F-208/OPEN/unit=1/'NEW' specified for file which "
                      "already exists.\n");
}

std::string host_open_report(int unit, int line, const std::string& name,
                             const std::string& text, int code) {
  return open_failure(line, name,
                      "QBFIO/stdio: " + text + "\nQBFIO-F-/OPEN/unit=" +
                          std::to_string(unit) +
                          "/error code returned by host stdio - " +
                          std::to_string(code) + ".\n");
}

// A short input: the first records of the sample, enough that a run which
// wrongly went on would write output.
std::string small_input() {
  std::string s;
  for (int r = 0; r < 5; ++r) s += oracle::sample_records()[r];
  return s;
}

void make_file(const std::string& path, const std::string& bytes, mode_t mode) {
  write_file(path, bytes);
  chmod(path.c_str(), mode);
}

// Runs the program from `program`, as an ordinary user when asked.
ChildResult run_as(bool unprivileged, const std::string& program,
                   const std::string& dir, const std::string& in,
                   const std::string& out) {
  return run_child(
      [&] {
        if (unprivileged &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 ||
             setuid(kNobody) != 0))
          _exit(99);
        execl(program.c_str(), "kelvoran", in.c_str(), out.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
      },
      {.dir = dir, .unset_env = {"FORTRANOPT", "LANG", "NO_STOP_MESSAGE"}});
}

TEST(HostilePaths, ReportedAndNothingElseTouched) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const Case cases[] = {
      {"output is an existing file",
       [](const std::string& w, const std::string&) {
         make_file(w + "/out.dat", "precious", 0644);
       },
       "in.dat", "out.dat", false, exists_report("out.dat"), ""},
      {"output is a symlink to an existing file",
       [](const std::string& w, const std::string& e) {
         make_file(e + "/target", "precious", 0644);
         symlink("../elsewhere/target", (w + "/out.dat").c_str());
       },
       "in.dat", "out.dat", false, exists_report("out.dat"), ""},
      {"output is a dangling symlink",
       [](const std::string& w, const std::string&) {
         symlink("../elsewhere/missing", (w + "/out.dat").c_str());
       },
       "in.dat", "out.dat", false, exists_report("out.dat"), ""},
      {"output is a directory",
       [](const std::string& w, const std::string&) {
         mkdir((w + "/out.dat").c_str(), 0755);
         make_file(w + "/out.dat/inside", "x", 0644);
       },
       "in.dat", "out.dat", false, exists_report("out.dat"), ""},
      {"output names the input another way",
       [](const std::string&, const std::string&) {}, "in.dat", "./in.dat",
       false, exists_report("./in.dat"), ""},
      {"output in a directory without write permission",
       [](const std::string& w, const std::string&) {
         mkdir((w + "/ro").c_str(), 0555);
       },
       "in.dat", "ro/out.dat", true,
       host_open_report(1, 71, "ro/out.dat", "Permission denied", 13), ""},
      {"input without read permission",
       [](const std::string& w, const std::string&) {
         make_file(w + "/secret.dat", small_input(), 0200);
       },
       "secret.dat", "out.dat", true,
       host_open_report(100, 70, "secret.dat", "Permission denied", 13), ""},
      {"input is a dangling symlink",
       [](const std::string& w, const std::string&) {
         symlink("../elsewhere/missing", (w + "/link.dat").c_str());
       },
       "link.dat", "out.dat", false,
       host_open_report(100, 70, "link.dat", "No such file or directory", 2), ""},
      // A directory opens for reading; the read of the first record fails.
      // The output file was created by then and is left empty.
      {"input is a directory",
       [](const std::string& w, const std::string&) {
         mkdir((w + "/indir").c_str(), 0755);
       },
       "indir", "out.dat", false,
       "QBFIO/stdio: Is a directory\n"
       "QBFIO-F-/unformatted read/unit=100/error code returned by host stdio - 21.\n"
       " File name = indir    unformatted, sequential access   record = 1\n"
       " In source file kelvoran, at line number 73\n",
       "/work/out.dat"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string work = dir.file("work"), elsewhere = dir.file("elsewhere");
    mkdir(work.c_str(), 0755);
    mkdir(elsewhere.c_str(), 0755);
    // An ordinary user must reach the work directory; it still may not
    // write there.
    chmod(dir.path().c_str(), 0755);
    make_file(work + "/in.dat", small_input(), 0644);
    // The build tree may sit where an ordinary user cannot reach it; such
    // runs start from a copy of the program beside the work directory.
    std::string program = kelvoran_binary();
    if (c.unprivileged) {
      const std::string copy = dir.file("kelvoran");
      fs::copy_file(program, copy);
      chmod(copy.c_str(), 0755);
      program = copy;
    }
    c.setup(work, elsewhere);
    const auto before = snapshot(dir.path());

    const ChildResult r = run_as(c.unprivileged, program, work, c.in, c.out);
    EXPECT_TRUE(r.exited && r.exit_code == 1)
        << c.what << ": exit " << r.exit_code << " signal " << r.signal;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(r.out, "") << c.what;

    auto after = snapshot(dir.path());
    if (!c.created.empty()) {
      ASSERT_TRUE(after.count(c.created)) << c.what;
      EXPECT_EQ(after[c.created].kind, "file") << c.what;
      EXPECT_EQ(after[c.created].size, 0) << c.what;
      after.erase(c.created);
      after["/work"].mtime_ns = before.at("/work").mtime_ns;  // it gained an entry
    }
    EXPECT_TRUE(after == before) << c.what << ":\n" << describe_changes(before, after);
  }
}

}  // namespace

namespace {

// A run started with standard descriptors closed. The files the program
// opens must not take their numbers: the report text would otherwise be
// written into the input or output file.
TEST(HostilePaths, ClosedStandardDescriptorsAreNotReused) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  struct Row {
    const char* what;
    std::vector<int> closed;
    bool output_exists;  // out.dat is there before the run
    int exit_code;
    bool stdout_fails;   // the report cannot be written: host error 9
  } rows[] = {
      {"standard output closed", {1}, false, 1, true},
      {"standard error closed, output exists", {2}, true, 1, false},
      {"standard error closed, complete run", {2}, false, 0, false},
      {"standard input closed", {0}, false, 0, false},
      {"all three closed", {0, 1, 2}, false, 1, false},
  };
  for (const auto& row : rows) {
    TempDir dir;
    write_file(dir.file("in.dat"), oracle::sample_file());
    if (row.output_exists) write_file(dir.file("out.dat"), "precious");
    const ChildResult r = run_child(
        [&] {
          for (int fd : row.closed) close(fd);
          execl(kelvoran_binary().c_str(), "kelvoran", "in.dat", "out.dat",
                static_cast<char*>(nullptr));
          _exit(127);
        },
        {.dir = dir.path(), .unset_env = {"FORTRANOPT", "LANG", "NO_STOP_MESSAGE"}});
    EXPECT_TRUE(r.exited && r.exit_code == row.exit_code)
        << row.what << ": exit " << r.exit_code << " signal " << r.signal << "\n" << r.err;
    EXPECT_TRUE(read_file(dir.file("in.dat")) == oracle::sample_file())
        << row.what << ": the input file was written";
    const std::string out = read_file(dir.file("out.dat"));
    if (row.output_exists) {
      EXPECT_EQ(out, "precious") << row.what;
    } else if (row.exit_code == 0) {
      EXPECT_TRUE(out == oracle::sample_output()) << row.what;
    } else {
      EXPECT_EQ(out.size() % oracle::kRecordBytes, 0u) << row.what;
      EXPECT_TRUE(oracle::sample_output().compare(0, out.size(), out) == 0) << row.what;
    }
    if (row.stdout_fails) {
      const auto err = oracle::split_lines(r.err);
      if (err.size() != 4) {
        ADD_FAILURE() << row.what << ": report of " << err.size() << " lines\n" << r.err;
        continue;
      }
      EXPECT_EQ(err[0], "QBFIO/stdio: Bad file descriptor") << row.what;
      const bool in_report = err[1] ==
          "QBFIO-F-/list-directed write/unit=6/error code returned by host stdio - 9.";
      const bool at_end = err[1] == "QBFIO-F-/CLOSE/unit=6/error code returned by host stdio - 9.";
      EXPECT_TRUE(in_report || at_end) << row.what << ": " << err[1];
    } else if (std::find(row.closed.begin(), row.closed.end(), 2) == row.closed.end()) {
      EXPECT_EQ(r.err, "") << row.what;
    }
  }
}

}  // namespace
