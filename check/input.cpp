#include "input.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace check {

Input::Input(int fd, bool regular, std::int64_t size, std::int64_t budget)
    : fd_(fd), regular_(regular), size_(size), budget_(budget) {
  buffer_ = static_cast<unsigned char*>(std::malloc(kBufferSize));
  prefix_ = static_cast<unsigned char*>(std::malloc(kPrefixSize));
}

Input::Input(const unsigned char* data, std::size_t size, bool positionable,
             std::int64_t budget)
    : memory_(data), regular_(positionable), size_(static_cast<std::int64_t>(size)),
      budget_(budget) {
  buffer_ = static_cast<unsigned char*>(std::malloc(kBufferSize));
  prefix_ = static_cast<unsigned char*>(std::malloc(kPrefixSize));
}

Input::~Input() {
  std::free(buffer_);
  std::free(prefix_);
}

// Bytes from the descriptor at consumed_: a regular file is read at that
// offset, so nothing ever depends on where its descriptor points.
std::int64_t Input::raw_read(unsigned char* dst, std::int64_t n) {
  if (!regular_) {
    const std::int64_t room = budget_ - consumed_;
    if (room <= 0) {
      exhausted_ = true;
      return 0;
    }
    n = std::min(n, room);
  }
  if (memory_ != nullptr) {
    const std::int64_t left = std::max<std::int64_t>(0, size_ - consumed_);
    const std::int64_t got = std::min(n, left);
    if (got > 0) std::memcpy(dst, memory_ + consumed_, static_cast<std::size_t>(got));
    if (!regular_) keep(dst, got);
    consumed_ += got;
    if (got == 0) eof_ = true;
    return got;
  }
  for (;;) {
    const ssize_t got = regular_ ? pread(fd_, dst, static_cast<std::size_t>(n), consumed_)
                                 : ::read(fd_, dst, static_cast<std::size_t>(n));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error_ = errno;
      return 0;
    }
    if (got == 0) eof_ = true;
    if (!regular_) keep(dst, got);
    consumed_ += got;
    return got;
  }
}

void Input::keep(const unsigned char* p, std::int64_t n) {
  const std::size_t room = kPrefixSize - prefix_len_;
  const auto take = std::min(room, static_cast<std::size_t>(n));
  if (take > 0 && prefix_ != nullptr) std::memcpy(prefix_ + prefix_len_, p, take);
  prefix_len_ += take;
}

bool Input::refill() {
  begin_ = end_ = 0;
  if (eof_ || error_ != 0 || exhausted_) return false;
  const std::int64_t got = raw_read(buffer_, kBufferSize);
  end_ = static_cast<std::size_t>(got);
  return got > 0;
}

std::int64_t Input::read(void* dst, std::int64_t n) {
  auto* out = static_cast<unsigned char*>(dst);
  std::int64_t done = 0;
  while (done < n) {
    if (begin_ < end_) {
      const auto take = std::min<std::int64_t>(n - done, end_ - begin_);
      std::memcpy(out + done, buffer_ + begin_, static_cast<std::size_t>(take));
      begin_ += take;
      done += take;
      continue;
    }
    if (eof_ || error_ != 0 || exhausted_) break;
    // Long reads go straight to their destination, without the buffer.
    if (n - done >= static_cast<std::int64_t>(kBufferSize)) {
      const std::int64_t got = raw_read(out + done, n - done);
      if (got <= 0) break;
      done += got;
      continue;
    }
    if (!refill()) break;
  }
  pos_ += done;
  return done;
}

bool Input::skip(std::int64_t n) {
  const auto buffered = std::min<std::int64_t>(n, end_ - begin_);
  begin_ += buffered;
  pos_ += buffered;
  n -= buffered;
  if (n <= 0) return true;
  if (regular_) {
    // A seek: the next read starts there, and past the end finds the end.
    consumed_ += n;
    pos_ += n;
    return true;
  }
  while (n > 0) {
    if (!refill()) {
      // The end of the input is not a failure here, as a seek past the end
      // of a file is not: the next read finds it.
      if (error_ != 0 || exhausted_) return false;
      pos_ += n;
      return true;
    }
    const auto take = std::min<std::int64_t>(n, end_ - begin_);
    begin_ += take;
    pos_ += take;
    n -= take;
  }
  return true;
}

std::size_t Input::prefix(const unsigned char*& bytes) {
  bytes = prefix_;
  if (prefix_ == nullptr) return 0;
  if (!regular_) return prefix_len_;
  if (memory_ != nullptr) {
    // Read afresh from the start, as from a regular file.
    bytes = memory_;
    return static_cast<std::size_t>(std::min<std::int64_t>(size_, kPrefixSize));
  }
  std::size_t got = 0;
  while (got < kPrefixSize) {
    const ssize_t n = pread(fd_, prefix_ + got, kPrefixSize - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

void Input::fill_prefix() {
  if (regular_) return;
  while (prefix_len_ < kPrefixSize && refill()) {
  }
}

}  // namespace check
