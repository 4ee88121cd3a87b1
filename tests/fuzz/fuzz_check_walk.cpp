// Fuzz target of kelvoran-check's reader. Each input damages the sample
// model file: some bytes written over it at an offset, then perhaps a cut.
// The check's walk, over the file as a regular file or as a pipe, must end,
// stay within its buffers (the sanitizers watch), and predict exactly what
// the reference model of the record rules says the converter's run does.
// Any difference aborts, which the fuzzer reports as a crash.
//
// Input layout:
//   bytes 0-3: offset of the damage (big-endian, modulo the file size)
//   bytes 4-7: length to cut the file to, 0 for none (modulo size + 1)
//   byte 8:    bit 0 set: read the file as a pipe
//   the rest:  the bytes written at the offset
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "input.h"
#include "run_model.h"
#include "walk.h"

namespace {

std::uint32_t be(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::string prediction(const check::Prediction& k) {
  if (k.status == 0)
    return "{\"status\":0,\"error\":null,\"line\":null,\"output_records\":" +
           std::to_string(k.output_records) + "}";
  return "{\"status\":" + std::to_string(k.status) + ",\"error\":" + std::to_string(k.error) +
         ",\"line\":" + std::to_string(k.line) +
         ",\"output_records\":" + std::to_string(k.output_records) + "}";
}

unsigned char scratch[check::kLevelBytes];
check::WalkResult result;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  static const std::string sample = sample::file_bytes();
  std::string file = sample;
  const std::size_t at = be(data) % file.size();
  const std::size_t n = std::min(size - 9, file.size() - at);
  file.replace(at, n, reinterpret_cast<const char*>(data + 9), n);
  if (const std::uint32_t cut = be(data + 4); cut != 0) file.resize(cut % (file.size() + 1));
  const bool pipe = (data[8] & 1) != 0;

  check::Input in(reinterpret_cast<const unsigned char*>(file.data()), file.size(), !pipe,
                  check::kCompleteInputBytes + (std::int64_t{64} << 20));
  check::walk(in, check::Order::big, scratch, nullptr, result);
  const std::string got = prediction(result.kelvoran);
  const std::string want = model::run_outcome(file);
  if (!result.kelvoran.known || got != want || result.records > check::kInputRecords) {
    std::fprintf(stderr, "check predicts %s, the model %s\n", got.c_str(), want.c_str());
    std::abort();
  }
  // The other byte order only describes the framing; it must end too.
  check::Input again(reinterpret_cast<const unsigned char*>(file.data()), file.size(), !pipe,
                     check::kCompleteInputBytes + (std::int64_t{64} << 20));
  check::walk(again, check::Order::little, scratch, nullptr, result);
  return 0;
}
