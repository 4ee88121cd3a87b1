// List-directed WRITE: items are converted to text and laid out in records
// that begin with one blank and hold at most 79 characters, an item never
// being split across records.
#include <climits>
#include <cstring>

#include "fio.h"
#include "host.h"

namespace {

// The list-directed write statement in progress: set by fio_ldw_init, kept
// between statements.
struct LdwStatement {
  Fcb* fcb;                     // unit of the statement; null when it failed
  std::int32_t byte_cnt;        // characters in the current record, 0: none
  std::int32_t record_written;  // current record ended, nothing added since
  std::int32_t write_called;    // an item was transferred
};
LdwStatement ldw = {nullptr, 0, 0, 0};

constexpr std::int32_t kRecordLimit = 80;  // a record holds at most 79

// Writes bytes to the unit's stream; 0 or the host error number.
std::int32_t put(const char* text, std::size_t n) {
  if (host::fwrite(text, 1, n, ldw.fcb->stream) != n)
    return __fio_host_errno();
  return 0;
}

void bump_next_rec(std::int32_t delta) {
  const std::int64_t v = std::int64_t{ldw.fcb->next_rec} + delta;
  ldw.fcb->next_rec = v > INT_MAX ? INT_MAX : static_cast<std::int32_t>(v);
}

std::int32_t write_record() {
  if (ldw.record_written) return 0;
  if (const std::int32_t e = put("\n", 1); e != 0) return e;
  bump_next_rec(1);
  ldw.byte_cnt = 0;
  ldw.record_written = 1;
  return 0;
}

std::int32_t write_item(const char* text, std::int32_t n) {
  ldw.record_written = 0;
  std::int64_t t = std::int64_t{ldw.byte_cnt} + n;
  if (ldw.byte_cnt == 0) {
    if (const std::int32_t e = put(" ", 1); e != 0) return e;
    t += 1;
  } else if (t >= kRecordLimit) {
    if (const std::int32_t e = write_record(); e != 0) return e;
    if (const std::int32_t e = put(" ", 1); e != 0) return e;
    ldw.record_written = 0;
    t = std::int64_t{n} + 1;
  }
  if (n > 0) {
    if (const std::int32_t e = put(text, static_cast<std::size_t>(n)); e != 0)
      return e;
  }
  ldw.byte_cnt = t > INT_MAX ? INT_MAX : static_cast<std::int32_t>(t);
  return 0;
}

}  // namespace

extern "C" {

std::int32_t fio_ldw_init(std::int32_t unit, std::int32_t rec,
                          std::intptr_t iostat) {
  __fio_errinit(unit, iostat, "list-directed write");
  ldw.fcb = nullptr;
  Fcb* f = __fio_rwinit(unit, FIO_FORMATTED, rec, FIO_WRITE);
  if (f == nullptr) return FIO_ERROR;
  ldw = {f, 0, 0, 0};
  return FIO_SUCCESS;
}

std::int32_t fio_ldw(const void* item, std::int32_t type, std::int32_t count,
                     std::int32_t stride, std::int32_t length) {
  if (qbi_fio.error_flag || ldw.fcb == nullptr) return FIO_ERROR;
  if (count <= 0) return FIO_SUCCESS;
  const char* p = static_cast<const char*>(item);
  for (std::int32_t i = 0; i < count; ++i, p += stride) {
    ldw.write_called = 1;
    std::int32_t n = 0;
    const char* text = __fio_default_convert(p, type, length, &n);
    if ((type == TY_CMPLX || type == TY_DCMPLX) && ldw.byte_cnt > 0) {
      if (const std::int32_t e = write_item(" ", 1); e != 0)
        return __fio_error(e);
    }
    if (const std::int32_t e = write_item(text, n); e != 0)
      return __fio_error(e);
  }
  return FIO_SUCCESS;
}

// The scalar comes as a 4-byte value whatever its type code. The item is
// built from the value in the width of its code, so every host hands over
// the same number: the first bytes of the argument would be its high bytes
// on a big-endian host, and a code wider than 4 bytes would read past it.
// Wider codes get the value widened as an 8-byte integer.
std::int32_t fio_sc_ldw(std::int32_t value, std::int32_t type) {
  alignas(16) unsigned char item[16] = {};
  const int size =
      type >= 0 && type < FIO_TYPE_COUNT ? __fio_type_size[type] : 4;
  if (size == 1) {
    const auto v = static_cast<std::int8_t>(value);
    std::memcpy(item, &v, sizeof v);
  } else if (size == 2) {
    const auto v = static_cast<std::int16_t>(value);
    std::memcpy(item, &v, sizeof v);
  } else if (size > 4) {
    const std::int64_t v = value;
    std::memcpy(item, &v, sizeof v);
  } else {
    std::memcpy(item, &value, sizeof value);
  }
  return fio_ldw(item, type, 1, 0, 0);
}

std::int32_t fio_sc_f_ldw(float value) {
  return fio_ldw(&value, TY_REAL, 1, 0, 0);
}

std::int32_t fio_sc_d_ldw(double value) {
  return fio_ldw(&value, TY_DBLE, 1, 0, 0);
}

std::int32_t fio_ldw_end(void) {
  if (qbi_fio.error_flag || ldw.fcb == nullptr) return FIO_ERROR;
  if (!ldw.write_called) ldw.record_written = 0;
  if (const std::int32_t e = write_record(); e != 0) return __fio_error(e);
  bump_next_rec(-1);
  Fcb* f = ldw.fcb;
  if (f->access == FIO_DIRECT && f->next_rec - 1 > f->max_rec)
    f->max_rec = f->next_rec - 1;
  return FIO_SUCCESS;
}

}  // extern "C"
