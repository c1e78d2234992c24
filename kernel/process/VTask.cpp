#include "kernel/process/VTask.h"

#include <chrono>
#include <climits>
#include <new>
#include <thread>

#include "kernel/base/VErrorCodes.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/VDebugMgr.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/errors/VErrorTaskContext.h"
#include "kernel/platform/XLinuxFutex.h"
#include "kernel/platform/XPosixThread.h"
#include "kernel/process/VTaskMgr.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

// The calling thread's task, valid only while tCurrentGeneration matches the task manager's.
thread_local VTask* tCurrentTask = nullptr;
thread_local uint32_t tCurrentGeneration = 0;

int64_t MonotonicMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Remaining milliseconds until deadline, clamped to what a futex wait accepts.
int32_t RemainingMilliseconds(int64_t deadline)
{
    int64_t remaining = deadline - MonotonicMilliseconds();
    if (remaining <= 0)
        return 0;
    return remaining > INT32_MAX ? INT32_MAX : int32_t(remaining);
}

} // namespace

VTask::VTask(size_t stackSize, ETaskStyle style, RunFunction run)
    : fID(VTaskMgr::Get()->_NewTaskID()), fStyle(style), fStackSize(stackSize), fRunFunction(std::move(run))
{
}

VTask::VTask(MainTaskTag)
    : fID(VTaskMgr::Get()->_NewTaskID()), fStyle(kTaskStylePreemptive), fStackSize(0), fName("Main")
{
    fState.store(kStateRunning, std::memory_order_release);
}

VTask::~VTask()
{
    ReleaseRefCountable(&fProperties);
    ReleaseRefCountable(&fErrorContext);
}

void VTask::DebugDump(VString& out) const
{
    VString name;
    GetName(name);
    out.AppendPrintf("task %d '%S' state %d", fID, &name, int(GetState()));
}

VTask* VTask::GetCurrent()
{
    VTaskMgr* manager = VTaskMgr::Get();
    if (!manager->IsInitialized() || tCurrentGeneration != manager->_GetGeneration())
        return nullptr;
    return tCurrentTask;
}

void VTask::_SetCurrent(VTask* task, uint32_t generation)
{
    tCurrentTask = task;
    tCurrentGeneration = generation;
}

int32_t VTask::GetCurrentID()
{
    VTask* task = GetCurrent();
    return task ? task->GetID() : 0;
}

void VTask::Sleep(int32_t milliseconds)
{
    if (milliseconds <= 0) {
        VTaskMgr::YieldNow();
        return;
    }
    if (!GetCurrent())
        return;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void VTask::ExecuteMessagesWithTimeout(int32_t milliseconds, bool)
{
    if (milliseconds <= 0)
        return;
    VTask* task = GetCurrent();
    if (!task) {
        // Nobody can wake a thread without a task: a plain wait keeps polling callers from spinning.
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    // The count is read before the state: a Kill that lands in between has already bumped the
    // count, and the futex wait below then returns at once instead of sleeping the whole time.
    int32_t seen = task->fWakeCount.load(std::memory_order_acquire);
    if (task->IsDying())
        return;
    int64_t deadline = MonotonicMilliseconds() + milliseconds;
    for (;;) {
        int32_t remaining = RemainingMilliseconds(deadline);
        if (remaining == 0)
            return;
        XLinuxFutex::Wait(task->fWakeCount, seen, remaining);
        if (task->fWakeCount.load(std::memory_order_acquire) != seen)
            return;
    }
}

bool VTask::Run()
{
    int32_t expected = kStateNone;
    if (!fState.compare_exchange_strong(expected, kStateStarting, std::memory_order_acq_rel))
        return false;

    VTaskMgr* manager = VTaskMgr::Get();
    manager->_Register(this);
    Retain(); // the thread's own reference, released when it ends
    int result = XPosixThread::StartDetached(fStackSize, &VTask::_ThreadEntry, this);
    if (result == 0)
        return true;

    fState.store(kStateDying, std::memory_order_release);
    _MarkDead();
    if (VErrorBase* error = new (std::nothrow) VErrorBase(MakePosixError(result)))
        _PushRetainedError(error);
    Release();
    return false;
}

void VTask::_ThreadEntry(void* task)
{
    static_cast<VTask*>(task)->_ThreadMain();
}

void VTask::_ThreadMain()
{
    tCurrentTask = this;
    tCurrentGeneration = VTaskMgr::Get()->_GetGeneration();
    fState.store(kStateRunning, std::memory_order_release);
    XLinuxFutex::WakeAll(fState);

    VString name;
    GetName(name);
    if (!name.IsEmpty())
        XPosixThread::SetCurrentThreadName(to_string(name));

    if (fRunFunction) {
        fRunFunction();
    } else if (DoInit()) {
        while (!IsDying()) {
            if (!DoRun()) {
                Kill();
                break;
            }
            DoIdle();
        }
        DoDeInit();
    }

    int32_t running = kStateRunning;
    fState.compare_exchange_strong(running, kStateDying, std::memory_order_acq_rel);
    _MarkDead();
    tCurrentTask = nullptr;
    Release();
}

void VTask::_MarkDead()
{
    VTaskMgr::Get()->_Unregister(this);
    fState.store(kStateDead, std::memory_order_release);
    XLinuxFutex::WakeAll(fState);
}

void VTask::Kill()
{
    if (this != GetCurrent()) {
        while (fState.load(std::memory_order_acquire) == kStateStarting)
            VTaskMgr::YieldNow();
    }
    if (GetState() < kStateDead)
        DoPrepareToDie();
    KillFromSignalHandler();
}

void VTask::KillFromSignalHandler()
{
    int32_t running = kStateRunning;
    if (fState.compare_exchange_strong(running, kStateDying, std::memory_order_acq_rel)) {
        fTimeOfDeath.store(MonotonicMilliseconds(), std::memory_order_release);
        XLinuxFutex::WakeAll(fState);
    }
    WakeUp();
}

void VTask::WakeUp()
{
    fWakeCount.fetch_add(1, std::memory_order_acq_rel);
    XLinuxFutex::WakeAll(fWakeCount);
}

bool VTask::WaitForDeath(int32_t milliseconds)
{
    if (this == GetCurrent())
        return false;
    int64_t deadline = milliseconds >= 0 ? MonotonicMilliseconds() + milliseconds : 0;
    for (;;) {
        int32_t state = fState.load(std::memory_order_acquire);
        if (state == kStateDead)
            return true;
        int32_t wait = -1;
        if (milliseconds >= 0) {
            wait = RemainingMilliseconds(deadline);
            if (wait == 0)
                return false;
        }
        XLinuxFutex::Wait(fState, state, wait);
    }
}

void VTask::SetName(const VString& name)
{
    VTaskMgr* manager = VTaskMgr::Get();
    {
        std::lock_guard<std::mutex> guard(manager->_GetLock());
        fName = name;
    }
    // The main thread's name is the process name on Linux (ps, /proc/PID/comm): renaming it
    // would make the program look like another one to process-list tools.
    if (this == GetCurrent() && this != manager->GetMainTask())
        XPosixThread::SetCurrentThreadName(to_string(name));
}

void VTask::GetName(VString& out) const
{
    std::lock_guard<std::mutex> guard(VTaskMgr::Get()->_GetLock());
    out = fName;
}

VValueBag* VTask::RetainProperties() const
{
    std::lock_guard<std::mutex> guard(VTaskMgr::Get()->_GetLock());
    return RetainRefCountable(fProperties);
}

void VTask::SetProperties(VValueBag* properties)
{
    VValueBag* old;
    {
        std::lock_guard<std::mutex> guard(VTaskMgr::Get()->_GetLock());
        old = fProperties;
        fProperties = RetainRefCountable(properties);
    }
    ReleaseRefCountable(&old);
}

VErrorTaskContext* VTask::GetErrorContext(bool create)
{
    if (!fErrorContext && create)
        fErrorContext = new (std::nothrow) VErrorTaskContext;
    return fErrorContext;
}

void VTask::PushError(VErrorBase* error)
{
    VErrorTaskContext* context = GetErrorContext(true);
    if (!context || !error)
        return;
    bool filtered = false;
    if (context->PushError(error, &filtered) && !filtered)
        VDebugMgr::Get()->ErrorThrown(error);
}

void VTask::PushRetainedError(VErrorBase* error)
{
    if (!error)
        return;
    PushError(error);
    error->Release();
}

void VTask::PushErrors(const VErrorContext* context)
{
    if (!context || context->IsEmpty())
        return;
    // A copy of the list: pushing may add to context itself when it is one of this task's.
    VErrorContext::ErrorStack records = context->GetErrorStack();
    for (const VRefPtr<VErrorBase>& record : records)
        PushError(record.Get());
}

void VTask::FlushErrors()
{
    if (fErrorContext)
        fErrorContext->Flush();
}

VError VTask::GetLastError() const
{
    return fErrorContext ? fErrorContext->GetLastError() : VE_OK;
}

bool VTask::FailedForMemory() const
{
    return fErrorContext && fErrorContext->FailedForMemory();
}

} // namespace nuvo
