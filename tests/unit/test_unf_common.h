// Helpers shared by the unformatted-record tests: a file prepared in a fresh
// directory, a statement run in a child process, and the notes that the
// child passes back to describe statuses, values and stream positions.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "child.h"
#include "files.h"
#include "fio.h"
#include "host.h"
#include "layer.h"

inline constexpr const char* kSourceName = "unf.f";
inline constexpr std::int32_t kSourceLine = 12;

struct FileRun {
  ChildResult child;
  std::string path;   // the data file, in a directory removed afterwards
  std::string after;  // its bytes once the child ended
  bool exists = false;
};

// Runs `body(path)` in a child. The data file holds `bytes` beforehand, or
// does not exist when `create` is false.
inline FileRun run_on_file(const std::string& bytes,
                           const std::function<void(const std::string&)>& body,
                           bool create = true, ChildOptions options = {}) {
  TempDir dir;
  FileRun run;
  run.path = dir.file("data.bin");
  if (create) write_file(run.path, bytes);
  if (options.timeout_seconds == 60) options.timeout_seconds = 20;
  // The run must not depend on the caller's environment, except for what
  // the case itself sets.
  for (const char* name : {"FORTRANOPT", "LANG"}) {
    bool set_by_case = false;
    for (const auto& kv : options.env) set_by_case |= kv.first == name;
    if (!set_by_case) options.unset_env.push_back(name);
  }
  run.child = run_child(
      [&] {
        fio_src_info(kSourceLine, kSourceName,
                     static_cast<std::int32_t>(std::strlen(kSourceName)));
        body(run.path);
      },
      options);
  run.exists = file_exists(run.path);
  run.after = read_file(run.path);
  return run;
}

// OPEN(unit, FILE=path, FORM=form[, ACCESS=, STATUS=, RECL=]).
inline std::int32_t open_file(std::int32_t unit, const std::string& path,
                              const char* form = "unformatted",
                              const char* access = nullptr,
                              const char* status = nullptr,
                              std::int32_t recl = 0) {
  OpenArgs args;
  args.file = path;
  args.form = form;
  if (access) args.access = access;
  if (status) args.status = status;
  args.recl = recl;
  return open_unit(unit, args);
}

// Position of a unit's stream, for checks of where a statement left it.
inline long long unit_pos(std::int32_t unit) {
  Fcb* f = __fio_find_unit(unit);
  return f ? static_cast<long long>(ftello(f->stream)) : -1;
}

inline std::string join_ints(const std::int32_t* v, int n) {
  std::string s = "[";
  for (int i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += std::to_string(v[i]);
  }
  return s + "]";
}

// One READ statement of `n` adjacent 4-byte integers; notes
// "begin item end [values]". Elements not read keep the value -1.
inline void read_ints(std::int32_t unit, int n, std::intptr_t iostat = 0,
                      bool big_endian_family = true) {
  std::vector<std::int32_t> v(static_cast<std::size_t>(n > 0 ? n : 1), -1);
  const auto init = big_endian_family ? fio_usw_init : fio_unf_init;
  const auto read = big_endian_family ? fio_usw_read : fio_unf_read;
  const auto end = big_endian_family ? fio_usw_end : fio_unf_end;
  const std::int32_t r0 = init(1, unit, 0, iostat);
  const std::int32_t r1 = read(v.data(), TY_INT, n, 4, 0);
  const std::int32_t r2 = end();
  child_notef("%d %d %d %s\n", r0, r1, r2, join_ints(v.data(), n).c_str());
}

// Counts the positioning calls that reach the host.
inline int seek_calls = 0;
inline int counting_fseeko(std::FILE* s, off_t off, int whence) {
  ++seek_calls;
  return host_calls_libc.fseeko(s, off, whence);
}

inline std::string ints_be(std::initializer_list<std::int32_t> v) {
  std::string s;
  for (std::int32_t x : v) s += be_i32(x);
  return s;
}
