#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "kernel/base/IRefCountable.h"
#include "kernel/base/VObject.h"
#include "kernel/base/VTypes.h"
#include "kernel/text/VString.h"

namespace nuvo {

class VErrorBase;
class VErrorContext;
class VErrorTaskContext;
class VValueBag;

// How a task is scheduled. Every style runs as its own system thread here: the fiber scheduler
// of other platforms is not needed by this program.
enum ETaskStyle : int32_t {
    kTaskStyleCooperative = 1,
    kTaskStylePreemptive = 2,
    kTaskStyleFiber = 3,
};

// A thread known to the task manager. The main task stands for the thread that initialised the
// task manager; other tasks are created in state kStateNone and started with Run. A task owns its
// error context (created on first need), its name and its property bag.
//
// Reference counted: the creator owns one reference and a running thread holds another until it
// ends. The state, Kill, IsDying and WaitForDeath may be used from any thread; the name and
// properties are guarded by the task manager's lock; the error operations belong to the task's
// own thread (only GetLastError and FailedForMemory may be read from another one while the task
// is known to be idle).
class VTask : public VObject, public IRefCountable {
public:
    enum State : int32_t {
        kStateNone = 0,
        kStateStarting = 1,
        kStateRunning = 2,
        kStateDying = 3,
        kStateDead = 4,
    };

    using RunFunction = std::function<void()>;

    VTask(size_t stackSize, ETaskStyle style, RunFunction run);
    VTask(const VTask&) = delete;
    VTask& operator=(const VTask&) = delete;

    void DebugDump(VString& out) const override;

    // The calling thread's task: null on threads the task manager does not know and while the
    // task manager is not initialised.
    static VTask* GetCurrent();
    // The current task's ID, 0 without one.
    static int32_t GetCurrentID();

    // Suspends the calling task. 0 or less only yields the processor; a positive duration on a
    // thread without a task (or before the task manager exists) returns at once.
    static void Sleep(int32_t milliseconds);

    // Waits up to milliseconds for the current task to be woken (Kill, WakeUp); the toolkit has
    // no message queue on this platform, so nothing else is executed. Returns at once for a dying
    // task; on a thread without a task it simply sleeps.
    static void ExecuteMessagesWithTimeout(int32_t milliseconds, bool onlyOne = false);

    // Only from kStateNone: starts the thread. False (and the task dead) when the thread cannot be
    // started; the failure is pushed on the calling task's error context.
    [[nodiscard]] bool Run();

    // Marks the task dying (kStateRunning -> kStateDying, once) after DoPrepareToDie, and wakes
    // its waits. Waits for a task that is still starting, unless it is the calling one.
    void Kill();
    // The part of Kill that a signal handler may run: no lock, no allocation, no virtual call.
    void KillFromSignalHandler();
    // Ends the current ExecuteMessagesWithTimeout wait of this task.
    void WakeUp();

    State GetState() const { return State(fState.load(std::memory_order_acquire)); }
    bool IsDying() const { return GetState() >= kStateDying; }
    bool IsDead() const { return GetState() == kStateDead; }
    // Milliseconds of the monotonic clock when Kill succeeded, 0 before.
    int64_t GetTimeOfDeath() const { return fTimeOfDeath.load(std::memory_order_acquire); }

    // From another task: waits up to milliseconds (negative: no limit) for this task to be dead;
    // returns whether it is. From the task itself: false at once.
    [[nodiscard]] bool WaitForDeath(int32_t milliseconds);

    int32_t GetID() const { return fID; }
    ETaskStyle GetStyle() const { return fStyle; }
    // SetName from the task itself also names its system thread.
    void SetName(const VString& name);
    void GetName(VString& out) const;
    // The property bag with one more reference for the caller, or null.
    [[nodiscard]] VValueBag* RetainProperties() const;
    // Retains properties (may be null) and releases the previous bag.
    void SetProperties(VValueBag* properties);

    // Error operations (on this task's own thread).
    VErrorTaskContext* GetErrorContext(bool create);
    // Pushes error (the caller keeps its reference); an unfiltered record goes to the debug
    // manager's error hook.
    void PushError(VErrorBase* error);
    // PushError, then releases the caller's reference.
    void PushRetainedError(VErrorBase* error);
    void PushErrors(const VErrorContext* context);
    void FlushErrors();
    VError GetLastError() const;
    bool FailedForMemory() const;

protected:
    ~VTask() override;

    // Hooks of a task without a run function: DoInit once (false ends the task), DoRun until it
    // returns false or the task is dying, DoDeInit once.
    virtual bool DoInit() { return true; }
    virtual void DoDeInit() {}
    virtual bool DoRun() { return false; }
    virtual void DoIdle() {}
    // Called by Kill before the state changes, on the killing thread.
    virtual void DoPrepareToDie() {}

private:
    friend class VTaskMgr;

    // The main task: already running on the calling thread.
    struct MainTaskTag {};
    explicit VTask(MainTaskTag);

    static void _SetCurrent(VTask* task, uint32_t generation);
    static void _ThreadEntry(void* task);
    void _ThreadMain();
    void _MarkDead();

    const int32_t fID;
    const ETaskStyle fStyle;
    const size_t fStackSize;
    std::atomic<int32_t> fState{kStateNone};
    // Bumped by WakeUp; ExecuteMessagesWithTimeout sleeps on it.
    std::atomic<int32_t> fWakeCount{0};
    std::atomic<int64_t> fTimeOfDeath{0};
    RunFunction fRunFunction;
    VString fName;
    VValueBag* fProperties = nullptr;
    VErrorTaskContext* fErrorContext = nullptr;
};

} // namespace nuvo
