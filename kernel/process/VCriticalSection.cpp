#include "kernel/process/VCriticalSection.h"

#include <atomic>
#include <cassert>

#include "kernel/process/VTask.h"

namespace nuvo {

namespace {

// Task IDs are positive; threads without a task get negative keys, one per thread, so that two
// such threads never pass for the same owner.
int64_t CurrentOwnerKey()
{
    if (int32_t taskID = VTask::GetCurrentID(); taskID != 0)
        return taskID;
    static std::atomic<int64_t> sNextThreadKey{-1};
    thread_local int64_t tThreadKey = sNextThreadKey.fetch_sub(1, std::memory_order_relaxed);
    return tThreadKey;
}

} // namespace

VCriticalSection::~VCriticalSection()
{
    assert(fDepth == 0 && "critical section destroyed while locked");
}

void VCriticalSection::Lock()
{
    int64_t me = CurrentOwnerKey();
    std::unique_lock<std::mutex> guard(fMutex);
    if (fOwner == me) {
        ++fDepth;
        return;
    }
    fReleased.wait(guard, [this] { return fOwner == 0; });
    fOwner = me;
    fDepth = 1;
}

bool VCriticalSection::TryToLock()
{
    int64_t me = CurrentOwnerKey();
    std::lock_guard<std::mutex> guard(fMutex);
    if (fOwner == me) {
        ++fDepth;
        return true;
    }
    if (fOwner != 0)
        return false;
    fOwner = me;
    fDepth = 1;
    return true;
}

void VCriticalSection::Unlock()
{
    int64_t me = CurrentOwnerKey();
    bool released = false;
    {
        std::lock_guard<std::mutex> guard(fMutex);
        assert(fOwner == me && fDepth > 0 && "unlocking a critical section the caller does not own");
        if (fOwner != me || fDepth <= 0)
            return;
        if (--fDepth == 0) {
            fOwner = 0;
            released = true;
        }
    }
    if (released)
        fReleased.notify_one();
}

int32_t VCriticalSection::GetLockCountForCurrentTask() const
{
    int64_t me = CurrentOwnerKey();
    std::lock_guard<std::mutex> guard(fMutex);
    return fOwner == me ? fDepth : 0;
}

} // namespace nuvo
