#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
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
