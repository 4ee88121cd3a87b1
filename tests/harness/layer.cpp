#include "layer.h"

namespace {
const char* ptr(const std::optional<std::string>& s) {
  return s ? s->data() : nullptr;
}
std::int32_t len(const std::optional<std::string>& s) {
  return s ? static_cast<std::int32_t>(s->size()) : 0;
}
}  // namespace

std::int32_t close_unit(std::int32_t unit, std::intptr_t iostat,
                        const std::optional<std::string>& dispose) {
  return fio_close(unit, iostat, ptr(dispose), len(dispose));
}

std::int32_t write_text(std::int32_t unit, const std::string& text,
                        std::intptr_t iostat) {
  std::int32_t r = fio_ldw_init(unit, 0, iostat);
  if (r != 0) return r;
  r = fio_ldw(text.data(), TY_CHAR, 1, 0, static_cast<std::int32_t>(text.size()));
  const std::int32_t e = fio_ldw_end();
  return r != 0 ? r : e;
}
