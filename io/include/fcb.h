// The unit record and the layer-wide record of the record I/O layer.
#pragma once

#include <cstdint>
#include <cstdio>

// One record per connected unit. Field order is part of the layer's design:
// every module names these fields.
struct Fcb {
  Fcb* next;             // next connected unit, or next free record
  std::FILE* stream;     // open host stream of the file
  char* name;            // heap copy of the trimmed name, or a fixed text for
                         // a pre-connected stream ("stdin " etc., not owned)
  std::int32_t unit;
  std::int32_t reclen;     // bytes per direct-access record, 0 if sequential
  std::int32_t recl_unit;  // bytes per RECL unit: 1, or 4 under "vaxio"
  std::int32_t next_rec;   // number of the next record, counting from 1
  std::int32_t max_rec;    // direct access: highest record in the file
  std::int16_t status;     // 1 named file, 4 scratch file
  std::int16_t dispose;    // FIO_KEEP or FIO_DELETE
  std::int16_t access;     // FIO_DIRECT or FIO_SEQUENTIAL
  std::int16_t blank;      // FIO_ZERO or FIO_NULL
  std::int16_t form;       // FIO_FORMATTED or FIO_UNFORMATTED
  std::int16_t last_op;    // FIO_OP_NONE / FIO_OP_WRITE / FIO_OP_READ
  std::uint8_t eof_seen;
  std::uint8_t named;
  std::uint8_t readonly;
  std::uint8_t preconnected;
  std::uint8_t trunc_pending;
  std::uint8_t binary;
  std::uint8_t pipe;
  // CONVERT=: at most one is set. The file is big-endian, little-endian or
  // in this host's order whichever family of calls reads or writes it.
  std::uint8_t convert_big_endian;
  std::uint8_t convert_native;
  std::uint8_t convert_little_endian;
};

// Layer-wide state: the connected units and the failure flags of the
// statement in progress.
struct QbiFio {
  Fcb* units;                  // head: most recently connected first
  const char* open_name;       // FILE= text of an OPEN in progress, or null
  std::int32_t open_name_len;
  std::int32_t error_flag;     // the statement's error was handed back
  std::int32_t eof_flag;       // the statement's end of file was handed back
};

// Configuration record: default file name pattern and the logical true mask.
struct FioCnfg {
  const char* default_name;
  std::int32_t true_mask;
};

extern "C" {
extern QbiFio qbi_fio;
extern FioCnfg __fio_cnfg_;
// The record that __fio_open created last; CONVERT= and FORM='BINARY' act on it.
extern Fcb* __fio_last_opened;
}
