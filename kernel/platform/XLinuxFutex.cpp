// Linux platform layer: waiting on and waking a 32-bit word (futex). Holds no other OS calls.

#include "kernel/platform/XLinuxFutex.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <climits>

namespace nuvo {

static_assert(sizeof(std::atomic<int32_t>) == sizeof(int32_t) && std::atomic<int32_t>::is_always_lock_free,
              "the futex word must be a plain lock-free 32-bit integer");

namespace {

int* WordAddress(const std::atomic<int32_t>& word)
{
    return reinterpret_cast<int*>(const_cast<std::atomic<int32_t>*>(&word));
}

} // namespace

void XLinuxFutex::Wait(const std::atomic<int32_t>& word, int32_t expected, int32_t timeoutMilliseconds)
{
    timespec timeout;
    timespec* timeoutPointer = nullptr;
    if (timeoutMilliseconds >= 0) {
        timeout.tv_sec = timeoutMilliseconds / 1000;
        timeout.tv_nsec = long(timeoutMilliseconds % 1000) * 1000000L;
        timeoutPointer = &timeout;
    }
    // FUTEX_WAIT takes a relative timeout; EAGAIN (value changed), EINTR and ETIMEDOUT all
    // mean "look again", which the callers do.
    (void)syscall(SYS_futex, WordAddress(word), FUTEX_WAIT_PRIVATE, expected, timeoutPointer, nullptr, 0);
}

void XLinuxFutex::WakeAll(const std::atomic<int32_t>& word)
{
    (void)syscall(SYS_futex, WordAddress(word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

} // namespace nuvo
