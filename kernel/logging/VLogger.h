#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "kernel/base/VObject.h"
#include "kernel/logging/ILogger.h"
#include "kernel/process/VCriticalSection.h"

namespace nuvo {

// The process logger: a level mask (INFO, WARN, ERROR and FATAL at first), a started flag and
// the list of listeners (newest first, each retained). Kept messages are handed to the
// listeners as they are logged, on the logging task, under the listener lock; Flush has nothing
// to deliver. Reference counted; thread-safe.
class VLogger : public VObject, public ILogger {
public:
    VLogger();
    VLogger(const VLogger&) = delete;
    VLogger& operator=(const VLogger&) = delete;

    void Start() override;
    void Stop() override;
    void EnableFlush() override;
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

protected:
    ~VLogger() override;

private:
    mutable VCriticalSection fListenerLock;
    std::vector<ILogListener*> fListeners;
    std::atomic<uint32_t> fLevelMask{kDefaultMessageLevelMask};
    std::atomic<bool> fStarted{false};
    std::atomic<bool> fFlushEnabled{true};
};

} // namespace nuvo
