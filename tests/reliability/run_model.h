// The converter's statement sequence over the reference model of the
// record rules: what a whole run does with the bytes of an input file,
// worked out without the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sample_data.h"
#include "seq_model.h"

namespace model {

inline constexpr Item kLevel = {8, sample::kPoints, 8, 0};

// The converter's statement sequence, as far as it shows in its files and
// report: reads of input records, writes of output records (the number of
// the read whose level each one holds) and report lines.
struct Step {
  enum Kind { read, write, print } kind;
  int statement = 0;
  std::vector<Item> items;  // read
  int source = 0;           // write: index of the read whose level it holds
  int record = 0;           // write: output record
  int lines = 0;            // print
};

inline std::vector<Step> converter_steps() {
  std::vector<Step> s;
  int reads = 0;
  auto read = [&](int statement, std::vector<Item> items) {
    s.push_back({Step::read, statement, std::move(items)});
    return reads++;
  };
  auto write = [&](int statement, int source, int record) {
    s.push_back({Step::write, statement, {}, source, record});
  };
  auto print = [&](int lines) { s.push_back({Step::print, 0, {}, 0, 0, lines}); };

  read(73, {{15, 4, 8, 8}});
  print(1);
  read(76, {{8, 1, 0, 0}, {6, 4, 4, 0}, {8, 29, 8, 0}, {8, 28, 8, 0},
            {8, 144, 8, 0}, {8, 306, 8, 0}});
  print(170);
  const int gz = read(82, {kLevel});
  print(2);
  write(87, gz, 1);
  const int q = read(89, {kLevel});
  print(2);
  write(94, q, 2);
  for (int k = 1; k <= 28; ++k) write(101, read(97, {kLevel}), k + 2);
  print(56);
  std::vector<int> uu, vv;
  for (int k = 1; k <= 28; ++k) {
    uu.push_back(read(106, {kLevel}));
    vv.push_back(read(107, {kLevel}));
  }
  for (int k = 1; k <= 28; ++k) write(114, uu[k - 1], k + 30);
  for (int k = 1; k <= 28; ++k) write(117, vv[k - 1], k + 58);
  print(112);
  for (int k = 1; k <= 28; ++k) write(127, read(123, {kLevel}), k + 86);
  print(56);
  for (int t = 0; t < 5; ++t) read(131 + t, {kLevel});
  return s;
}

// Status, error number, line number and whole output records of a run,
// in the form of kelvoran-check's JSON report.
inline std::string run_outcome(const std::string& file) {
  SequentialFile reader(file, true);
  int outputs = 0;
  static const std::vector<Step> steps = converter_steps();
  for (const Step& step : steps) {
    if (step.kind == Step::write) ++outputs;
    if (step.kind != Step::read) continue;
    const Statement st = reader.read(step.items);
    if (st.code != 0)
      return "{\"status\":1,\"error\":" + std::to_string(st.code) +
             ",\"line\":" + std::to_string(step.statement) +
             ",\"output_records\":" + std::to_string(outputs) + "}";
  }
  return "{\"status\":0,\"error\":null,\"line\":null,\"output_records\":114}";
}

}  // namespace model
