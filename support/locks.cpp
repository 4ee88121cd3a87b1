// Locks of the run-time: the exit lock (a lock word) and the critical section
// around host-stream output. The process is single-threaded, so they are
// never contended; plain mutexes give the mutual exclusion callers rely on.
#include <cstdint>
#include <mutex>

#include "qbc.h"

namespace {
// Lock words are mapped onto a small table of mutexes by address.
constexpr std::size_t kLockSlots = 16;
std::mutex lock_table[kLockSlots];
std::mutex stdio_mutex;

std::mutex& slot_for(const std::int32_t* word) {
  const auto addr = reinterpret_cast<std::uintptr_t>(word);
  return lock_table[(addr / alignof(std::int32_t)) % kLockSlots];
}
}  // namespace

extern "C" {

void _mp_p(std::int32_t* lock) { slot_for(lock).lock(); }
void _mp_v(std::int32_t* lock) { slot_for(lock).unlock(); }
void _mp_bcs_stdio(void) { stdio_mutex.lock(); }
void _mp_ecs_stdio(void) { stdio_mutex.unlock(); }

}  // extern "C"
