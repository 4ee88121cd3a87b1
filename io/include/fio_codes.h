// Internal codes shared by every module of the record I/O layer: specifier
// codes stored in unit records, item type codes, transfer directions and the
// status values that every entry point returns.
#pragma once

#include <cstdint>

// Specifier values are decoded into these small codes as soon as they are
// read; the unit record and the connection routines see only the codes.
enum : std::int16_t {
  FIO_OLD = 1,
  FIO_NEW = 2,
  FIO_UNKNOWN = 3,
  FIO_SCRATCH = 4,
  FIO_REPLACE = 5,

  FIO_KEEP = 11,
  FIO_DELETE = 12,

  FIO_DIRECT = 21,
  FIO_SEQUENTIAL = 22,
  FIO_APPEND = 23,

  FIO_FORMATTED = 31,
  FIO_UNFORMATTED = 32,
  // FORM='BINARY' as OPEN decodes it: stored as FIO_UNFORMATTED with the
  // unit's binary flag (records without length markers), never as a form.
  FIO_BINARY = 33,

  FIO_ZERO = 90,
  FIO_NULL = 91,
};

// Transfer direction passed to __fio_rwinit.
enum : std::int32_t {
  FIO_READ = 0,
  FIO_WRITE = 1,
};

// Flag values of the iostat argument of every statement entry point; any
// other value is the address of the caller's 4-byte IOSTAT variable.
enum : std::intptr_t {
  FIO_IOSTAT_NONE = 0,     // no IOSTAT=, ERR= or END=: failures end the run
  FIO_IOSTAT_ERR = 1,      // ERR= given
  FIO_IOSTAT_END = 2,      // END= given
  FIO_IOSTAT_ERR_END = 3,  // both
};

// Unit number under which an internal-file statement is reported.
inline constexpr std::int32_t FIO_INTERNAL_UNIT = -99;

// Direction of the last transfer kept in Fcb::last_op (2 minus the direction).
enum : std::int16_t {
  FIO_OP_NONE = 0,
  FIO_OP_WRITE = 1,
  FIO_OP_READ = 2,
};

// Results of every entry point of the layer.
enum : std::int32_t {
  FIO_SUCCESS = 0,
  FIO_ERROR = 1,
  FIO_EOF = 2,
};

// Item type codes; __fio_type_size gives the byte size of each.
enum : std::int32_t {
  TY_NONE = 0,
  TY_WORD = 1,   // 4 bytes without numeric type, shown in hexadecimal
  TY_DWORD = 2,  // 8 bytes without numeric type, shown in hexadecimal
  TY_HOLL = 3,   // 4 bytes, no list-directed conversion
  TY_BINT = 4,   // 1-byte integer
  TY_SINT = 5,   // 2-byte integer
  TY_INT = 6,    // 4-byte integer
  TY_REAL = 7,   // 4-byte real
  TY_DBLE = 8,   // 8-byte real
  TY_QUAD = 9,   // 16-byte real
  TY_CMPLX = 10, // two 4-byte reals
  TY_DCMPLX = 11,// two 8-byte reals
  TY_BLOG = 12,  // 1-byte logical
  TY_SLOG = 13,  // 2-byte logical
  TY_LOG = 14,   // 4-byte logical
  TY_CHAR = 15,  // character, `length` bytes per element
  TY_NCHAR = 16, // two-byte character, 2 x `length` bytes per element
  TY_INT8 = 17,  // 8-byte integer
  TY_LOG8 = 18,  // 8-byte logical
  TY_PTR = 19,   // 4 bytes, no list-directed conversion
};

inline constexpr int FIO_TYPE_COUNT = 20;

// The layer's own error codes that the layer raises; the text of every code
// 200..254 lives in the message table of the error module.
enum : std::int32_t {
  FIO_EBASE = 200,
  FIO_ESPEC = 201,      // illegal value for specifier
  FIO_ECOMPAT = 202,    // conflicting specifiers
  FIO_ERECL = 203,      // record length must be specified
  FIO_EREADONLY = 204,  // illegal use of a readonly file
  FIO_ESCRATCH = 205,   // 'SCRATCH' and 'SAVE'/'KEEP' both specified
  FIO_ENAMEDSCR = 206,  // attempt to open a named file as 'SCRATCH'
  FIO_EOPENED = 207,    // file is already connected to another unit
  FIO_EEXIST = 208,     // 'NEW' specified for file which already exists
  FIO_ENOEXIST = 209,   // 'OLD' specified for file which does not exist
  FIO_ENOMEM = 210,     // dynamic memory allocation failed
  FIO_EFILENAM = 211,   // invalid file name
  FIO_EUNIT = 212,      // invalid unit number
  FIO_EFORM = 215,      // formatted/unformatted file conflict
  FIO_EEOF = 217,       // attempt to read past end of file
  FIO_ETOOBIG = 219,    // attempt to read/write past end of record
  FIO_EDIRECT = 242,    // illegal operation on direct access file
  FIO_EEOFERR = 252,    // operation attempted after end of file
  FIO_EDAREC = 253,     // attempt to read non-existent record (direct access)
  FIO_ELAST = 254,
};
