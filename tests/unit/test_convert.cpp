// The converter end to end: a complete run on sample data, the exact text
// of its report, conversion edge cases and every way an input can be short.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "child.h"
#include "files.h"
#include "fio.h"
#include "ftn.h"
#include "converter_oracle.h"
#include "sample_data.h"

namespace {

constexpr int kPoints = sample::kPoints;
constexpr long long kRecord = 44376;
constexpr long long kOutputSize = 114 * kRecord;

using oracle::expected_output;
using oracle::sample_records;

std::string join(const std::vector<std::string>& records, std::size_t count) {
  std::string all;
  for (std::size_t i = 0; i < count && i < records.size(); ++i) all += records[i];
  return all;
}

ChildResult convert(const TempDir& dir, ChildOptions o = {}) {
  o.dir = dir.path();
  for (const char* name : {"FORTRANOPT", "LANG", "NO_STOP_MESSAGE"}) {
    const bool given = std::any_of(o.env.begin(), o.env.end(),
                                   [&](const auto& kv) { return kv.first == name; });
    if (!given) o.unset_env.push_back(name);
  }
  return run_program({kelvoran_binary(), "in.dat", "out.dat"}, o);
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> v;
  std::size_t start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    v.push_back(text.substr(start, nl - start));
  return v;
}


TEST(Convert, CompleteRunOnSampleData) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  const auto& records = sample_records();
  ASSERT_EQ(records.size(), 121u);
  const std::string input = join(records, 121);
  ASSERT_EQ(input.size(), 10566568u);
  write_file(dir.file("in.dat"), input);
  auto r = convert(dir);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string output = read_file(dir.file("out.dat"));
  ASSERT_EQ(static_cast<long long>(output.size()), kOutputSize);
  EXPECT_TRUE(output == expected_output(records)) << "output values differ";
  EXPECT_EQ(read_file(dir.file("in.dat")), input) << "the input is never written";

  const auto text = lines(r.out);
  ASSERT_EQ(text.size(), 399u);
  EXPECT_EQ(text[0], " KELVORANSAMPLE  T42L28  20261209");
  EXPECT_EQ(text[1].size(), 74u);
  for (int i = 2; i <= 170; ++i) EXPECT_EQ(text[i].size(), 76u) << i;
  // Reports: gz, q, then te, uu, vv, rq levels 1..28, two records each.
  const char* labels[] = {"gz", "q"};
  for (int f = 0; f < 2; ++f) {
    EXPECT_EQ(text[171 + 2 * f].rfind(std::string(" ") + labels[f] + " has max=", 0), 0u);
    EXPECT_EQ(text[171 + 2 * f].size(), f == 0 ? 73u : 72u);
    EXPECT_EQ(text[172 + 2 * f], "            1");
  }
  const char* fields[] = {"te", "uu", "vv", "rq"};
  for (int f = 0; f < 4; ++f)
    for (int k = 1; k <= 28; ++k) {
      const std::size_t at = 175 + 56 * f + 2 * (k - 1);
      EXPECT_EQ(text[at].rfind(std::string(" ") + fields[f] + " has max=", 0), 0u) << at;
      EXPECT_EQ(text[at].size(), 73u) << at;
      EXPECT_EQ(text[at + 1], std::string(12 - std::to_string(k).size() + 1, ' ') + std::to_string(k));
    }
}

TEST(Convert, HeaderText) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  auto records = sample_records();
  std::string p;
  sample::put_f64(p, -1.5);
  for (std::int32_t i : {0, -7, 2147483647, -2147483647 - 1}) sample::put_be32(p, static_cast<std::uint32_t>(i));
  for (int i = 0; i < 507; ++i) sample::put_f64(p, i == 0 ? 1.0 : (i == 1 ? 0.05 : 123456.789));
  records[1] = sample::record(p);
  write_file(dir.file("in.dat"), join(records, 121));
  auto r = convert(dir);
  const auto text = lines(r.out);
  ASSERT_GE(text.size(), 171u);
  EXPECT_EQ(text[1],
            "   -1.500000000000000                0          -7  2147483647 -2147483648");
  EXPECT_EQ(text[2],
            "    1.000000000000000       5.0000000000000000E-002   123456.7890000000     ");
  EXPECT_EQ(text[170],
            "    123456.7890000000        123456.7890000000        123456.7890000000     ");
}

TEST(Convert, ReportLayoutOfOneLevel) {
  auto r = run_child([] {
    const double field[] = {1.0, -2.25, 0.5};
    const std::int32_t n = 3, levels = 1, first = 1;
    maxmin_(field, &n, &levels, &first, &first, "gz", 2);
    std::fflush(nullptr);
  });
  EXPECT_EQ(r.out,
            " gz has max=   1.000000000000000      min=  -2.250000000000000      at k=\n"
            "            1\n");
}

TEST(Convert, ExtremaRules) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* what;
    std::vector<double> level;
    std::string max, min;
  } rows[] = {
      {"all equal", {2.0, 2.0, 2.0}, "2.000000000000000     ", "2.000000000000000     "},
      {"NaN in the middle: only what follows counts", {100.0, nan, 3.0, -1.0},
       "3.000000000000000     ", "-1.000000000000000     "},
      {"NaN last", {1.0, 2.0, nan}, "NaN", "NaN"},
      {"zeros: the later sign wins", {0.0, -0.0}, "0.0000000000000000E+000",
       "0.0000000000000000E+000"},
      {"1.0E39 is reported as read", {1.0e39, 1.0}, "1.0000000000000000E+039",
       "1.000000000000000     "},
  };
  for (const auto& row : rows) {
    auto r = run_child([&] {
      const std::int32_t n = static_cast<std::int32_t>(row.level.size()), one = 1;
      maxmin_(row.level.data(), &n, &one, &one, &one, "te", 2);
      std::fflush(nullptr);
    });
    const auto text = lines(r.out);
    ASSERT_EQ(text.size(), 2u) << row.what;
    auto field = [](const std::string& s) {
      const auto a = s.find_first_not_of(' ');
      return s.substr(a);
    };
    EXPECT_EQ(field(text[0].substr(12, 25)), row.max) << row.what;
    EXPECT_EQ(field(text[0].substr(42, 25)), row.min) << row.what;
  }
}

// The report must show what a running comparison over the values in order
// shows, for levels mixing NaNs, zeros of both signs and infinities.
TEST(Convert, ExtremaMatchARunningComparison) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double pool[] = {nan, -nan, 0.0, -0.0, 1.0, -1.0, inf, -inf, 2.5, -7.25, 1e300, 5e-324};
  std::uint64_t seed = 12345;
  auto next = [&] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(seed >> 33);
  };
  std::vector<std::vector<double>> levels;
  for (int t = 0; t < 3000; ++t) {
    std::vector<double> level(1 + next() % 40);
    for (double& x : level) x = pool[next() % std::size(pool)];
    levels.push_back(level);
  }
  std::string expected;
  auto text = [](double v) {
    std::int32_t len = 0;
    const char* t = __fio_default_convert(&v, TY_DBLE, 0, &len);
    return std::string(t, static_cast<std::size_t>(len));
  };
  for (const auto& level : levels) {
    double hi = level[0], lo = level[0];
    for (double x : level) {
      if (!(hi > x)) hi = x;
      if (!(lo < x)) lo = x;
    }
    expected += " te has max=" + text(hi) + " min=" + text(lo) + " at k=\n            1\n";
  }
  auto r = run_child([&] {
    for (const auto& level : levels) {
      const std::int32_t n = static_cast<std::int32_t>(level.size()), one = 1;
      maxmin_(level.data(), &n, &one, &one, &one, "te", 2);
    }
    std::fflush(nullptr);
  });
  EXPECT_TRUE(r.out == expected) << "first difference at byte "
      << std::mismatch(r.out.begin(), r.out.end(), expected.begin(), expected.end()).first - r.out.begin();
}

TEST(Convert, SignedZeroReportsTheLaterSign) {
  auto r = run_child([] {
    const double level[] = {0.0, -0.0};
    const std::int32_t n = 2, one = 1;
    maxmin_(level, &n, &one, &one, &one, "te", 2);
    std::fflush(nullptr);
  });
  // Zero prints without a sign either way; the stored extreme carries it.
  EXPECT_EQ(r.out.substr(0, 73),
            " te has max=  0.0000000000000000E+000 min=  0.0000000000000000E+000 at k=");
}

TEST(Convert, ReportsLevelsInOrderAndNothingForAnEmptyRange) {
  auto r = run_child([] {
    std::vector<double> field(3 * 4);
    for (int i = 0; i < 12; ++i) field[i] = i;
    const std::int32_t n = 4, levels = 3, first = 2, last = 3, none = 1;
    maxmin_(field.data(), &n, &levels, &first, &last, "rq", 2);
    maxmin_(field.data(), &n, &levels, &last, &none, "rq", 2);
    std::fflush(nullptr);
  });
  EXPECT_EQ(r.out,
            " rq has max=   7.000000000000000      min=   4.000000000000000      at k=\n"
            "            2\n"
            " rq has max=   11.00000000000000      min=   8.000000000000000      at k=\n"
            "            3\n");
}

TEST(Convert, ValueConversionEdgeCases) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  auto records = sample_records();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // A signalling NaN (top fraction bit clear) with a negative sign.
  const double snan_neg = std::bit_cast<double>(0xFFF2BCDE00000001ULL);
  std::vector<double> gz = sample::level(sample::Field::gz, 1);
  gz[0] = 1.0e39;
  gz[1] = 1.0e-40;
  gz[2] = 0.1;
  gz[3] = nan;
  gz[4] = -0.0;
  gz[5] = -1.0e39;
  gz[6] = snan_neg;
  gz[7] = std::numeric_limits<double>::infinity();
  gz[8] = 3.40282356e38;  // just below the tie: the largest finite 4-byte real
  gz[9] = 3.4028235677973366e38;  // the tie rounds to even, which is infinity
  records[2] = sample::level_record(gz);
  write_file(dir.file("in.dat"), join(records, 121));
  auto r = convert(dir);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string out = read_file(dir.file("out.dat"));
  ASSERT_EQ(static_cast<long long>(out.size()), kOutputSize);
  struct Row {
    int index;
    const char* bytes;
  } rows[] = {
      {0, "7F 80 00 00"},  // overflow to +infinity
      {1, "00 01 16 C2"},  // nearest subnormal
      {2, "3D CC CC CD"},
      {3, "7F C0 00 00"},  // quiet NaN
      {4, "80 00 00 00"},
      {5, "FF 80 00 00"},
      {6, "FF D5 E6 F0"},  // signalling NaN made quiet, sign and fraction kept
      {7, "7F 80 00 00"},
      {8, "7F 7F FF FF"},
      {9, "7F 80 00 00"},
  };
  for (const auto& row : rows)
    EXPECT_EQ(hex(out.substr(4 * row.index, 4)), row.bytes) << row.index;
  EXPECT_TRUE(out == expected_output(records));
}

TEST(Convert, WindLevelsLandInTheirRecords) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  auto records = sample_records();
  std::vector<double> marker(kPoints, 111.0);
  records[32] = sample::level_record(marker);  // uu level 1 (input record 33)
  std::fill(marker.begin(), marker.end(), 222.0);
  records[33] = sample::level_record(marker);  // vv level 1 (input record 34)
  write_file(dir.file("in.dat"), join(records, 121));
  auto r = convert(dir);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string out = read_file(dir.file("out.dat"));
  EXPECT_EQ(out.substr(30 * kRecord, kRecord), std::string().append(kPoints * 0, ' ') + [&] {
              std::string s;
              for (int i = 0; i < kPoints; ++i) s += be_f32(111.0f);
              return s;
            }());
  std::string vv;
  for (int i = 0; i < kPoints; ++i) vv += be_f32(222.0f);
  EXPECT_EQ(out.substr(58 * kRecord, kRecord), vv);
}

struct FailureCase {
  const char* what;
  std::function<std::string()> input;
  int statement;
  std::string first_line;
  long long records_written;  // complete output records expected in the file
};

std::string with_record(std::size_t index, const std::string& replacement,
                        std::size_t count = 121) {
  auto records = sample_records();
  records[index] = replacement;
  return join(records, count);
}

TEST(Convert, ShortAndMissingInput) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  const std::string eof = "QBFIO-F-217/unformatted read/unit=100/attempt to read past end of file.";
  const std::string short_record =
      "QBFIO-F-219/unformatted read/unit=100/attempt to read/write past end of record.";
  const FailureCase cases[] = {
      {"empty input", [] { return std::string(); }, 73, eof, 0},
      {"header record 2 one byte short",
       [] { return with_record(1, sample::record(sample_records()[1].substr(4, 4079))); }, 76,
       short_record, 0},
      {"short field record", [] {
         return with_record(40, sample::record(sample_records()[40].substr(4, 88744)));
       }, 106, short_record, 30},
      {"file cut inside a record", [] {
         return join(sample_records(), 10) + sample_records()[10].substr(0, 5000);
       }, 97, eof, 2 + 6},
      {"file ends after record 116", [] { return join(sample_records(), 116); }, 131, eof, 114},
      {"file ends after record 120", [] { return join(sample_records(), 120); }, 135, eof, 114},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_file(dir.file("in.dat"), c.input());
    auto r = convert(dir);
    EXPECT_EQ(r.exit_code, 1) << c.what;
    const auto err = lines(r.err);
    ASSERT_EQ(err.size(), 3u) << c.what << "\n" << r.err;
    EXPECT_EQ(err[0], c.first_line) << c.what;
    EXPECT_EQ(err[1].rfind(" File name = in.dat    unformatted, sequential access   record = ", 0), 0u)
        << c.what;
    EXPECT_EQ(err[2], " In source file kelvoran, at line number " + std::to_string(c.statement))
        << c.what;
    const std::string out = read_file(dir.file("out.dat"));
    EXPECT_EQ(static_cast<long long>(out.size()), c.records_written * kRecord) << c.what;
    EXPECT_TRUE(out == oracle::sample_output().substr(0, out.size())) << c.what;
  }
}

TEST(Convert, LongerRecordsAndTrailingDataAreAccepted) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  auto records = sample_records();
  records[5] = sample::record(records[5].substr(4, 88752) + be_f64(42.0));  // 88760 bytes
  std::string input = join(records, 121) + sample_records()[2] + "tail";
  write_file(dir.file("in.dat"), input);
  auto r = convert(dir);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(read_file(dir.file("out.dat")) == oracle::sample_output());
}

TEST(Convert, MissingInputIsCreatedEmptyAndReported) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  auto r = convert(dir);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "QBFIO-F-217/unformatted read/unit=100/attempt to read past end of file.\n"
            " File name = in.dat    unformatted, sequential access   record = 1\n"
            " In source file kelvoran, at line number 73\n");
  EXPECT_EQ(file_size(dir.file("in.dat")), 0);
  EXPECT_EQ(file_size(dir.file("out.dat")), 0);
}

TEST(Convert, ExistingOutputPrintsNothing) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), join(sample_records(), 121));
  write_file(dir.file("out.dat"), "keep me");
  auto r = convert(dir);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(lines(r.err).at(0),
            "QBFIO-F-208/OPEN/unit=1/'NEW' specified for file which already exists.");
  EXPECT_EQ(read_file(dir.file("out.dat")), "keep me");
}

TEST(Convert, VaxioPadsEachRecordWithZeros) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), join(sample_records(), 121));
  auto r = convert(dir, {.env = {{"FORTRANOPT", "vaxio"}}});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string out = read_file(dir.file("out.dat"));
  ASSERT_EQ(static_cast<long long>(out.size()), 114 * 4 * kRecord);
  const std::string expected = oracle::sample_output();
  for (int rec = 0; rec < 114; ++rec) {
    ASSERT_TRUE(out.compare(rec * 4 * kRecord, kRecord, expected, rec * kRecord, kRecord) == 0) << rec;
    const std::string padding = out.substr(rec * 4 * kRecord + kRecord, 3 * kRecord);
    ASSERT_EQ(padding, std::string(3 * kRecord, '\0')) << rec;
  }
}

TEST(Convert, InputThroughAPipe) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  struct Row {
    std::size_t records;
    int exit_code;
  } rows[] = {{121, 0}, {100, 1}};
  for (const auto& row : rows) {
    TempDir dir;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string input = join(sample_records(), row.records) +
                              (row.records < 121 ? sample_records()[row.records].substr(0, 999) : "");
    const pid_t feeder = fork();
    if (feeder == 0) {
      close(fds[0]);
      write_all(fds[1], input);
      _exit(0);
    }
    close(fds[1]);
    auto r = run_child(
        [&] {
          dup2(fds[0], 0);
          close(fds[0]);
          execl(kelvoran_binary().c_str(), "kelvoran", "/dev/stdin", "out.dat",
                static_cast<char*>(nullptr));
          _exit(127);
        },
        {.dir = dir.path(), .unset_env = {"FORTRANOPT"}});
    close(fds[0]);
    waitpid(feeder, nullptr, 0);
    EXPECT_EQ(r.exit_code, row.exit_code) << r.err;
    if (row.exit_code == 0) {
      EXPECT_TRUE(read_file(dir.file("out.dat")) == oracle::sample_output());
    } else {
      EXPECT_EQ(lines(r.err).at(0),
                "QBFIO-F-217/unformatted read/unit=100/attempt to read past end of file.");
    }
  }
}

TEST(Convert, WriteFailureKeepsEarlierRecords) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), join(sample_records(), 121));
  const rlim_t limit = 3 * kRecord + 100;
  auto r = run_child(
      [&] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl = {limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
        execl(kelvoran_binary().c_str(), "kelvoran", "in.dat", "out.dat",
              static_cast<char*>(nullptr));
        _exit(127);
      },
      {.dir = dir.path(), .unset_env = {"FORTRANOPT", "LANG"}});
  EXPECT_EQ(r.exit_code, 1);
  const auto err = lines(r.err);
  ASSERT_EQ(err.size(), 4u) << r.err;
  EXPECT_EQ(err[0], "QBFIO/stdio: File too large");
  EXPECT_EQ(err[1], "QBFIO-F-/unformatted write/unit=1/error code returned by host stdio - 27.");
  EXPECT_EQ(err[2].rfind(" File name = out.dat    unformatted, direct access   record = ", 0), 0u);
  EXPECT_EQ(err[3], " In source file kelvoran, at line number 101");
  const std::string out = read_file(dir.file("out.dat"));
  ASSERT_GE(static_cast<long long>(out.size()), 3 * kRecord);
  EXPECT_TRUE(out.compare(0, 3 * kRecord, oracle::sample_output(), 0, 3 * kRecord) == 0);
}

TEST(Convert, UnwritableStandardOutputFailsTheRun) {
  SKIP_UNLESS_TARGET_PROGRAMS_RUN();
  TempDir dir;
  write_file(dir.file("in.dat"), join(sample_records(), 121));
  auto r = run_child(
      [&] {
        freopen("/dev/full", "w", stdout);
        execl(kelvoran_binary().c_str(), "kelvoran", "in.dat", "out.dat",
              static_cast<char*>(nullptr));
        _exit(127);
      },
      {.dir = dir.path()});
  EXPECT_EQ(r.exit_code, 1);
  const auto err = lines(r.err);
  ASSERT_GE(err.size(), 2u) << r.err;
  EXPECT_EQ(err[0], "QBFIO/stdio: No space left on device");
  EXPECT_EQ(err[1].rfind("QBFIO-F-/list-directed write/unit=6/", 0), 0u) << err[1];
}

}  // namespace
