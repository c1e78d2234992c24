#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

TEST(VTask, RunKillWaitForDeath)
{
    std::atomic<bool> seenItself{false};
    VRefPtr<VTask> task;
    task = MakeTask([&] {
        VTask* self = VTask::GetCurrent();
        seenItself = self == task.Get() && self->GetState() == VTask::kStateRunning;
        while (!self->IsDying())
            VTask::Sleep(1);
    });
    EXPECT_EQ(task->GetState(), VTask::kStateNone);
    EXPECT_FALSE(task->WaitForDeath(1)) << "a task that never ran does not die";
    ASSERT_TRUE(task->Run());
    EXPECT_FALSE(task->Run()) << "only a new task can be started";
    ASSERT_TRUE(Eventually([&] { return seenItself.load(); }));
    EXPECT_EQ(task->GetTimeOfDeath(), 0);
    EXPECT_EQ(VTaskMgr::Get()->GetRunningTaskCount(), 1u);

    task->Kill();
    EXPECT_TRUE(task->IsDying());
    const int64_t death = task->GetTimeOfDeath();
    EXPECT_GT(death, 0);
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_TRUE(Eventually([&] { return task->GetRefCount() == 1; })) << "the thread lets go of its reference";
    EXPECT_EQ(VTaskMgr::Get()->GetRunningTaskCount(), 0u);
    task->Kill();
    EXPECT_EQ(task->GetState(), VTask::kStateDead);
    EXPECT_EQ(task->GetTimeOfDeath(), death) << "killing a dead task changes nothing";
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

TEST(VTask, RunFunctionReturningEndsTheTaskAndNobodyWaitsForItself)
{
    VTask* main = VTask::GetCurrent();
    main->FlushErrors();
    std::atomic<int> answer{-1};
    auto task = MakeTask([&] {
        answer = VTask::GetCurrent()->WaitForDeath(-1) ? 1 : 0;
        _ThrowError(MakeVError(MakeOsType("UPQZ"), 42));
    });
    ASSERT_TRUE(task->Run());
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_EQ(answer.load(), 0);
    EXPECT_EQ(task->GetTimeOfDeath(), 0) << "it ended by itself, nobody killed it";
    EXPECT_FALSE(main->WaitForDeath(kLongWait));
    // Errors stay on the task that pushed them.
    EXPECT_EQ(task->GetLastError(), MakeVError(MakeOsType("UPQZ"), 42));
    EXPECT_EQ(main->GetLastError(), VError(0));
    auto quiet = MakeTask([] {});
    EXPECT_EQ(quiet->GetLastError(), VError(0));
    EXPECT_EQ(quiet->GetErrorContext(false), nullptr);
}

// A Kill between the wait's dying check and its reading of the wake count used to be lost, and
// the task slept the whole timeout. The window is narrow: repeat the kill that races the start.
TEST(VTask, WakeUpAndKillEndAMessageWaitEvenWhenTheyRaceItsStart)
{
    std::atomic<bool> waiting{false};
    auto task = MakeTask([&] {
        waiting = true;
        VTask::ExecuteMessagesWithTimeout(3600 * 1000); // only a wake ends this in time
        waiting = false;
        while (!VTask::GetCurrent()->IsDying()) // stray wakes from the loop below end a wait too
            VTask::ExecuteMessagesWithTimeout(3600 * 1000);
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(Eventually([&] { return waiting.load(); }));
    // WakeUp ends the wait without killing; it may come before the wait starts, so keep waking.
    ASSERT_TRUE(Eventually([&] {
        task->WakeUp();
        return !waiting.load();
    }));
    EXPECT_FALSE(task->IsDying());
    task->KillFromSignalHandler();
    EXPECT_TRUE(task->IsDying());
    EXPECT_TRUE(task->WaitForDeath(kLongWait));

    for (int round = 0; round < 200; ++round) {
        auto racing = MakeTask([] { VTask::ExecuteMessagesWithTimeout(3600 * 1000); });
        ASSERT_TRUE(racing->Run());
        racing->Kill();
        ASSERT_TRUE(racing->WaitForDeath(kLongWait)) << "round " << round;
    }
}

// A task without run function: DoInit, DoRun until false, DoDeInit, DoPrepareToDie on Kill.
class VCountingTask : public VTask {
public:
    VCountingTask(bool initOK, int runs) : VTask(0, kTaskStyleCooperative, nullptr), fInitOK(initOK), fRunsLeft(runs) {}
    std::atomic<int> fInits{0}, fRuns{0}, fIdles{0}, fDeInits{0}, fPrepares{0};

protected:
    bool DoInit() override { return ++fInits, fInitOK; }
    bool DoRun() override { return ++fRuns, --fRunsLeft > 0; }
    void DoIdle() override { ++fIdles; }
    void DoDeInit() override { ++fDeInits; }
    void DoPrepareToDie() override { ++fPrepares; }

private:
    bool fInitOK;
    int fRunsLeft;
};

TEST(VTask, HooksOfATaskWithoutRunFunction)
{
    // DoRun returning false kills the task through Kill, which prepares it.
    for (bool initOK : {true, false}) {
        SCOPED_TRACE(initOK ? "three rounds then stop" : "failed init runs nothing");
        auto task = VRefPtr<VCountingTask>::Adopt(new VCountingTask(initOK, 3));
        ASSERT_TRUE(task->Run());
        ASSERT_TRUE(task->WaitForDeath(kLongWait));
        // Calls of DoInit, DoRun, DoIdle, DoDeInit, DoPrepareToDie.
        const std::vector<int> calls = {task->fInits, task->fRuns, task->fIdles, task->fDeInits, task->fPrepares};
        EXPECT_EQ(calls, (initOK ? std::vector<int>{1, 3, 2, 1, 1} : std::vector<int>{1, 0, 0, 0, 0}));
    }
}

TEST(VTask, NameAndProperties)
{
    std::string threadName;
    auto task = MakeTask([&] { std::getline(std::ifstream("/proc/thread-self/comm"), threadName); });
    task->SetName(VString("Logger"));
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_EQ(threadName, "Logger");

    EXPECT_EQ(task->RetainProperties(), nullptr);
    auto bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
    task->SetProperties(bag.Get());
    auto retained = VRefPtr<VValueBag>::Adopt(task->RetainProperties());
    EXPECT_EQ(retained.Get(), bag.Get());
    EXPECT_EQ(bag->GetRefCount(), 3);
    task->SetProperties(nullptr);
    EXPECT_EQ(bag->GetRefCount(), 2);
}

// Runs last: the test main's thread ends with a new main task.
TEST(VTaskMgr, OnlyThreadsOfTheTaskManagerHaveATaskAndReinitialisation)
{
    VTaskMgr* manager = VTaskMgr::Get();
    auto expectMainTask = [manager](VTask* task) {
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task, manager->GetMainTask());
        EXPECT_EQ(task->GetState(), VTask::kStateRunning);
        EXPECT_EQ(VTask::GetCurrentID(), task->GetID());
        VString name;
        task->GetName(name);
        EXPECT_EQ(to_string(name), "Main");
    };
    VRefPtr<VTask> old(VTask::GetCurrent());
    expectMainTask(old.Get());
    EXPECT_TRUE(VTaskMgr::Init(nullptr));
    EXPECT_EQ(manager->GetMainTask(), old.Get()) << "a second initialisation keeps the main task";
    bool foreignHasNone = false;
    std::thread([&] {
        foreignHasNone = VTask::GetCurrent() == nullptr && VTask::GetCurrentID() == 0;
        VTask::Sleep(3600 * 1000); // returns at once outside a task
        VTask::Sleep(-5);
    }).join();
    EXPECT_TRUE(foreignHasNone);

    VTaskMgr::DeInit();
    EXPECT_FALSE(manager->IsInitialized());
    EXPECT_EQ(manager->GetMainTask(), nullptr);
    EXPECT_EQ(VTask::GetCurrent(), nullptr);
    EXPECT_EQ(old->GetState(), VTask::kStateDead);
    VTask::Sleep(3600 * 1000); // returns at once without a task manager
    ASSERT_TRUE(VTaskMgr::Init(nullptr));
    VTask* fresh = VTask::GetCurrent();
    expectMainTask(fresh);
    EXPECT_NE(fresh, old.Get());
    EXPECT_NE(fresh->GetID(), old->GetID());
    EXPECT_EQ(fresh->GetLastError(), VError(0));
}

TEST(XPosixThread, ThreadNamesAreCutOnCharacterBoundaries)
{
    // The kernel keeps 15 bytes; é is two bytes, € three.
    const std::pair<std::string, std::string> rows[] = {
        {"Logger", "Logger"}, {"", ""},
        {"123456789012345", "123456789012345"}, {"1234567890123456", "123456789012345"},
        {"12345678901234\xC3\xA9", "12345678901234"}, {"123456789012\xE2\x82\xAC", "123456789012\xE2\x82\xAC"},
        {"1234567890123\xE2\x82\xAC", "1234567890123"},
    };
    for (const auto& [input, expected] : rows) {
        SCOPED_TRACE(input);
        EXPECT_EQ(XPosixThread::TruncateThreadName(input), expected);
    }
}

} // namespace
} // namespace nuvo
