// Aborts name their task; task states move only forward; the front commands keep their order.
#include <gtest/gtest.h>

#include "engine/AbortState.h"
#include "engine/FTPTask.h"
#include "engine/TaskQueue.h"

TEST(AbortState, RequestReachesOnlyTheTaskItNames)
{
    TFTPTask a, b;
    TAbortState s;
    // Asked before A runs, or after it ended: nothing for anyone.
    s.RequestAbort(&a);
    s.TaskStarted(&a);
    EXPECT_FALSE(s.TakeRequest(&a));
    s.RequestAbort(&a);
    s.TaskEnded();
    s.TaskStarted(&b);
    EXPECT_FALSE(s.TakeRequest(&b));
    // Asked for A while B runs: B goes on.
    s.RequestAbort(&a);
    EXPECT_FALSE(s.TakeRequest(&b));
    // Asked for B: acted on once.
    s.RequestAbort(&b);
    EXPECT_TRUE(s.TakeRequest(&b));
    EXPECT_FALSE(s.TakeRequest(&b));
    // A stop reaches whatever runs, once.
    s.RequestStop();
    EXPECT_TRUE(s.Stopping());
    EXPECT_TRUE(s.TakeRequest(&b));
    EXPECT_FALSE(s.TakeRequest(&b));
}

TEST(AbortState, WatchdogCutsOnlyAnOverdueRequestOfTheRunningTask)
{
    TFTPTask a, b;
    TAbortState s;
    int cuts = 0;
    const auto cut = [&] { ++cuts; };
    const auto later = [](int ms) { return TAbortState::Clock::now() + std::chrono::milliseconds(ms); };
    s.TaskStarted(&a);
    s.RequestAbort(&a);
    s.CutIfOverdue(later(100), true, cut);
    EXPECT_EQ(cuts, 0);
    // A ended in time: B is never cut for A's request.
    s.TaskEnded();
    s.TaskStarted(&b);
    s.CutIfOverdue(later(5000), true, cut);
    EXPECT_EQ(cuts, 0);
    s.RequestAbort(&b);
    s.CutIfOverdue(later(5000), true, cut);
    s.CutIfOverdue(later(5000), true, cut);
    EXPECT_EQ(cuts, 1);
    // A stop is cut while the worker is still in its loop, again at each late look.
    s.RequestStop();
    s.CutIfOverdue(later(1000), false, cut);
    EXPECT_EQ(cuts, 1);
    s.CutIfOverdue(later(1000), true, cut);
    s.CutIfOverdue(later(1000), true, cut);
    EXPECT_EQ(cuts, 3);
}

TEST(TaskState, MovesOnlyForward)
{
    struct Row {
        TTaskState from;
        TTaskState afterAbort;
        TTaskState afterFinish;
    };
    // Abort, then the worker's final state: an abort that came first stays; a finished task
    // keeps its state when an abort comes late.
    const Row rows[] = {
        {tsPending, tsAborted, tsAborted},       {tsRunning, tsAborted, tsAborted},
        {tsCompleted, tsCompleted, tsCompleted}, {tsFailed, tsFailed, tsFailed},
        {tsAborted, tsAborted, tsAborted},
    };
    for (const Row& r : rows) {
        TFTPTask t;
        t.SetState(r.from);
        EXPECT_EQ(t.Abort(), r.from);
        EXPECT_EQ(t.State(), r.afterAbort) << int(r.from);
        t.Finish(tsCompleted);
        EXPECT_EQ(t.State(), r.afterFinish) << int(r.from);
        EXPECT_FALSE(t.Start());
    }
    TFTPTask fresh;
    EXPECT_TRUE(fresh.Start());
    EXPECT_FALSE(fresh.FailUnrun());
    fresh.Finish(tsFailed);
    EXPECT_EQ(fresh.State(), tsFailed);
}

TEST(TaskQueue, FrontCommandsGoBehindEarlierOnesAndReconnections)
{
    TTaskQueue q;
    const auto make = [](TTaskKind kind, bool automatic, const char* name) {
        auto t = std::make_shared<TFTPTask>();
        t->Kind = kind;
        t->Automatic = automatic;
        t->Source = name;
        return t;
    };
    const auto stays = [](const TFTPTask& t) { return t.Automatic || IsFrontCommand(t.Kind); };
    q.Append(make(taskGet, false, "get"));
    q.InsertFront(make(taskConnect, true, "connect"), make(taskChangeDir, true, "back"));
    q.InsertAfterLeading(make(taskRename, false, "rename"), stays);
    q.InsertAfterLeading(make(taskSetType, false, "type"), stays);
    q.InsertAfterLeading(make(taskList, true, "head"), [](const TFTPTask&) { return false; });
    std::string order;
    for (const TTaskPtr& t : q.TakeAll())
        order += t->Source + " ";
    EXPECT_EQ(order, "head connect back rename type get ");
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_STREQ(TaskKindCaption(taskChmod), "CHMOD");
    EXPECT_STREQ(TaskKindCaption(14), "TASK");
}
