#pragma once

#include <cstdint>

#include "kernel/base/IRefCountable.h"
#include "kernel/logging/EMessageLevel.h"

namespace nuvo {

class ILogListener;
class VErrorBase;
class VString;
class VValueBag;

// A logger: filters messages (value bags) by level and hands the kept ones to its listeners.
// Logging never reports an error to its caller. Implementations are thread-safe.
class ILogger : public IRefCountable {
public:
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual void EnableFlush() = 0;
    virtual void DisableFlush() = 0;
    virtual bool IsStarted() const = 0;
    virtual bool ShouldLog(EMessageLevel level) const = 0;
    // The bag must not change afterwards: listeners may read it later.
    virtual void LogBag(const VValueBag* bag) = 0;
    virtual void LogMessage(EMessageLevel level, const VString& message, const VString& source) = 0;
    virtual void Flush() = 0;
    // Each sets or clears its level's bit and returns the bit's previous state.
    virtual bool WithTrace(bool with) = 0;
    virtual bool WithDump(bool with) = 0;
    virtual bool WithDebug(bool with) = 0;
    virtual bool WithWarning(bool with) = 0;
    virtual bool WithError(bool with) = 0;
    virtual bool WithFatal(bool with) = 0;
    virtual bool WithAssert(bool with) = 0;
    virtual bool WithInfo(bool with) = 0;
    // False for a null or already registered listener; the logger retains an added one.
    virtual bool AddLogListener(ILogListener* listener) = 0;
    // Delivers what was logged before, then releases the listener; false when not registered.
    virtual bool RemoveLogListener(ILogListener* listener) = 0;

    // 1, 2, 3... process-wide.
    static uint64_t GetSequenceNumber();

    // Logs error as an ERROR message through the process logger, when there is one that passes
    // ERROR: the record's bag form plus "level", "message" (the description),
    // "component_signature" and "source" (and "jobId") from the current task's properties or the
    // process's log source identifier.
    static void LogErrorIfNecessary(const VErrorBase* error);
    // Logs a failed assertion as an ASSERT message ("message" = text, "file_name", "line_number",
    // "source") when the process logger passes ASSERT.
    static void LogAssertIfNecessary(const char* file, const char* text, int32_t line);

protected:
    ~ILogger() override = default;
};

} // namespace nuvo
