#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorBase.h"
#include "kernel/errors/VErrorContext.h"
#include "kernel/logging/ILogListener.h"
#include "kernel/logging/ILoggerBagKeys.h"
#include "kernel/logging/VLogger.h"
#include "kernel/process/VProcess.h"
#include "kernel/process/VTask.h"
#include "kernel/values/VValueBag.h"
#include "tests/kernel/errors/StLogCapture.h"

namespace nuvo {
namespace {

VError Updater(int32_t n) { return MakeVError(MakeOsType("UPQZ"), n); }

// Keeps "message|source|level" per message ("-" for a missing attribute), one batch per call.
class VListener : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>& bags) override
    {
        ++fBatches;
        for (const VValueBag* bag : bags) {
            VString message, source;
            int32_t level = -1;
            bag->GetString(ILoggerBagKeys::message, message);
            std::string line = to_string(message) + "|";
            line += bag->GetString(ILoggerBagKeys::source, source) ? to_string(source) : "-";
            line += "|" + (bag->GetLong(ILoggerBagKeys::level, level) ? std::to_string(level) : "-");
            fLines.push_back(line);
        }
    }
    int fBatches = 0;
    std::vector<std::string> fLines;
};

TEST(VLogger, FiltersByLevelOnceStarted)
{
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    auto listener = VRefPtr<VListener>::Adopt(new VListener);
    EXPECT_TRUE(logger->AddLogListener(listener.Get()));
    EXPECT_FALSE(logger->AddLogListener(listener.Get()));
    EXPECT_FALSE(logger->AddLogListener(nullptr));
    EXPECT_EQ(logger->GetLevelMask(), 0xF0u);
    logger->LogMessage(EML_Fatal, VString("before start"), VString("s"));
    logger->Start();

    // Levels 0-3 (dump, trace, assert, debug) are off at first, 4-7 on, 8 is no level.
    for (int32_t level = -1; level <= 8; ++level) {
        auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
        bag->SetString(ILoggerBagKeys::message, VString(std::to_string(level).c_str()));
        if (level >= 0)
            bag->SetLong(ILoggerBagKeys::level, level);
        logger->LogBag(bag.Get());
    }
    EXPECT_EQ(listener->fLines, (std::vector<std::string>{"-1|-|-", "4|-|4", "5|-|5", "6|-|6", "7|-|7"}));
    EXPECT_EQ(listener->fBatches, 5);

    EXPECT_FALSE(logger->WithDebug(true)) << "the setters answer the previous state";
    EXPECT_TRUE(logger->WithDebug(true));
    EXPECT_TRUE(logger->WithInfo(false));
    EXPECT_EQ(logger->GetLevelMask(), 0xE8u);
    logger->DisableFlush();
    EXPECT_TRUE(logger->ShouldLog(EML_Dump)) << "kept for re-filtering while flushing is off";
    logger->EnableFlush();
    EXPECT_FALSE(logger->ShouldLog(EML_Dump));
    logger->WithInfo(true);

    // A given source is kept, a missing one comes from the process; INFO carries no level.
    listener->fLines.clear();
    logger->LogMessage(EML_Debug, VString("d"), VString("QZUP"));
    logger->LogMessage(EML_Error, VString("e"), VString("QZUP"));
    logger->LogMessage(EML_Information, VString("i"), VString("QZUP"));
    logger->LogMessage(EML_Warning, VString("w"), VString());
    const std::string processSource = to_string(VProcess::Get()->GetLogSourceIdentifier());
    EXPECT_EQ(listener->fLines, (std::vector<std::string>{"d|QZUP|3", "e|QZUP|6", "i|QZUP|-", "w|" + processSource + "|5"}));

    EXPECT_TRUE(logger->RemoveLogListener(listener.Get()));
    EXPECT_FALSE(logger->RemoveLogListener(listener.Get()));
    EXPECT_EQ(listener->GetRefCount(), 1);
    logger->LogMessage(EML_Error, VString("after removal"), VString("s"));
    EXPECT_EQ(listener->fLines.size(), 4u);
}

TEST(VLogger, SequenceNumbersFollowEachOther)
{
    uint64_t first = ILogger::GetSequenceNumber();
    EXPECT_GE(first, 1u);
    EXPECT_EQ(ILogger::GetSequenceNumber(), first + 1);
}

TEST(VLogger, ErrorRecordsTakeTheirSourceFromTheTaskProperties)
{
    auto record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(Updater(13)));
    record->GetBag()->SetString(StPackedDictionaryKey("p1"), VString("x"));
    auto properties = VRefPtr<VValueBag>::Adopt(new VValueBag);
    properties->SetString(ILoggerBagKeys::source, VString("worker"));
    properties->SetString(ILoggerBagKeys::jobId, VString("job-7"));
    test::StLogCapture log;
    ILogger::LogErrorIfNecessary(record.Get());
    VTask::GetCurrent()->SetProperties(properties.Get());
    ILogger::LogErrorIfNecessary(record.Get());
    VTask::GetCurrent()->SetProperties(nullptr);
    ILogger::LogErrorIfNecessary(VRefPtr<VErrorBase>::Adopt(new VErrorBase(0)).Get());
    ILogger::LogErrorIfNecessary(nullptr);
    EXPECT_EQ(properties->GetRefCount(), 1);

    // "message|level|component|source|jobId|p1"; a record of code 0 has no component signature.
    const std::string upqz = std::to_string(int32_t(MakeOsType("UPQZ")));
    const std::string processSource = to_string(VProcess::Get()->GetLogSourceIdentifier());
    std::vector<std::string> lines;
    for (const test::LoggedMessage& m : log.Messages())
        lines.push_back(m.message + "|" + std::to_string(m.level) + "|" + std::to_string(m.componentSignature) + "|"
                        + m.source + "|" + m.jobId + "|" + m.p1);
    EXPECT_EQ(lines, (std::vector<std::string>{"Error code: 13 (UPQZ)|6|" + upqz + "|" + processSource + "||x",
                                               "Error code: 13 (UPQZ)|6|" + upqz + "|worker|job-7|x",
                                               "Error code: 0 ()|6|0|" + processSource + "||"}));
}

// Runs out of memory in its first Put; fails to write in the later ones and reports it.
class VTroubledListener : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>&) override
    {
        if (++fPuts == 1)
            throw std::bad_alloc();
        _ThrowError(Updater(99));
    }
    std::atomic<int> fPuts{0};
};

TEST(VLogger, ListenerFailuresNeitherEscapeNorReenterTheErrorHook)
{
    VLogger* logger = VProcess::Get()->GetLogger();
    test::StLogCapture log;
    auto troubled = VRefPtr<VTroubledListener>::Adopt(new VTroubledListener);
    ASSERT_TRUE(logger->AddLogListener(troubled.Get()));
    StErrorContextInstaller installer;
    EXPECT_NO_THROW(_ThrowError(Updater(1)));
    // The listener's own record is pushed while Updater(2) is in the hook: kept, not logged.
    _ThrowError(Updater(2));
    logger->RemoveLogListener(troubled.Get());
    EXPECT_EQ(troubled->fPuts.load(), 2);
    EXPECT_EQ(log.Codes(), (std::vector<VError>{Updater(1), Updater(2)}));
    std::vector<VError> kept;
    for (const VRefPtr<VErrorBase>& record : installer.GetContext()->GetErrorStack())
        kept.push_back(record->GetError());
    EXPECT_EQ(kept, (std::vector<VError>{Updater(1), Updater(2), Updater(99)}));

    // The listener lock was let go: another thread can log.
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([logger, done] {
        logger->LogMessage(EML_Error, VString("from elsewhere"), VString("t"));
        *done = true;
    }).detach();
    for (int spin = 0; spin < 20000 && !*done; ++spin)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(done->load());
}

} // namespace
} // namespace nuvo
