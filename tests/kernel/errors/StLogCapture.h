#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/logging/ILogListener.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLogger.h"
#include "kernel/process/VProcess.h"
#include "kernel/values/VValueBag.h"

namespace nuvo::test {

// One message as the process logger delivered it (-1 or empty for a missing attribute).
struct LoggedMessage {
    std::string message, taskName, source, jobId, p1; // p1 from the "parameters" element
    int32_t level = -1, componentSignature = 0, taskID = 0;
    int64_t errorCode = 0;
    bool hasParameters = false;
};

// Listens to a logger (the process logger when none is given) for a scope and records what
// reaches it; the readers drain the logger first, so what was logged before is there. Fails the
// test when there is no such logger. Thread-safe.
class StLogCapture {
public:
    explicit StLogCapture(VLogger* logger = nullptr)
        : fLogger(logger ? logger : VProcess::Get() ? VProcess::Get()->GetLogger() : nullptr)
        , fRecorder(VRefPtr<VRecorder>::Adopt(new VRecorder))
    {
        EXPECT_NE(fLogger, nullptr) << "the test program has no process logger";
        if (fLogger)
            fLogger->Flush(); // what was logged before the capture is not its business
        EXPECT_TRUE(fLogger && fLogger->AddLogListener(fRecorder.Get()));
    }
    ~StLogCapture()
    {
        if (fLogger)
            fLogger->RemoveLogListener(fRecorder.Get());
    }
    StLogCapture(const StLogCapture&) = delete;
    StLogCapture& operator=(const StLogCapture&) = delete;

    ILogListener* GetListener() const { return fRecorder.Get(); }
    int Batches() const
    {
        if (fLogger)
            fLogger->Flush();
        std::lock_guard<std::mutex> guard(fRecorder->fLock);
        return fRecorder->fBatches;
    }
    std::vector<LoggedMessage> Messages() const
    {
        if (fLogger)
            fLogger->Flush();
        std::lock_guard<std::mutex> guard(fRecorder->fLock);
        return fRecorder->fMessages;
    }
    size_t Count() const { return Messages().size(); }
    // The "error_code" attributes in arrival order.
    std::vector<VError> Codes() const
    {
        std::vector<VError> codes;
        for (const LoggedMessage& logged : Messages())
            codes.push_back(VError(logged.errorCode));
        return codes;
    }

private:
    struct VRecorder : ILogListener {
        void Put(const std::vector<const VValueBag*>& bags) override
        {
            std::lock_guard<std::mutex> guard(fLock);
            ++fBatches;
            for (const VValueBag* bag : bags) {
                LoggedMessage& logged = fMessages.emplace_back();
                auto text = [bag](const StPackedDictionaryKey& key, std::string& out) {
                    VString value;
                    if (bag->GetString(key, value))
                        out = to_string(value);
                };
                text(ILoggerBagKeys::message, logged.message);
                text(ILoggerBagKeys::task_name, logged.taskName);
                text(ILoggerBagKeys::source, logged.source);
                text(ILoggerBagKeys::jobId, logged.jobId);
                bag->GetLong(ILoggerBagKeys::level, logged.level);
                bag->GetLong8(ILoggerBagKeys::error_code, logged.errorCode);
                bag->GetLong(ILoggerBagKeys::component_signature, logged.componentSignature);
                bag->GetLong(ILoggerBagKeys::task_id, logged.taskID);
                if (VValueBag* parameters = bag->GetUniqueElement(ErrorBagKeys::parameters)) {
                    logged.hasParameters = true;
                    VString value;
                    if (parameters->GetString(ErrorBagKeys::p1, value))
                        logged.p1 = to_string(value);
                }
            }
        }
        std::mutex fLock;
        int fBatches = 0;
        std::vector<LoggedMessage> fMessages;
    };

    VLogger* fLogger;
    VRefPtr<VRecorder> fRecorder;
};

} // namespace nuvo::test
