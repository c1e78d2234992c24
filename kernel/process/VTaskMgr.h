#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace nuvo {

class VProcess;
class VTask;

// The task manager: a process-wide singleton that knows the main task and the running tasks,
// hands out task IDs and guards task names and properties with its lock. Init and DeInit belong
// to the thread that becomes (and was) the main task; the other operations are thread-safe.
class VTaskMgr {
public:
    static VTaskMgr* Get();

    // Creates the main task for the calling thread; true at once when already initialised. The
    // process object is not needed by this platform (tests may pass null).
    [[nodiscard]] static bool Init(VProcess* process);
    // Forgets the main task (dead from then on); GetCurrent is null after. Tasks still running
    // keep their threads and unregister themselves when they end.
    static void DeInit();

    bool IsInitialized() const;
    VTask* GetMainTask() const;

    // No fiber scheduler here: Yield returns at once, YieldNow yields the processor.
    static void Yield() {}
    static void YieldNow();

    // Tasks started with Run and not yet dead (the main task excluded).
    size_t GetRunningTaskCount() const;

private:
    friend class VTask;

    VTaskMgr() = default;

    int32_t _NewTaskID();
    // Increases on every Init, so that a thread-local current task left over from an earlier
    // initialisation is never returned.
    uint32_t _GetGeneration() const;
    void _Register(VTask* task);
    void _Unregister(VTask* task);
    std::mutex& _GetLock() const { return fLock; }

    mutable std::mutex fLock;
    VTask* fMainTask = nullptr;
    std::vector<VTask*> fRunningTasks;
};

} // namespace nuvo
