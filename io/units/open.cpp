// OPEN: decoding of the text specifiers, connection of a unit to a file,
// CONVERT= and SHARE=.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fio.h"
#include "host.h"
#include "qbc.h"

namespace {

// Longest file name used; a longer one is refused rather than cut, so the
// file opened is always the one that was named.
constexpr std::size_t kMaxName = 4095;

struct Keyword {
  const char* word;
  std::int16_t code;
};

// Decodes a specifier against keywords tried in order; -1 when none matches.
template <std::size_t N>
int decode(const char* text, std::int32_t len, const Keyword (&table)[N]) {
  for (const Keyword& k : table)
    if (__fio_eq_str(text, len, k.word)) return k.code;
  return -1;
}

constexpr Keyword kAccess[] = {
    {"APPEND", FIO_APPEND}, {"DIRECT", FIO_DIRECT},
    {"SEQUENTIAL", FIO_SEQUENTIAL}};
constexpr Keyword kStatus[] = {{"OLD", FIO_OLD},
                               {"NEW", FIO_NEW},
                               {"REPLACE", FIO_REPLACE},
                               {"UNKNOWN", FIO_UNKNOWN},
                               {"SCRATCH", FIO_SCRATCH}};
constexpr Keyword kForm[] = {{"FORMATTED", FIO_FORMATTED},
                             {"UNFORMATTED", FIO_UNFORMATTED},
                             {"BINARY", FIO_BINARY}};
constexpr Keyword kBlank[] = {{"ZERO", FIO_ZERO}, {"NULL", FIO_NULL}};
constexpr Keyword kDispose[] = {
    {"KEEP", FIO_KEEP}, {"SAVE", FIO_KEEP}, {"DELETE", FIO_DELETE}};

bool exists(const char* name) { return host::access(name, F_OK) == 0; }

// A FIFO is only ever opened for reading: holding its write end as well
// would make a read at the end of a short input wait for ever.
bool is_fifo(const char* name) {
  struct stat st;
  return ::stat(name, &st) == 0 && S_ISFIFO(st.st_mode);
}

std::FILE* open_existing(const char* name, bool try_update) {
  std::FILE* s = nullptr;
  if (try_update && !is_fifo(name)) s = host::fopen(name, "r+");
  if (s == nullptr) s = host::fopen(name, "r");
  return s;
}

// Opens the stream as the status asks. Returns null after reporting.
std::FILE* open_stream(const char* name, std::int32_t status,
                       std::int32_t readonly, std::int32_t* result) {
  std::FILE* s = nullptr;
  switch (status) {
    case FIO_OLD:
      if (!exists(name)) {
        *result = __fio_error(FIO_ENOEXIST);
        return nullptr;
      }
      s = open_existing(name, readonly == 0);
      break;
    case FIO_NEW:
      if (exists(name)) {
        *result = __fio_error(FIO_EEXIST);
        return nullptr;
      }
      // Exclusive create: a file that appears meanwhile is never truncated.
      s = host::fopen(name, "w+x");
      if (s == nullptr && errno == EEXIST) {
        *result = __fio_error(FIO_EEXIST);
        return nullptr;
      }
      break;
    case FIO_UNKNOWN:
      if (exists(name)) {
        s = open_existing(name, true);
      } else {
        s = host::fopen(name, "w+x");
        if (s == nullptr && errno == EEXIST) s = open_existing(name, true);
      }
      break;
    default:  // REPLACE and SCRATCH
      s = host::fopen(name, "w+");
      break;
  }
  if (s == nullptr) *result = __fio_error(__fio_host_errno());
  return s;
}

// A direct-access WRITE hands its record to the stream in one piece (in
// pieces of 4096 bytes when it is longer than a megabyte). Unbuffered, each
// piece goes to the file at once, in one system call and without a copy.
void unbuffer(std::FILE* stream) {
  std::setvbuf(stream, nullptr, _IONBF, 0);
}

// A file name in heap storage of its own, freed unless it is handed over
// to the unit record.
struct HeapName {
  char* text = nullptr;
  HeapName() = default;
  HeapName(const HeapName&) = delete;
  HeapName& operator=(const HeapName&) = delete;
  ~HeapName() { std::free(text); }
  // Room for n characters with the terminator, the text empty; false when
  // the memory cannot be had.
  bool reserve(std::size_t n) {
    char* p = static_cast<char*>(std::malloc(n));
    if (p == nullptr) return false;
    p[0] = '\0';
    std::free(text);
    text = p;
    return true;
  }
  bool assign(std::string_view s) {
    if (!reserve(s.size() + 1)) return false;
    std::memcpy(text, s.data(), s.size());
    text[s.size()] = '\0';
    return true;
  }
  bool operator==(const char* other) const {
    return std::strcmp(text, other) == 0;
  }
  char* release() {
    char* p = text;
    text = nullptr;
    return p;
  }
};

// Releases a record whose set-up failed after its stream was opened.
std::int32_t abandon(Fcb* f, std::int32_t code) {
  std::fclose(f->stream);
  f->stream = nullptr;
  __fio_free_fcb(f);
  return __fio_error(code);
}

}  // namespace

extern "C" {

std::int32_t __fio_eq_str(const char* text, std::int32_t len,
                          const char* keyword) {
  if (text == nullptr || len <= 0) return 0;
  std::int32_t i = 0;
  for (; keyword[i] != '\0'; ++i) {
    if (i >= len) return 0;
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != keyword[i]) return 0;
  }
  for (; i < len; ++i)
    if (text[i] != ' ') return 0;
  return 1;
}

void __fio_scratch_name(char* buf, std::size_t size) {
  char* name = __qbio_tempnam(nullptr, "FTN");
  if (name == nullptr) {
    buf[0] = '\0';
    return;
  }
  std::snprintf(buf, size, "%s", name);
  std::free(name);
}

std::int32_t __fio_open(std::int32_t unit, std::int32_t readonly,
                        std::int32_t status, std::int32_t dispose,
                        std::int32_t access, std::int32_t blank,
                        std::int32_t form, std::int32_t recl, const char* file,
                        std::int32_t file_len) {
  if (unit < 0) return __fio_error(FIO_EUNIT);

  // The name lives in one heap copy that becomes the record's own; no name
  // buffer sits in this frame, and running out of memory for it is
  // reported like any other failure of the statement.
  HeapName name;
  if (file != nullptr) {
    std::string_view text(file, file_len > 0 ? static_cast<std::size_t>(file_len) : 0);
    const auto last = text.find_last_not_of(' ');
    text = last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
    const auto first = text.find_first_not_of(' ');
    text = first == std::string_view::npos ? std::string_view{} : text.substr(first);
    if (text.empty() || text.size() > kMaxName ||
        text.find('\0') != std::string_view::npos)
      return __fio_error(FIO_EFILENAM);
    if (!name.assign(text)) return __fio_error(FIO_ENOMEM);
    for (Fcb* g = qbi_fio.units; g != nullptr; g = g->next)
      if (g->named && g->unit != unit && g->name != nullptr && name == g->name)
        return __fio_error(FIO_EOPENED);
  }

  if (Fcb* f = __fio_find_unit(unit); f != nullptr) {
    if (file == nullptr || (f->name != nullptr && name == f->name)) {
      // Re-OPEN of the same connection: only BLANK= may change.
      if (status == FIO_SCRATCH && f->status != FIO_SCRATCH)
        return __fio_error(FIO_ECOMPAT);
      if (access != f->access || form != f->form)
        return __fio_error(FIO_ECOMPAT);
      if (access == FIO_DIRECT && f->recl_unit > 0 &&
          recl != f->reclen / f->recl_unit)
        return __fio_error(FIO_ECOMPAT);
      f->blank = static_cast<std::int16_t>(blank);
      return 0;
    }
    if (__fio_close(f, 0) != 0) return 1;
  }

  if (file == nullptr) {
    char var[16];
    std::snprintf(var, sizeof var, "FOR%03d", unit);
    if (const char* v = std::getenv(var)) {
      if (std::strlen(v) > kMaxName) return __fio_error(FIO_EFILENAM);
      if (!name.assign(v)) return __fio_error(FIO_ENOMEM);
    } else if (status == FIO_SCRATCH) {
      if (!name.reserve(kMaxName + 1)) return __fio_error(FIO_ENOMEM);
      __fio_scratch_name(name.text, kMaxName + 1);
      if (name.text[0] == '\0') return __fio_error(FIO_ENOMEM);
    } else {
      char buf[64];
      std::snprintf(buf, sizeof buf, __fio_cnfg_.default_name, unit);
      if (!name.assign(buf)) return __fio_error(FIO_ENOMEM);
    }
  }

  const std::int32_t recl_unit =
      (form == FIO_UNFORMATTED && __fio_option_set("vaxio")) ? 4 : 1;
  const std::int64_t reclen = std::int64_t{recl} * recl_unit;
  if (reclen > INT_MAX) return __fio_error(FIO_ESPEC);

  std::int32_t result = 0;
  std::FILE* stream = open_stream(name.text, status, readonly, &result);
  if (stream == nullptr) return result;
  if (status == FIO_SCRATCH) host::unlink(name.text);

  Fcb* f = __fio_alloc_fcb();
  if (f == nullptr) {
    std::fclose(stream);
    return __fio_error(FIO_ENOMEM);
  }
  Fcb* const next = f->next;
  *f = Fcb{};
  f->next = next;
  f->stream = stream;
  f->unit = unit;
  f->readonly = readonly != 0;
  f->status = status == FIO_SCRATCH ? FIO_SCRATCH : FIO_OLD;
  f->dispose = static_cast<std::int16_t>(dispose);
  f->blank = static_cast<std::int16_t>(blank);
  f->form = static_cast<std::int16_t>(form);
  f->recl_unit = recl_unit;
  f->reclen = static_cast<std::int32_t>(reclen);
  f->next_rec = 1;

  if (access == FIO_DIRECT) {
    f->access = FIO_DIRECT;
    unbuffer(stream);
    if (status == FIO_OLD || status == FIO_UNKNOWN) {
      if (host::fseeko(stream, 0, SEEK_END) != 0)
        return abandon(f, __fio_host_errno());
      const off_t end = host::ftello(stream);
      if (end < 0) return abandon(f, __fio_host_errno());
      const std::int64_t records = f->reclen > 0 ? end / f->reclen : 0;
      f->max_rec = records > INT_MAX ? INT_MAX : static_cast<std::int32_t>(records);
      if (host::fseeko(stream, 0, SEEK_SET) != 0)
        return abandon(f, __fio_host_errno());
    }
  } else {
    f->access = FIO_SEQUENTIAL;
    f->trunc_pending =
        (status == FIO_OLD || status == FIO_UNKNOWN) && access != FIO_APPEND;
    if (status != FIO_SCRATCH && __qbio_ispipe(stream)) {
      f->trunc_pending = 0;
      f->pipe = 1;
    } else if (access == FIO_APPEND &&
               host::fseeko(stream, 0, SEEK_END) != 0) {
      return abandon(f, __fio_host_errno());
    }
  }

  f->named = status != FIO_SCRATCH;
  f->name = name.release();
  __fio_last_opened = f;
  return 0;
}

std::int32_t fio_open(std::int32_t unit, std::int32_t readonly,
                      const char* status, const char* dispose,
                      const char* access, const char* blank, std::int32_t recl,
                      const char* file, const char* form, std::intptr_t iostat,
                      std::int32_t /*reserved1*/, std::int32_t /*reserved2*/,
                      std::int32_t /*reserved3*/, std::int32_t /*reserved4*/,
                      std::int32_t /*reserved5*/, std::int32_t status_len,
                      std::int32_t dispose_len, std::int32_t access_len,
                      std::int32_t blank_len, std::int32_t file_len,
                      std::int32_t form_len, std::int32_t /*reserved6*/,
                      std::int32_t /*reserved7*/) {
  __fio_errinit(unit, iostat, "OPEN");
  qbi_fio.open_name = file;
  qbi_fio.open_name_len = file != nullptr && file_len > 0 ? file_len : 0;

  int acc = FIO_SEQUENTIAL;
  if (access_len > 0 && (acc = decode(access, access_len, kAccess)) < 0)
    return __fio_error(FIO_ESPEC);

  int sta = FIO_UNKNOWN;
  if (status_len > 0 && (sta = decode(status, status_len, kStatus)) < 0)
    return __fio_error(FIO_ESPEC);

  int frm = acc == FIO_DIRECT ? FIO_UNFORMATTED : FIO_FORMATTED;
  bool binary = false;
  if (form != nullptr) {
    frm = decode(form, form_len, kForm);
    if (frm < 0) return __fio_error(FIO_ESPEC);
    if (frm == FIO_BINARY) {
      binary = true;
      frm = FIO_UNFORMATTED;
    }
  }

  int blk = FIO_NULL;
  if (blank_len > 0) {
    if (frm != FIO_FORMATTED) return __fio_error(FIO_ECOMPAT);
    if ((blk = decode(blank, blank_len, kBlank)) < 0)
      return __fio_error(FIO_ESPEC);
  }

  int dis = sta == FIO_SCRATCH ? FIO_DELETE : FIO_KEEP;
  if (dispose_len > 0 && (dis = decode(dispose, dispose_len, kDispose)) < 0)
    return __fio_error(FIO_ESPEC);

  if (acc == FIO_DIRECT) {
    if (recl <= 0) return __fio_error(FIO_ERECL);
  } else {
    recl = 0;
  }

  if (sta == FIO_SCRATCH) {
    if (dis == FIO_KEEP) return __fio_error(FIO_ESCRATCH);
    if (file != nullptr) return __fio_error(FIO_ENAMEDSCR);
  }

  if (readonly && (sta == FIO_SCRATCH || sta == FIO_REPLACE ||
                   dis == FIO_DELETE || acc == FIO_APPEND))
    return __fio_error(FIO_EREADONLY);

  if (const std::int32_t r = __fio_open(unit, readonly, sta, dis, acc, blk,
                                        frm, recl, file, file_len);
      r != 0)
    return r;

  if (binary) {
    if (acc == FIO_DIRECT) return __fio_error(FIO_ESPEC);
    if (__fio_last_opened != nullptr) __fio_last_opened->binary = 1;
  }
  return 0;
}

std::int32_t fio_open_cvt(std::int32_t* previous, const char* text,
                          std::int32_t len) {
  if (*previous != 0) return *previous;
  Fcb* f = __fio_last_opened;
  if (f == nullptr || f->form != FIO_UNFORMATTED)
    return __fio_error(FIO_ECOMPAT);
  // A later CONVERT= replaces an earlier one: a unit never carries two.
  // LITTLE_ENDIAN and NATIVE are the same order only on a little-endian
  // host, so each keeps its own flag.
  std::uint8_t big = 0, little = 0, native = 0;
  if (__fio_eq_str(text, len, "BIG_ENDIAN"))
    big = 1;
  else if (__fio_eq_str(text, len, "LITTLE_ENDIAN"))
    little = 1;
  else if (__fio_eq_str(text, len, "NATIVE"))
    native = 1;
  else
    return __fio_error(FIO_ESPEC);
  f->convert_big_endian = big;
  f->convert_little_endian = little;
  f->convert_native = native;
  return 0;
}

std::int32_t fio_open_share(std::int32_t* previous, const char* text,
                            std::int32_t len) {
  if (*previous != 0) return *previous;
  (void)__fio_eq_str(text, len, "SHARED");  // accepted, no effect
  return 0;
}

}  // extern "C"
