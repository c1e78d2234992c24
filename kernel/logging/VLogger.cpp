#include "kernel/logging/VLogger.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <new>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/logging/ILogListener.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/process/VProcess.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {

namespace {

std::atomic<uint64_t> sSequenceNumber{0};

// Set on a thread while it delivers to listeners: what a listener logs or flushes from Put is
// dropped, so that its own failures cannot come back to it.
thread_local bool tDelivering = false;

EMessageLevel LevelOf(const VValueBag* bag)
{
    int32_t level = EML_Information;
    if (bag && !bag->GetLong(ILoggerBagKeys::level, level))
        level = EML_Information;
    return EMessageLevel(level);
}

// The process logger when it passes level, else null.
VLogger* GetProcessLogger(EMessageLevel level)
{
    VProcess* process = VProcess::Get();
    VLogger* logger = process ? process->GetLogger() : nullptr;
    return logger && logger->ShouldLog(level) ? logger : nullptr;
}

// "source" (and "jobId") from the current task's properties when it has a source, else the
// process's log source identifier.
void SetSource(VValueBag& bag)
{
    VTask* task = VTask::GetCurrent();
    if (VValueBag* properties = task ? task->RetainProperties() : nullptr) {
        VString source;
        bool found = properties->GetString(ILoggerBagKeys::source, source);
        if (found) {
            bag.SetString(ILoggerBagKeys::source, source);
            VString job;
            if (properties->GetString(ILoggerBagKeys::jobId, job))
                bag.SetString(ILoggerBagKeys::jobId, job);
        }
        properties->Release();
        if (found)
            return;
    }
    if (VProcess* process = VProcess::Get())
        bag.SetString(ILoggerBagKeys::source, process->GetLogSourceIdentifier());
}

} // namespace

uint64_t ILogger::GetSequenceNumber()
{
    return sSequenceNumber.fetch_add(1, std::memory_order_acq_rel) + 1;
}

void ILogger::LogErrorIfNecessary(const VErrorBase* error)
{
    VLogger* logger = error ? GetProcessLogger(EML_Error) : nullptr;
    if (!logger)
        return;

    // Called from the error hook while a record is being pushed: running out of memory here
    // loses the log line, never the push.
    VRefPtr<VValueBag> bag;
    try {
        bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
        error->SaveToBag(*bag);
        bag->SetLong(ILoggerBagKeys::level, int32_t(EML_Error));
        VString description;
        error->GetErrorDescription(description);
        bag->SetString(ILoggerBagKeys::message, description);
        if (OsType component = ComponentOf(error->GetError()); component != 0)
            bag->SetLong(ILoggerBagKeys::component_signature, int32_t(component));
        SetSource(*bag);
    } catch (const std::bad_alloc&) {
        return;
    }
    // No call chain is recorded on this platform, so there is no "stack_crawl".
    logger->LogBag(bag.Get());
}

void ILogger::LogAssertIfNecessary(const char* file, const char* text, int32_t line)
{
    VLogger* logger = GetProcessLogger(EML_Assert);
    if (!logger)
        return;
    VRefPtr<VValueBag> bag;
    try {
        bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
        bag->SetLong(ILoggerBagKeys::level, int32_t(EML_Assert));
        bag->SetString(ILoggerBagKeys::message, VString(text ? text : ""));
        bag->SetString(ILoggerBagKeys::file_name, VString(file ? file : ""));
        bag->SetLong(ILoggerBagKeys::line_number, line);
        SetSource(*bag);
    } catch (const std::bad_alloc&) {
        return;
    }
    logger->LogBag(bag.Get());
}

VLogger::VLogger() = default;

VLogger::~VLogger()
{
    // The task uses this object: it must be gone before the memory is, however long it takes.
    _StopReader(-1);
    std::vector<const VValueBag*> bags;
    _TakeBuffered(bags);
    for (const VValueBag* bag : bags)
        bag->Release();
    for (ILogListener* listener : fListeners)
        listener->Release();
}

void VLogger::Start()
{
    fStarted.store(true, std::memory_order_release);
}

void VLogger::Stop()
{
    _StopReader(kStopTimeout);
}

void VLogger::_StopReader(int32_t timeout)
{
    VTask* task;
    std::shared_ptr<std::atomic<bool>> stop;
    {
        std::lock_guard<std::mutex> guard(fListenerLock);
        task = fReaderTask;
        fReaderTask = nullptr;
        stop.swap(fReaderStop);
    }
    if (!task)
        return;
    stop->store(true, std::memory_order_release);
    task->Kill();
    (void)task->WaitForDeath(timeout);
    task->Release();
}

bool VLogger::HasReaderTask() const
{
    std::lock_guard<std::mutex> guard(fListenerLock);
    return fReaderTask != nullptr;
}

void VLogger::EnableFlush()
{
    fFlushEnabled.store(true, std::memory_order_release);
    std::vector<const VValueBag*> dropped;
    {
        std::lock_guard<std::mutex> guard(fBufferLock);
        std::vector<const VValueBag*> kept;
        const int32_t first = fWrapped ? fCount : 0;
        const int32_t total = fWrapped ? kBufferSize : fCount;
        for (int32_t i = 0; i < total; ++i) {
            const VValueBag*& slot = fSlots[(first + i) % kBufferSize];
            (ShouldLog(LevelOf(slot)) ? kept : dropped).push_back(slot);
            slot = nullptr;
        }
        std::copy(kept.begin(), kept.end(), fSlots);
        fCount = int32_t(kept.size());
        fWrapped = false;
    }
    for (const VValueBag* bag : dropped)
        bag->Release();
}

void VLogger::DisableFlush()
{
    fFlushEnabled.store(false, std::memory_order_release);
}

bool VLogger::ShouldLog(EMessageLevel level) const
{
    if (!fFlushEnabled.load(std::memory_order_relaxed))
        return true;
    if (!fStarted.load(std::memory_order_relaxed))
        return false;
    return level < kMessageLevelCount && (fLevelMask.load(std::memory_order_relaxed) & (1u << level)) != 0;
}

void VLogger::LogBag(const VValueBag* bag)
{
    if (tDelivering || !ShouldLog(LevelOf(bag)) || !bag)
        return;
    bag->Retain();
    const VValueBag* dropped;
    {
        std::lock_guard<std::mutex> guard(fBufferLock);
        if (fCount == kBufferSize) {
            fWrapped = true;
            fCount = 0;
        }
        dropped = fSlots[fCount];
        fSlots[fCount++] = bag;
    }
    if (dropped)
        dropped->Release();
}

void VLogger::LogMessage(EMessageLevel level, const VString& message, const VString& source)
{
    if (!ShouldLog(level))
        return;
    VRefPtr<VValueBag> bag;
    try {
        bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
        if (!source.IsEmpty())
            bag->SetString(ILoggerBagKeys::source, source);
        else
            SetSource(*bag);
        if (level != EML_Information)
            bag->SetLong(ILoggerBagKeys::level, int32_t(level));
        bag->SetString(ILoggerBagKeys::message, message);
    } catch (const std::bad_alloc&) {
        return; // logging never fails its caller
    }
    LogBag(bag.Get());
}

void VLogger::_TakeBuffered(std::vector<const VValueBag*>& out)
{
    std::lock_guard<std::mutex> guard(fBufferLock);
    const int32_t first = fWrapped ? fCount : 0;
    const int32_t total = fWrapped ? kBufferSize : fCount;
    out.reserve(size_t(total));
    for (int32_t i = 0; i < total; ++i) {
        const VValueBag*& slot = fSlots[(first + i) % kBufferSize];
        out.push_back(slot);
        slot = nullptr;
    }
    fCount = 0;
    fWrapped = false;
}

void VLogger::_Deliver(std::vector<const VValueBag*>& bags)
{
    if (bags.empty())
        return;
    {
        std::lock_guard<std::mutex> guard(fListenerLock);
        tDelivering = true;
        for (ILogListener* listener : fListeners) {
            // A listener that runs out of memory loses this batch, not the others.
            try {
                listener->Put(bags);
            } catch (const std::bad_alloc&) {
            }
        }
        tDelivering = false;
    }
    for (const VValueBag* bag : bags)
        bag->Release();
    bags.clear();
}

void VLogger::Flush()
{
    if (tDelivering || !fFlushEnabled.load(std::memory_order_acquire))
        return;
    std::vector<const VValueBag*> bags;
    std::lock_guard<std::mutex> guard(fDrainLock);
    _TakeBuffered(bags);
    _Deliver(bags);
}

bool VLogger::WithTag(uint32_t level, bool with)
{
    if (level >= kMessageLevelCount)
        return false;
    uint32_t bit = 1u << level;
    uint32_t previous = with ? fLevelMask.fetch_or(bit, std::memory_order_acq_rel)
                             : fLevelMask.fetch_and(~bit, std::memory_order_acq_rel);
    return (previous & bit) != 0;
}

bool VLogger::AddLogListener(ILogListener* listener)
{
    assert(!tDelivering && "a listener must not add listeners from Put");
    if (!listener || tDelivering)
        return false;
    std::lock_guard<std::mutex> guard(fListenerLock);
    if (!fReaderTask) {
        // The task's own stop flag: VTask::GetCurrent is null on a program without a task manager.
        auto stop = std::make_shared<std::atomic<bool>>(false);
        auto* task = new (std::nothrow) VTask(64000, kTaskStylePreemptive, [this, stop] {
            while (!stop->load(std::memory_order_acquire)) {
                Flush();
                // Listeners keep their failures to themselves; none piles up on this task.
                if (VTask* self = VTask::GetCurrent())
                    self->FlushErrors();
                VTask::ExecuteMessagesWithTimeout(kDrainInterval);
            }
        });
        if (task) {
            task->SetName(VString("Logger"));
            if (task->Run()) {
                fReaderTask = task;
                fReaderStop = stop;
            }
            else
                task->Release();
        }
    }
    if (std::find(fListeners.begin(), fListeners.end(), listener) != fListeners.end())
        return false;
    listener->Retain();
    fListeners.insert(fListeners.begin(), listener);
    return true;
}

bool VLogger::RemoveLogListener(ILogListener* listener)
{
    assert(!tDelivering && "a listener must not remove listeners from Put");
    if (!listener || tDelivering)
        return false;
    bool removed;
    {
        // The drain lock stays held from the last drain to the removal: a batch another task
        // has already taken from the buffer cannot miss this listener.
        std::lock_guard<std::mutex> drain(fDrainLock);
        if (fFlushEnabled.load(std::memory_order_acquire)) {
            std::vector<const VValueBag*> bags;
            _TakeBuffered(bags);
            _Deliver(bags);
        }
        std::lock_guard<std::mutex> guard(fListenerLock);
        auto found = std::find(fListeners.begin(), fListeners.end(), listener);
        removed = found != fListeners.end();
        if (removed)
            fListeners.erase(found);
    }
    if (removed)
        listener->Release();
    return removed;
}

} // namespace nuvo
