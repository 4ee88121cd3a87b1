// Host failures injected into complete runs of the program. An interposer
// loaded with LD_PRELOAD counts the host calls of one kind in a clean run,
// then, for every k up to that count, a fresh run has its k-th call of the
// kind fail with a chosen errno. Each run must end with status 1 and the
// numbered host-error report of the statement that was running (its
// "QBFIO/stdio" line, statement name, unit, record and statement number),
// with every output record and report line written before the failure
// intact and nothing after it. Only a failure that the layer legitimately
// works around may end with status 0, and then the run must be complete.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "child.h"
#include "converter_oracle.h"
#include "files.h"

namespace {

using oracle::kRecordBytes;

enum class Input { exact, padded };

struct Row {
  const char* name;  // test name suffix
  const char* kind;  // kind of host call
  int error;         // errno of the failure
  Input input;
  int shard;   // this case covers k with k % shards == shard
  int shards;
  // A failure of this call is worked around: the run must end complete.
  bool (*absorbed)(long k);
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

bool none(long) { return false; }
bool every(long) { return true; }
// The input file is first opened for update; refused, it is opened for
// reading, which is all the converter does with it.
bool input_update_open(long k) { return k == 1; }

std::string input_bytes(Input input) {
  if (input == Input::exact) return oracle::sample_file();
  // Field records 8 bytes longer than what is read: every field read ends
  // with a seek over the rest of its record.
  std::string all;
  const auto& records = oracle::sample_records();
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (i < 2) {
      all += records[i];
      continue;
    }
    all += sample::record(records[i].substr(4, oracle::kLevelBytes) +
                          std::string(8, '\x5A'));
  }
  return all;
}

struct RunOutcome {
  ChildResult result;
  std::string output;
  bool output_exists = false;
  std::map<std::string, long> counts;
};

class Injection {
 public:
  explicit Injection(Input input) {
    write_file(dir_.file("in.dat"), input_bytes(input));
  }

  RunOutcome run(const std::vector<std::pair<std::string, std::string>>& fault) {
    unlink(dir_.file("out.dat").c_str());
    unlink(dir_.file("counts").c_str());
    ChildOptions o{.dir = dir_.path(),
                   .env = {{"LD_PRELOAD", HOST_FAULTS_LIB},
                           {"KELVORAN_FAULT_COUNTS", dir_.file("counts")}},
                   .unset_env = {"FORTRANOPT", "LANG", "NO_STOP_MESSAGE"}};
#ifdef RELIABILITY_UNDER_ASAN
    // The interposer is loaded ahead of the sanitizer runtime on purpose.
    o.env.push_back({"ASAN_OPTIONS", "verify_asan_link_order=0"});
#endif
    for (const auto& kv : fault) o.env.push_back(kv);
    RunOutcome r;
    // The dynamically linked build: a static one would call past the
    // interposer.
    r.result = run_program({INTERPOSABLE_BIN, "in.dat", "out.dat"}, o);
    r.output_exists = file_exists(dir_.file("out.dat"));
    r.output = read_file(dir_.file("out.dat"));
    std::istringstream counts(read_file(dir_.file("counts")));
    std::string kind;
    long n = 0;
    while (counts >> kind >> n) r.counts[kind] = n;
    return r;
  }

 private:
  TempDir dir_;
};

std::string describe(const Row& row, long k, const ChildResult& r) {
  std::ostringstream s;
  s << row.kind << " call " << k << " failing with errno " << row.error
    << ": exit " << r.exit_code << " signal " << r.signal << "\n"
    << r.err;
  return s.str();
}

// A run that must be complete: status 0, nothing on standard error, the
// whole report and the whole output file.
void expect_complete(const RunOutcome& run, const std::string& reference_out,
                     const std::string& what) {
  EXPECT_TRUE(run.result.exited && run.result.exit_code == 0) << what;
  EXPECT_EQ(run.result.err, "") << what;
  EXPECT_TRUE(run.result.out == reference_out) << what << ": report differs";
  EXPECT_TRUE(run.output == oracle::sample_output())
      << what << ": output file differs (" << run.output.size() << " bytes)";
}

// Fields of the host-error report.
struct Report {
  std::string statement;
  int unit = 0;
  int code = 0;
  std::string file_line;
  int line = 0;
};

bool parse_report(const std::string& err, int error, Report& rep,
                  std::string& why) {
  const auto lines = oracle::split_lines(err);
  if (lines.size() != 4) {
    why = "the report has " + std::to_string(lines.size()) + " lines";
    return false;
  }
  if (lines[0] != std::string("QBFIO/stdio: ") + std::strerror(error)) {
    why = "host line: " + lines[0];
    return false;
  }
  char stmt[64] = {};
  int unit = 0, code = 0, n = 0;
  if (std::sscanf(lines[1].c_str(),
                  "QBFIO-F-/%63[^/]/unit=%d/error code returned by host "
                  "stdio - %d.%n",
                  stmt, &unit, &code, &n) != 3 ||
      static_cast<std::size_t>(n) != lines[1].size()) {
    why = "first report line: " + lines[1];
    return false;
  }
  const std::string where = " In source file kelvoran, at line number ";
  if (lines[3].rfind(where, 0) != 0) {
    why = "source line: " + lines[3];
    return false;
  }
  rep.statement = stmt;
  rep.unit = unit;
  rep.code = code;
  rep.file_line = lines[2];
  rep.line = std::atoi(lines[3].c_str() + where.size());
  return true;
}

// The record number shown on the file line of a connected unit.
bool record_on(const std::string& file_line, const std::string& head, int& rec) {
  if (file_line.rfind(head, 0) != 0) return false;
  rec = std::atoi(file_line.c_str() + head.size());
  return std::to_string(rec) == file_line.substr(head.size());
}

// What the report says must have happened before the failure: the report
// lines and output records that must be in place, exactly.
struct Progress {
  int lines = 0;           // complete report lines on standard output
  bool partial_line = false;  // a report line may be cut short
  int outputs = 0;         // complete output records
  bool partial_record = false;  // the record after them may be cut short
  bool output_created = true;
};

bool progress_of(const Report& rep, const std::string& out, Progress& p,
                 std::string& why) {
  int rec = 0;
  const std::string& s = rep.statement;
  if (s == "OPEN") {
    const bool input = rep.unit == 100 && rep.line == 70 &&
                       rep.file_line == " File name = " + oracle::padded80("in.dat");
    const bool output = rep.unit == 1 && rep.line == 71 &&
                        rep.file_line == " File name = " + oracle::padded80("out.dat");
    if (!input && !output) {
      why = "OPEN reported with unit/line/name that do not match";
      return false;
    }
    p.output_created = false;
    return true;
  }
  if (s == "unformatted read") {
    if (rep.unit != 100 ||
        !record_on(rep.file_line,
                   " File name = in.dat    unformatted, sequential access   record = ",
                   rec) ||
        rec < 1 || rec > oracle::kInputRecords || rep.line != oracle::read_statement(rec)) {
      why = "read reported with unit/record/line that do not match";
      return false;
    }
    p.lines = oracle::lines_before_read(rec);
    p.outputs = oracle::outputs_before_read(rec);
    return true;
  }
  if (s == "unformatted write") {
    if (rep.unit != 1 ||
        !record_on(rep.file_line,
                   " File name = out.dat    unformatted, direct access   record = ", rec) ||
        rec < 1 || rec > oracle::kOutputRecords || rep.line != oracle::write_statement(rec)) {
      why = "write reported with unit/record/line that do not match";
      return false;
    }
    p.lines = oracle::lines_before_write(rec);
    p.outputs = rec - 1;
    p.partial_record = true;
    return true;
  }
  if (s == "list-directed write") {
    if (rep.unit != 6 ||
        !record_on(rep.file_line,
                   " File name = stdout     formatted, sequential access   record = ", rec) ||
        rec < 1 || rec > oracle::kReportLines || rep.line != oracle::statement_of_line(rec)) {
      why = "report write reported with unit/record/line that do not match";
      return false;
    }
    // The record in progress is the one after the complete lines.
    int complete = 0;
    for (char c : out) complete += c == '\n';
    if (complete != rec - 1) {
      why = "report line " + std::to_string(rec) + " in progress but " +
            std::to_string(complete) + " lines out";
      return false;
    }
    p.lines = rec - 1;
    p.partial_line = true;
    p.outputs = oracle::outputs_before_line(rec);
    return true;
  }
  if (s == "CLOSE") {
    // The CLOSE of the input at 137, or the exit walk after it, which closes
    // the output file and flushes the standard streams.
    const bool input = rep.unit == 100 &&
                       rep.file_line ==
                           " File name = in.dat    unformatted, sequential access   record = 121";
    const bool output = rep.unit == 1 &&
                        rep.file_line ==
                            " File name = out.dat    unformatted, direct access   record = 114";
    const bool standard = (rep.unit == 0 || rep.unit == 6 || rep.unit == 5 ||
                           rep.unit == -5 || rep.unit == -6) &&
                          rep.file_line.rfind(" File name = std", 0) == 0;
    if (rep.line != 137 || !(input || output || standard)) {
      why = "CLOSE reported with unit/name/line that do not match";
      return false;
    }
    p.lines = oracle::kReportLines;
    p.outputs = oracle::kOutputRecords;
    return true;
  }
  why = "unexpected statement " + s;
  return false;
}

void expect_failed_run(const Row& row, long k, const RunOutcome& run,
                       const std::string& reference_out) {
  const std::string what = describe(row, k, run.result);
  ASSERT_TRUE(run.result.exited) << what;
  ASSERT_EQ(run.result.exit_code, 1) << what;
  Report rep;
  std::string why;
  ASSERT_TRUE(parse_report(run.result.err, row.error, rep, why)) << why << "\n" << what;
  EXPECT_EQ(rep.code, row.error) << what;
  Progress p;
  ASSERT_TRUE(progress_of(rep, run.result.out, p, why)) << why << "\n" << what;

  // Standard output: exactly the report lines before the failure, and at
  // most a cut-short part of the line being written.
  const std::size_t done = oracle::end_of_lines(reference_out, p.lines);
  ASSERT_NE(done, std::string::npos) << what;
  const std::string& out = run.result.out;
  if (p.partial_line) {
    EXPECT_TRUE(out.size() >= done &&
                out == reference_out.substr(0, out.size()))
        << what << ": report is not a prefix of the complete one";
  } else {
    EXPECT_TRUE(out == reference_out.substr(0, done))
        << what << ": expected exactly " << p.lines << " report lines";
  }

  // Output file: every record written before the failure, intact.
  EXPECT_EQ(run.output_exists, p.output_created) << what;
  const std::size_t whole = static_cast<std::size_t>(p.outputs * kRecordBytes);
  const std::string& expected = oracle::sample_output();
  if (p.partial_record) {
    EXPECT_GE(run.output.size(), whole) << what;
    EXPECT_LT(run.output.size(), whole + kRecordBytes) << what;
  } else {
    EXPECT_EQ(run.output.size(), whole) << what;
  }
  EXPECT_TRUE(run.output.size() <= expected.size() &&
              expected.compare(0, run.output.size(), run.output) == 0)
      << what << ": output bytes differ from the conversion of the input";
}

// The interposer itself: a program calling each kind directly (read and
// write included, which the layer's stream calls do not use today) sees the
// second call of the chosen kind fail with the chosen errno, and nothing
// else fail.
TEST(Interposer, CatchesTheChosenCallOfEveryKind) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const char* kinds[] = {"fopen",  "fwrite",    "fflush", "fseeko", "ftello",
                         "fread",  "ftruncate", "write",  "read",   "fclose"};
  for (const char* kind : kinds) {
    TempDir dir;
    ChildOptions o{.dir = dir.path(),
                   .env = {{"LD_PRELOAD", HOST_FAULTS_LIB},
                           {"KELVORAN_FAULT_KIND", kind},
                           {"KELVORAN_FAULT_AT", "2"},
                           {"KELVORAN_FAULT_ERRNO", std::to_string(ENOSPC)},
                           {"KELVORAN_FAULT_COUNTS", dir.file("counts")}}};
#ifdef RELIABILITY_UNDER_ASAN
    o.env.push_back({"ASAN_OPTIONS", "verify_asan_link_order=0"});
#endif
    const ChildResult r = run_program({INJECT_PROBE, dir.file("f")}, o);
    ASSERT_EQ(r.exit_code, 0) << kind << "\n" << r.err;
    std::string expected;
    for (const char* k : kinds)
      expected += std::string(k) + (std::string(k) == kind ? " 0 0 -1 28\n" : " 0 0 0 0\n");
    EXPECT_EQ(r.err, expected) << kind;
    std::istringstream counts(read_file(dir.file("counts")));
    std::string name;
    long n = 0;
    int kinds_counted = 0;
    while (counts >> name >> n) {
      EXPECT_GE(n, 2) << name;
      ++kinds_counted;
    }
    EXPECT_EQ(kinds_counted, 10) << kind;
  }
}

class FaultInjection : public ::testing::TestWithParam<Row> {};

TEST_P(FaultInjection, EveryCallOfTheKindFailsInTurn) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const Row& row = GetParam();
  Injection inj(row.input);
  const RunOutcome clean = inj.run({});
  ASSERT_TRUE(clean.result.exited && clean.result.exit_code == 0) << clean.result.err;
  ASSERT_EQ(clean.output, oracle::sample_output());
  const std::string reference_out = clean.result.out;
  ASSERT_EQ(static_cast<int>(std::count(reference_out.begin(), reference_out.end(), '\n')),
            oracle::kReportLines);
  // The interposer must see the program's calls: a clean run opens,
  // reads and writes through it.
  ASSERT_EQ(clean.counts.at("fopen"), 2);
  ASSERT_GT(clean.counts.at("fread"), 121);
  ASSERT_GT(clean.counts.at("fwrite"), 114);
  const long calls = clean.counts.at(row.kind);
  RecordProperty("calls", static_cast<int>(calls));

  long failed = 0;
  // One past the last call: armed, never reached, the run is complete.
  for (long k = 1; k <= calls + 1; ++k) {
    if (k % row.shards != row.shard % row.shards) continue;
    const RunOutcome run = inj.run({{"KELVORAN_FAULT_KIND", row.kind},
                             {"KELVORAN_FAULT_AT", std::to_string(k)},
                             {"KELVORAN_FAULT_ERRNO", std::to_string(row.error)}});
    if (k > calls || row.absorbed(k)) {
      expect_complete(run, reference_out, describe(row, k, run.result));
    } else {
      expect_failed_run(row, k, run, reference_out);
      ++failed;
    }
    if (HasFatalFailure()) return;
  }
  RecordProperty("failed_calls", static_cast<int>(failed));
  std::printf("%s: %ld calls in a complete run, %ld failed in turn\n", row.name,
              calls, failed);
}

std::vector<Row> rows() {
  std::vector<Row> v = {
      {"fopen", "fopen", EACCES, Input::exact, 0, 1, input_update_open},
      {"fread", "fread", EIO, Input::exact, 0, 1, none},
      {"fseeko", "fseeko", EIO, Input::padded, 0, 1, none},
      // A stream that says it cannot seek is read forward instead.
      {"fseeko_unseekable", "fseeko", ESPIPE, Input::padded, 0, 1, every},
      {"ftello", "ftello", EIO, Input::exact, 0, 1, none},
      {"fflush", "fflush", EIO, Input::exact, 0, 1, none},
      {"fclose", "fclose", EIO, Input::exact, 0, 1, none},
      {"ftruncate", "ftruncate", EIO, Input::exact, 0, 1, none},
      {"read", "read", EIO, Input::exact, 0, 1, none},
      {"write", "write", EIO, Input::exact, 0, 1, none},
  };
  // Writes are the most numerous calls; split them so they run side by side.
  constexpr int kWriteShards = 6;
  static const char* names[kWriteShards] = {"fwrite_0", "fwrite_1", "fwrite_2",
                                            "fwrite_3", "fwrite_4", "fwrite_5"};
  for (int s = 0; s < kWriteShards; ++s)
    v.push_back({names[s], "fwrite", ENOSPC, Input::exact, s, kWriteShards, none});
  return v;
}

INSTANTIATE_TEST_SUITE_P(Host, FaultInjection, ::testing::ValuesIn(rows()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
