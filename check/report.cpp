// The two reports of the check: plain lines for people, one JSON object for
// scripts. Both are made from the same list of findings.
#include <cstdio>
#include <cstring>

#include "findings.h"

namespace check {
namespace {

constexpr std::uint32_t kLengthMask = 0x7FFFFFFFu;
constexpr int kMostProblems = 20;

const char* verdict_name(Verdict v) {
  switch (v) {
    case Verdict::ok: return "ok";
    case Verdict::fails: return "fails";
    case Verdict::mismatch: return "mismatch";
    default: return "unknown";
  }
}

const char* error_text(int error) {
  if (error == 217) return "attempt to read past end of file";
  if (error == 219) return "attempt to read/write past end of record";
  if (error == 211) return "invalid file name";
  return std::strerror(error);
}

// One problem with one record of the file.
struct Problem {
  int record;
  char holds[32];
  char text[160];
};

// Every problem with the records, in record order. Field records that all
// share one length other than kelvoran's are one finding, not 119.
template <typename Emit>
void for_each_problem(const Findings& f, Emit emit) {
  if (f.order == ByteOrder::little) return;
  const WalkResult& w = f.big;
  const std::int64_t common = w.values_per_level;
  Problem p;
  for (int r = 1; r <= w.records; ++r) {
    const RecordFacts& rec = w.facts[r - 1];
    const std::int64_t need = payload_read(r);
    p.record = r;
    describe_input(r, p.holds, sizeof p.holds);
    const bool summarised = r >= 3 && common > 0 && common != kPoints && rec.length == 8 * common;
    if (rec.length != need && !summarised) {
      if (rec.length < need)
        std::snprintf(p.text, sizeof p.text,
                      "payload %lld bytes, kelvoran reads %lld: error 219",
                      static_cast<long long>(rec.length), static_cast<long long>(need));
      else
        std::snprintf(p.text, sizeof p.text,
                      "payload %lld bytes, kelvoran reads %lld and skips the other %lld",
                      static_cast<long long>(rec.length), static_cast<long long>(need),
                      static_cast<long long>(rec.length - need));
      emit(p);
    }
    if (rec.segments > 1 || (rec.lead & ~kLengthMask) != 0) {
      std::snprintf(p.text, sizeof p.text,
                    "continuation bit set (%d segments found); kelvoran reads the first "
                    "segment and skips the ones that continue it",
                    rec.segments);
      emit(p);
    }
    if (rec.trailing_read && (rec.trailing & kLengthMask) != rec.length) {
      std::snprintf(p.text, sizeof p.text,
                    "trailing length marker says %u bytes, the leading one %lld; kelvoran "
                    "does not compare them",
                    rec.trailing & kLengthMask, static_cast<long long>(rec.length));
      emit(p);
    }
    if (rec.trailing_read && (rec.trailing & ~kLengthMask) != 0) {
      std::snprintf(p.text, sizeof p.text,
                    "trailing length marker has the continuation bit set; kelvoran does "
                    "not look at it");
      emit(p);
    }
  }
}

void describe_end(const WalkResult& w, char* text, std::size_t size) {
  char holds[32];
  describe_input(w.end_record, holds, sizeof holds);
  const RecordFacts& rec = w.facts[w.end_record - 1];
  const long long r = w.end_record;
  switch (w.end_place) {
    case EndPlace::before_record:
      std::snprintf(text, size, "where record %lld (%s) should begin", r, holds);
      break;
    case EndPlace::leading_marker:
      std::snprintf(text, size, "inside the leading length marker of record %lld (%s)", r, holds);
      break;
    case EndPlace::payload:
      std::snprintf(text, size, "inside record %lld (%s), after %lld of the %lld bytes kelvoran reads",
                    r, holds, static_cast<long long>(w.end_offset - rec.offset - 4),
                    static_cast<long long>(payload_read(w.end_record)));
      break;
    case EndPlace::rest:
      std::snprintf(text, size, "inside record %lld (%s), after the bytes kelvoran reads", r, holds);
      break;
    case EndPlace::trailing_marker:
      std::snprintf(text, size, "inside the trailing length marker of record %lld (%s)", r, holds);
      break;
    case EndPlace::continuation:
      std::snprintf(text, size, "inside a segment that continues record %lld (%s)", r, holds);
      break;
    case EndPlace::none:
      text[0] = '\0';
      break;
  }
}

void describe_output(int w, char* text, std::size_t size) {
  const Level l = output_level(w);
  if (l.field == gz || l.field == q)
    std::snprintf(text, size, "%s", kFieldNames[l.field]);
  else
    std::snprintf(text, size, "%s level %d", kFieldNames[l.field], l.level);
}

// ---- plain lines ----

void print_bytes(const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '\\' && p[i] != '"')
      std::putchar(p[i]);
    else
      std::printf("\\x%02X", p[i]);
  }
}

void print_output_text(const Findings& f) {
  if (f.outfile == nullptr) return;
  if (f.output_open_error != 0) {
    std::printf("output: %s: %s\n", f.outfile, std::strerror(f.output_open_error));
    return;
  }
  const OutputFacts& o = f.output;
  const std::int64_t n = o.record_bytes;
  const int want = f.kelvoran.output_records;
  char what[32];
  std::printf("output: %s, records of %lld bytes%s\n", f.outfile, static_cast<long long>(n),
              f.vaxio ? " (FORTRANOPT has vaxio)" : "");
  if (o.read_error != 0) std::printf("output: reading it failed: %s\n", std::strerror(o.read_error));
  if (o.differs != 0 && o.differs <= want) {
    describe_output(o.differs, what, sizeof what);
    if (o.differs_value > 0)
      std::printf("output: record %d (%s) differs from the conversion at value %d\n", o.differs,
                  what, o.differs_value);
    else
      std::printf("output: record %d (%s) differs from the conversion in its zero padding\n",
                  o.differs, what);
    return;
  }
  const std::int64_t whole = o.size / n;
  if (whole < want) {
    describe_output(static_cast<int>(whole) + 1, what, sizeof what);
    std::printf("output: incomplete: %lld whole records, equal to the conversion; the first "
                "missing is record %lld (%s)%s\n",
                static_cast<long long>(whole), static_cast<long long>(whole + 1), what,
                o.size % n != 0 ? ", of which part is there" : "");
    return;
  }
  if (o.size > want * n || o.size_at_least) {
    std::printf("output: longer than what kelvoran writes: %s%lld bytes after record %d\n",
                o.size_at_least ? "at least " : "",
                static_cast<long long>(o.size - want * n), want);
    return;
  }
  if (want < kOutputRecords)
    std::printf("output: holds the %d records kelvoran writes before it fails; the conversion "
                "is incomplete\n", want);
  else
    std::printf("output: verifies: all %d records equal the conversion\n", want);
}

void print_prediction_text(const Findings& f) {
  const Prediction& k = f.kelvoran;
  if (!k.known) {
    if (f.fifo_without_writer)
      std::printf("kelvoran: cannot tell: no process writes to this FIFO; kelvoran would wait "
                  "for one\n");
    else
      std::printf("kelvoran: cannot tell: the check stopped reading after %lld bytes of an "
                  "input that cannot be positioned; what kelvoran does depends on bytes beyond\n",
                  static_cast<long long>(f.big.end_offset));
    return;
  }
  if (k.status == 0) {
    std::printf("kelvoran: converts it: status 0, %d whole output records\n", k.output_records);
    return;
  }
  char holds[32];
  describe_input(k.record, holds, sizeof holds);
  std::printf("kelvoran: fails with error %d (%s) ", k.error, error_text(k.error));
  if (k.line == 70)
    std::printf("opening the input");
  else
    std::printf("at record %d (%s)", k.record, holds);
  std::printf(", line number %d, status 1; it leaves %d whole output records\n", k.line,
              k.output_records);
}

void print_framing_text(const Findings& f) {
  const WalkResult& w = f.big;
  switch (f.order) {
    case ByteOrder::big:
      std::printf("byte order: big-endian, as kelvoran reads\n");
      break;
    case ByteOrder::little:
      std::printf("byte order: little-endian; kelvoran reads big-endian files only\n");
      break;
    default:
      if (w.records == 0 && w.end_offset == 0)
        std::printf("byte order: unknown: the file is empty\n");
      else
        std::printf("byte order: unknown: no consistent framing; this is not a sequential "
                    "unformatted file\n");
  }
  const WalkResult* framed = framing_walk(f);
  if (framed != nullptr) {
    std::printf("records: %d", framed->records);
    if (framed->records == kInputRecords) std::printf(", as many as kelvoran reads");
    std::printf(" (kelvoran reads 121: 32 and 4080 bytes, then 119 of 88752)\n");
    const std::int64_t values = framed->values_per_level;
    if (values > 0 && values != kPoints)
      std::printf("levels: %lld values per level; kelvoran converts only the first 11094 of "
                  "each%s\n",
                  static_cast<long long>(values),
                  values > kPoints && f.kelvoran.status == 0 ? " while reporting success" : "");
  }
  int shown = 0, more = 0;
  for_each_problem(f, [&](const Problem& p) {
    if (shown == kMostProblems) {
      ++more;
      return;
    }
    ++shown;
    std::printf("record %d (%s): %s\n", p.record, p.holds, p.text);
  });
  if (more > 0) std::printf("... and %d more problems with records\n", more);
  if (w.end_place != EndPlace::none && f.order != ByteOrder::little) {
    char where[160];
    describe_end(w, where, sizeof where);
    std::printf("end of file: at byte %lld, %s\n", static_cast<long long>(w.end_offset), where);
  }
  if (w.after_last > 0)
    std::printf("after record 121: %s%lld bytes, which kelvoran does not read (harmless)\n",
                w.after_last_at_least ? "at least " : "", static_cast<long long>(w.after_last));
}

void print_values_text(const Findings& f) {
  if (f.order != ByteOrder::big) return;
  bool any = false;
  for (int k = 0; k < kFields; ++k) {
    const FieldCounts& c = f.big.fields[k];
    if (c.nan == 0 && c.infinite == 0 && c.beyond == 0) continue;
    any = true;
    std::printf("values of %s: %lld NaN, %lld infinite, %lld beyond the 4-byte range "
                "(they become infinities)\n",
                kFieldNames[k], static_cast<long long>(c.nan), static_cast<long long>(c.infinite),
                static_cast<long long>(c.beyond));
  }
  if (!any) std::printf("values: no NaN, no infinity, none beyond the 4-byte range\n");
}

// ---- JSON ----

void json_string(const unsigned char* p, std::size_t n) {
  std::putchar('"');
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = p[i];
    if (c == '"' || c == '\\')
      std::printf("\\%c", c);
    else if (c >= 0x20 && c < 0x7F)
      std::putchar(c);
    else
      std::printf("\\u%04x", c);  // bytes beyond ASCII read as Latin-1
  }
  std::putchar('"');
}

void json_string(const char* s) {
  json_string(reinterpret_cast<const unsigned char*>(s), std::strlen(s));
}

void json_number_or_null(bool present, long long v) {
  if (present)
    std::printf("%lld", v);
  else
    std::printf("null");
}

void print_fields_json(const WalkResult& w) {
  for (int k = 0; k < kFields; ++k) {
    const FieldCounts& c = w.fields[k];
    std::printf("%s\"%s\":{\"nan\":%lld,\"infinite\":%lld,\"beyond_range\":%lld}",
                k ? "," : "{", kFieldNames[k], static_cast<long long>(c.nan),
                static_cast<long long>(c.infinite), static_cast<long long>(c.beyond));
  }
  std::printf("}");
}

void print_output_json(const Findings& f) {
  const OutputFacts& o = f.output;
  std::printf(",\"output\":{\"file\":");
  json_string(f.outfile);
  std::printf(",\"record_bytes\":%lld", static_cast<long long>(o.record_bytes));
  if (f.output_open_error != 0) {
    std::printf(",\"error\":");
    json_string(std::strerror(f.output_open_error));
    std::printf(",\"verifies\":false}");
    return;
  }
  const long long whole = o.size / o.record_bytes;
  const int want = f.kelvoran.output_records;
  const bool differs = o.differs != 0 && o.differs <= want;
  std::printf(",\"bytes\":%lld,\"whole_records\":%lld,\"verifies\":%s",
              static_cast<long long>(o.size), whole, f.output_verifies ? "true" : "false");
  std::printf(",\"first_missing\":");
  json_number_or_null(!differs && whole < want, whole + 1);
  std::printf(",\"first_difference\":");
  if (differs) {
    const Level l = output_level(o.differs);
    std::printf("{\"record\":%d,\"field\":\"%s\",\"level\":%d,\"value\":", o.differs,
                kFieldNames[l.field], l.level);
    json_number_or_null(o.differs_value > 0, o.differs_value);
    std::printf("}");
  } else {
    std::printf("null");
  }
  std::printf("}");
}

}  // namespace

const WalkResult* framing_walk(const Findings& f) {
  if (!f.exists || f.open_error != 0 || f.fifo_without_writer) return nullptr;
  if (f.order == ByteOrder::little) return f.little_walked ? &f.little : nullptr;
  return &f.big;
}

bool layout_differs(const Findings& f) {
  const std::int64_t values = f.big.values_per_level;
  bool differs = f.order != ByteOrder::big || f.big.records != kInputRecords ||
                 f.big.end_place != EndPlace::none || (values > 0 && values != kPoints);
  for_each_problem(f, [&](const Problem&) { differs = true; });
  return differs;
}

void print_text(const Findings& f) {
  std::printf("file: %s\n", f.infile);
  if (f.name_differs)
    std::printf("name: kelvoran keeps 80 characters of a name and drops the blanks around it, "
                "so it opens \"%s\"\n", f.opened);
  if (!f.exists)
    std::printf("file: does not exist; kelvoran would create it empty and fail reading it\n");
  else if (f.open_error != 0)
    std::printf("file: cannot be opened: %s\n", std::strerror(f.open_error));
  else if (!f.fifo_without_writer)
    print_framing_text(f);
  if (f.have_text) {
    std::printf("header text: \"");
    print_bytes(f.text, sizeof f.text);
    std::printf("\"\n");
  }
  if (f.have_integers)
    std::printf("header integers: %d %d %d %d\n", f.integers[0], f.integers[1], f.integers[2],
                f.integers[3]);
  if (f.exists && f.open_error == 0 && !f.fifo_without_writer) print_values_text(f);
  print_prediction_text(f);
  print_output_text(f);
  std::printf("verdict: %s\n", verdict_name(f.verdict));
}

void print_json(const Findings& f) {
  std::printf("{\"file\":");
  json_string(f.infile);
  std::printf(",\"opened\":");
  json_string(f.opened);
  std::printf(",\"exists\":%s,\"byte_order\":\"%s\"", f.exists ? "true" : "false",
              order_name(f.order));
  const WalkResult* framed = framing_walk(f);
  std::printf(",\"records\":");
  json_number_or_null(framed != nullptr, framed != nullptr ? framed->records : 0);
  std::printf(",\"values_per_level\":");
  json_number_or_null(framed != nullptr && framed->values_per_level > 0,
                      framed != nullptr ? framed->values_per_level : 0);
  std::printf(",\"header\":");
  if (f.have_text || f.have_integers) {
    std::printf("{\"text\":");
    if (f.have_text)
      json_string(f.text, sizeof f.text);
    else
      std::printf("null");
    std::printf(",\"integers\":");
    if (f.have_integers)
      std::printf("[%d,%d,%d,%d]", f.integers[0], f.integers[1], f.integers[2], f.integers[3]);
    else
      std::printf("null");
    std::printf("}");
  } else {
    std::printf("null");
  }
  std::printf(",\"problems\":[");
  bool first = true;
  for_each_problem(f, [&](const Problem& p) {
    std::printf("%s{\"record\":%d,\"holds\":\"%s\",\"problem\":", first ? "" : ",", p.record,
                p.holds);
    json_string(p.text);
    std::printf("}");
    first = false;
  });
  std::printf("]");
  const WalkResult& w = f.big;
  std::printf(",\"end_of_file\":");
  if (w.end_place != EndPlace::none && f.order != ByteOrder::little) {
    char where[160];
    describe_end(w, where, sizeof where);
    std::printf("{\"byte\":%lld,\"record\":%d,\"where\":", static_cast<long long>(w.end_offset),
                w.end_record);
    json_string(where);
    std::printf("}");
  } else {
    std::printf("null");
  }
  std::printf(",\"after_record_121\":%lld", static_cast<long long>(w.after_last));
  // Counted only where kelvoran would read the values as they are.
  std::printf(",\"fields\":");
  if (f.order == ByteOrder::big)
    print_fields_json(w);
  else
    std::printf("null");
  std::printf(",\"verdict\":\"%s\",\"kelvoran\":", verdict_name(f.verdict));
  const Prediction& k = f.kelvoran;
  if (k.known) {
    std::printf("{\"status\":%d,\"error\":", k.status);
    json_number_or_null(k.error != 0, k.error);
    std::printf(",\"line\":");
    json_number_or_null(k.error != 0, k.line);
    std::printf(",\"output_records\":%d}", k.output_records);
  } else {
    std::printf("{\"status\":null,\"error\":null,\"line\":null,\"output_records\":null}");
  }
  if (f.outfile != nullptr) print_output_json(f);
  std::printf(",\"status\":%d}\n", f.status);
}

}  // namespace check
