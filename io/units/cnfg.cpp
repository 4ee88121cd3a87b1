// Layer-wide configuration: the default file-name pattern, the logical true
// mask, and the FORTRANOPT options, read once when the layer starts.
#include <cstdlib>
#include <cstring>

#include "fio.h"

extern "C" {
FioCnfg __fio_cnfg_ = {"fort.%d", 1};
}

namespace {
bool options_read = false;
// A heap copy of the value, or null when FORTRANOPT is not set. A plain
// copy: the value can be of any size, and running out of memory for it must
// be reported, never thrown.
char* options_text = nullptr;
}  // namespace

extern "C" {

void __fio_read_options(void) {
  if (options_read) return;
  const char* v = std::getenv("FORTRANOPT");
  if (v != nullptr) {
    options_text = strdup(v);
    // Going on without the options would quietly change what the run
    // writes ("vaxio"), so the statement that started the layer fails.
    if (options_text == nullptr) {
      __fio_error(FIO_ENOMEM);
      return;
    }
  }
  options_read = true;
}

const char* __fio_options(void) { return options_text; }

// Options are found by plain substring search: there is no separator syntax,
// so "novaxio" also contains "vaxio".
int __fio_option_set(const char* opt) {
  return options_text != nullptr && std::strstr(options_text, opt) != nullptr;
}

std::int32_t __fio_check_format(void) {
  return __fio_option_set("format_relaxed") ? 0 : 1;
}

}  // extern "C"
