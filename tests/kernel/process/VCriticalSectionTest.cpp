#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/process/VCriticalSection.h"
#include "kernel/process/VTask.h"

namespace nuvo {
namespace {

constexpr int32_t kLongWait = 20000;

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

VRefPtr<VTask> MakeTask(VTask::RunFunction run)
{
    return VRefPtr<VTask>::Adopt(new VTask(0, kTaskStylePreemptive, std::move(run)));
}

TEST(VCriticalSection, ReentrantForItsOwner)
{
    VCriticalSection section;
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 0);
    section.Lock();
    section.Lock();
    EXPECT_TRUE(section.TryToLock());
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 3);
    section.Unlock();
    section.Unlock();
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 1);
    section.Unlock();
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 0);
}

TEST(VCriticalSection, ExcludesAnotherTaskUntilFullyUnlocked)
{
    VCriticalSection section;
    section.Lock();
    section.Lock();

    std::atomic<int> step{0};
    std::atomic<bool> triedWhileHeld{true};
    std::atomic<bool> acquired{false};
    auto task = MakeTask([&] {
        triedWhileHeld = section.TryToLock();
        step = 1;
        section.Lock(); // blocks until the main task has unlocked both levels
        acquired = true;
        while (step.load() != 2)
            std::this_thread::yield();
        section.Unlock();
        step = 3;
    });
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(Eventually([&] { return step.load() == 1; }));
    EXPECT_FALSE(triedWhileHeld.load());

    section.Unlock();
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 1);
    EXPECT_FALSE(acquired.load()) << "one level is still held";
    section.Unlock();
    ASSERT_TRUE(Eventually([&] { return acquired.load(); }));
    EXPECT_FALSE(section.TryToLock()) << "the other task owns it now";
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 0);
    step = 2;
    ASSERT_TRUE(Eventually([&] { return step.load() == 3; }));
    EXPECT_TRUE(task->WaitForDeath(kLongWait));
    EXPECT_TRUE(section.TryToLock());
    section.Unlock();
}

TEST(VCriticalSection, ThreadsWithoutTaskAreDistinctOwners)
{
    VCriticalSection section;
    std::atomic<bool> otherGot{true};
    std::thread owner([&] {
        ASSERT_EQ(VTask::GetCurrent(), nullptr);
        section.Lock();
        std::thread([&] { otherGot = section.TryToLock(); }).join();
        section.Unlock();
    });
    owner.join();
    EXPECT_FALSE(otherGot.load());
    EXPECT_TRUE(section.TryToLock());
    section.Unlock();
}

} // namespace
} // namespace nuvo
