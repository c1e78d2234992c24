#include "tests/kernel/errors/StLogCapture.h"

#include <mutex>

#include <gtest/gtest.h>

#include "kernel/errors/ErrorBagKeys.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLogger.h"
#include "kernel/process/VProcess.h"
#include "kernel/values/VValueBag.h"

namespace nuvo::test {

class VLogRecorder : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>& bags) override
    {
        std::lock_guard<std::mutex> guard(fLock);
        for (const VValueBag* bag : bags) {
            LoggedMessage logged;
            VString text;
            if (bag->GetString(ILoggerBagKeys::message, text))
                logged.message = to_string(text);
            bag->GetLong(ILoggerBagKeys::level, logged.level);
            bag->GetLong8(ILoggerBagKeys::error_code, logged.errorCode);
            bag->GetLong(ILoggerBagKeys::component_signature, logged.componentSignature);
            bag->GetLong(ILoggerBagKeys::task_id, logged.taskID);
            if (bag->GetString(ILoggerBagKeys::task_name, text))
                logged.taskName = to_string(text);
            if (bag->GetString(ILoggerBagKeys::source, text))
                logged.source = to_string(text);
            if (bag->GetString(ILoggerBagKeys::jobId, text))
                logged.jobId = to_string(text);
            if (VValueBag* parameters = bag->GetUniqueElement(ErrorBagKeys::parameters)) {
                logged.hasParameters = true;
                if (parameters->GetString(ErrorBagKeys::p1, text))
                    logged.p1 = to_string(text);
            }
            fMessages.push_back(logged);
        }
    }

    std::vector<LoggedMessage> Messages() const
    {
        std::lock_guard<std::mutex> guard(fLock);
        return fMessages;
    }

private:
    mutable std::mutex fLock;
    std::vector<LoggedMessage> fMessages;
};

StLogCapture::StLogCapture() : fRecorder(new VLogRecorder)
{
    VProcess* process = VProcess::Get();
    VLogger* logger = process ? process->GetLogger() : nullptr;
    EXPECT_NE(logger, nullptr) << "the test program has no process logger";
    if (logger) {
        EXPECT_TRUE(logger->AddLogListener(fRecorder));
    }
}

StLogCapture::~StLogCapture()
{
    VProcess* process = VProcess::Get();
    if (VLogger* logger = process ? process->GetLogger() : nullptr)
        logger->RemoveLogListener(fRecorder);
    fRecorder->Release();
}

std::vector<LoggedMessage> StLogCapture::Messages() const
{
    return fRecorder->Messages();
}

std::vector<std::string> StLogCapture::Texts() const
{
    std::vector<std::string> texts;
    for (const LoggedMessage& logged : Messages())
        texts.push_back(logged.message);
    return texts;
}

std::vector<VError> StLogCapture::Codes() const
{
    std::vector<VError> codes;
    for (const LoggedMessage& logged : Messages())
        codes.push_back(VError(logged.errorCode));
    return codes;
}

} // namespace nuvo::test
