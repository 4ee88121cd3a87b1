// Argument store: set once by the process entry, read by iargc_/getarg_.
#include "qbc.h"

namespace {
std::int32_t stored_argc = 0;
char** stored_argv = nullptr;
}  // namespace

extern "C" {

void __qbio_set_argc(std::int32_t argc) { stored_argc = argc; }
void __qbio_set_argv(char** argv) { stored_argv = argv; }
std::int32_t __qbio_get_argc(void) { return stored_argc; }
char** __qbio_get_argv(void) { return stored_argv; }

}  // extern "C"
