#pragma once
// The waiting tasks, under one lock held only inside each operation.
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

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
    // Puts the task in front of the waiting ones, but behind the leading tasks `stays` holds for.
    void InsertAfterLeading(TTaskPtr task, const std::function<bool(const TFTPTask&)>& stays);
    // Empties the queue and gives what it held, front first.
    std::vector<TTaskPtr> TakeAll();
    // Every waiting task, front first (a snapshot).
    std::deque<TTaskPtr> Snapshot() const;
    void Clear();

private:
    mutable std::mutex FLock;
    std::deque<TTaskPtr> FTasks;
};
