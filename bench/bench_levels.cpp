// Cost of the per-level work of a run: reading and swapping a level,
// converting it, writing it as a direct-access record, and its report.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fio.h"
#include "fio_open_with.h"
#include "ftn.h"
#include "level.h"

namespace {

constexpr int kPoints = 11094;

std::vector<double> smooth_level() {
  std::vector<double> v(kPoints);
  for (int i = 0; i < kPoints; ++i) v[i] = 250.0 + 0.001 * i;
  return v;
}

void open_unit(std::int32_t unit, const std::string& file, const char* status,
               const char* access, std::int32_t recl, const char* form = "unformatted") {
  fio_open_with(unit, {.file = file, .status = status, .access = access, .form = form,
                       .recl = recl});
}

std::string temp_name(const char* what) {
  return std::string("/tmp/kelvoran-bench-") + what + "-" + std::to_string(getpid());
}

// A sequential big-endian file of `records` levels, read over and over.
void BM_ReadAndSwapLevel(benchmark::State& state) {
  const std::string path = temp_name("read");
  constexpr int kRecords = 64;
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::vector<unsigned char> payload(kPoints * 8, 0x40);
    const unsigned char marker[4] = {0x00, 0x01, 0x5A, 0xB0};  // 88752
    for (int r = 0; r < kRecords; ++r) {
      std::fwrite(marker, 1, 4, f);
      std::fwrite(payload.data(), 1, payload.size(), f);
      std::fwrite(marker, 1, 4, f);
    }
    std::fclose(f);
  }
  open_unit(100, path, "old", "sequential", 0);
  std::vector<double> level(kPoints);
  int n = 0;
  for (auto _ : state) {
    if (n++ % kRecords == 0) {
      state.PauseTiming();
      fio_close(100, 0, nullptr, 0);
      open_unit(100, path, "old", "sequential", 0);
      state.ResumeTiming();
    }
    fio_usw_init(1, 100, 0, 0);
    fio_usw_read(level.data(), TY_DBLE, kPoints, 8, 0);
    fio_usw_end();
    benchmark::DoNotOptimize(level.data());
  }
  fio_close(100, 0, nullptr, 0);
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * kPoints * 8);
}
BENCHMARK(BM_ReadAndSwapLevel);

void BM_ConvertLevel(benchmark::State& state) {
  // Rounding to 4-byte reals and the extremes, in the converter's one pass.
  const std::vector<double> in = smooth_level();
  std::vector<float> out(kPoints);
  for (auto _ : state) {
    benchmark::DoNotOptimize(convert_level(in.data(), out.data(), kPoints));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_ConvertLevel);

void BM_DirectWriteLevel(benchmark::State& state) {
  const std::string path = temp_name("write");
  std::remove(path.c_str());
  open_unit(1, path, "new", "direct", kPoints * 4);
  std::vector<float> level(kPoints, 1.5f);
  int rec = 0;
  for (auto _ : state) {
    fio_usw_init(0, 1, rec % 114 + 1, 0);
    fio_usw_write(level.data(), TY_REAL, kPoints, 4, 0);
    fio_usw_end();
    ++rec;
  }
  fio_close(1, 0, nullptr, 0);
  std::remove(path.c_str());
  state.SetBytesProcessed(state.iterations() * kPoints * 4);
}
BENCHMARK(BM_DirectWriteLevel);

void BM_LevelReport(benchmark::State& state) {
  open_unit(6, "/dev/null", "old", "sequential", 0, "formatted");
  const std::vector<double> level = smooth_level();
  const std::int32_t n = kPoints, one = 1;
  for (auto _ : state) maxmin_(level.data(), &n, &one, &one, &one, "te", 2);
  fio_close(6, 0, nullptr, 0);
  state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_LevelReport);

void BM_RealText(benchmark::State& state) {
  double x = 287.123456789;
  std::int32_t len = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(__fio_default_convert(&x, TY_DBLE, 0, &len));
    x += 0.001;
  }
}
BENCHMARK(BM_RealText);

}  // namespace
