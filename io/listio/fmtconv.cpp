// Default conversion of list-directed items to text. Character items only
// for now; numeric kinds come with the number-text module.
#include <cstdlib>
#include <cstring>

#include "fio.h"

namespace {
char conv_buf[96];
char* conv_bufp = conv_buf;
std::int32_t conv_bufsize = 96;

void grow(std::int32_t w) {
  if (w < conv_bufsize) return;
  char* p = static_cast<char*>(std::malloc(static_cast<std::size_t>(w) + 128));
  if (p == nullptr) std::abort();
  if (conv_bufp != conv_buf) std::free(conv_bufp);
  conv_bufp = p;
  conv_bufsize = w + 128;
}
}  // namespace

extern "C" const char* __fio_default_convert(const void* item,
                                             std::int32_t type,
                                             std::int32_t length,
                                             std::int32_t* out_len) {
  if (type == TY_CHAR) {
    const std::int32_t n = length > 0 ? length : 0;
    grow(n);
    if (n > 0) std::memcpy(conv_bufp, item, static_cast<std::size_t>(n));
    conv_bufp[n] = '\0';
    *out_len = n;
    return conv_bufp;
  }
  conv_bufp[0] = ' ';
  conv_bufp[1] = '\0';
  *out_len = 1;
  return conv_bufp;
}
