// CLOSE and the disconnection of one unit, also used by the exit walk.
#include <unistd.h>

#include <cstdlib>

#include "fio.h"
#include "host.h"

namespace {

void release(Fcb* f) {
  std::free(f->name);
  f->name = nullptr;
  f->stream = nullptr;
  __fio_free_fcb(f);
}

}  // namespace

extern "C" {

std::int32_t __fio_close(Fcb* f, std::int32_t dispose_override) {
  if (f->preconnected) {
    // The standard streams stay open; closing their unit only flushes.
    if (host::fflush(f->stream) != 0) return __fio_error(__fio_host_errno());
    __fio_free_fcb(f);
    return 0;
  }
  if (host::fclose(f->stream) != 0) {
    // The stream is gone even when closing it failed; the record must not
    // keep it, or a later statement would use a closed stream.
    const std::int32_t code = __fio_host_errno();
    f->stream = nullptr;
    const std::int32_t r = __fio_error(code);
    release(f);
    return r;
  }
  f->stream = nullptr;
  if (dispose_override == 0 && f->dispose == FIO_DELETE)
    dispose_override = FIO_DELETE;
  std::int32_t result = 0;
  if (dispose_override == FIO_DELETE && f->status != FIO_SCRATCH) {
    if (host::access(f->name, W_OK) == 0)
      host::unlink(f->name);
    else
      result = __fio_error(FIO_EREADONLY);
  }
  release(f);
  return result;
}

std::int32_t fio_close(std::int32_t unit, std::intptr_t iostat,
                       const char* dispose, std::int32_t dispose_len) {
  __fio_errinit(unit, iostat, "CLOSE");
  if (unit < 0) return __fio_error(FIO_EUNIT);
  Fcb* f = __fio_find_unit(unit);
  if (f == nullptr) return 0;
  std::int32_t override_code = 0;
  if (dispose != nullptr) {
    if (__fio_eq_str(dispose, dispose_len, "DELETE")) {
      if (f->readonly) return __fio_error(FIO_EREADONLY);
      override_code = FIO_DELETE;
    } else if (__fio_eq_str(dispose, dispose_len, "KEEP") ||
               __fio_eq_str(dispose, dispose_len, "SAVE")) {
      if (f->status == FIO_SCRATCH) return __fio_error(FIO_ECOMPAT);
      override_code = FIO_KEEP;
    } else {
      return __fio_error(FIO_ESPEC);
    }
  }
  return __fio_close(f, override_code);
}

}  // extern "C"
