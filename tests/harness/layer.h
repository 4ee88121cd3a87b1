// Convenience calls of the layer's statements for tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "fio.h"
#include "fio_open_with.h"

// The specifiers of one OPEN statement; absent ones are not passed.
using OpenArgs = FioOpenArgs;

// OPEN(unit, ...) with the given error control (0..3 or &iostat).
inline std::int32_t open_unit(std::int32_t unit, const OpenArgs& args,
                              std::intptr_t iostat = 0) {
  return fio_open_with(unit, args, iostat);
}

// CLOSE(unit[, DISPOSE=]) with the given error control.
std::int32_t close_unit(std::int32_t unit, std::intptr_t iostat = 0,
                        const std::optional<std::string>& dispose = {});

inline std::intptr_t iostat_ref(std::int32_t& var) {
  return reinterpret_cast<std::intptr_t>(&var);
}

// One list-directed WRITE of character items to a unit.
std::int32_t write_text(std::int32_t unit, const std::string& text,
                        std::intptr_t iostat = 0);
