// The converter's routines and the run-time routines it calls, with the
// calling convention of compiled Fortran: numbers by reference, character
// lengths after the other arguments.
#pragma once

#include <cstdint>

extern "C" {
std::int32_t iargc_(void);
void getarg_(const std::int32_t* n, char* buf, std::int32_t len);
void MAIN_(void);
void maxmin_(const double* field, const std::int32_t* n,
             const std::int32_t* declared_levels, const std::int32_t* first,
             const std::int32_t* last, const char* label,
             std::int32_t label_len);
}
