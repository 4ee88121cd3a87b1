// Cost of the default conversion of list-directed items to text:
// an 8-byte real, a 4-byte real and a 4-byte integer, and the
// digit generator on its own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fio.h"
#include "fpcvt.h"

namespace {

// Field values of the kind the converter prints: magnitudes from 1e-6 to 1e6.
std::vector<double> sample_doubles() {
  std::mt19937_64 g(1);
  std::uniform_real_distribution<double> m(-1.0, 1.0);
  std::uniform_int_distribution<int> k(-6, 6);
  std::vector<double> v(4096);
  for (double& x : v) {
    double p = 1.0;
    for (int i = k(g); i > 0; --i) p *= 10.0;
    for (int i = k(g); i < 0; ++i) p /= 10.0;
    x = m(g) * p;
  }
  return v;
}

void BM_DefaultConvert_Real8(benchmark::State& state) {
  const std::vector<double> v = sample_doubles();
  std::size_t i = 0;
  std::int32_t n = 0;
  for (auto _ : state) {
    const char* t = __fio_default_convert(&v[i], TY_DBLE, 0, &n);
    benchmark::DoNotOptimize(t);
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DefaultConvert_Real8);

void BM_DefaultConvert_Real8_One(benchmark::State& state) {
  const double x = 123456.789;
  std::int32_t n = 0;
  for (auto _ : state) {
    const char* t = __fio_default_convert(&x, TY_DBLE, 0, &n);
    benchmark::DoNotOptimize(t);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DefaultConvert_Real8_One);

void BM_DefaultConvert_Real8_Huge(benchmark::State& state) {
  const double x = 1.0e300;  // 301 integer digits by repeated division
  std::int32_t n = 0;
  for (auto _ : state) {
    const char* t = __fio_default_convert(&x, TY_DBLE, 0, &n);
    benchmark::DoNotOptimize(t);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DefaultConvert_Real8_Huge);

void BM_DefaultConvert_Real4(benchmark::State& state) {
  const std::vector<double> d = sample_doubles();
  std::vector<float> v(d.begin(), d.end());
  std::size_t i = 0;
  std::int32_t n = 0;
  for (auto _ : state) {
    const char* t = __fio_default_convert(&v[i], TY_REAL, 0, &n);
    benchmark::DoNotOptimize(t);
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DefaultConvert_Real4);

void BM_DefaultConvert_Int4(benchmark::State& state) {
  std::mt19937 g(2);
  std::vector<std::int32_t> v(4096);
  for (auto& x : v) x = static_cast<std::int32_t>(g());
  std::size_t i = 0;
  std::int32_t n = 0;
  for (auto _ : state) {
    const char* t = __fio_default_convert(&v[i], TY_INT, 0, &n);
    benchmark::DoNotOptimize(t);
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DefaultConvert_Int4);

void BM_Ecvt17(benchmark::State& state) {
  const std::vector<double> v = sample_doubles();
  std::size_t i = 0;
  std::int32_t decpt = 0, sign = 0;
  for (auto _ : state) {
    const char* t = __ecvt(v[i], 17, &decpt, &sign);
    benchmark::DoNotOptimize(t);
    i = (i + 1) & 4095;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Ecvt17);

}  // namespace
