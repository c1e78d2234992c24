#include <atomic>
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

// Counts batches and keeps the "message" texts it received.
class VListener : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>& bags) override
    {
        ++fBatches;
        for (const VValueBag* bag : bags) {
            VString text;
            bag->GetString(ILoggerBagKeys::message, text);
            fTexts.push_back(to_string(text));
        }
    }
    int fBatches = 0;
    std::vector<std::string> fTexts;
};

VRefPtr<VValueBag> Message(const char* text, int32_t level = -1)
{
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(ILoggerBagKeys::message, VString(text));
    if (level >= 0)
        bag->SetLong(ILoggerBagKeys::level, level);
    return bag;
}

TEST(VLogger, FiltersByLevelOnceStarted)
{
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    auto listener = VRefPtr<VListener>::Adopt(new VListener);
    EXPECT_TRUE(logger->AddLogListener(listener.Get()));
    EXPECT_FALSE(logger->AddLogListener(listener.Get()));
    EXPECT_FALSE(logger->AddLogListener(nullptr));
    EXPECT_EQ(logger->GetLevelMask(), 0xF0u);

    logger->LogBag(Message("before start", 6).Get());
    EXPECT_FALSE(logger->ShouldLog(EML_Fatal));
    logger->Start();

    struct Row {
        const char* text;
        int32_t level;
        bool kept;
    } rows[] = {
        {"no level is INFO", -1, true},
        {"dump", 0, false},
        {"trace", 1, false},
        {"assert", 2, false},
        {"debug", 3, false},
        {"info", 4, true},
        {"warn", 5, true},
        {"error", 6, true},
        {"fatal", 7, true},
        {"not a level", 8, false},
    };
    std::vector<std::string> expected;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        logger->LogBag(Message(row.text, row.level).Get());
        if (row.kept)
            expected.push_back(row.text);
    }
    EXPECT_EQ(listener->fTexts, expected);
    EXPECT_EQ(listener->fBatches, int(expected.size()));

    // The bit setters answer the previous state.
    EXPECT_FALSE(logger->WithDebug(true));
    EXPECT_TRUE(logger->WithDebug(true));
    EXPECT_TRUE(logger->WithInfo(false));
    EXPECT_EQ(logger->GetLevelMask(), 0xE8u);
    EXPECT_FALSE(logger->ShouldLog(EML_Information));
    EXPECT_TRUE(logger->ShouldLog(EML_Debug));

    // Disabled flushing lets everything through (kept for re-filtering).
    logger->DisableFlush();
    EXPECT_TRUE(logger->ShouldLog(EML_Dump));
    logger->EnableFlush();
    EXPECT_FALSE(logger->ShouldLog(EML_Dump));

    EXPECT_TRUE(logger->RemoveLogListener(listener.Get()));
    EXPECT_FALSE(logger->RemoveLogListener(listener.Get()));
    EXPECT_EQ(listener->GetRefCount(), 1);
    size_t count = listener->fTexts.size();
    logger->LogBag(Message("after removal", 6).Get());
    EXPECT_EQ(listener->fTexts.size(), count);
}

TEST(VLogger, LogMessageBuildsTheBag)
{
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    logger->Start();
    struct Capture : ILogListener {
        void Put(const std::vector<const VValueBag*>& bags) override
        {
            for (const VValueBag* bag : bags) {
                VString source;
                int32_t level = -1;
                bag->GetString(ILoggerBagKeys::source, source);
                bool hasLevel = bag->GetLong(ILoggerBagKeys::level, level);
                fLines.push_back(to_string(source) + "|" + (hasLevel ? std::to_string(level) : "none"));
            }
        }
        std::vector<std::string> fLines;
    };
    auto capture = VRefPtr<Capture>::Adopt(new Capture);
    ASSERT_TRUE(logger->AddLogListener(capture.Get()));
    logger->LogMessage(EML_Information, VString("i"), VString("QZUP"));
    logger->LogMessage(EML_Error, VString("e"), VString("QZUP"));
    logger->LogMessage(EML_Debug, VString("d"), VString("QZUP"));
    logger->LogMessage(EML_Warning, VString("w"), VString());
    std::string processSource = to_string(VProcess::Get()->GetLogSourceIdentifier());
    EXPECT_EQ(capture->fLines, (std::vector<std::string>{"QZUP|none", "QZUP|6", processSource + "|5"}));
    logger->RemoveLogListener(capture.Get());
}

TEST(VLogger, SequenceNumbersFollowEachOther)
{
    uint64_t first = ILogger::GetSequenceNumber();
    EXPECT_GE(first, 1u);
    EXPECT_EQ(ILogger::GetSequenceNumber(), first + 1);
    EXPECT_EQ(ILogger::GetSequenceNumber(), first + 2);
}

TEST(VLogger, ErrorRecordsTakeTheirSourceFromTheTaskProperties)
{
    VTask* task = VTask::GetCurrent();
    ASSERT_NE(task, nullptr);
    auto record = VRefPtr<VErrorBase>::Adopt(new VErrorBase(MakeVError(MakeOsType("UPQZ"), 13)));
    record->GetBag()->SetString(StPackedDictionaryKey("p1"), VString("x"));

    std::string processSource = to_string(VProcess::Get()->GetLogSourceIdentifier());
    {
        test::StLogCapture log;
        ILogger::LogErrorIfNecessary(record.Get());
        ASSERT_EQ(log.Count(), 1u);
        test::LoggedMessage logged = log.Messages()[0];
        EXPECT_EQ(logged.source, processSource);
        EXPECT_EQ(logged.jobId, "");
        EXPECT_EQ(logged.level, 6);
        EXPECT_EQ(logged.message, "Error code: 13 (UPQZ)");
        EXPECT_EQ(uint32_t(logged.componentSignature), MakeOsType("UPQZ"));
        EXPECT_EQ(logged.p1, "x");
    }

    auto properties = VRefPtr<VValueBag>::Adopt(new VValueBag);
    properties->SetString(ILoggerBagKeys::source, VString("worker"));
    properties->SetString(ILoggerBagKeys::jobId, VString("job-7"));
    task->SetProperties(properties.Get());
    {
        test::StLogCapture log;
        ILogger::LogErrorIfNecessary(record.Get());
        ASSERT_EQ(log.Count(), 1u);
        EXPECT_EQ(log.Messages()[0].source, "worker");
        EXPECT_EQ(log.Messages()[0].jobId, "job-7");
    }
    task->SetProperties(nullptr);
    EXPECT_EQ(properties->GetRefCount(), 1);

    // A record of code 0 has no component signature.
    auto none = VRefPtr<VErrorBase>::Adopt(new VErrorBase(0));
    test::StLogCapture log;
    ILogger::LogErrorIfNecessary(none.Get());
    ILogger::LogErrorIfNecessary(nullptr);
    ASSERT_EQ(log.Count(), 1u);
    EXPECT_EQ(log.Messages()[0].componentSignature, 0);
}

// Runs out of memory in its first Put; fails to write in the later ones and reports it.
class VTroubledListener : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>&) override
    {
        if (++fPuts == 1)
            throw std::bad_alloc();
        _ThrowError(MakeVError(MakeOsType("UPQZ"), 99));
    }
    std::atomic<int> fPuts{0};
};

TEST(VLogger, ListenerFailuresNeitherEscapeNorReenterTheErrorHook)
{
    const VError one = MakeVError(MakeOsType("UPQZ"), 1), two = MakeVError(MakeOsType("UPQZ"), 2);
    VLogger* logger = VProcess::Get()->GetLogger();
    test::StLogCapture log;
    auto troubled = VRefPtr<VTroubledListener>::Adopt(new VTroubledListener);
    ASSERT_TRUE(logger->AddLogListener(troubled.Get()));
    StErrorContextInstaller installer;
    EXPECT_NO_THROW(_ThrowError(one));
    // The listener's own record is pushed while two is in the hook: kept, but not logged again.
    _ThrowError(two);
    logger->RemoveLogListener(troubled.Get());
    EXPECT_EQ(troubled->fPuts.load(), 2);
    EXPECT_EQ(log.Codes(), (std::vector<VError>{one, two}));
    std::vector<VError> kept;
    for (const VRefPtr<VErrorBase>& record : installer.GetContext()->GetErrorStack())
        kept.push_back(record->GetError());
    EXPECT_EQ(kept, (std::vector<VError>{one, two, MakeVError(MakeOsType("UPQZ"), 99)}));

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
