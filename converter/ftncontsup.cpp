// STOP: an optional message on standard error, then a normal end.
#include <cstdio>
#include <cstdlib>

#include "fio.h"
#include "qbc.h"

extern "C" [[noreturn]] void ftn_stop(const char* text, std::int32_t len) {
  _mp_bcs_stdio();
  if (text != nullptr)
    std::fprintf(__qbio_stderr(), "%.*s\n", len > 0 ? len : 0, text);
  else if (std::getenv("NO_STOP_MESSAGE") == nullptr)
    std::fprintf(__qbio_stderr(), "FORTRAN STOP\n");
  _mp_ecs_stdio();
  ftn_exit(0);
}
