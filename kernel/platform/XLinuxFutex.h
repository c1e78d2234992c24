#pragma once
// Linux platform layer: waiting on and waking a 32-bit word (futex). Holds no other OS calls.

#include <atomic>
#include <cstdint>

namespace nuvo {

// Both calls are single system calls and async-signal-safe, so a signal handler may wake a task.
// Thread-safe.
class XLinuxFutex {
public:
    // Sleeps while word still holds expected, at most timeoutMilliseconds (negative: no limit).
    // Returns when woken, when the word differs already, on timeout or on a signal; callers
    // re-check their condition in a loop.
    static void Wait(const std::atomic<int32_t>& word, int32_t expected, int32_t timeoutMilliseconds);

    // Wakes every thread waiting on word.
    static void WakeAll(const std::atomic<int32_t>& word);
};

} // namespace nuvo
