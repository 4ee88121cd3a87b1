// Layer-wide configuration: the default file-name pattern, the logical true
// mask, and the FORTRANOPT options, read once when the layer starts.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fio.h"

extern "C" {
FioCnfg __fio_cnfg_ = {"fort.%d", 1};
}

namespace {
bool options_read = false;
bool options_present = false;
std::string options_text;
}  // namespace

extern "C" {

void __fio_read_options(void) {
  if (options_read) return;
  options_read = true;
  if (const char* v = std::getenv("FORTRANOPT")) {
    options_present = true;
    options_text = v;
  }
}

const char* __fio_options(void) {
  return options_present ? options_text.c_str() : nullptr;
}

// Options are found by plain substring search: there is no separator syntax,
// so "novaxio" also contains "vaxio".
int __fio_option_set(const char* opt) {
  return options_present && options_text.find(opt) != std::string::npos;
}

std::int32_t __fio_check_format(void) {
  return __fio_option_set("format_relaxed") ? 0 : 1;
}

}  // extern "C"
