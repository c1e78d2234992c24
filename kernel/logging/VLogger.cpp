#include "kernel/logging/VLogger.h"

#include <algorithm>
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

VLogger::VLogger() = default;

VLogger::~VLogger()
{
    for (ILogListener* listener : fListeners)
        listener->Release();
}

void VLogger::Start()
{
    fStarted.store(true, std::memory_order_release);
}

void VLogger::Stop()
{
    Flush();
}

void VLogger::EnableFlush()
{
    fFlushEnabled.store(true, std::memory_order_release);
}

void VLogger::DisableFlush()
{
    fFlushEnabled.store(false, std::memory_order_release);
}

bool VLogger::ShouldLog(EMessageLevel level) const
{
    if (!fFlushEnabled.load(std::memory_order_acquire))
        return true;
    if (!IsStarted())
        return false;
    return level < kMessageLevelCount && (GetLevelMask() & (1u << level)) != 0;
}

void VLogger::LogBag(const VValueBag* bag)
{
    if (!bag)
        return;
    int32_t level = EML_Information;
    if (!bag->GetLong(ILoggerBagKeys::level, level))
        level = EML_Information;
    if (!ShouldLog(EMessageLevel(level)))
        return;

    fListenerLock.Lock();
    for (ILogListener* listener : fListeners) {
        // A listener that runs out of memory loses this message; the lock must still be let go
        // and the caller (often the error hook, in the middle of a push) must not see it.
        try {
            listener->Put({bag});
        } catch (const std::bad_alloc&) {
        }
    }
    fListenerLock.Unlock();
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

void VLogger::Flush() {}

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
    if (!listener)
        return false;
    fListenerLock.Lock();
    bool added = std::find(fListeners.begin(), fListeners.end(), listener) == fListeners.end();
    if (added) {
        listener->Retain();
        fListeners.insert(fListeners.begin(), listener);
    }
    fListenerLock.Unlock();
    return added;
}

bool VLogger::RemoveLogListener(ILogListener* listener)
{
    if (!listener)
        return false;
    Flush();
    fListenerLock.Lock();
    auto found = std::find(fListeners.begin(), fListeners.end(), listener);
    bool removed = found != fListeners.end();
    if (removed)
        fListeners.erase(found);
    fListenerLock.Unlock();
    if (removed)
        listener->Release();
    return removed;
}

} // namespace nuvo
