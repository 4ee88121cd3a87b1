// The work done on one field level in memory: its conversion to 4-byte
// reals and its largest and smallest value, as the report defines them.
#pragma once

#include <cstdint>

struct Extremes {
  double max;
  double min;
};

// The extremes of `points` values (at least one) as a running comparison
// defines them: each new value replaces the maximum unless the maximum is
// greater, and the minimum unless the minimum is smaller.
Extremes level_extremes(const double* level, std::int32_t points);

// Converts `points` 8-byte reals to 4-byte reals, rounding to nearest, and
// returns their extremes as level_extremes would: one pass over the level
// does both.
Extremes convert_level(const double* in, float* out, std::int32_t points);
