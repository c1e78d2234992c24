#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
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

VRefPtr<VValueBag> Message(const std::string& text, int32_t level = -1)
{
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    bag->SetString(ILoggerBagKeys::message, VString(text.c_str()));
    if (level >= 0)
        bag->SetLong(ILoggerBagKeys::level, level);
    return bag;
}

// Records the messages it receives and the task that delivered them, without draining.
class VRecorder : public ILogListener {
public:
    void Put(const std::vector<const VValueBag*>& bags) override
    {
        VString task;
        if (VTask* current = VTask::GetCurrent())
            current->GetName(task);
        std::lock_guard<std::mutex> guard(fLock);
        for (const VValueBag* bag : bags) {
            VString text;
            bag->GetString(ILoggerBagKeys::message, text);
            fMessages.push_back(to_string(text));
            fTasks.push_back(to_string(task));
        }
    }
    Lines Messages()
    {
        std::lock_guard<std::mutex> guard(fLock);
        return fMessages;
    }
    Lines Tasks()
    {
        std::lock_guard<std::mutex> guard(fLock);
        return fTasks;
    }

private:
    std::mutex fLock;
    Lines fMessages, fTasks;
};

// A started logger with a listener and no "Logger" task, so that only Flush drains.
struct StQuietLogger {
    StQuietLogger()
    {
        logger->Start();
        EXPECT_TRUE(logger->AddLogListener(recorder.Get()));
        logger->Stop();
        EXPECT_FALSE(logger->HasReaderTask());
    }
    VRefPtr<VLogger> logger = VRefPtr<VLogger>::Adopt(new VLogger);
    VRefPtr<VRecorder> recorder = VRefPtr<VRecorder>::Adopt(new VRecorder);
};

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
    for (int32_t level = -1; level <= 8; ++level)
        logger->LogBag(Message(std::to_string(level), level).Get());
    EXPECT_EQ(MessageSourceLevel(log), (Lines{"-1||-1", "4||4", "5||5", "6||6", "7||7"}));

    EXPECT_FALSE(logger->WithDebug(true)) << "the setters answer the previous state";
    EXPECT_TRUE(logger->WithDebug(true));
    EXPECT_TRUE(logger->WithInfo(false));
    EXPECT_EQ(logger->GetLevelMask(), 0xE8u);
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

    logger->LogMessage(EML_Error, VString("before removal"), VString("s"));
    EXPECT_TRUE(logger->RemoveLogListener(log.GetListener())) << "removal delivers what is buffered";
    EXPECT_FALSE(logger->RemoveLogListener(log.GetListener()));
    EXPECT_EQ(log.GetListener()->GetRefCount(), 1);
    logger->LogMessage(EML_Error, VString("after removal"), VString("s"));
    EXPECT_EQ(log.Count(), 10u);
}

TEST(VLogger, RingKeepsTheNewestThousandInArrivalOrder)
{
    struct Row {
        const char* name;
        int logged;
    };
    const Row rows[] = {{"one", 1}, {"full", 1000}, {"one over", 1001}, {"twice over and a half", 2500}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StQuietLogger quiet;
        for (int i = 1; i <= row.logged; ++i)
            quiet.logger->LogBag(Message(std::to_string(i)).Get());
        quiet.logger->Flush();
        const Lines got = quiet.recorder->Messages();
        const int first = row.logged > 1000 ? row.logged - 999 : 1;
        ASSERT_EQ(got.size(), size_t(row.logged - first + 1));
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], std::to_string(first + int(i))) << "at " << i;
        quiet.logger->Flush();
        EXPECT_EQ(quiet.recorder->Messages().size(), got.size()) << "a drain empties the ring";
    }
}

TEST(VLogger, EnableFlushDropsWhatTheMaskNoLongerPasses)
{
    StQuietLogger quiet;
    quiet.logger->DisableFlush();
    EXPECT_TRUE(quiet.logger->ShouldLog(EML_Dump));
    // 1200 messages wrap the ring; the 1000 kept are re-filtered in arrival order.
    for (int i = 1; i <= 1200; ++i)
        quiet.logger->LogBag(Message(std::to_string(i), i % 2 ? EML_Debug : EML_Error).Get());
    quiet.logger->Flush();
    EXPECT_TRUE(quiet.recorder->Messages().empty()) << "nothing is delivered while flushing is off";
    quiet.logger->EnableFlush();
    EXPECT_FALSE(quiet.logger->ShouldLog(EML_Debug));
    quiet.logger->LogBag(Message("after").Get());
    quiet.logger->Flush();
    const Lines got = quiet.recorder->Messages();
    ASSERT_EQ(got.size(), 501u);
    EXPECT_EQ(got.front(), "202");
    EXPECT_EQ(got[499], "1200");
    EXPECT_EQ(got.back(), "after");
}

TEST(VLogger, LoggerTaskDrainsWithoutFlushAndEndsAtStop)
{
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    auto recorder = VRefPtr<VRecorder>::Adopt(new VRecorder);
    logger->Start();
    EXPECT_FALSE(logger->HasReaderTask());
    ASSERT_TRUE(logger->AddLogListener(recorder.Get()));
    EXPECT_TRUE(logger->HasReaderTask());
    logger->LogBag(Message("drained").Get());
    // No timing is asserted: the bound only keeps a broken logger from hanging the test.
    for (int spin = 0; spin < 60000 && recorder->Messages().empty(); ++spin)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(recorder->Messages(), Lines{"drained"});
    EXPECT_EQ(recorder->Tasks(), Lines{"Logger"});
    logger->Stop();
    EXPECT_FALSE(logger->HasReaderTask());
    logger->LogBag(Message("flushed").Get());
    logger->Flush();
    EXPECT_NE(recorder->Tasks().back(), "Logger") << "an explicit Flush delivers on the calling thread";
}

TEST(VLogger, ListenersComeAndGoWhileTwoThreadsLog)
{
    auto logger = VRefPtr<VLogger>::Adopt(new VLogger);
    logger->Start();
    auto steady = VRefPtr<VRecorder>::Adopt(new VRecorder);
    ASSERT_TRUE(logger->AddLogListener(steady.Get()));
    // A budget per cycle keeps the ring from overflowing, which would drop the cycle's marker.
    std::atomic<bool> done{false};
    std::atomic<int> budget{0};
    auto log = [&](char prefix) {
        for (int i = 0; !done;) {
            int left = budget.load();
            if (left > 0 && budget.compare_exchange_weak(left, left - 1))
                logger->LogBag(Message(prefix + std::to_string(i++)).Get());
            else
                std::this_thread::yield();
        }
    };
    std::thread a(log, 'a'), b(log, 'b');
    for (int cycle = 0; cycle < 200; ++cycle) {
        budget = 400;
        auto passing = VRefPtr<VRecorder>::Adopt(new VRecorder);
        EXPECT_TRUE(logger->AddLogListener(passing.Get()));
        while (budget.load() > 200) // the threads are logging while listeners change
            std::this_thread::yield();
        logger->LogBag(Message("marker").Get());
        EXPECT_TRUE(logger->RemoveLogListener(passing.Get()));
        // Removal drains first: the marker logged while it listened has reached it.
        const Lines got = passing->Messages();
        EXPECT_NE(std::find(got.begin(), got.end(), "marker"), got.end());
        EXPECT_EQ(passing->GetRefCount(), 1);
    }
    done = true;
    a.join();
    b.join();
    logger->Flush();

    // Each thread's messages arrive once each, in order, none lost.
    int next[2] = {0, 0};
    for (const std::string& line : steady->Messages()) {
        if (line == "marker")
            continue;
        int& expected = next[line[0] - 'a'];
        ASSERT_EQ(line.substr(1), std::to_string(expected)) << line;
        ++expected;
    }
    EXPECT_GT(next[0] + next[1], 0);
    logger->Stop();
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

TEST(VLogger, FailedAssertionsAreLoggedOnlyWhenAssertPasses)
{
    VLogger* logger = VProcess::Get()->GetLogger();
    StLogCapture log;
    ILogger::LogAssertIfNecessary("VThing.cpp", "count > 0", 12);
    const bool previous = logger->WithAssert(true);
    ILogger::LogAssertIfNecessary("VThing.cpp", "count > 0", 12);
    logger->WithAssert(previous);
    const std::string processSource = to_string(VProcess::Get()->GetLogSourceIdentifier());
    EXPECT_EQ(MessageSourceLevel(log), Lines{"count > 0|" + processSource + "|2"});
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

TEST(VLogger, ListenerFailuresNeitherEscapeNorComeBackAsMessages)
{
    VLogger* logger = VProcess::Get()->GetLogger();
    StLogCapture log;
    auto troubled = VRefPtr<VTroubledListener>::Adopt(new VTroubledListener);
    ASSERT_TRUE(logger->AddLogListener(troubled.Get()));
    StErrorContextInstaller installer;
    _ThrowError(Updater(1));
    EXPECT_NO_THROW(logger->Flush());
    _ThrowError(Updater(2));
    logger->RemoveLogListener(troubled.Get());
    EXPECT_GE(troubled->fPuts.load(), 2);
    EXPECT_EQ(log.Codes(), (Codes{Updater(1), Updater(2)})) << "the listener's own record is not logged";
    const Codes codes = CodesOf(installer.GetContext());
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(Codes(codes.begin(), codes.begin() + 2), (Codes{Updater(1), Updater(2)}));
}

} // namespace
} // namespace nuvo
