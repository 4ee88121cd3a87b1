// The specifiers of one OPEN statement by name, so that a call site says what
// it gives instead of passing fio_open's 23 positional arguments:
//
//   fio_open_with(100, {.file = name, .form = "unformatted"});
//
// A text left out is absent. An empty text that is given stays present,
// since OPEN tells the two apart for FILE= and FORM=.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "fio.h"

struct FioOpenArgs {
  std::string_view file{};
  std::string_view status{};
  std::string_view access{};
  std::string_view form{};
  std::string_view blank{};
  std::string_view dispose{};
  std::int32_t recl = 0;
  bool readonly = false;
};

// OPEN(unit, ...) with the given error control (a FIO_IOSTAT_* flag or the
// address of an IOSTAT variable); the result of fio_open.
inline std::int32_t fio_open_with(std::int32_t unit, const FioOpenArgs& open,
                                  std::intptr_t iostat = FIO_IOSTAT_NONE) {
  // A text too long for a 4-byte length passes the longest length, which
  // OPEN refuses (a name too long, or no keyword); it is never cut to
  // another text.
  const auto len = [](std::string_view t) {
    return static_cast<std::int32_t>(
        std::min<std::size_t>(t.size(), INT32_MAX));
  };
  // The values compiled OPEN statements pass where OPEN examines nothing.
  constexpr std::int32_t reserved1 = 0, reserved2 = 1, reserved3 = 0,
                         reserved4 = 0, reserved5 = 0, reserved6 = 0,
                         reserved7 = 0;
  // A text that is not given has no data at all: a null address.
  return fio_open(unit, open.readonly ? 1 : 0, open.status.data(),
                  open.dispose.data(), open.access.data(), open.blank.data(),
                  open.recl, open.file.data(), open.form.data(), iostat,
                  reserved1, reserved2, reserved3, reserved4, reserved5,
                  len(open.status), len(open.dispose), len(open.access),
                  len(open.blank), len(open.file), len(open.form), reserved6,
                  reserved7);
}
