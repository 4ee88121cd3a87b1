// Whole-program runs on mutated inputs. Starting from a valid input file,
// each case changes one thing: a leading or trailing length marker of one
// record (zero, one byte short, eight bytes long, 0x7FFFFFFF, continuation
// bit), the end of the file (at every record boundary and inside every
// record), or a few random bytes. What each run must do is worked out by a
// reference model of the record rules over the mutated bytes, following the
// converter's statement sequence: which read fails, with which code, at
// which record and statement, or that the run completes. Every run must end
// with status 0 or 1 and no signal, print exactly that report (or none),
// print the report lines of the statements before the failure, and leave an
// output file of whole records, each equal to the conversion of the level
// the model says was read for it.
//
// kelvoran-check's prediction of each run (status, error number, line
// number, whole output records) must equal what the run did.
//
// KELVORAN_CAMPAIGN_RANDOM sets the number of random-byte cases (default
// 60) and KELVORAN_CAMPAIGN_SEED their seed, for longer campaigns.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"
#include "run_summary.h"
#include "run_model.h"
#include "seq_model.h"

namespace {

using model::Item;
using model::Step;
using model::converter_steps;

struct Expected {
  int exit_code = 0;
  std::string err;
  int lines = 0;
  std::string output;
};

// Converted levels of the unmutated file by offset: most levels a mutated
// run reads lie where they always do, away from the mutation.
const std::string& converted_original(std::int64_t at) {
  static std::map<std::int64_t, std::string> cache;
  auto it = cache.find(at);
  if (it == cache.end())
    it = cache.emplace(at, oracle::converted_level(oracle::sample_file(), at)).first;
  return it->second;
}

// The outcome of a run on `file`, which equals the sample file outside
// [dirty_from, dirty_to).
Expected predict(const std::string& file, std::int64_t dirty_from = 0,
                 std::int64_t dirty_to = 0) {
  static const std::vector<Step> steps = converter_steps();
  model::SequentialFile reader(file, true);
  std::vector<std::int64_t> level_at;
  Expected e;
  for (const Step& step : steps) {
    switch (step.kind) {
      case Step::print:
        e.lines += step.lines;
        break;
      case Step::write: {
        const std::int64_t at = level_at[step.source];
        const bool clean = at + oracle::kLevelBytes <= dirty_from || at >= dirty_to;
        e.output += clean ? converted_original(at) : oracle::converted_level(file, at);
        break;
      }
      case Step::read: {
        const model::Statement st = reader.read(step.items);
        if (st.code != 0) {
          const char* text = st.code == 219 ? "attempt to read/write past end of record"
                                            : "attempt to read past end of file";
          e.exit_code = 1;
          e.err = "QBFIO-F-" + std::to_string(st.code) +
                  "/unformatted read/unit=100/" + text +
                  ".\n File name = in.dat    unformatted, sequential access   "
                  "record = " + std::to_string(reader.records_begun()) +
                  "\n In source file kelvoran, at line number " +
                  std::to_string(step.statement) + "\n";
          return e;
        }
        level_at.push_back(st.offsets[0]);
        break;
      }
    }
  }
  return e;
}

// One mutation: bytes replaced at an offset, or the file cut short.
struct Mutation {
  std::string what;
  std::int64_t at = 0;
  std::string bytes;
  std::int64_t cut = -1;  // file length after the cut, -1 none
};

std::vector<std::int64_t> record_starts() {
  std::vector<std::int64_t> starts;
  std::int64_t at = 0;
  for (const auto& r : oracle::sample_records()) {
    starts.push_back(at);
    at += static_cast<std::int64_t>(r.size());
  }
  starts.push_back(at);
  return starts;
}

// The trailing marker is read but never compared with anything, so two
// values cover it; every value is tried on the leading marker.
std::vector<Mutation> marker_mutations(bool trailing) {
  std::vector<Mutation> v;
  const auto starts = record_starts();
  for (int r = 1; r <= oracle::kInputRecords; ++r) {
    const std::uint32_t len = static_cast<std::uint32_t>(starts[r] - starts[r - 1] - 8);
    const std::int64_t at = trailing ? starts[r] - 4 : starts[r - 1];
    const std::pair<const char*, std::uint32_t> values[] = {
        {"zero", 0},
        {"one byte short", len - 1},
        {"eight bytes long", len + 8},
        {"largest", 0x7FFFFFFF},
        {"continuation bit", len | 0x80000000u}};
    for (const auto& [name, value] : values) {
      if (trailing && value != 0 && value != (len | 0x80000000u)) continue;
      v.push_back({std::string(trailing ? "trailing" : "leading") + " marker of record " +
                       std::to_string(r) + " " + name,
                   at, be32(value)});
    }
  }
  return v;
}

std::vector<Mutation> cuts() {
  std::vector<Mutation> v;
  const auto starts = record_starts();
  std::mt19937_64 rng(7);
  for (int r = 0; r < oracle::kInputRecords; ++r) {
    v.push_back({"file ends after record " + std::to_string(r), 0, "", starts[r]});
    // Inside record r + 1: in its leading marker, its payload or its
    // trailing marker.
    const std::int64_t size = starts[r + 1] - starts[r];
    const std::int64_t inside = 1 + static_cast<std::int64_t>(rng() % (size - 1));
    v.push_back({"file cut " + std::to_string(inside) + " bytes into record " +
                     std::to_string(r + 1),
                 0, "", starts[r] + inside});
  }
  return v;
}

long env_number(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::atol(v) : fallback;
}

std::vector<Mutation> random_bytes() {
  std::vector<Mutation> v;
  const auto starts = record_starts();
  const long count = env_number("KELVORAN_CAMPAIGN_RANDOM", 60);
  const auto seed = static_cast<std::uint64_t>(env_number("KELVORAN_CAMPAIGN_SEED", 20261209));
  std::mt19937_64 rng(seed);
  const auto total = static_cast<std::uint64_t>(starts.back());
  for (long i = 0; i < count; ++i) {
    // Half of them land on a length marker, where a byte matters most.
    std::int64_t at;
    if (rng() % 2 == 0) {
      const std::size_t r = rng() % oracle::kInputRecords;
      at = (rng() % 2 == 0 ? starts[r] : starts[r + 1] - 4) + static_cast<std::int64_t>(rng() % 4);
    } else {
      at = static_cast<std::int64_t>(rng() % total);
    }
    std::string bytes(1 + rng() % 4, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
    if (at + static_cast<std::int64_t>(bytes.size()) > starts.back())
      at = starts.back() - static_cast<std::int64_t>(bytes.size());
    v.push_back({"random bytes " + hex(bytes) + " at " + std::to_string(at) + " (seed " +
                     std::to_string(seed) + ")",
                 at, bytes});
  }
  return v;
}

struct Group {
  const char* name;
  std::function<std::vector<Mutation>()> cases;
  int shard, shards;
};

void PrintTo(const Group& g, std::ostream* os) { *os << g.name; }

class MutatedInputs : public ::testing::TestWithParam<Group> {};

TEST_P(MutatedInputs, RunsMatchTheModel) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const Group& group = GetParam();
  const std::string& original = oracle::sample_file();
  // The model must agree with itself on the unmutated file.
  const Expected clean = predict(original);
  ASSERT_EQ(clean.exit_code, 0);
  ASSERT_EQ(clean.lines, oracle::kReportLines);
  ASSERT_TRUE(clean.output == oracle::sample_output());

  TempDir dir;
  const std::string in = dir.file("in.dat"), out = dir.file("out.dat");
  write_file(in, original);
  const int fd = open(in.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);

  const auto cases = group.cases();
  int runs = 0, completed = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    if (static_cast<int>(i % group.shards) != group.shard) continue;
    const Mutation& m = cases[i];
    std::string mutated = original;
    if (m.cut >= 0) {
      mutated.resize(static_cast<std::size_t>(m.cut));
      ASSERT_EQ(ftruncate(fd, m.cut), 0);
    } else {
      mutated.replace(static_cast<std::size_t>(m.at), m.bytes.size(), m.bytes);
      ASSERT_EQ(pwrite(fd, m.bytes.data(), m.bytes.size(), m.at),
                static_cast<ssize_t>(m.bytes.size()));
    }
    const Expected want =
        m.cut >= 0 ? predict(mutated, m.cut, INT64_MAX)
                   : predict(mutated, m.at, m.at + static_cast<std::int64_t>(m.bytes.size()));
    unlink(out.c_str());
    const ChildResult r = run_program({kelvoran_binary(), "in.dat", "out.dat"},
                                      {.dir = dir.path(),
                                       .unset_env = {"FORTRANOPT", "LANG", "NO_STOP_MESSAGE"}});
    ++runs;
    completed += r.exited && r.exit_code == 0;
    const std::string got = read_file(out);

    EXPECT_TRUE(r.exited) << m.what << ": signal " << r.signal;
    EXPECT_EQ(r.exit_code, want.exit_code) << m.what;
    EXPECT_EQ(r.err, want.err) << m.what;
    int lines = 0;
    for (char c : r.out) lines += c == '\n';
    EXPECT_EQ(lines, want.lines) << m.what;
    EXPECT_TRUE(r.out.empty() || r.out.back() == '\n') << m.what << ": a report line is cut";
    EXPECT_EQ(got.size() % oracle::kRecordBytes, 0u) << m.what << ": not whole records";
    EXPECT_EQ(got.size(), want.output.size()) << m.what;
    EXPECT_TRUE(got == want.output) << m.what << ": output records differ from the model";

    const ChildResult check =
        run_program({check_binary(), "--json", "in.dat"}, {.dir = dir.path()});
    EXPECT_EQ(predicted_summary(check.out), run_summary(r, static_cast<long long>(got.size())))
        << m.what << ": kelvoran-check predicted otherwise";

    // Put the file back for the next case.
    if (m.cut >= 0) {
      const std::string tail = original.substr(static_cast<std::size_t>(m.cut));
      ASSERT_EQ(pwrite(fd, tail.data(), tail.size(), m.cut), static_cast<ssize_t>(tail.size()));
    } else {
      ASSERT_EQ(pwrite(fd, original.data() + m.at, m.bytes.size(), m.at),
                static_cast<ssize_t>(m.bytes.size()));
    }
    if (HasFailure()) break;  // the first difference says enough
  }
  close(fd);
  ASSERT_EQ(read_file(in), original);
  RecordProperty("runs", runs);
  std::printf("%s: %d mutated runs, %d completed, %d failed as predicted\n", group.name,
              runs, completed, runs - completed);
}

std::vector<Group> groups() {
  const auto leading = [] { return marker_mutations(false); };
  const auto trailing = [] { return marker_mutations(true); };
  return {
      {"leading_markers_0", leading, 0, 3},
      {"leading_markers_1", leading, 1, 3},
      {"leading_markers_2", leading, 2, 3},
      {"trailing_markers", trailing, 0, 1},
      {"cuts", cuts, 0, 1},
      {"random_bytes", random_bytes, 0, 1},
  };
}

INSTANTIATE_TEST_SUITE_P(Campaign, MutatedInputs, ::testing::ValuesIn(groups()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
