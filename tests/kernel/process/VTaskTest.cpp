#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/errors/ErrorThrowing.h"
#include "kernel/errors/StErrorContextInstaller.h"
#include "kernel/errors/VErrorTaskContext.h"
#include "kernel/platform/XPosixThread.h"
#include "kernel/process/VTask.h"
#include "kernel/process/VTaskMgr.h"
#include "kernel/values/VValueBag.h"

namespace nuvo {
namespace {

// Generous bound for waits that must end; a failure here means a hang, not slowness.
constexpr int32_t kLongWait = 20000;

VRefPtr<VTask> MakeTask(VTask::RunFunction run)
{
    return VRefPtr<VTask>::Adopt(new VTask(0, kTaskStylePreemptive, std::move(run)));
}

// Spins (yielding) until condition holds or the long wait has passed.
template <class Condition> bool Eventually(Condition condition)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLongWait);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(VTask, TheTestThreadIsTheMainTask)
{
    VTaskMgr* manager = VTaskMgr::Get();
    ASSERT_TRUE(manager->IsInitialized());
    VTask* current = VTask::GetCurrent();
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current, manager->GetMainTask());
    EXPECT_EQ(current->GetState(), VTask::kStateRunning);
    EXPECT_EQ(VTask::GetCurrentID(), current->GetID());
    VString name;
    current->GetName(name);
    EXPECT_EQ(to_string(name), "Main");
    // A second initialisation keeps the main task.
    EXPECT_TRUE(VTaskMgr::Init(nullptr));
    EXPECT_EQ(manager->GetMainTask(), current);
}

TEST(VTask, ForeignThreadsHaveNoTask)
{
    VTask* seen = reinterpret_cast<VTask*>(1);
    int32_t id = -1;
    std::thread([&] {
        seen = VTask::GetCurrent();
        id = VTask::GetCurrentID();
    }).join();
    EXPECT_EQ(seen, nullptr);
    EXPECT_EQ(id, 0);
}

TEST(VTask, RunKillWaitForDeath)
{
    std::atomic<VTask*> inside{nullptr};
    std::atomic<int32_t> stateInside{-1};
    auto task = MakeTask([&] {
        VTask* self = VTask::GetCurrent();
        stateInside = self->GetState();
        inside = self;
        while (!self->IsDying())
            VTask::Sleep(1);
    });
    EXPECT_EQ(task->GetState(), VTask::kStateNone);
    EXPECT_NE(task->GetID(), VTask::GetCurrentID());
    EXPECT_FALSE(task->WaitForDeath(1)) << "a task that never ran does not die";

    ASSERT_TRUE(task->Run());
    EXPECT_FALSE(task->Run()) << "only a new task can be started";
    ASSERT_TRUE(Eventually([&] { return inside.load() != nullptr; }));
    EXPECT_EQ(inside.load(), task.Get());
    EXPECT_EQ(stateInside.load(), VTask::kStateRunning);
    EXPECT_FALSE(task->IsDying());
    EXPECT_EQ(task->GetTimeOfDeath(), 0);
    EXPECT_EQ(VTaskMgr::Get()->GetRunningTaskCount(), 1u);

    task->Kill();
    EXPECT_TRUE(task->IsDying());
    EXPECT_GT(task->GetTimeOfDeath(), 0);
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_EQ(task->GetState(), VTask::kStateDead);
    // The thread lets go of its reference just after it marked the task dead.
    EXPECT_TRUE(Eventually([&] { return task->GetRefCount() == 1; }));
    EXPECT_EQ(VTaskMgr::Get()->GetRunningTaskCount(), 0u);

    // Killing a dead task changes nothing.
    int64_t death = task->GetTimeOfDeath();
    task->Kill();
    EXPECT_EQ(task->GetState(), VTask::kStateDead);
    EXPECT_EQ(task->GetTimeOfDeath(), death);
}

TEST(VTask, ThreadThatCannotStartLeavesTheTaskDeadWithAnError)
{
    StErrorContextInstaller installer;
    std::atomic<bool> ran{false};
    // No system gives a thread 64 TiB of stack.
    auto task = VRefPtr<VTask>::Adopt(new VTask(size_t(1) << 46, kTaskStylePreemptive, [&] { ran = true; }));
    EXPECT_FALSE(task->Run());
    EXPECT_EQ(task->GetState(), VTask::kStateDead);
    EXPECT_EQ(task->GetRefCount(), 1);
    EXPECT_EQ(VTaskMgr::Get()->GetRunningTaskCount(), 0u);
    EXPECT_FALSE(ran.load());
    VError error = installer.GetLastError();
    EXPECT_EQ(ComponentOf(error), MakeOsType("POSX"));
    EXPECT_TRUE(NumberOf(error) == EAGAIN || NumberOf(error) == ENOMEM || NumberOf(error) == EINVAL) << NumberOf(error);
    EXPECT_FALSE(task->Run());
}

TEST(VTask, RunFunctionReturningEndsTheTask)
{
    auto task = MakeTask([] {});
    ASSERT_TRUE(task->Run());
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_EQ(task->GetTimeOfDeath(), 0) << "it ended by itself, nobody killed it";
}

TEST(VTask, WaitForDeathOnItselfReturnsAtOnce)
{
    std::atomic<int> answer{-1};
    auto task = MakeTask([&] { answer = VTask::GetCurrent()->WaitForDeath(-1) ? 1 : 0; });
    ASSERT_TRUE(task->Run());
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_EQ(answer.load(), 0);
    EXPECT_FALSE(VTask::GetCurrent()->WaitForDeath(kLongWait));
}

TEST(VTask, KillWakesAMessageWait)
{
    std::atomic<bool> waiting{false};
    auto task = MakeTask([&] {
        waiting = true;
        // An hour: only Kill can end this in time.
        VTask::ExecuteMessagesWithTimeout(3600 * 1000);
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(Eventually([&] { return waiting.load(); }));
    task->Kill();
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
}

// A Kill between the wait's dying check and its reading of the wake count used to be lost, and
// the task slept the whole timeout. The window is narrow: repeat the kill that races the start.
TEST(VTask, KillRacingTheStartOfAMessageWaitIsNotLost)
{
    for (int round = 0; round < 200; ++round) {
        auto task = MakeTask([] { VTask::ExecuteMessagesWithTimeout(3600 * 1000); });
        ASSERT_TRUE(task->Run());
        task->Kill();
        ASSERT_TRUE(task->WaitForDeath(kLongWait)) << "round " << round;
    }
}

TEST(VTask, WakeUpEndsAWaitWithoutKilling)
{
    std::atomic<int> phase{0};
    auto task = MakeTask([&] {
        phase = 1;
        VTask::ExecuteMessagesWithTimeout(3600 * 1000);
        phase = VTask::GetCurrent()->IsDying() ? 3 : 2;
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(Eventually([&] { return phase.load() == 1; }));
    // The wake may come before the wait starts; keep waking until the task moves on.
    ASSERT_TRUE(Eventually([&] {
        task->WakeUp();
        return phase.load() != 1;
    }));
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_EQ(phase.load(), 2);
}

TEST(VTask, KillFromSignalHandlerMarksDying)
{
    std::atomic<bool> running{false};
    auto task = MakeTask([&] {
        running = true;
        while (!VTask::GetCurrent()->IsDying())
            VTask::ExecuteMessagesWithTimeout(3600 * 1000);
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(Eventually([&] { return running.load(); }));
    task->KillFromSignalHandler();
    EXPECT_TRUE(task->IsDying());
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
}

// A task without run function: DoInit, DoRun until false, DoDeInit, DoPrepareToDie on Kill.
class VCountingTask : public VTask {
public:
    VCountingTask(bool initOK, int runs) : VTask(0, kTaskStyleCooperative, nullptr), fInitOK(initOK), fRunsLeft(runs) {}

    std::atomic<int> fInits{0}, fRuns{0}, fIdles{0}, fDeInits{0}, fPrepares{0};

protected:
    bool DoInit() override
    {
        ++fInits;
        return fInitOK;
    }
    bool DoRun() override
    {
        ++fRuns;
        return --fRunsLeft > 0;
    }
    void DoIdle() override { ++fIdles; }
    void DoDeInit() override { ++fDeInits; }
    void DoPrepareToDie() override { ++fPrepares; }

private:
    bool fInitOK;
    int fRunsLeft;
};

TEST(VTask, HooksOfATaskWithoutRunFunction)
{
    struct Row {
        const char* name;
        bool initOK;
        int runs;
        int expectedRuns;
        int expectedDeInits;
        int expectedPrepares;
    } rows[] = {
        {"three rounds then stop", true, 3, 3, 1, 1},
        {"failed init runs nothing", false, 3, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto task = VRefPtr<VCountingTask>::Adopt(new VCountingTask(row.initOK, row.runs));
        ASSERT_TRUE(task->Run());
        ASSERT_TRUE(task->WaitForDeath(kLongWait));
        EXPECT_EQ(task->fInits.load(), 1);
        EXPECT_EQ(task->fRuns.load(), row.expectedRuns);
        EXPECT_EQ(task->fIdles.load(), row.expectedRuns > 0 ? row.expectedRuns - 1 : 0);
        EXPECT_EQ(task->fDeInits.load(), row.expectedDeInits);
        // DoRun returning false kills the task through Kill, which prepares it.
        EXPECT_EQ(task->fPrepares.load(), row.expectedPrepares);
    }
}

TEST(VTask, SleepOutsideATaskReturnsAtOnce)
{
    auto done = std::async(std::launch::async, [] {
        VTask::Sleep(3600 * 1000);
        VTask::Sleep(0);
        VTask::Sleep(-5);
        return true;
    });
    ASSERT_EQ(done.wait_for(std::chrono::milliseconds(kLongWait)), std::future_status::ready);
    EXPECT_TRUE(done.get());
    // On a task, 0 and negative durations only yield.
    VTask::Sleep(0);
    VTask::Sleep(-1);
    VTask::Sleep(1);
}

TEST(VTask, ErrorsStayOnTheTaskThatPushedThem)
{
    VTask* main = VTask::GetCurrent();
    main->FlushErrors();
    VError mainBefore = main->GetLastError();
    auto task = MakeTask([] { _ThrowError(MakeVError(MakeOsType("UPQZ"), 42)); });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_EQ(task->GetLastError(), MakeVError(MakeOsType("UPQZ"), 42));
    EXPECT_EQ(main->GetLastError(), mainBefore);

    auto quiet = MakeTask([] {});
    EXPECT_EQ(quiet->GetLastError(), VError(0));
    EXPECT_EQ(quiet->GetErrorContext(false), nullptr);
    EXPECT_FALSE(quiet->FailedForMemory());
}

TEST(VTask, NameAndProperties)
{
    std::atomic<bool> checked{false};
    std::string threadName;
    auto task = MakeTask([&] {
        std::ifstream comm("/proc/thread-self/comm");
        std::getline(comm, threadName);
        checked = true;
    });
    task->SetName(VString("Logger"));
    VString name;
    task->GetName(name);
    EXPECT_EQ(to_string(name), "Logger");
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_TRUE(checked.load());
    EXPECT_EQ(threadName, "Logger");

    EXPECT_EQ(task->RetainProperties(), nullptr);
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    task->SetProperties(bag.Get());
    VValueBag* retained = task->RetainProperties();
    EXPECT_EQ(retained, bag.Get());
    EXPECT_EQ(bag->GetRefCount(), 3);
    retained->Release();
    task->SetProperties(nullptr);
    EXPECT_EQ(bag->GetRefCount(), 1);
}

TEST(VTaskMgr, ReinitialisationGivesTheThreadANewMainTask)
{
    VTaskMgr* manager = VTaskMgr::Get();
    VRefPtr<VTask> old(manager->GetMainTask());
    ASSERT_TRUE(old);
    ASSERT_EQ(VTask::GetCurrent(), old.Get());

    VTaskMgr::DeInit();
    EXPECT_FALSE(manager->IsInitialized());
    EXPECT_EQ(manager->GetMainTask(), nullptr);
    EXPECT_EQ(VTask::GetCurrent(), nullptr);
    EXPECT_EQ(old->GetState(), VTask::kStateDead);
    // Before the task manager exists a positive sleep returns at once (an hour otherwise).
    VTask::Sleep(3600 * 1000);

    ASSERT_TRUE(VTaskMgr::Init(nullptr));
    VTask* fresh = VTask::GetCurrent();
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, old.Get());
    EXPECT_EQ(fresh, manager->GetMainTask());
    EXPECT_NE(fresh->GetID(), old->GetID());
    EXPECT_EQ(fresh->GetState(), VTask::kStateRunning);
    EXPECT_EQ(fresh->GetLastError(), VError(0));
}

TEST(XPosixThread, ThreadNamesAreCutOnCharacterBoundaries)
{
    struct Row {
        const char* name;
        std::string input;
        std::string expected;
    } rows[] = {
        {"short", "Logger", "Logger"},
        {"exactly 15 bytes", "123456789012345", "123456789012345"},
        {"16 bytes", "1234567890123456", "123456789012345"},
        {"two-byte character across the limit", "12345678901234\xC3\xA9", "12345678901234"},
        {"three-byte character ending at 15", "123456789012\xE2\x82\xAC", "123456789012\xE2\x82\xAC"},
        {"three-byte character across the limit", "1234567890123\xE2\x82\xAC", "1234567890123"},
        {"empty", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(XPosixThread::TruncateThreadName(row.input), row.expected);
    }
}

} // namespace
} // namespace nuvo
