// Command-line queries: the number of arguments and one argument copied
// into a blank-padded character buffer.
#include "ftn.h"
#include "qbc.h"

extern "C" {

std::int32_t iargc_(void) { return __qbio_get_argc() - 1; }

void getarg_(const std::int32_t* n, char* buf, std::int32_t len) {
  std::int32_t i = 0;
  const std::int32_t k = *n;
  if (k >= 0 && k < __qbio_get_argc()) {
    const char* arg = __qbio_get_argv()[k];
    for (; i < len && arg[i] != '\0'; ++i) buf[i] = arg[i];
  }
  for (; i < len; ++i) buf[i] = ' ';
}

}  // extern "C"
