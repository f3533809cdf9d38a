#include <gtest/gtest.h>

#include <thread>

#include "engine/FTPTask.h"
#include "engine/TaskQueue.h"
#include "support/EngineHarness.h"

TEST(TaskModel, RightsFromPermissionGroups)
{
    const TFTPRights rx = TFTPRights::Parse("r-x");
    EXPECT_TRUE(rx.Read);
    EXPECT_FALSE(rx.Write);
    EXPECT_TRUE(rx.Execute);
    EXPECT_EQ(rx.Mode, 5);
    EXPECT_EQ(TFTPRights::Parse("---").Mode, 0);
    EXPECT_EQ(TFTPRights::Parse("rws").Mode, 6); // only "x" counts as execute
    EXPECT_EQ(TFTPRights::Parse("rw").Mode, 6);
    EXPECT_EQ(TFTPRights::Parse("").Mode, 0);
}

TEST(TaskModel, PathsCaptionsAndSafeNames)
{
    EXPECT_EQ(JoinRemotePath("/pub/", "a.txt"), "/pub/a.txt");
    EXPECT_EQ(JoinRemotePath("/pub", "a.txt"), "/pub/a.txt");
    EXPECT_EQ(JoinRemotePath("", "a.txt"), "/a.txt");
    EXPECT_EQ(JoinLocalPath("/home/u/", "f"), "/home/u/f");
    EXPECT_EQ(JoinLocalPath("/home/u", "f"), "/home/u/f");
    EXPECT_STREQ(TaskKindCaption(taskRemoveDir), "REM DIR");
    EXPECT_STREQ(TaskKindCaption(taskShellOpen), "SHELL OPEN");
    EXPECT_STREQ(TaskKindCaption(42), "TASK");
    for (const char* bad : {"", ".", "..", "../evil", "a/b", "a\\b", "x\r\nDELE y", "nl\n"})
        EXPECT_FALSE(IsSafeEntryName(bad)) << bad;
    EXPECT_FALSE(IsSafeEntryName(std::string("nul\0x", 5)));
    for (const char* good : {"a", "...", "..a", "name with spaces", "\xe9t\xe9"})
        EXPECT_TRUE(IsSafeEntryName(good)) << good;
}

TEST(TaskQueue, TakesInOrderAndReconnectionGoesInFront)
{
    TTaskQueue q;
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.TakeFirst(), nullptr);
    auto make = [](int id) {
        auto t = std::make_shared<TFTPTask>();
        t->Id = id;
        return t;
    };
    q.Append(make(1));
    q.Append(make(2));
    q.InsertFront(make(10), make(11));
    EXPECT_EQ(q.First()->Id, 10);
    std::vector<int> order;
    while (auto t = q.TakeFirst())
        order.push_back(t->Id);
    EXPECT_EQ(order, (std::vector<int>{10, 11, 1, 2}));
}

TEST(TaskQueue, ConcurrentAppendAndTakeLoseNothing)
{
    TTaskQueue q;
    constexpr int kCount = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) {
            auto t = std::make_shared<TFTPTask>();
            t->Id = i;
            q.Append(t);
        }
    });
    int next = 0;
    while (next < kCount) {
        if (auto t = q.TakeFirst()) {
            ASSERT_EQ(t->Id, next++);
        }
    }
    producer.join();
}

// The worker's queueing operations, with no server behind them. The worker wakes at the first
// task, finds no connection and stops at its "Reconnecting" status line, which waits for this
// thread: so nothing but the test takes numbers until the end.
TEST(TaskQueueing, IdsChangeDirRuleNullGetAndShellOpen)
{
    EngineHarness h;
    TFTPThread& w = *h.Worker;
    w.OnLog = [] {};
    w.AddGet(nullptr, "/tmp/x");
    EXPECT_TRUE(h.Rows.empty());
    EXPECT_EQ(w.FNextId, 0);
    w.AddShellOpen("/tmp/a.txt");
    ASSERT_EQ(h.Rows.size(), 1u);
    EXPECT_EQ(h.Rows[0].Id, 0);
    EXPECT_EQ(w.FNextId, 0);
    w.AddChangeDir("/a");
    w.AddChangeDir("/b");
    const std::vector<std::string> kinds{"SHELL OPEN", "CH DIR", "LIST", "CH DIR", "LIST"};
    EXPECT_EQ(h.RowKinds(), kinds);
    EXPECT_EQ(h.Rows[1].Id, 1);
    EXPECT_EQ(h.Rows[4].Id, 4);
    // A return to the folder queued by a reconnection is the last task: no second change.
    w.Reconnect();
    EXPECT_EQ(w.FLastTask->Kind, taskChangeDir);
    const size_t before = h.Rows.size();
    w.AddChangeDir("/c");
    EXPECT_EQ(h.Rows.size(), before);
    w.AddList();
    w.AddChangeDir("/c");
    EXPECT_EQ(h.Rows.size(), before + 3);
}
