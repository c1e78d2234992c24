#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace nuvo {

// A lock owned by a task and re-entrant for its owner: each Lock or successful TryToLock must be
// matched by one Unlock on the same task. Threads without a task are told apart by a per-thread
// key of their own. Unlocking a lock the caller does not own is a broken contract (assert).
// Thread-safe; not copyable.
class VCriticalSection {
public:
    VCriticalSection() = default;
    ~VCriticalSection();
    VCriticalSection(const VCriticalSection&) = delete;
    VCriticalSection& operator=(const VCriticalSection&) = delete;

    void Lock();
    [[nodiscard]] bool TryToLock();
    void Unlock();

    // Nesting depth of the calling task's ownership (0 when it does not own the lock).
    int32_t GetLockCountForCurrentTask() const;

private:
    mutable std::mutex fMutex;
    std::condition_variable fReleased;
    int64_t fOwner = 0;   // 0: free
    int32_t fDepth = 0;
};

} // namespace nuvo
