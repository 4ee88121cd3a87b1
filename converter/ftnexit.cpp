// The end of a run. A failure ends the process at once; a normal end first
// disconnects every unit, most recently connected first, so the output file
// is closed and kept and the standard streams are flushed.
#include <cstdlib>

#include "fio.h"
#include "qbc.h"

namespace {
std::int32_t exit_lock = 0;
}

extern "C" [[noreturn]] void ftn_exit(std::int32_t status) {
  if (status != 0) std::exit(status);
  _mp_p(&exit_lock);
  for (Fcb* f = qbi_fio.units; f != nullptr;) {
    Fcb* const next = f->next;
    // A failure here is reported against the unit being closed.
    __fio_errinit(f->unit, 0, "CLOSE");
    __fio_close(f, 0);
    f = next;
  }
  _mp_v(&exit_lock);
  std::exit(0);
}
