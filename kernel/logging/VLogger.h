#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/logging/ILogger.h"

namespace nuvo {

class VTask;

// The process logger. LogBag only filters by level and stores a counted reference in a ring
// buffer of kBufferSize messages (the newest are kept; older ones are dropped silently when more
// arrive between two drains). The background task "Logger", started by the first listener, drains
// the buffer to the listeners (newest first, each retained) every kDrainInterval milliseconds;
// Flush drains at once on the calling task.
//
// Reference counted; thread-safe. Lock order: the drain lock, then the buffer lock (released
// before delivery), then the listener lock, held while listeners run. A listener must not add or
// remove listeners from Put; what it logs or flushes from Put is dropped, so that its own
// failures cannot feed back into it.
class VLogger : public VObject, public ILogger {
public:
    static constexpr int32_t kBufferSize = 1000;
    static constexpr int32_t kDrainInterval = 100;
    static constexpr int32_t kStopTimeout = 3000;

    VLogger();
    VLogger(const VLogger&) = delete;
    VLogger& operator=(const VLogger&) = delete;

    void Start() override;
    // Ends the "Logger" task (waits up to kStopTimeout ms); buffered messages stay for Flush.
    void Stop() override;
    // Drops the buffered messages that the mask no longer passes.
    void EnableFlush() override;
    // Until EnableFlush, every level is kept and nothing is delivered.
    void DisableFlush() override;
    bool IsStarted() const override { return fStarted.load(std::memory_order_acquire); }
    bool ShouldLog(EMessageLevel level) const override;
    void LogBag(const VValueBag* bag) override;
    void LogMessage(EMessageLevel level, const VString& message, const VString& source) override;
    void Flush() override;
    bool WithTrace(bool with) override { return WithTag(EML_Trace, with); }
    bool WithDump(bool with) override { return WithTag(EML_Dump, with); }
    bool WithDebug(bool with) override { return WithTag(EML_Debug, with); }
    bool WithWarning(bool with) override { return WithTag(EML_Warning, with); }
    bool WithError(bool with) override { return WithTag(EML_Error, with); }
    bool WithFatal(bool with) override { return WithTag(EML_Fatal, with); }
    bool WithAssert(bool with) override { return WithTag(EML_Assert, with); }
    bool WithInfo(bool with) override { return WithTag(EML_Information, with); }
    bool AddLogListener(ILogListener* listener) override;
    bool RemoveLogListener(ILogListener* listener) override;

    // Sets or clears any level's bit; returns its previous state (false for a bad level).
    bool WithTag(uint32_t level, bool with);
    uint32_t GetLevelMask() const { return fLevelMask.load(std::memory_order_acquire); }
    // Whether the "Logger" task exists (from the first listener until Stop).
    bool HasReaderTask() const;

protected:
    ~VLogger() override;

private:
    // Takes the buffered bags in arrival order and empties the buffer (buffer lock inside).
    void _TakeBuffered(std::vector<const VValueBag*>& out);
    // Delivers bags to every listener and releases them; fDrainLock held.
    void _Deliver(std::vector<const VValueBag*>& bags);
    void _StopReader(int32_t timeout);

    // Serialises whole drains, so that a batch taken from the buffer reaches the listeners
    // before a later one and before a listener is removed.
    std::mutex fDrainLock;
    std::mutex fBufferLock;
    const VValueBag* fSlots[kBufferSize] = {};
    int32_t fCount = 0;
    bool fWrapped = false;
    mutable std::mutex fListenerLock;
    std::vector<ILogListener*> fListeners;
    VTask* fReaderTask = nullptr; // guarded by fListenerLock, with its stop flag
    std::shared_ptr<std::atomic<bool>> fReaderStop;
    std::atomic<uint32_t> fLevelMask{kDefaultMessageLevelMask};
    std::atomic<bool> fStarted{false};
    std::atomic<bool> fFlushEnabled{true};
};

} // namespace nuvo
