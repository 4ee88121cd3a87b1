// kelvoran-check on the files users have: what it says and its status, its
// prediction set against a real kelvoran run of the same file, outputs that
// are whole, cut, changed or too long, inputs that are not files at all, and
// its command line. The check must never create or change a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"
#include "run_summary.h"

namespace {

// A case's name as a test name: letters and digits, the rest underscores.
constexpr auto test_name = [](const auto& info) {
  std::string n = info.param.name;
  for (char& ch : n) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return n;
};

// The payload of a framed big-endian record.
std::string payload(const std::string& record) { return record.substr(4, record.size() - 8); }

std::string framed(const std::string& p, bool little) {
  const auto n = static_cast<std::uint32_t>(p.size());
  const std::string m = little ? le32(n) : be32(n);
  return m + p + m;
}

// Every number of a payload in the other byte order: the header text is
// characters, record 2 starts with a real and four integers.
std::string swapped(int r, std::string p) {
  auto flip = [&](std::size_t at, std::size_t n) { std::reverse(p.begin() + at, p.begin() + at + n); };
  if (r == 1) return p;
  std::size_t at = 0;
  if (r == 2) {
    flip(0, 8);
    for (int k = 0; k < 4; ++k) flip(8 + 4 * k, 4);
    at = 24;
  }
  for (; at < p.size(); at += 8) flip(at, 8);
  return p;
}

std::string little_endian_file() {
  std::string f;
  const auto& recs = oracle::sample_records();
  for (std::size_t i = 0; i < recs.size(); ++i)
    f += framed(swapped(static_cast<int>(i) + 1, payload(recs[i])), true);
  return f;
}

// Levels of a finer grid: each field record holds `values` values, the
// first 11094 of them the sample's.
std::string finer_grid_file(int values) {
  std::string f;
  const auto& recs = oracle::sample_records();
  for (std::size_t i = 0; i < recs.size(); ++i) {
    std::string p = payload(recs[i]);
    if (i >= 2) p += std::string(8 * (values - sample::kPoints), '\x3f');
    f += framed(p, false);
  }
  return f;
}

std::string with_marker(std::int64_t at, std::uint32_t value) {
  std::string f = oracle::sample_file();
  f.replace(static_cast<std::size_t>(at), 4, be32(value));
  return f;
}

constexpr std::int64_t kRecord3 = 4128;  // offset of the first field record

// gz with values a 4-byte real cannot hold: a signalling NaN, an infinity, 1e39, the
// smallest value that rounds to infinity, and the largest that does not.
std::string out_of_range_values() {
  std::string f = oracle::sample_file();
  const std::uint64_t bits[] = {0xFFF123456789ABCDu, 0xFFF0000000000000u, 0x48078287F49C4A1Du,
                                0xC7EFFFFFF0000000u, 0x47EFFFFFEFFFFFFFu};
  for (std::size_t i = 0; i < std::size(bits); ++i) {
    std::string be;
    for (int b = 56; b >= 0; b -= 8) be += static_cast<char>(bits[i] >> b & 0xFF);
    f.replace(kRecord3 + 4 + 8 * (100 + i), 8, be);
  }
  return f;
}

struct FileCase {
  const char* name;
  std::function<std::string()> bytes;
  int status;
  const char* says;  // a line the plain report must hold
};

const FileCase kFiles[] = {
    {"sample", [] { return oracle::sample_file(); }, 0, "verdict: ok\n"},
    {"finer grid", [] { return finer_grid_file(16384); }, 2,
     "levels: 16384 values per level; kelvoran converts only the first 11094 of each while "
     "reporting success\n"},
    {"little-endian", little_endian_file, 1,
     "byte order: little-endian; kelvoran reads big-endian files only\n"},
    {"gzip", [] { return std::string("\x1f\x8b\x08\x00\x12\x34\x56\x78\x00\x03", 10) + std::string(5000, 'z'); },
     1, "not a sequential unformatted file\n"},
    {"text", [] { return std::string(300, 'a') + "\n"; }, 1, "not a sequential unformatted file\n"},
    {"empty", [] { return std::string(); }, 1, "byte order: unknown: the file is empty\n"},
    {"uu level 3 one byte short", [] { return with_marker(kRecord3 + 36 * 88760, 88751); }, 1,
     "record 39 (uu level 4): payload 88751 bytes, kelvoran reads 88752: error 219\n"},
    {"largest length", [] { return with_marker(kRecord3 + 10 * 88760, 0x7FFFFFFF); }, 1,
     "kelvoran: fails with error 217 (attempt to read past end of file) at record 14 (te level "
     "10), line number 97, status 1; it leaves 11 whole output records\n"},
    {"continuation bit", [] { return with_marker(kRecord3, 88752 | 0x80000000u); }, 1,
     "record 3 (gz): continuation bit set"},
    {"trailing marker", [] { return with_marker(kRecord3 + 88756, 5); }, 2,
     "record 3 (gz): trailing length marker says 5 bytes, the leading one 88752; kelvoran does "
     "not compare them\n"},
    {"cut in the last trailing marker", [] { return oracle::sample_file().substr(0, 10566566); }, 2,
     "end of file: at byte 10566566, inside the trailing length marker of record 121 (trailing "
     "field 5)\n"},
    {"values out of range", out_of_range_values, 0,
     "values of gz: 1 NaN, 1 infinite, 2 beyond the 4-byte range (they become infinities)\n"},
    {"data after record 121", [] { return oracle::sample_file() + "extra"; }, 0,
     "after record 121: 5 bytes, which kelvoran does not read (harmless)\n"},
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

class CheckFiles : public ::testing::TestWithParam<FileCase> {};

TEST_P(CheckFiles, SaysWhatTheFileIsAndPredictsTheRealRun) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const FileCase& c = GetParam();
  TempDir dir;
  const std::string bytes = c.bytes();
  write_file(dir.file("in.dat"), bytes);
  const ChildResult text = run_program({check_binary(), "in.dat"}, {.dir = dir.path()});
  EXPECT_EQ(text.exit_code, c.status) << text.out;
  EXPECT_NE(text.out.find(c.says), std::string::npos) << text.out;
  EXPECT_EQ(text.err, "");

  const ChildResult json = run_program({check_binary(), "--json", "in.dat"}, {.dir = dir.path()});
  EXPECT_EQ(json.exit_code, c.status);
  const ChildResult run = run_program({kelvoran_binary(), "in.dat", "out.dat"},
                                      {.dir = dir.path(), .unset_env = {"FORTRANOPT"}});
  EXPECT_EQ(predicted_summary(json.out), run_summary(run, file_size(dir.file("out.dat"))));
  EXPECT_EQ(read_file(dir.file("in.dat")), bytes) << "the check or the run changed the input";
  // What the run wrote is what the check takes for the conversion, to the
  // last record it leaves.
  const ChildResult verify =
      run_program({check_binary(), "--json", "in.dat", "out.dat"}, {.dir = dir.path()});
  EXPECT_EQ(verify.exit_code, c.status) << verify.out;
  EXPECT_NE(verify.out.find("\"first_difference\":null"), std::string::npos) << verify.out;

  // Read through a pipe, once, the file gives the same prediction.
  const ChildResult piped = run_program({check_binary(), "--json", "/dev/stdin"},
                                        {.dir = dir.path(), .stdin_data = bytes});
  EXPECT_EQ(predicted_summary(piped.out), predicted_summary(json.out));
  EXPECT_EQ(piped.exit_code, c.status);
}

INSTANTIATE_TEST_SUITE_P(Files, CheckFiles, ::testing::ValuesIn(kFiles), test_name);

// Inputs that are no model file at all: a clear message and a status,
// nothing created, no hang.
struct SpecialCase {
  const char* name;
  std::string path;  // relative to the test directory
  const char* says;
};

TEST(CheckSpecialInputs, ReportAndEndWithoutCreatingAnything) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  ASSERT_EQ(mkdir(dir.file("adir").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0644), 0);
  const SpecialCase cases[] = {
      {"missing", "missing.dat",
       "\"kelvoran\":{\"status\":1,\"error\":217,\"line\":73,\"output_records\":0}"},
      {"missing directory", "nodir/x.dat",
       "\"kelvoran\":{\"status\":1,\"error\":2,\"line\":70,\"output_records\":0}"},
      {"directory", "adir", "\"kelvoran\":{\"status\":1,\"error\":21,\"line\":73,\"output_records\":0}"},
      {"fifo without writer", "fifo", "\"verdict\":\"unknown\""},
      {"zeros", "/dev/zero", "\"kelvoran\":{\"status\":1,\"error\":219,\"line\":73,\"output_records\":0}"},
      {"endless random bytes", "/dev/urandom", "\"verdict\":\"unknown\""},
      {"blank name", "   ", "\"kelvoran\":{\"status\":1,\"error\":211,\"line\":70,\"output_records\":0}"},
  };
  for (const auto& c : cases) {
    const ChildResult r = run_program({check_binary(), "--json", c.path},
                                      {.dir = dir.path(), .timeout_seconds = 30});
    EXPECT_TRUE(r.exited) << c.name;
    EXPECT_EQ(r.exit_code, 1) << c.name;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.name << ": " << r.out;
  }
  EXPECT_FALSE(file_exists(dir.file("missing.dat")));
  EXPECT_FALSE(file_exists(dir.file("nodir")));
}

// Outputs against the sample's conversion.
std::string flipped(const std::string& o, std::size_t at, char mask) {
  return o.substr(0, at) + static_cast<char>(o.at(at) ^ mask) + o.substr(at + 1);
}

struct OutputCase {
  const char* name;
  std::function<std::string(std::string)> change;
  int status;
  const char* says;
};

const OutputCase kOutputs[] = {
    {"as written", [](std::string o) { return o; }, 0,
     "output: verifies: all 114 records equal the conversion\n"},
    {"cut", [](std::string o) { return o.substr(0, 45 * 44376 + 100); }, 1,
     "output: incomplete: 45 whole records, equal to the conversion; the first missing is "
     "record 46 (uu level 16), of which part is there\n"},
    {"one byte flipped", [](std::string o) { return flipped(o, 60 * 44376 + 4 * 99 + 2, 1); }, 1,
     "output: record 61 (vv level 3) differs from the conversion at value 100\n"},
    {"last byte flipped", [](std::string o) { return flipped(o, 114 * 44376 - 1, '\x80'); }, 1,
     "output: record 114 (rq level 28) differs from the conversion at value 11094\n"},
    {"one byte more", [](std::string o) { return o + "x"; }, 1,
     "output: longer than what kelvoran writes: 1 bytes after record 114\n"},
    {"empty", [](std::string) { return std::string(); }, 1,
     "the first missing is record 1 (gz)\n"},
};

void PrintTo(const OutputCase& c, std::ostream* os) { *os << c.name; }

class CheckOutputs : public ::testing::TestWithParam<OutputCase> {};

TEST_P(CheckOutputs, NameTheFirstRecordThatIsNotTheConversion) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const OutputCase& c = GetParam();
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  write_file(dir.file("out.dat"), c.change(oracle::sample_output()));
  const ChildResult r = run_program({check_binary(), "in.dat", "out.dat"}, {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, c.status) << r.out;
  EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Outputs, CheckOutputs, ::testing::ValuesIn(kOutputs), test_name);

TEST(CheckOutputs, FollowTheRecordLengthOfVaxio) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  const ChildResult run = run_program({kelvoran_binary(), "in.dat", "out.dat"},
                                      {.dir = dir.path(), .env = {{"FORTRANOPT", "vaxio"}}});
  ASSERT_EQ(run.exit_code, 0);
  const ChildResult with = run_program({check_binary(), "-q", "in.dat", "out.dat"},
                                       {.dir = dir.path(), .env = {{"FORTRANOPT", "novaxio"}}});
  EXPECT_EQ(with.exit_code, 0);
  EXPECT_EQ(with.out, "");
  const ChildResult without = run_program({check_binary(), "in.dat", "out.dat"},
                                          {.dir = dir.path(), .unset_env = {"FORTRANOPT"}});
  EXPECT_EQ(without.exit_code, 1);
  EXPECT_NE(without.out.find("record 2 (q) differs from the conversion at value 1\n"),
            std::string::npos);
}

TEST(CheckOutputs, AMissingOutputIsNotCreated) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  const ChildResult r = run_program({check_binary(), "--json", "in.dat", "out.dat"},
                                    {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("\"error\":\"No such file or directory\",\"verifies\":false"),
            std::string::npos) << r.out;
  EXPECT_FALSE(file_exists(dir.file("out.dat")));
}

// The command lines of both companion commands.
struct CommandCase {
  std::vector<std::string> args;
  int status;
  const char* out;  // a text standard output must hold, "" for none at all
  const char* err;  // likewise for standard error
};

TEST(CompanionCommands, FollowTheirCommandLines) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), oracle::sample_file());
  write_file(dir.file("taken.dat"), "keep me");
  const std::string check = check_binary(), sample = sample_binary();
  const CommandCase cases[] = {
      {{check, "--help"}, 0, "usage: kelvoran-check [-q | --json] INFILE [OUTFILE]\n", ""},
      {{check, "--version"}, 0, "kelvoran-check 0.1\n", ""},
      {{check, "-q", "in.dat"}, 0, "", ""},
      {{check}, 64, "", "kelvoran-check: no INFILE given\n"},
      {{check, "-x", "in.dat"}, 64, "", "kelvoran-check: unknown option: -x\n"},
      {{check, "in.dat", "b", "c"}, 64, "", "kelvoran-check: too many files: c\n"},
      {{sample, "--help"}, 0, "usage: kelvoran-sample OUTPUT\n", ""},
      {{sample, "--version"}, 0, "kelvoran-sample 0.1\n", ""},
      {{sample, "taken.dat"}, 1, "", "kelvoran-sample: taken.dat: File exists\n"},
      {{sample, "a", "b"}, 64, "", "kelvoran-sample: one OUTPUT only\n"},
      {{sample, "new.dat"}, 0, "", ""},
  };
  for (const auto& c : cases) {
    const ChildResult r = run_program(c.args, {.dir = dir.path()});
    const std::string what = c.args.size() > 1 ? c.args[1] : "(no arguments)";
    EXPECT_EQ(r.exit_code, c.status) << what;
    if (*c.out == '\0') EXPECT_EQ(r.out, "") << what;
    else EXPECT_NE(r.out.find(c.out), std::string::npos) << what << ": " << r.out;
    if (*c.err == '\0') EXPECT_EQ(r.err, "") << what;
    else EXPECT_NE(r.err.find(c.err), std::string::npos) << what << ": " << r.err;
  }
  EXPECT_FALSE(file_exists(dir.file("--help")));
  EXPECT_EQ(read_file(dir.file("taken.dat")), "keep me");
  EXPECT_TRUE(read_file(dir.file("new.dat")) == oracle::sample_file());
}

}  // namespace
