#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "rtl/Thread.h"

namespace {
class Notifier : public TThread {
public:
    explicit Notifier(int count) : TThread(true), FCount(count) {}
    std::vector<int> seen;
    std::atomic<int> dropped{0};
    bool throwInHandler = false;
    std::string caught;

protected:
    void Execute() override
    {
        for (int i = 0; i < FCount && !Terminated(); ++i)
            if (!Synchronize([this, i] { seen.push_back(i); }))
                ++dropped;
        if (throwInHandler) {
            try {
                Synchronize([] { throw std::runtime_error("from handler"); });
            } catch (const std::exception& e) {
                caught = e.what();
            }
        }
    }

private:
    int FCount;
};
} // namespace

TEST(Thread, SynchronizeRunsOnTheMainThreadInOrder)
{
    Sync::SetMainThread();
    Notifier t(50);
    t.Start();
    while (!t.Finished())
        Sync::WaitAndCheckSynchronize(10);
    t.WaitFor();
    ASSERT_EQ(t.seen.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(t.seen[i], i);
}

TEST(Thread, WaitForOnTheMainThreadServesPendingCallsAndHandlerErrorsReachTheCaller)
{
    Sync::SetMainThread();
    Notifier t(5);
    t.throwInHandler = true;
    t.Start();
    t.WaitFor(); // would deadlock if it did not serve Synchronize
    EXPECT_EQ(t.seen.size(), 5u);
    EXPECT_EQ(t.caught, "from handler");
}

TEST(Thread, CancelledSynchronizeIsDroppedNotDeadlocked)
{
    Sync::SetMainThread();
    Notifier t(1000);
    t.Start();
    t.CancelSynchronize();
    t.WaitFor();
    EXPECT_EQ(t.seen.size() + t.dropped.load(), 1000u);
    EXPECT_GT(t.dropped.load(), 0);
}

namespace {
// Queues calls without waiting, then waits in one Synchronize behind them.
class Newsreader : public TThread {
public:
    explicit Newsreader(int queued) : TThread(true), FQueued(queued) {}
    std::vector<int> seen;
    std::atomic<bool> allQueued{false};
    bool Pending() const { return HasQueuedCalls(); }

protected:
    void Execute() override
    {
        for (int i = 0; i < FQueued; ++i)
            Queue([this, i] { seen.push_back(i); });
        allQueued = true;
        Synchronize([this] { seen.push_back(-1); });
    }

private:
    int FQueued;
};
} // namespace

// A window woken once per protocol line would spend a tree upload waking up. Queued calls keep
// their order with the waiting ones; a stopped thread's queued calls never run.
TEST(Thread, QueuedCallsRunInOrderWithOneWakeUpAndAreDroppedWithTheirThread)
{
    Sync::SetMainThread();
    std::atomic<int> wakes{0};
    Sync::SetWakeMainThread([&wakes] { ++wakes; });
    {
        Newsreader t(100);
        t.Start();
        while (!t.allQueued)
            std::this_thread::yield();
        EXPECT_TRUE(t.Pending());
        t.WaitFor();
        ASSERT_EQ(t.seen.size(), 101u);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(t.seen[i], i);
        EXPECT_EQ(t.seen.back(), -1);
        EXPECT_FALSE(t.Pending());
        // One wake-up for the first call, every later one finding the queue still waiting; one
        // more when the Synchronize came after the main thread had emptied it.
        EXPECT_LE(wakes.load(), 2);
    }
    Sync::SetWakeMainThread(nullptr);

    Newsreader gone(50);
    gone.Start();
    while (!gone.Pending())
        std::this_thread::yield();
    gone.CancelSynchronize();
    gone.WaitFor();
    EXPECT_TRUE(gone.seen.empty());
    EXPECT_FALSE(gone.Pending());
}
