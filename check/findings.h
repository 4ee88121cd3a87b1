// Everything the check learned about an input file and, when one is given,
// an output file, ready for the reports.
#pragma once

#include <cstdint>

#include "framing.h"
#include "verify.h"
#include "walk.h"

namespace check {

enum class Verdict { ok, fails, mismatch, unknown };

struct Findings {
  const char* infile = nullptr;   // as given
  const char* opened = nullptr;   // the name kelvoran opens
  bool name_differs = false;      // kelvoran cuts or trims the name given
  bool exists = true;
  bool fifo_without_writer = false;
  int open_error = 0;             // why INFILE could not be opened
  ByteOrder order = ByteOrder::unknown;
  WalkResult big;                 // the file as kelvoran reads it
  bool little_walked = false;
  WalkResult little;              // the framing read little-endian
  bool have_text = false;
  unsigned char text[32] = {};
  bool have_integers = false;
  std::int32_t integers[4] = {};
  Prediction kelvoran;
  Verdict verdict = Verdict::ok;

  // OUTFILE, when one is checked.
  const char* outfile = nullptr;
  int output_open_error = 0;
  bool vaxio = false;
  OutputFacts output;
  bool output_verifies = false;
  int status = 0;  // the exit status
};

// The records and values per level to report: the little-endian framing
// when the file is written that way and could be walked so.
const WalkResult* framing_walk(const Findings& f);

// Whether kelvoran would convert the file and succeed, but the file is
// not the layout it expects.
bool layout_differs(const Findings& f);

void print_text(const Findings& f);
void print_json(const Findings& f);

}  // namespace check
