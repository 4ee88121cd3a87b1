// Unformatted READ and WRITE statements. Sequential records are framed by a
// 4-byte length marker before and after the data; direct-access records are
// fixed slots of `reclen` bytes with no framing. Two families of entry points
// share all of this: fio_usw_* keeps every value of the file big-endian,
// fio_unf_* keeps the host's order; bytes are reversed only where the
// file's order is not the host's. CONVERT= on a unit names the file's order
// (big-endian, little-endian or the host's) for both families.
//
// Lengths, positions and skip distances are 64-bit here: a marker can say
// anything up to 0x7FFFFFFF, and a count times an element size can exceed
// 32 bits, so every sum is formed where it cannot wrap before it is checked.
#include <stdio_ext.h>
#include <sys/types.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fio.h"
#include "host.h"
#include "qbc.h"

static_assert(sizeof(off_t) == 8,
              "record skips need 64-bit file offsets: build with "
              "_FILE_OFFSET_BITS=64 on hosts where off_t is 32 bits");

namespace {

constexpr std::int32_t kStageSize = 4096;
constexpr std::uint32_t kContinuationBit = 0x80000000u;
constexpr std::uint32_t kLengthMask = 0x7FFFFFFFu;
// The longest record one segment may hold. Longer records need the
// segmented form, which only 64-bit-count writes could produce; a 32-bit
// count WRITE that reaches past it is refused rather than framed wrongly.
constexpr std::int64_t kMaxSegment = 0x7FFFFFF7;
constexpr std::int32_t kMarkerSize = 4;
constexpr bool kHostIsBigEndian = std::endian::native == std::endian::big;
static_assert(std::endian::native == std::endian::big ||
                  std::endian::native == std::endian::little,
              "a host of mixed byte order is not supported");

// The two conventions of the results below. An ErrorCode is 0 or the number
// of a failure that has not been reported yet: the caller reports it. A
// Status is what an entry point returns: FIO_SUCCESS, or the result of
// __fio_error, which has already reported the failure.
using ErrorCode = std::int32_t;
using Status = std::int32_t;

struct UnfRec {
  std::int64_t lead_len;  // leading marker written at the first early flush
  std::int64_t rec_pos;   // bytes of the current record transferred so far
  unsigned char stage_buf[kStageSize];
};

// Everything one unformatted statement carries from its begin call through
// its item calls to its end call. There is one statement at a time, so one
// instance; the begin call sets every field afresh.
struct UnfStatement {
  Fcb* fcb;                  // unit of the statement
  std::int32_t read_flag;    // 1 READ, 0 WRITE
  std::int32_t io_transfer;  // an item call with a count of 1 or more was made
  std::int64_t rec_len;      // data length of the current record (segment)
  std::int32_t continued;    // the current segment's leading marker continues
  UnfRec unf_rec;
  unsigned char* stage;     // where items are staged: stage_buf, or a
                            // whole-record buffer for a direct WRITE
  std::int64_t stage_size;  // bytes `stage` holds
  unsigned char* buf_ptr;   // next free byte of the stage
  std::int32_t rw_size;     // bytes staged
  std::int32_t rec_in_buf;  // sequential WRITE, leading marker not yet written
};
UnfStatement st;

// A direct-access record no longer than this is staged whole and written
// with one host write: the WRITE then hands its record over complete, in
// one piece and without a copy through the stream's buffer. Longer records
// go through stage_buf a piece at a time.
constexpr std::int64_t kWholeRecordMax = std::int64_t{1} << 20;

// The whole-record buffer: kept between statements, grown when a longer
// record is staged.
struct RecordBuffer {
  unsigned char* bytes;
  std::int64_t size;
};
RecordBuffer record_buf;

// The whole-record buffer for a record of n bytes, or null when the record
// is too long for it or the memory cannot be had.
unsigned char* whole_record_stage(std::int64_t n) {
  if (n <= 0 || n > kWholeRecordMax) return nullptr;
  if (n > record_buf.size) {
    void* grown = std::realloc(record_buf.bytes, static_cast<std::size_t>(n));
    if (grown == nullptr) return nullptr;
    record_buf.bytes = static_cast<unsigned char*>(grown);
    record_buf.size = n;
  }
  return record_buf.bytes;
}

// Byte order is a property of the file: the byte-swapped family reads and
// writes big-endian files, the host-order family files in this host's
// order, and CONVERT= on the unit names the file's order for both. Bytes
// are reversed only where the file's order is not the host's, so on a
// big-endian host the byte-swapped family moves them unchanged.
bool file_is_big_endian(bool byte_swapped_family) {
  const Fcb& f = *st.fcb;
  if (f.convert_big_endian) return true;
  if (f.convert_little_endian) return false;
  if (f.convert_native) return kHostIsBigEndian;
  return byte_swapped_family || kHostIsBigEndian;
}

// Whether this family call reverses bytes on the current unit.
bool swapping(bool byte_swapped_family) {
  return file_is_big_endian(byte_swapped_family) != kHostIsBigEndian;
}

// The status that the later calls of a failed statement keep returning.
Status already_failed() {
  if (qbi_fio.error_flag) return FIO_ERROR;
  if (qbi_fio.eof_flag) return FIO_EOF;
  return FIO_SUCCESS;
}

bool valid_type(std::int32_t type) {
  return type >= 0 && type < FIO_TYPE_COUNT;
}

std::int64_t element_size(std::int32_t type, std::int32_t length) {
  // A negative character length is an empty element, never a huge one.
  const std::int64_t chars = length > 0 ? length : 0;
  if (type == TY_CHAR) return chars;
  if (type == TY_NCHAR) return 2 * chars;
  return __fio_type_size[type];
}

// The count to reverse `n` bytes holding `count` elements of `type` by:
// two-byte characters are reversed one character at a time.
std::int64_t reversal_count(std::int32_t type, std::int64_t count,
                            std::int64_t n) {
  return type == TY_NCHAR ? n / 2 : count;
}

void reverse_block(unsigned char* p, std::int32_t type, std::int64_t count,
                   std::int64_t n) {
  __fio_swap_bytes(p, type, reversal_count(type, count, n));
}

// ---- reading ----

// Reads exactly n bytes: 0, 217 when the file ends first, else the host code.
ErrorCode read_exact(void* p, std::int64_t n) {
  if (n <= 0) return 0;
  const auto want = static_cast<std::size_t>(n);
  if (host::fread(p, 1, want, st.fcb->stream) == want) return 0;
  return __qbio_feof(st.fcb->stream) ? FIO_EEOF : __fio_host_errno();
}

ErrorCode read_marker(bool swap, std::uint32_t& marker) {
  std::uint32_t raw = 0;
  if (const ErrorCode code = read_exact(&raw, kMarkerSize)) return code;
  if (swap) __fio_swap_bytes(&raw, TY_INT, 1);
  marker = raw;
  return 0;
}

// A pipe cannot seek, so its bytes are read and dropped instead. Running
// into the end of the input is not a failure here, just as a seek past the
// end of a file is not: the next read reports it. A READ stages nothing, so
// the staging buffer takes the dropped bytes and no reading frame carries a
// buffer of its own.
ErrorCode discard(std::int64_t n) {
  unsigned char* const sink = st.unf_rec.stage_buf;
  while (n > 0) {
    const auto chunk =
        static_cast<std::size_t>(std::min<std::int64_t>(n, kStageSize));
    const std::size_t got = host::fread(sink, 1, chunk, st.fcb->stream);
    n -= static_cast<std::int64_t>(got);
    if (got < chunk)
      return __qbio_feof(st.fcb->stream) ? 0 : __fio_host_errno();
  }
  return 0;
}

// Moves the stream n bytes forward: 0 or a host error number.
ErrorCode skip_forward(std::int64_t n) {
  st.fcb->last_op = FIO_OP_NONE;
  if (n <= 0) return 0;
  if (!st.fcb->pipe) {
    if (host::fseeko(st.fcb->stream, static_cast<off_t>(n), SEEK_CUR) == 0)
      return 0;
    if (__qbio_errno() != ESPIPE) return __fio_host_errno();
  }
  return discard(n);
}

// Positions the stream after the current record (segment): 0 or a host
// error number.
ErrorCode skip_to_nextrec() {
  const std::int64_t pos = st.unf_rec.rec_pos;
  if (st.fcb->access == FIO_DIRECT)
    return pos < st.rec_len ? skip_forward(st.rec_len - pos) : 0;
  if (pos == st.rec_len) {
    // The trailing marker is read, not checked; a file that ends right
    // after the data of a fully read record is accepted.
    const ErrorCode code = read_exact(st.unf_rec.stage_buf, kMarkerSize);
    return code == FIO_EEOF ? 0 : code;
  }
  return skip_forward(st.rec_len - pos + kMarkerSize);
}

// Skips the segments that continue the current record, up to and including
// the first whose leading marker has the continuation bit clear. Each step
// moves forward by at least the marker sizes, so even a crafted marker ends
// at the end of the file. Returns 0, 217 or a host error number.
ErrorCode skip_segments(bool swap) {
  while (st.continued) {
    std::uint32_t marker = 0;
    if (const ErrorCode code = read_marker(swap, marker)) return code;
    st.continued = (marker & kContinuationBit) != 0;
    st.rec_len = marker & kLengthMask;
    if (const ErrorCode code = skip_forward(st.rec_len + kMarkerSize))
      return code;
  }
  return 0;
}

Status item_read(void* item, std::int32_t type, std::int32_t count,
                 std::int32_t stride, std::int32_t length, bool swap) {
  if (count < 1) return 0;
  if (!valid_type(type)) return __fio_error(FIO_ESPEC);
  st.io_transfer = 1;
  const std::int64_t s = element_size(type, length);
  const std::int64_t n = s * count;
  if (!st.fcb->binary && n > st.rec_len - st.unf_rec.rec_pos) {
    // Leave the unit at the next record so that a READ under error control
    // goes on from there; the outcome of the skip does not change the report.
    if (skip_to_nextrec() == 0 && st.fcb->access != FIO_DIRECT)
      (void)skip_segments(swap);
    return __fio_error(FIO_ETOOBIG);
  }
  if (n == 0) return 0;
  auto* p = static_cast<unsigned char*>(item);
  if (stride == s) {
    // Adjacent elements: one read straight into the variable, reversed
    // where they land.
    if (const ErrorCode code = read_exact(p, n)) return __fio_error(code);
    if (swap) reverse_block(p, type, count, n);
    st.unf_rec.rec_pos += n;
    return 0;
  }
  for (std::int32_t i = 0; i < count; ++i, p += stride) {
    if (const ErrorCode code = read_exact(p, s)) return __fio_error(code);
    if (swap) reverse_block(p, type, 1, s);
    st.unf_rec.rec_pos += s;
  }
  return 0;
}

Status end_read(bool swap) {
  if (st.fcb->binary) {
    st.fcb->last_op = FIO_OP_NONE;
    return 0;
  }
  ErrorCode code = 0;
  if (!st.io_transfer) {
    // Nothing was read: pass over the whole record.
    const bool direct = st.fcb->access == FIO_DIRECT;
    code = skip_forward(direct ? st.rec_len : st.rec_len + kMarkerSize);
  } else {
    code = skip_to_nextrec();
  }
  if (code == 0 && st.fcb->access != FIO_DIRECT) code = skip_segments(swap);
  return code != 0 ? __fio_error(code) : 0;
}

// ---- writing ----

// Writes the staged bytes; true when the stream write failed, which the
// caller reports with the host's error number.
bool write_unf_buf() {
  if (st.rw_size == 0) return false;
  const auto n = static_cast<std::size_t>(st.rw_size);
  return host::fwrite(st.stage, 1, n, st.fcb->stream) != n;
}

void empty_stage() {
  st.rw_size = 0;
  st.buf_ptr = st.stage;
}

Status write_bytes(const void* p, std::int64_t n) {
  if (n <= 0) return 0;
  const auto want = static_cast<std::size_t>(n);
  if (host::fwrite(p, 1, want, st.fcb->stream) == want) return 0;
  return __fio_error(__fio_host_errno());
}

Status write_marker(std::int64_t len, bool swap) {
  auto marker = static_cast<std::int32_t>(len);
  if (swap) __fio_swap_bytes(&marker, TY_INT, 1);
  return write_bytes(&marker, kMarkerSize);
}

// Empties the staging buffer into the file. The first flush of a sequential
// record writes its leading marker first, holding the length known so far;
// the end of the statement corrects it if the record grew afterwards.
Status flush(bool swap) {
  if (st.rec_in_buf) {
    if (const Status r = write_marker(st.unf_rec.rec_pos, swap)) return r;
    st.unf_rec.lead_len = st.unf_rec.rec_pos;
    st.rec_in_buf = 0;
  }
  if (write_unf_buf()) return __fio_error(__fio_host_errno());
  empty_stage();
  return 0;
}

void stage(const unsigned char* src, std::int64_t n, std::int32_t type,
           std::int64_t count, bool swap) {
  if (swap)
    __fio_copy_swapped(st.buf_ptr, src, n, type, reversal_count(type, count, n));
  else
    std::memcpy(st.buf_ptr, src, static_cast<std::size_t>(n));
  st.buf_ptr += n;
  st.rw_size += static_cast<std::int32_t>(n);
}

// An element longer than the staging buffer (only character elements can
// be) goes straight to the stream. Two-byte characters to be reversed are
// reversed in a copy: the caller's variable is never changed by a WRITE.
Status write_long_element(const unsigned char* src, std::int32_t type,
                          std::int64_t s, bool swap) {
  if (!(swap && type == TY_NCHAR)) return write_bytes(src, s);
  auto* copy =
      static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(s)));
  if (copy == nullptr) return __fio_error(FIO_ENOMEM);
  __fio_copy_swapped(copy, src, s, TY_NCHAR, reversal_count(TY_NCHAR, 1, s));
  const Status r = write_bytes(copy, s);
  std::free(copy);
  return r;
}

Status item_write(const void* item, std::int32_t type, std::int32_t count,
                  std::int32_t stride, std::int32_t length, bool swap) {
  if (count < 1) return 0;
  if (!valid_type(type)) return __fio_error(FIO_ESPEC);
  st.io_transfer = 1;
  const std::int64_t s = element_size(type, length);
  const std::int64_t n = s * count;
  st.unf_rec.rec_pos += n;
  if (st.fcb->access == FIO_DIRECT) {
    if (st.unf_rec.rec_pos > st.rec_len) return __fio_error(FIO_ETOOBIG);
  } else if (!st.fcb->binary && st.unf_rec.rec_pos > kMaxSegment) {
    return __fio_error(FIO_ETOOBIG);
  }
  const auto* src = static_cast<const unsigned char*>(item);
  // Host order needs no copy to reverse, so a single element is moved as a
  // block too.
  const bool adjacent = stride == s || (!swap && count == 1);
  if (adjacent) {
    if (st.rw_size + n <= st.stage_size) {
      stage(src, n, type, count, swap);
      return 0;
    }
    if (const Status r = flush(swap)) return r;
    if (!swap) return write_bytes(src, n);
    if (s > 0 && s <= st.stage_size) {
      // As many whole elements as the buffer holds are staged with one
      // copy and one reversal at a time. The buffer fills and empties at
      // the same elements as it would one element at a time, so the file
      // receives the same bytes.
      const std::int64_t per_buffer = st.stage_size / s;
      for (std::int64_t left = count; left > 0;) {
        const std::int64_t k = std::min(left, per_buffer);
        if (k * s > st.stage_size - st.rw_size) {
          if (const Status r = flush(swap)) return r;
        }
        stage(src, k * s, type, k, swap);
        src += k * s;
        left -= k;
      }
      return 0;
    }
  }
  for (std::int32_t i = 0; i < count; ++i, src += stride) {
    if (s > st.stage_size - st.rw_size) {
      if (const Status r = flush(swap)) return r;
    }
    if (s > st.stage_size) {
      if (const Status r = write_long_element(src, type, s, swap)) return r;
      continue;
    }
    stage(src, s, type, 1, swap);
  }
  return 0;
}

Status end_direct_write() {
  if (st.stage != st.unf_rec.stage_buf && st.unf_rec.rec_pos < st.rec_len) {
    // The zero bytes after the items go out in the same write.
    const std::int64_t pad = st.rec_len - st.unf_rec.rec_pos;
    std::memset(st.buf_ptr, 0, static_cast<std::size_t>(pad));
    st.rw_size += static_cast<std::int32_t>(pad);
    st.unf_rec.rec_pos = st.rec_len;
  }
  if (write_unf_buf()) return __fio_error(__fio_host_errno());
  empty_stage();
  // The rest of the slot is zero bytes, so a shorter WRITE leaves nothing of
  // an earlier content of the record behind.
  if (st.unf_rec.rec_pos < st.rec_len) {
    const ErrorCode code =
        __fio_zeropad(st.fcb->stream, st.rec_len - st.unf_rec.rec_pos);
    if (code != 0) return __fio_error(code);
  }
  // A WRITE that succeeds has handed its whole record to the host: a later
  // failure (a full disk, a size limit) can then cut only the record being
  // written, never take back one already reported as written. The stream
  // of a direct-access unit is unbuffered, so the writes above did it;
  // should the stream hold bytes after all, they are flushed here.
  if (__fpending(st.fcb->stream) > 0 && host::fflush(st.fcb->stream) != 0) {
    // What the host refused is dropped: the exit flushes every stream, and
    // must not complete a record after the report named it as missing.
    const ErrorCode code = __fio_host_errno();
    __fpurge(st.fcb->stream);
    return __fio_error(code);
  }
  return 0;
}

Status end_sequential_write(bool swap) {
  const std::int64_t len = st.unf_rec.rec_pos;
  if (st.rec_in_buf) {
    // The whole record was staged: marker, data, marker.
    if (const Status r = write_marker(len, swap)) return r;
    st.rec_in_buf = 0;
    if (write_unf_buf()) return __fio_error(__fio_host_errno());
  } else {
    if (write_unf_buf()) return __fio_error(__fio_host_errno());
    if (len != st.unf_rec.lead_len) {
      // The leading marker went out before the record was complete.
      if (host::fseeko(st.fcb->stream, -static_cast<off_t>(len + kMarkerSize),
                       SEEK_CUR) != 0)
        return __fio_error(__fio_host_errno());
      if (const Status r = write_marker(len, swap)) return r;
      if (host::fseeko(st.fcb->stream, static_cast<off_t>(len), SEEK_CUR) != 0)
        return __fio_error(__fio_host_errno());
    }
  }
  empty_stage();
  return write_marker(len, swap);
}

Status end_write(bool swap) {
  if (st.fcb->access == FIO_DIRECT) return end_direct_write();
  if (st.fcb->binary) {
    if (write_unf_buf()) return __fio_error(__fio_host_errno());
    empty_stage();
    return 0;
  }
  return end_sequential_write(swap);
}

// ---- statement begin ----

// Starts the statement on unit f: sets every field of its state afresh and,
// for a sequential READ, reads the record's leading marker.
Status unf_init(Fcb* f, std::int32_t read, bool swap_marker) {
  st.fcb = f;
  st.read_flag = read;
  st.io_transfer = 0;
  st.rec_len = 0;
  st.continued = 0;
  st.unf_rec.rec_pos = 0;
  st.unf_rec.lead_len = 0;
  st.stage = st.unf_rec.stage_buf;
  st.stage_size = kStageSize;
  st.rw_size = 0;
  st.rec_in_buf = 0;
  if (f->access == FIO_DIRECT) {
    st.rec_len = f->reclen;
    if (!read) {
      if (unsigned char* whole = whole_record_stage(st.rec_len)) {
        st.stage = whole;
        st.stage_size = st.rec_len;
      }
    }
  } else if (f->binary) {
    // A stream of bytes: no markers to read or write.
  } else if (read) {
    ++f->next_rec;
    std::uint32_t marker = 0;
    if (const ErrorCode code = read_marker(swap_marker, marker))
      return __fio_error(code);
    st.continued = (marker & kContinuationBit) != 0;
    st.rec_len = marker & kLengthMask;
  } else {
    st.rec_in_buf = 1;
  }
  st.buf_ptr = st.stage;
  return FIO_SUCCESS;
}

Status statement_begin(std::int32_t read, std::int32_t unit, std::int32_t rec,
                       std::intptr_t iostat, bool byte_swapped_family) {
  const std::int32_t dir = read ? FIO_READ : FIO_WRITE;
  __fio_errinit(unit, iostat, read ? "unformatted read" : "unformatted write");
  Fcb* f = __fio_rwinit(unit, FIO_UNFORMATTED, rec, dir);
  if (f == nullptr) return qbi_fio.eof_flag ? FIO_EOF : FIO_ERROR;
  // The choice of family reads the unit, so the unit comes first.
  st.fcb = f;
  return unf_init(f, read ? 1 : 0, swapping(byte_swapped_family));
}

Status statement_end(bool swap) {
  return st.read_flag ? end_read(swap) : end_write(swap);
}

}  // namespace

extern "C" {

std::int32_t fio_usw_init(std::int32_t read, std::int32_t unit,
                          std::int32_t rec, std::intptr_t iostat) {
  return statement_begin(read, unit, rec, iostat, true);
}

std::int32_t fio_unf_init(std::int32_t read, std::int32_t unit,
                          std::int32_t rec, std::intptr_t iostat) {
  return statement_begin(read, unit, rec, iostat, false);
}

std::int32_t fio_usw_read(void* item, std::int32_t type, std::int32_t count,
                          std::int32_t stride, std::int32_t length) {
  if (const Status r = already_failed()) return r;
  return item_read(item, type, count, stride, length, swapping(true));
}

std::int32_t fio_unf_read(void* item, std::int32_t type, std::int32_t count,
                          std::int32_t stride, std::int32_t length) {
  if (const Status r = already_failed()) return r;
  return item_read(item, type, count, stride, length, swapping(false));
}

std::int32_t fio_usw_write(const void* item, std::int32_t type,
                           std::int32_t count, std::int32_t stride,
                           std::int32_t length) {
  if (const Status r = already_failed()) return r;
  return item_write(item, type, count, stride, length, swapping(true));
}

std::int32_t fio_unf_write(const void* item, std::int32_t type,
                           std::int32_t count, std::int32_t stride,
                           std::int32_t length) {
  if (const Status r = already_failed()) return r;
  return item_write(item, type, count, stride, length, swapping(false));
}

std::int32_t fio_usw_end(void) {
  if (const Status r = already_failed()) return r;
  return statement_end(swapping(true));
}

std::int32_t fio_unf_end(void) {
  if (const Status r = already_failed()) return r;
  return statement_end(swapping(false));
}

}  // extern "C"
