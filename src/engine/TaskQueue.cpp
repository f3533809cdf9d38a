#include "engine/TaskQueue.h"

bool TTaskQueue::IsEmpty() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FTasks.empty();
}

TTaskPtr TTaskQueue::First() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FTasks.empty() ? nullptr : FTasks.front();
}

TTaskPtr TTaskQueue::TakeFirst()
{
    std::lock_guard<std::mutex> g(FLock);
    if (FTasks.empty())
        return nullptr;
    TTaskPtr t = std::move(FTasks.front());
    FTasks.pop_front();
    return t;
}

void TTaskQueue::Append(TTaskPtr task)
{
    std::lock_guard<std::mutex> g(FLock);
    FTasks.push_back(std::move(task));
}

int TTaskQueue::Count() const
{
    std::lock_guard<std::mutex> g(FLock);
    return static_cast<int>(FTasks.size());
}

void TTaskQueue::InsertFront(TTaskPtr first, TTaskPtr second)
{
    std::lock_guard<std::mutex> g(FLock);
    FTasks.push_front(std::move(second));
    FTasks.push_front(std::move(first));
}

std::deque<TTaskPtr> TTaskQueue::Snapshot() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FTasks;
}

void TTaskQueue::Clear()
{
    std::lock_guard<std::mutex> g(FLock);
    FTasks.clear();
}

void TTaskQueue::InsertAfterLeading(TTaskPtr task, const std::function<bool(const TFTPTask&)>& stays)
{
    std::lock_guard<std::mutex> g(FLock);
    auto at = FTasks.begin();
    while (at != FTasks.end() && stays(**at))
        ++at;
    FTasks.insert(at, std::move(task));
}

std::vector<TTaskPtr> TTaskQueue::TakeAll()
{
    std::lock_guard<std::mutex> g(FLock);
    std::vector<TTaskPtr> all(FTasks.begin(), FTasks.end());
    FTasks.clear();
    return all;
}
