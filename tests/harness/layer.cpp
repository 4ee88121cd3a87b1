#include "layer.h"

namespace {
const char* ptr(const std::optional<std::string>& s) {
  return s ? s->data() : nullptr;
}
std::int32_t len(const std::optional<std::string>& s) {
  return s ? static_cast<std::int32_t>(s->size()) : 0;
}
}  // namespace

std::int32_t open_unit(std::int32_t unit, const OpenSpec& o,
                       std::intptr_t iostat) {
  return fio_open(unit, o.readonly ? 1 : 0, ptr(o.status), ptr(o.dispose),
                  ptr(o.access), ptr(o.blank), o.recl, ptr(o.file),
                  ptr(o.form), iostat, 0, 1, 0, 0, 0, len(o.status),
                  len(o.dispose), len(o.access), len(o.blank), len(o.file),
                  len(o.form), 0, 0);
}

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
