// The one error reporter of the layer: statement context, numbered messages
// and the hand-back of errors and end-of-file conditions to statements that
// asked for them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "fio.h"
#include "host.h"
#include "qbc.h"

namespace {

// Source location of the statement in progress, as the caller announced it.
struct SrcInfo {
  const char* source_name;
  std::int32_t source_name_len;
  std::int32_t source_line;
};
SrcInfo src_info = {nullptr, 0, 0};

// The statement in progress as its reports name it and as it asked its
// failures to be handled; replaced as a whole by every __fio_errinit.
struct Statement {
  std::int32_t current_unit;
  std::intptr_t iostat_ptr;  // flag FIO_IOSTAT_* or IOSTAT variable address
  const char* err_str;       // statement name
};
Statement stmt = {0, FIO_IOSTAT_NONE, "?"};

constexpr const char* errtxt[] = {
    "xxx",                                                  // 200
    "illegal value for specifier",                          // 201
    "conflicting specifiers",                               // 202
    "record length must be specified",                      // 203
    "illegal use of a readonly file",                       // 204
    "'SCRATCH' and 'SAVE'/'KEEP' both specified",           // 205
    "attempt to open a named file as 'SCRATCH'",            // 206
    "file is already connected to another unit",            // 207
    "'NEW' specified for file which already exists",        // 208
    "'OLD' specified for file which does not exist",        // 209
    "dynamic memory allocation failed",                     // 210
    "invalid file name",                                    // 211
    "invalid unit number",                                  // 212
    "yyy",                                                  // 213
    "zzz",                                                  // 214
    "formatted/unformatted file conflict",                  // 215
    "www",                                                  // 216
    "attempt to read past end of file",                     // 217
    "bbb",                                                  // 218
    "attempt to read/write past end of record",             // 219
    "write after last internal record",                     // 220
    "syntax error in format string",                        // 221
    "unbalanced parentheses in format string",              // 222
    "illegal P or T edit descriptor - value missing",       // 223
    "illegal Hollerith or character string in format",      // 224
    "lexical error-- unknown token type",                   // 225
    "unrecognized edit descriptor letter in format",        // 226
    "ccc",                                                  // 227
    "end of file reached without finding group",            // 228
    "end of file reached while processing group",           // 229
    "scale factor not in range -128 to 127",                // 230
    "error on data conversion",                             // 231
    "fff",                                                  // 232
    "too many constants to initialize group item",          // 233
    "invalid edit descriptor",                              // 234
    "edit descriptor does not match item type",             // 235
    "formatted record longer than 2000 characters",         // 236
    "quad precision type unsupported",                      // 237
    "tab value out of range",                               // 238
    "entity name is not member of group",                   // 239
    "aaa",                                                  // 240
    "ddd",                                                  // 241
    "illegal operation on direct access file",              // 242
    "format parentheses nesting depth too great",           // 243
    "syntax error - entity name expected",                  // 244
    "syntax error within group definition",                 // 245
    "infinite format scan for edit descriptor",             // 246
    "ggg",                                                  // 247
    "illegal subscript or substring specification",         // 248
    "error in format - illegal E, F, G or D descriptor",    // 249
    "error in format - number missing after '.', '-', or '+'",  // 250
    "illegal character in format string",                   // 251
    "operation attempted after end of file",                // 252
    "attempt to read non-existent record (direct access)",  // 253
    "illegal repeat count in format",                       // 254
};

// The same messages in Japanese, EUC-JP encoded.
constexpr const char* kanjitxt[] = {
#include "kanjitxt.inc"
};

static_assert(std::size(errtxt) == FIO_ELAST - FIO_EBASE + 1);
static_assert(std::size(kanjitxt) == std::size(errtxt));

bool is_reference(std::intptr_t iostat) {
  return iostat < FIO_IOSTAT_NONE || iostat > FIO_IOSTAT_ERR_END;
}

// Without ERR= (or IOSTAT=) an error ends the run; without END= (or IOSTAT=)
// an end of file does.
bool error_ends_run(std::intptr_t iostat) {
  return iostat == FIO_IOSTAT_NONE || iostat == FIO_IOSTAT_END;
}
bool eof_ends_run(std::intptr_t iostat) {
  return iostat == FIO_IOSTAT_NONE || iostat == FIO_IOSTAT_ERR;
}

// What an IOSTAT variable receives for an end of file (an error receives
// its positive code).
constexpr std::int32_t kIostatEndOfFile = -1;

std::int32_t* iostat_variable() {
  return reinterpret_cast<std::int32_t*>(stmt.iostat_ptr);
}

const char* table_text(std::int32_t code) {
  const char* lang = std::getenv("LANG");
  const bool japanese = lang != nullptr && std::strcmp(lang, "japan") == 0;
  return (japanese ? kanjitxt : errtxt)[code - FIO_EBASE];
}

bool in_table(std::int32_t code) {
  return code >= FIO_EBASE && code <= FIO_ELAST;
}

// First line of a report for a code of the layer's own.
void report_own(std::FILE* err, std::int32_t code) {
  const char* text = in_table(code) ? table_text(code) : __fio_errmsg(code);
  if (stmt.current_unit == FIO_INTERNAL_UNIT)
    std::fprintf(err, "QBFIO-F-%d/%s/internal file/%s.%s", code,
                 stmt.err_str, text, "\n");
  else
    std::fprintf(err, "QBFIO-F-%d/%s/unit=%d/%s.%s", code, stmt.err_str,
                 stmt.current_unit, text, "\n");
}

// First two lines of a report for a host error number.
void report_host(std::FILE* err, std::int32_t code) {
  // The host describes the number being reported, whatever calls ran since.
  errno = code;
  std::perror("QBFIO/stdio");
  std::fprintf(err, "QBFIO-F-/%s/unit=%d/%s - %d.%s", stmt.err_str,
               stmt.current_unit,
               "error code returned by host stdio", code, "\n");
}

[[noreturn]] void report_and_exit(std::int32_t code, Fcb* f) {
  std::FILE* err = __qbio_stderr();
  if (code < FIO_EBASE)
    report_host(err, code);
  else
    report_own(err, code);
  ioerrinfo(f);
  ftn_exit(1);
}

}  // namespace

extern "C" {

void fio_src_info(std::int32_t line, const char* name, std::int32_t len) {
  src_info.source_name = name;
  src_info.source_name_len = len;
  src_info.source_line = line;
}

void __fio_errinit(std::int32_t unit, std::intptr_t iostat, const char* name) {
  stmt = {unit, iostat, name};
  qbi_fio.error_flag = 0;
  qbi_fio.eof_flag = 0;
  qbi_fio.open_name = nullptr;
  qbi_fio.open_name_len = 0;
  if (is_reference(iostat)) *iostat_variable() = 0;
  // After the statement is known, so that a failure while the layer starts
  // (no memory for the options) is reported as this statement's.
  if (qbi_fio.units == nullptr) fio_init();
}

std::int32_t __fio_error(std::int32_t code) {
  if (code == FIO_EEOF || code == FIO_EEOFERR) return __fio_eoferr(code);
  // A failing host call that left no number must still count as a failure:
  // 0 would read as success in an IOSTAT variable.
  if (code == 0) code = EIO;
  Fcb* f = __fio_find_unit(stmt.current_unit);
  if (error_ends_run(stmt.iostat_ptr)) report_and_exit(code, f);
  if (is_reference(stmt.iostat_ptr)) *iostat_variable() = code;
  // A direct-access unit handed an error goes back to its first record.
  if (f != nullptr && f->stream != nullptr && f->access == FIO_DIRECT) {
    f->next_rec = 1;
    host::fseeko(f->stream, 0, SEEK_SET);
    f->last_op = FIO_OP_NONE;
  }
  qbi_fio.error_flag = 1;
  return FIO_ERROR;
}

std::int32_t __fio_eoferr(std::int32_t code) {
  Fcb* f = __fio_find_unit(stmt.current_unit);
  if (eof_ends_run(stmt.iostat_ptr)) report_and_exit(code, f);
  if (is_reference(stmt.iostat_ptr)) *iostat_variable() = kIostatEndOfFile;
  qbi_fio.eof_flag = 1;
  if (f != nullptr) f->eof_seen = 1;
  return FIO_EOF;
}

void ioerrinfo(Fcb* f) {
  std::FILE* err = __qbio_stderr();
  if (f != nullptr) {
    std::fprintf(err, " File name = ");
    if (f->name != nullptr) std::fprintf(err, "%s", f->name);
    std::fprintf(err, f->form == FIO_FORMATTED ? "    formatted, "
                                                : "    unformatted, ");
    std::fprintf(err, f->access == FIO_DIRECT ? "direct access  "
                                               : "sequential access  ");
    std::fprintf(err, " record = %d%s", f->next_rec - 1, "\n");
  } else if (qbi_fio.open_name != nullptr) {
    std::fprintf(err, " File name = %.*s%s", qbi_fio.open_name_len,
                 qbi_fio.open_name, "\n");
  }
  std::fprintf(err, " In source file %.*s,", src_info.source_name_len,
               src_info.source_name != nullptr ? src_info.source_name : "");
  std::fprintf(err, " at line number %d%s", src_info.source_line, "\n");
}

const char* __fio_errmsg(std::int32_t code) {
  static char buf[128];
  if (code == 0) return " ";
  if (code < FIO_EBASE) return std::strerror(code);
  if (in_table(code)) return table_text(code);
  std::snprintf(buf, sizeof buf,
                "get_iostat_msg: iostat value %d is out of range", code);
  return buf;
}

}  // extern "C"
