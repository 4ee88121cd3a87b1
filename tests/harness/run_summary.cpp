#include "run_summary.h"

#include <cstdlib>

namespace {

// The digits after `key` in `text`, or "null".
std::string number_after(const std::string& text, const std::string& key) {
  const std::size_t at = text.find(key);
  if (at == std::string::npos) return "null";
  std::size_t end = at + key.size();
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  const std::string digits = text.substr(at + key.size(), end - at - key.size());
  return digits.empty() ? "null" : digits;
}

}  // namespace

std::string run_summary(const ChildResult& run, long long output_bytes) {
  if (!run.exited) return "signal " + std::to_string(run.signal);
  // Host errors are reported without a code of the layer's own.
  std::string error = number_after(run.err, "QBFIO-F-");
  if (error == "null") error = number_after(run.err, "error code returned by host stdio - ");
  return "{\"status\":" + std::to_string(run.exit_code) + ",\"error\":" + error +
         ",\"line\":" + number_after(run.err, "at line number ") +
         ",\"output_records\":" + std::to_string(output_bytes / 44376) + "}";
}

std::string predicted_summary(const std::string& json) {
  const std::string key = "\"kelvoran\":";
  const std::size_t at = json.find(key);
  if (at == std::string::npos) return json;
  const std::size_t end = json.find('}', at);
  return json.substr(at + key.size(), end - at - key.size() + 1);
}
