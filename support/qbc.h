// Support-library services the record I/O layer reaches the host through:
// argument store, standard streams, host error number, stream queries,
// temporary names, locks and a 64-bit helper.
#pragma once

#include <cstdint>
#include <cstdio>

extern "C" {

void __qbio_set_argc(std::int32_t argc);
void __qbio_set_argv(char** argv);
std::int32_t __qbio_get_argc(void);
char** __qbio_get_argv(void);

std::FILE* __qbio_stdin(void);
std::FILE* __qbio_stdout(void);
std::FILE* __qbio_stderr(void);

// Host error number of the last failing host call.
std::int32_t __qbio_errno(void);
std::int32_t __qbio_feof(std::FILE* stream);
std::int32_t __qbio_ispipe(std::FILE* stream);
std::int32_t __qbio_getfd(std::FILE* stream);
std::int32_t __qbio_binary_mode(std::FILE* stream);

// A fresh name in `dir` (or the temporary directory when null) beginning with
// `prefix`, in heap storage that the caller frees. The name is reserved: no
// other call in any process can get it until it is removed.
char* __qbio_tempnam(const char* dir, const char* prefix);

void _mp_p(std::int32_t* lock);
void _mp_v(std::int32_t* lock);
void _mp_bcs_stdio(void);
void _mp_ecs_stdio(void);

std::int64_t __mth_i_klshift(std::int64_t value, std::int32_t shift);

}  // extern "C"
