#include "kernel/process/VTaskMgr.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

#include "kernel/process/VTask.h"

namespace nuvo {

namespace {

std::atomic<bool> sInitialized{false};
std::atomic<uint32_t> sGeneration{0};
std::atomic<int32_t> sNextTaskID{1};

} // namespace

// Never destroyed: detached task threads may still unregister while the program exits.
VTaskMgr* VTaskMgr::Get()
{
    static VTaskMgr* sInstance = new VTaskMgr;
    return sInstance;
}

bool VTaskMgr::Init(VProcess*)
{
    VTaskMgr* manager = Get();
    if (sInitialized.load(std::memory_order_acquire))
        return true;

    VTask* mainTask = new (std::nothrow) VTask(VTask::MainTaskTag{});
    if (!mainTask)
        return false;
    uint32_t generation = sGeneration.fetch_add(1, std::memory_order_acq_rel) + 1;
    {
        std::lock_guard<std::mutex> guard(manager->fLock);
        manager->fMainTask = mainTask;
    }
    VTask::_SetCurrent(mainTask, generation);
    sInitialized.store(true, std::memory_order_release);
    return true;
}

void VTaskMgr::DeInit()
{
    VTaskMgr* manager = Get();
    if (!sInitialized.exchange(false, std::memory_order_acq_rel))
        return;
    VTask* mainTask;
    {
        std::lock_guard<std::mutex> guard(manager->fLock);
        mainTask = manager->fMainTask;
        manager->fMainTask = nullptr;
    }
    VTask::_SetCurrent(nullptr, 0);
    if (mainTask) {
        mainTask->KillFromSignalHandler();
        mainTask->_MarkDead();
        mainTask->Release();
    }
}

bool VTaskMgr::IsInitialized() const
{
    return sInitialized.load(std::memory_order_acquire);
}

VTask* VTaskMgr::GetMainTask() const
{
    if (!IsInitialized())
        return nullptr;
    std::lock_guard<std::mutex> guard(fLock);
    return fMainTask;
}

void VTaskMgr::YieldNow()
{
    std::this_thread::yield();
}

size_t VTaskMgr::GetRunningTaskCount() const
{
    std::lock_guard<std::mutex> guard(fLock);
    return fRunningTasks.size();
}

int32_t VTaskMgr::_NewTaskID()
{
    return sNextTaskID.fetch_add(1, std::memory_order_relaxed);
}

uint32_t VTaskMgr::_GetGeneration() const
{
    return sGeneration.load(std::memory_order_acquire);
}

void VTaskMgr::_Register(VTask* task)
{
    std::lock_guard<std::mutex> guard(fLock);
    fRunningTasks.push_back(task);
}

void VTaskMgr::_Unregister(VTask* task)
{
    std::lock_guard<std::mutex> guard(fLock);
    auto found = std::find(fRunningTasks.begin(), fRunningTasks.end(), task);
    if (found != fRunningTasks.end())
        fRunningTasks.erase(found);
}

} // namespace nuvo
