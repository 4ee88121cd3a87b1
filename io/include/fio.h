// Entry points of the record I/O layer. They keep C linkage and fixed-width
// arguments so that compiled Fortran-style code can call them: numbers by
// value, character arguments as address plus a length passed after all
// other arguments, and an iostat argument that is either a flag value 0..3
// or the address of the caller's 4-byte IOSTAT variable.
#pragma once

#include <cstdint>
#include <cstdio>

#include "fcb.h"
#include "fio_codes.h"

extern "C" {

// ---- units/cnfg ----
void __fio_read_options(void);          // reads FORTRANOPT once
const char* __fio_options(void);        // the kept FORTRANOPT text, or null
int __fio_option_set(const char* opt);  // substring search in FORTRANOPT
std::int32_t __fio_check_format(void);

// ---- units/utils ----
// Host error number of the host call that just failed; never 0, so that a
// failure can not read as success.
std::int32_t __fio_host_errno(void);
void fio_init(void);
Fcb* __fio_alloc_fcb(void);
void __fio_free_fcb(Fcb* f);
Fcb* __fio_find_unit(std::int32_t unit);
Fcb* __fio_rwinit(std::int32_t unit, std::int32_t form, std::int32_t rec,
                  std::int32_t direction);
std::int32_t __fio_zeropad(std::FILE* stream, std::int64_t n);
std::int32_t __fio_trunc(Fcb* f, std::int64_t length);

// ---- units/open ----
std::int32_t __fio_eq_str(const char* text, std::int32_t len,
                          const char* keyword);
// OPEN. The reserved values belong to the calling convention of compiled
// OPEN statements (which pass 0, 1, 0, 0, 0 and 0, 0); OPEN does not examine
// them. fio_open_with.h names the specifiers for callers.
std::int32_t fio_open(std::int32_t unit, std::int32_t readonly,
                      const char* status, const char* dispose,
                      const char* access, const char* blank, std::int32_t recl,
                      const char* file, const char* form, std::intptr_t iostat,
                      std::int32_t reserved1, std::int32_t reserved2,
                      std::int32_t reserved3, std::int32_t reserved4,
                      std::int32_t reserved5, std::int32_t status_len,
                      std::int32_t dispose_len, std::int32_t access_len,
                      std::int32_t blank_len, std::int32_t file_len,
                      std::int32_t form_len, std::int32_t reserved6,
                      std::int32_t reserved7);
std::int32_t fio_open_cvt(std::int32_t* previous, const char* text,
                          std::int32_t len);
std::int32_t fio_open_share(std::int32_t* previous, const char* text,
                            std::int32_t len);
std::int32_t __fio_open(std::int32_t unit, std::int32_t readonly,
                        std::int32_t status, std::int32_t dispose,
                        std::int32_t access, std::int32_t blank,
                        std::int32_t form, std::int32_t recl, const char* file,
                        std::int32_t file_len);
void __fio_scratch_name(char* buf, std::size_t size);

// ---- units/close ----
std::int32_t fio_close(std::int32_t unit, std::intptr_t iostat,
                       const char* dispose, std::int32_t dispose_len);
std::int32_t __fio_close(Fcb* f, std::int32_t dispose_override);

// ---- units/error ----
void fio_src_info(std::int32_t line, const char* name, std::int32_t len);
void __fio_errinit(std::int32_t unit, std::intptr_t iostat, const char* stmt);
std::int32_t __fio_error(std::int32_t code);
std::int32_t __fio_eoferr(std::int32_t code);
void ioerrinfo(Fcb* f);
const char* __fio_errmsg(std::int32_t code);

// ---- unformatted/unf ----
extern const std::int16_t __fio_type_size[FIO_TYPE_COUNT];
void __fio_swap_bytes(void* p, std::int32_t type, std::int64_t count);
// Copies the n bytes of `count` elements of `type` from src to dst, each
// unit reversed as __fio_swap_bytes would reverse it in place; the two
// buffers must not overlap.
void __fio_copy_swapped(void* dst, const void* src, std::int64_t n,
                        std::int32_t type, std::int64_t count);
std::int32_t fio_usw_init(std::int32_t read, std::int32_t unit,
                          std::int32_t rec, std::intptr_t iostat);
std::int32_t fio_usw_read(void* item, std::int32_t type, std::int32_t count,
                          std::int32_t stride, std::int32_t length);
std::int32_t fio_usw_write(const void* item, std::int32_t type,
                           std::int32_t count, std::int32_t stride,
                           std::int32_t length);
std::int32_t fio_usw_end(void);
std::int32_t fio_unf_init(std::int32_t read, std::int32_t unit,
                          std::int32_t rec, std::intptr_t iostat);
std::int32_t fio_unf_read(void* item, std::int32_t type, std::int32_t count,
                          std::int32_t stride, std::int32_t length);
std::int32_t fio_unf_write(const void* item, std::int32_t type,
                           std::int32_t count, std::int32_t stride,
                           std::int32_t length);
std::int32_t fio_unf_end(void);

// ---- listio/ldwrite ----
std::int32_t fio_ldw_init(std::int32_t unit, std::int32_t rec,
                          std::intptr_t iostat);
std::int32_t fio_ldw(const void* item, std::int32_t type, std::int32_t count,
                     std::int32_t stride, std::int32_t length);
std::int32_t fio_sc_ldw(std::int32_t value, std::int32_t type);
std::int32_t fio_sc_f_ldw(float value);
std::int32_t fio_sc_d_ldw(double value);
std::int32_t fio_ldw_end(void);

// ---- listio/fmtconv ----
const char* __fio_default_convert(const void* item, std::int32_t type,
                                  std::int32_t length, std::int32_t* out_len);

// ---- termination (converter/ftnexit, ftncontsup) ----
[[noreturn]] void ftn_exit(std::int32_t status);
[[noreturn]] void ftn_stop(const char* text, std::int32_t len);

}  // extern "C"
