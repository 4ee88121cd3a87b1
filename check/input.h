// A forward-only byte source over a file descriptor or a block of memory,
// read once. Regular files are skipped through by seeking; pipes, FIFOs and
// devices are read and the skipped bytes dropped, up to a budget, so that an
// endless input cannot keep the check reading. The first bytes that pass,
// read or dropped, are kept for looking at the framing again afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

namespace check {

class Input {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 18;
  static constexpr std::size_t kPrefixSize = std::size_t{1} << 18;

  // Reads from `fd`, which the caller owns. `regular` means the descriptor
  // can be positioned and its size is known; `budget` bounds the bytes an
  // input that cannot be positioned is read for.
  Input(int fd, bool regular, std::int64_t size, std::int64_t budget);
  // Reads the bytes of `data`: as a regular file of that size, or, when
  // not `positionable`, as a pipe delivering them.
  Input(const unsigned char* data, std::size_t size, bool positionable = true,
        std::int64_t budget = 0);
  ~Input();
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;

  // Moves up to n bytes into dst and returns how many; fewer than n at the
  // end of the input, after a read error (error() names it) or when the
  // budget is spent (exhausted()).
  std::int64_t read(void* dst, std::int64_t n);
  // Moves the position n bytes forward. A regular file may be positioned
  // past its end, as a seek allows; then the next read finds the end.
  // Returns false on a read error or when the budget is spent.
  bool skip(std::int64_t n);

  std::int64_t position() const { return pos_; }
  bool regular() const { return regular_; }
  std::int64_t size() const { return size_; }
  int error() const { return error_; }
  bool exhausted() const { return exhausted_; }
  bool at_end() const { return eof_; }

  // The first bytes of the input: what passed through so far, or on a
  // regular file read afresh from its start.
  std::size_t prefix(const unsigned char*& bytes);
  // Reads on, dropping the bytes, until the prefix is full or the input ends.
  void fill_prefix();

  bool allocated() const { return buffer_ != nullptr && prefix_ != nullptr; }

 private:
  // Refills the buffer: false at the end, on an error or with the budget
  // spent.
  bool refill();
  std::int64_t raw_read(unsigned char* dst, std::int64_t n);
  void keep(const unsigned char* p, std::int64_t n);

  int fd_ = -1;
  const unsigned char* memory_ = nullptr;
  bool regular_ = false;
  std::int64_t size_ = 0;
  std::int64_t budget_ = 0;
  std::int64_t consumed_ = 0;  // bytes taken from the descriptor
  std::int64_t pos_ = 0;       // logical position
  unsigned char* buffer_ = nullptr;
  std::size_t begin_ = 0, end_ = 0;  // unread bytes of buffer_
  unsigned char* prefix_ = nullptr;
  std::size_t prefix_len_ = 0;
  int error_ = 0;
  bool exhausted_ = false;
  bool eof_ = false;
};

}  // namespace check
