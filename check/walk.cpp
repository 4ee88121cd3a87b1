#include "walk.h"

#include "framing.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace check {
namespace {

constexpr std::uint32_t kContinuationBit = 0x80000000u;
constexpr std::uint32_t kLengthMask = 0x7FFFFFFFu;
constexpr int kMarker = 4;

std::uint32_t decode(const unsigned char* m, Order order) {
  return four_bytes(m, order == Order::big);
}

// The walk's state: the input, the result being filled, and whether
// kelvoran's outcome is settled yet.
struct Walker {
  Input& in;
  Order order;
  WalkResult& out;
  bool settled = false;

  // kelvoran's run ends at record r with this error; later records are
  // still walked for what they say about the file.
  void fail(int r, int error) {
    if (settled) return;
    settled = true;
    out.kelvoran = {true, 1, error, read_statement(r), r, outputs_before_read(r)};
  }

  // A read came back short: the end of the input, a host error or the
  // budget. Settles kelvoran's outcome for record r as its reader would.
  void short_read(int r, EndPlace place) {
    if (in.error() != 0) {
      out.read_error = in.error();
      fail(r, in.error());
      end(r, place);
      return;
    }
    if (in.exhausted()) {
      // Not an end of the input: the check read all it reads.
      out.stopped = true;
      out.end_offset = in.position();
      if (!settled) {
        settled = true;
        out.kelvoran = {};
        out.kelvoran.known = false;
      }
      return;
    }
    fail(r, 217);
    end(r, place);
  }

  // The input ends after kelvoran's read of record r has taken its items.
  // The read itself fails when it still has to read the marker of a
  // segment that continues the record; else the next read finds the end.
  void end_after_read(int r, EndPlace place, bool continued) {
    if (continued) fail(r, 217);
    else if (r < kInputRecords) fail(r + 1, 217);
    end(r, place);
  }

  void end(int r, EndPlace place) {
    if (out.end_place != EndPlace::none) return;
    out.end_place = place;
    out.end_record = r;
    out.end_offset = in.regular() ? in.size() : in.position();
  }

  bool failed_input() const { return in.error() != 0 || in.exhausted(); }

  // Past `n` bytes: false when the input ended inside them (or failed).
  bool pass(std::int64_t n) {
    if (!in.skip(n)) return false;
    return !(in.regular() && in.position() > in.size()) && !(in.at_end() && !in.regular());
  }

  // The marker after a record's bytes; false when it is not all there.
  bool trailing(RecordFacts& f) {
    unsigned char m[kMarker];
    if (in.read(m, kMarker) < kMarker) return false;
    f.trailing = decode(m, order);
    f.trailing_read = true;
    return true;
  }

  // One record: false when the walk cannot go on past it.
  bool record(int r, unsigned char* scratch, LevelSink* sink) {
    RecordFacts& f = out.facts[r - 1];
    f.offset = in.position();
    unsigned char m[kMarker];
    const std::int64_t got_marker = in.read(m, kMarker);
    if (got_marker < kMarker) {
      short_read(r, got_marker == 0 ? EndPlace::before_record : EndPlace::leading_marker);
      return false;
    }
    out.records = r;
    f.lead = decode(m, order);
    f.length = f.lead & kLengthMask;
    bool continued = (f.lead & kContinuationBit) != 0;

    // The reader checks each item list against the record's length before
    // reading it, so the items that fit are read and the first that does
    // not fails the statement.
    const std::int64_t need = payload_read(r);
    const ItemEnds items = item_ends(r);
    int fitting = 0;
    while (fitting < items.count && items.end[fitting] <= f.length) ++fitting;
    const std::int64_t fit_end = fitting > 0 ? items.end[fitting - 1] : 0;
    const std::int64_t take = std::min(f.length, need);
    const std::int64_t got = in.read(scratch, take);
    if (got < fit_end) {
      short_read(r, EndPlace::payload);
      return false;
    }
    if (fitting < items.count) fail(r, 219);
    if (got < take) {
      short_read(r, EndPlace::payload);
      return false;
    }
    if (r >= 3 && f.length >= kLevelBytes) {
      const Level l = input_level(r);
      if (order == Order::big && l.field >= 0) {
        count_values(scratch, out.fields[l.field]);
        if (!settled && sink != nullptr) sink->level(r, scratch);
      }
    }

    // The rest of the record and its trailing marker, then the segments
    // that continue it. kelvoran passes over all of these without looking,
    // and the end of the file among them is no failure of this record's
    // read; only a continuation marker it cannot read is.
    if (!pass(f.length - take)) {
      if (failed_input()) short_read(r, EndPlace::rest);
      else end_after_read(r, EndPlace::rest, continued);
      return false;
    }
    if (!trailing(f)) {
      if (failed_input()) short_read(r, EndPlace::trailing_marker);
      else end_after_read(r, EndPlace::trailing_marker, continued);
      return false;
    }
    while (continued) {
      if (in.read(m, kMarker) < kMarker) {
        short_read(r, EndPlace::continuation);
        return false;
      }
      const std::uint32_t lead = decode(m, order);
      continued = (lead & kContinuationBit) != 0;
      ++f.segments;
      if (!pass((lead & kLengthMask) + kMarker)) {
        if (failed_input()) short_read(r, EndPlace::continuation);
        else end_after_read(r, EndPlace::continuation, continued);
        return false;
      }
    }
    return true;
  }

  // Bytes after record 121, which kelvoran never reads.
  void after_last() {
    if (in.regular()) {
      out.after_last = std::max<std::int64_t>(0, in.size() - in.position());
      return;
    }
    unsigned char sink[4096];
    while (out.after_last < kAfterLastMargin) {
      const std::int64_t got = in.read(sink, sizeof sink);
      out.after_last += got;
      if (got < static_cast<std::int64_t>(sizeof sink)) return;
    }
    out.after_last_at_least = true;
  }
};

// The payload length most field records share, in values, or -1.
std::int64_t common_level_values(const WalkResult& w) {
  std::int64_t lengths[kInputRecords];
  int n = 0;
  for (int r = 3; r <= w.records; ++r) lengths[n++] = w.facts[r - 1].length;
  if (n == 0) return -1;
  std::sort(lengths, lengths + n);
  std::int64_t best = lengths[0];
  int best_run = 0;
  for (int i = 0; i < n;) {
    int j = i;
    while (j < n && lengths[j] == lengths[i]) ++j;
    if (j - i > best_run) {
      best_run = j - i;
      best = lengths[i];
    }
    i = j;
  }
  return best > 0 && best % 8 == 0 ? best / 8 : -1;
}

}  // namespace

void count_values(const unsigned char* level, FieldCounts& counts) {
  // On magnitudes as bits: NaNs lie above the infinity, and every finite
  // value from half an ulp above the largest 4-byte real rounds to infinity.
  constexpr std::uint64_t kInfinity = 0x7FF0000000000000u;
  constexpr std::uint64_t kRoundsToInfinity = 0x47EFFFFFF0000000u;
  std::int64_t nan = 0, infinite = 0, beyond = 0;
  for (int i = 0; i < kPoints; ++i) {
    std::uint64_t b;
    std::memcpy(&b, level + 8 * i, 8);
    if constexpr (std::endian::native == std::endian::little) b = __builtin_bswap64(b);
    const std::uint64_t a = b & 0x7FFFFFFFFFFFFFFFu;
    nan += a > kInfinity;
    infinite += a == kInfinity;
    beyond += a >= kRoundsToInfinity && a < kInfinity;
  }
  counts.nan += nan;
  counts.infinite += infinite;
  counts.beyond += beyond;
}

void walk(Input& in, Order order, unsigned char* scratch, LevelSink* sink, WalkResult& result) {
  result = WalkResult{};
  Walker w{in, order, result};
  bool whole = true;
  for (int r = 1; r <= kInputRecords && whole; ++r) whole = w.record(r, scratch, sink);
  if (whole) w.after_last();
  result.values_per_level = common_level_values(result);
}

}  // namespace check
