#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/process/VTask.h"
#include "tests/kernel/errors/ErrorTestSupport.h"
#include "tests/kernel/errors/StLogCapture.h"

namespace nuvo {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

// "message|source|level" of each message (an empty source and level -1 when missing).
Lines MessageSourceLevel(const StLogCapture& log)
{
    Lines lines;
    for (const LoggedMessage& m : log.Messages())
        lines.push_back(m.message + "|" + m.source + "|" + std::to_string(m.level));
    return lines;
}

TEST(VLogger, FiltersByLevelOnceStarted)
{
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    StLogCapture log(logger.Get());
    EXPECT_FALSE(logger->AddLogListener(log.GetListener()));
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
    EXPECT_EQ(MessageSourceLevel(log), (Lines{"-1||-1", "4||4", "5||5", "6||6", "7||7"}));
    EXPECT_EQ(log.Batches(), 5);

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
    logger->LogMessage(EML_Debug, VString("d"), VString("QZUP"));
    logger->LogMessage(EML_Error, VString("e"), VString("QZUP"));
    logger->LogMessage(EML_Information, VString("i"), VString("QZUP"));
    logger->LogMessage(EML_Warning, VString("w"), VString());
    const std::string processSource = to_string(VProcess::Get()->GetLogSourceIdentifier());
    const Lines lines = MessageSourceLevel(log);
    EXPECT_EQ(Lines(lines.begin() + 5, lines.end()),
              (Lines{"d|QZUP|3", "e|QZUP|6", "i|QZUP|-1", "w|" + processSource + "|5"}));

    EXPECT_TRUE(logger->RemoveLogListener(log.GetListener()));
    EXPECT_FALSE(logger->RemoveLogListener(log.GetListener()));
    EXPECT_EQ(log.GetListener()->GetRefCount(), 1);
    logger->LogMessage(EML_Error, VString("after removal"), VString("s"));
    EXPECT_EQ(log.Count(), 9u);
}

TEST(VLogger, SequenceNumbersFollowEachOther)
{
    uint64_t first = ILogger::GetSequenceNumber();
    EXPECT_GE(first, 1u);
    EXPECT_EQ(ILogger::GetSequenceNumber(), first + 1);
}

TEST(VLogger, ErrorRecordsTakeTheirSourceFromTheTaskProperties)
{
    VRefPtr<VErrorBase> record = MakeRecord(Updater(13), {{"p1", "x"}});
    auto properties = VRefPtr<VValueBag>::Adopt(new VValueBag);
    properties->SetString(ILoggerBagKeys::source, VString("worker"));
    properties->SetString(ILoggerBagKeys::jobId, VString("job-7"));
    StLogCapture log;
    ILogger::LogErrorIfNecessary(record.Get());
    VTask::GetCurrent()->SetProperties(properties.Get());
    ILogger::LogErrorIfNecessary(record.Get());
    VTask::GetCurrent()->SetProperties(nullptr);
    ILogger::LogErrorIfNecessary(MakeRecord(0).Get());
    ILogger::LogErrorIfNecessary(nullptr);
    EXPECT_EQ(properties->GetRefCount(), 1);

    // "message|level|component|source|jobId|p1"; a record of code 0 has no component signature.
    const std::string upqz = std::to_string(int32_t(MakeOsType("UPQZ")));
    const std::string processSource = to_string(VProcess::Get()->GetLogSourceIdentifier());
    Lines lines;
    for (const LoggedMessage& m : log.Messages())
        lines.push_back(m.message + "|" + std::to_string(m.level) + "|" + std::to_string(m.componentSignature) + "|"
                        + m.source + "|" + m.jobId + "|" + m.p1);
    EXPECT_EQ(lines, (Lines{"Error code: 13 (UPQZ)|6|" + upqz + "|" + processSource + "||x",
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
    StLogCapture log;
    auto troubled = VRefPtr<VTroubledListener>::Adopt(new VTroubledListener);
    ASSERT_TRUE(logger->AddLogListener(troubled.Get()));
    StErrorContextInstaller installer;
    EXPECT_NO_THROW(_ThrowError(Updater(1)));
    // The listener's own record is pushed while Updater(2) is in the hook: kept, not logged.
    _ThrowError(Updater(2));
    logger->RemoveLogListener(troubled.Get());
    EXPECT_EQ(troubled->fPuts.load(), 2);
    EXPECT_EQ(log.Codes(), (Codes{Updater(1), Updater(2)}));
    EXPECT_EQ(CodesOf(installer.GetContext()), (Codes{Updater(1), Updater(2), Updater(99)}));

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
