// One pass over a level converts it and finds its extremes while the values
// are in registers. The extremes are kept lane by lane, several values side
// by side; the rare level holding a NaN is then done again value by value,
// because a NaN changes which values count.
#include "level.h"

#include <bit>
#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

double larger(double m, double x) { return m > x ? m : x; }
double smaller(double m, double x) { return m < x ? m : x; }

// 8-byte to 4-byte real. A NaN keeps its sign and the leading bits of its
// fraction and becomes quiet, whatever the hardware would do with it.
float to_real4(double x) {
  if (!std::isnan(x)) return static_cast<float>(x);
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const auto sign = static_cast<std::uint32_t>(bits >> 32) & 0x80000000u;
  const auto frac = static_cast<std::uint32_t>(bits >> 29) & 0x007FFFFFu;
  return std::bit_cast<float>(sign | 0x7FC00000u | frac);
}

// What one pass finds. Taken lane by lane, equal values can come out in
// another order than a running comparison takes them, which shows only in
// the sign of a zero, and a zero is printed without its sign. Without a
// NaN the result is that of a running comparison.
struct Pass {
  Extremes extremes;
  bool nan;
};

// Values from `from` on, one at a time, folded into `p`. With kConvert
// false only the extremes are taken and `out` is not used.
template <bool kConvert>
void scalar_pass(const double* in, float* out, std::int32_t from,
                 std::int32_t points, Pass& p) {
  for (std::int32_t i = from; i < points; ++i) {
    const double x = in[i];
    if constexpr (kConvert) out[i] = static_cast<float>(x);
    p.extremes.max = larger(p.extremes.max, x);
    p.extremes.min = smaller(p.extremes.min, x);
    p.nan = p.nan || std::isnan(x);
  }
}

#if defined(__x86_64__)
// Eight values at a time in two pairs of running extremes, so that one
// comparison need not wait for the one before. The vector maximum returns
// its first operand when it is greater and the second otherwise, NaN cases
// included: the running comparison exactly.
template <bool kConvert>
__attribute__((target("avx2"))) void wide_pass(const double* in, float* out,
                                               std::int32_t points, Pass& p) {
  const __m256d first = _mm256_set1_pd(in[0]);
  __m256d hi0 = first, hi1 = first, lo0 = first, lo1 = first;
  __m256d nan = _mm256_setzero_pd();
  std::int32_t i = 0;
  for (; i + 8 <= points; i += 8) {
    const __m256d x0 = _mm256_loadu_pd(in + i);
    const __m256d x1 = _mm256_loadu_pd(in + i + 4);
    if constexpr (kConvert) {
      _mm_storeu_ps(out + i, _mm256_cvtpd_ps(x0));
      _mm_storeu_ps(out + i + 4, _mm256_cvtpd_ps(x1));
    }
    hi0 = _mm256_max_pd(hi0, x0);
    hi1 = _mm256_max_pd(hi1, x1);
    lo0 = _mm256_min_pd(lo0, x0);
    lo1 = _mm256_min_pd(lo1, x1);
    nan = _mm256_or_pd(nan, _mm256_cmp_pd(x0, x1, _CMP_UNORD_Q));
  }
  alignas(32) double hi[8], lo[8];
  _mm256_store_pd(hi, hi0);
  _mm256_store_pd(hi + 4, hi1);
  _mm256_store_pd(lo, lo0);
  _mm256_store_pd(lo + 4, lo1);
  for (int l = 0; l < 8; ++l) {
    p.extremes.max = larger(p.extremes.max, hi[l]);
    p.extremes.min = smaller(p.extremes.min, lo[l]);
  }
  p.nan = _mm256_movemask_pd(nan) != 0;
  scalar_pass<kConvert>(in, out, i, points, p);
}

// Asked while static data is set up, possibly before the library's own
// start-up code has read the processor's features: read them first.
const bool have_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#endif

template <bool kConvert>
Pass level_pass(const double* in, float* out, std::int32_t points) {
  Pass p{{in[0], in[0]}, false};
#if defined(__x86_64__)
  if (have_avx2) {
    wide_pass<kConvert>(in, out, points, p);
    return p;
  }
#endif
  scalar_pass<kConvert>(in, out, 0, points, p);
  return p;
}

// A NaN replaces both extremes and the value after it starts them afresh:
// the result is the NaN when the level ends with one, else the extremes of
// the values after the last NaN.
Extremes extremes_with_nan(const double* level, std::int32_t points) {
  std::int32_t last = points - 1;
  while (!std::isnan(level[last])) --last;
  if (last == points - 1) return {level[last], level[last]};
  Extremes e{level[last + 1], level[last + 1]};
  for (std::int32_t i = last + 1; i < points; ++i) {
    e.max = larger(e.max, level[i]);
    e.min = smaller(e.min, level[i]);
  }
  return e;
}

}  // namespace

Extremes convert_level(const double* in, float* out, std::int32_t points) {
  const Pass pass = level_pass<true>(in, out, points);
  if (!pass.nan) return pass.extremes;
  for (std::int32_t i = 0; i < points; ++i) out[i] = to_real4(in[i]);
  return extremes_with_nan(in, points);
}

Extremes level_extremes(const double* level, std::int32_t points) {
  const Pass pass = level_pass<false>(level, nullptr, points);
  return pass.nan ? extremes_with_nan(level, points) : pass.extremes;
}
