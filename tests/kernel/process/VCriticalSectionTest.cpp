#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "kernel/base/VRefPtr.h"
#include "kernel/process/VCriticalSection.h"
#include "kernel/process/VTask.h"

namespace nuvo {
namespace {

void YieldUntil(const std::atomic<int>& step, int value)
{
    while (step.load() != value)
        std::this_thread::yield();
}

TEST(VCriticalSection, ReentrantForItsOwnerAndExclusiveForOthers)
{
    VCriticalSection section;
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 0);
    section.Lock();
    EXPECT_TRUE(section.TryToLock());
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 2);

    std::atomic<int> step{0};
    std::atomic<bool> triedWhileHeld{true};
    auto task = VRefPtr<VTask>::Adopt(new VTask(0, kTaskStylePreemptive, [&] {
        triedWhileHeld = section.TryToLock();
        step = 1;
        section.Lock(); // until the main task has let go of both levels
        step = 2;
        YieldUntil(step, 3);
        section.Unlock();
    }));
    ASSERT_TRUE(task->Run());
    YieldUntil(step, 1);
    EXPECT_FALSE(triedWhileHeld.load());
    section.Unlock();
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 1);
    EXPECT_EQ(step.load(), 1) << "one level is still held";
    section.Unlock();
    EXPECT_EQ(section.GetLockCountForCurrentTask(), 0);
    YieldUntil(step, 2);
    EXPECT_FALSE(section.TryToLock()) << "the other task owns it now";
    step = 3;
    EXPECT_TRUE(task->WaitForDeath(20000));
    EXPECT_TRUE(section.TryToLock());
    section.Unlock();
}

TEST(VCriticalSection, ThreadsWithoutTaskAreDistinctOwners)
{
    VCriticalSection section;
    bool otherGot = true;
    std::thread([&] {
        ASSERT_EQ(VTask::GetCurrent(), nullptr);
        section.Lock();
        std::thread([&] { otherGot = section.TryToLock(); }).join();
        section.Unlock();
    }).join();
    EXPECT_FALSE(otherGot);
    EXPECT_TRUE(section.TryToLock());
    section.Unlock();
}

} // namespace
} // namespace nuvo
