#pragma once
// The waiting tasks, under one lock held only inside each operation.
#include <deque>
#include <mutex>

#include "engine/FTPTask.h"

class TTaskQueue {
public:
    bool IsEmpty() const;
    TTaskPtr First() const;
    TTaskPtr TakeFirst();
    void Append(TTaskPtr task);
    int Count() const;
    // Reconnection puts its two tasks in front in one hold of the lock.
    void InsertFront(TTaskPtr first, TTaskPtr second);
    // Every waiting task, front first (a snapshot).
    std::deque<TTaskPtr> Snapshot() const;
    void Clear();

private:
    mutable std::mutex FLock;
    std::deque<TTaskPtr> FTasks;
};
