#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kernel/base/VTypes.h"
#include "kernel/logging/ILogListener.h"

namespace nuvo::test {

class VLogRecorder;

// One message as the process logger delivered it.
struct LoggedMessage {
    std::string message;
    int32_t level = -1;          // -1: no "level" attribute
    int64_t errorCode = 0;
    int32_t componentSignature = 0;
    int32_t taskID = 0;
    std::string taskName;
    std::string source;
    std::string jobId;
    std::string p1;              // from the "parameters" element, when present
    bool hasParameters = false;
};

// Listens to the process logger for a scope and records what reaches it. Fails the test when
// the program has no process logger. Not thread-safe beyond what the logger guarantees.
class StLogCapture {
public:
    StLogCapture();
    ~StLogCapture();
    StLogCapture(const StLogCapture&) = delete;
    StLogCapture& operator=(const StLogCapture&) = delete;

    std::vector<LoggedMessage> Messages() const;
    size_t Count() const { return Messages().size(); }
    // The "message" texts in arrival order.
    std::vector<std::string> Texts() const;
    // The "error_code" attributes in arrival order.
    std::vector<VError> Codes() const;

private:
    VLogRecorder* fRecorder;
};

} // namespace nuvo::test
