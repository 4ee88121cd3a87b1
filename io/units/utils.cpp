// Unit records, the connected-units list, the pre-connected standard
// streams, and the set-up every transfer statement starts with.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "fio.h"
#include "host.h"
#include "qbc.h"

extern "C" {
QbiFio qbi_fio = {nullptr, nullptr, 0, 0, 0};
Fcb* __fio_last_opened = nullptr;
}

namespace {

// Records are never returned to the allocator; a released record is pushed
// here and handed out next.
Fcb* fcb_avail = nullptr;
constexpr int kFcbBlock = 100;

void preconnect(std::int32_t unit, std::FILE* stream, const char* name,
                std::uint8_t readonly) {
  Fcb* f = __fio_alloc_fcb();
  if (f == nullptr) return;
  Fcb* const next = f->next;  // the list link set by the allocator
  *f = Fcb{};
  f->next = next;
  f->stream = stream;
  f->name = const_cast<char*>(name);
  f->unit = unit;
  f->recl_unit = 1;
  f->next_rec = 1;
  f->status = FIO_OLD;
  f->dispose = FIO_KEEP;
  f->access = FIO_SEQUENTIAL;
  f->blank = FIO_NULL;
  f->form = FIO_FORMATTED;
  f->named = 1;
  f->readonly = readonly;
  f->preconnected = 1;
}

// A process started with a standard descriptor closed would hand that
// number to the first file the layer opens, and what goes to standard
// output or standard error would then be written into that file. Each
// closed one is held on /dev/null, opened for reading only, so that writes
// to it still fail as they would on the closed descriptor.
void hold_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int held = ::open("/dev/null", O_RDONLY);
    if (held > 2) ::close(held);  // a lower number was free after all
  }
}

Fcb* fail(std::int32_t code) {
  __fio_error(code);
  return nullptr;
}

// Direct-access positioning before a transfer of record `rec`.
Fcb* position_direct(Fcb* f, std::int32_t rec, std::int32_t direction) {
  if (rec < 0) return fail(FIO_EDIRECT);
  if (rec == 0) rec = f->next_rec;
  if (rec == INT_MAX) {
    // The record after it could not be numbered.
    return fail(EOVERFLOW);
  }
  if (direction == FIO_READ && rec > f->max_rec) {
    f->next_rec = rec + 1;
    return fail(FIO_EDAREC);
  }
  if (rec != f->next_rec) {
    const std::int64_t reclen = f->reclen;
    if (rec > static_cast<std::int64_t>(f->max_rec) + 1) {
      // Grow the file to the start of the record; the skipped records read
      // as zero bytes.
      const std::int64_t gap = (rec - std::int64_t{f->max_rec} - 1) * reclen;
      if (host::fseeko(f->stream, static_cast<off_t>(gap - 1), SEEK_END) != 0)
        return fail(__fio_host_errno());
      if (const std::int32_t e = __fio_zeropad(f->stream, 1); e != 0)
        return fail(e);
      f->last_op = FIO_OP_WRITE;
    } else {
      const std::int64_t at = (rec - std::int64_t{1}) * reclen;
      if (host::fseeko(f->stream, static_cast<off_t>(at), SEEK_SET) != 0)
        return fail(__fio_host_errno());
      f->last_op = FIO_OP_NONE;
    }
  }
  f->next_rec = (f->form == FIO_FORMATTED && direction == FIO_READ) ? rec
                                                                    : rec + 1;
  if (rec > f->max_rec) f->max_rec = rec;
  return f;
}

// A write after a read, or the first write to an existing file, discards
// everything after the current position.
bool cut_before_write(Fcb* f) {
  f->trunc_pending = 0;
  const off_t here = host::ftello(f->stream);
  bool ok = here >= 0 && host::fseeko(f->stream, 0, SEEK_END) == 0;
  if (ok) f->last_op = FIO_OP_NONE;
  const off_t end = ok ? host::ftello(f->stream) : -1;
  ok = ok && end >= 0;
  if (ok && end != here) ok = host::fseeko(f->stream, here, SEEK_SET) == 0;
  if (!ok) {
    __fio_error(__fio_host_errno());
    return false;
  }
  return end == here || __fio_trunc(f, here) == 0;
}

void count_record(Fcb* f) {
  if (f->next_rec < INT_MAX) ++f->next_rec;
}

}  // namespace

extern "C" {

std::int32_t __fio_host_errno(void) {
  const std::int32_t e = __qbio_errno();
  return e > 0 ? e : EIO;
}

void fio_init(void) {
  hold_standard_descriptors();
  preconnect(-5, __qbio_stdin(), "stdin ", 1);
  preconnect(-6, __qbio_stdout(), "stdout ", 0);
  preconnect(5, __qbio_stdin(), "stdin ", 1);
  preconnect(6, __qbio_stdout(), "stdout ", 0);
  preconnect(0, __qbio_stderr(), "stderr ", 0);
  __fio_read_options();
}

Fcb* __fio_alloc_fcb(void) {
  if (fcb_avail == nullptr) {
    auto* block = static_cast<Fcb*>(std::calloc(kFcbBlock, sizeof(Fcb)));
    if (block == nullptr) return nullptr;
    for (int i = 1; i < kFcbBlock - 1; ++i) block[i].next = &block[i + 1];
    block[kFcbBlock - 1].next = nullptr;
    block[0].next = &block[1];
    fcb_avail = block;
  }
  Fcb* f = fcb_avail;
  fcb_avail = f->next;
  f->next = qbi_fio.units;
  qbi_fio.units = f;
  return f;
}

void __fio_free_fcb(Fcb* f) {
  for (Fcb** p = &qbi_fio.units; *p != nullptr; p = &(*p)->next) {
    if (*p == f) {
      *p = f->next;
      break;
    }
  }
  if (__fio_last_opened == f) __fio_last_opened = nullptr;
  f->next = fcb_avail;
  fcb_avail = f;
}

Fcb* __fio_find_unit(std::int32_t unit) {
  for (Fcb* f = qbi_fio.units; f != nullptr; f = f->next)
    if (f->unit == unit) return f;
  return nullptr;
}

Fcb* __fio_rwinit(std::int32_t unit, std::int32_t form, std::int32_t rec,
                  std::int32_t direction) {
  Fcb* f = __fio_find_unit(unit);
  if (f == nullptr) {
    const std::int32_t status = direction == FIO_READ ? FIO_OLD : FIO_UNKNOWN;
    if (__fio_open(unit, 0, status, FIO_KEEP, FIO_SEQUENTIAL, FIO_NULL, form,
                   0, nullptr, 0) != 0)
      return nullptr;
    f = __fio_find_unit(unit);
    if (f == nullptr) return nullptr;
  } else {
    if (direction != FIO_READ && f->readonly) return fail(FIO_EREADONLY);
    if (direction == FIO_READ && f->eof_seen) return fail(FIO_EEOFERR);
    f->eof_seen = 0;
    if (form != f->form) return fail(FIO_EFORM);
    if (f->access == FIO_DIRECT) {
      if (position_direct(f, rec, direction) == nullptr) return nullptr;
      rec = 0;
    }
  }

  if (f->access != FIO_DIRECT) {
    if (rec != 0) return fail(FIO_ECOMPAT);
    if (direction != FIO_READ && f->trunc_pending) {
      if (!cut_before_write(f)) return nullptr;
    }
    if (direction == FIO_READ) {
      if (f->pipe) {
        f->trunc_pending = 0;
        f->next_rec = 1;
        if (f->last_op == FIO_OP_WRITE) host::fflush(f->stream);
        f->last_op = FIO_OP_NONE;
        return f;
      }
      f->trunc_pending = 1;
    } else {
      count_record(f);
    }
  }

  // The host stream must be repositioned between reading and writing.
  const std::int16_t op = static_cast<std::int16_t>(2 - direction);
  if (f->last_op != FIO_OP_NONE && f->last_op != op) {
    if (host::fseeko(f->stream, 0, SEEK_CUR) != 0 && errno != ESPIPE)
      return fail(__fio_host_errno());
  }
  f->last_op = op;
  return f;
}

std::int32_t __fio_zeropad(std::FILE* stream, std::int64_t n) {
  static const char zeros[512] = {};
  while (n > 0) {
    const std::size_t chunk = n >= 512 ? 512 : static_cast<std::size_t>(n);
    if (host::fwrite(zeros, 1, chunk, stream) != chunk) return __fio_host_errno();
    n -= static_cast<std::int64_t>(chunk);
  }
  return 0;
}

std::int32_t __fio_trunc(Fcb* f, std::int64_t length) {
  if (host::ftruncate(__qbio_getfd(f->stream), static_cast<off_t>(length)) !=
      0)
    return __fio_error(__fio_host_errno());
  if (length == 0) {
    f->next_rec = 1;
    f->trunc_pending = 0;
    f->last_op = FIO_OP_NONE;
    f->eof_seen = 0;
  }
  return 0;
}

}  // extern "C"
