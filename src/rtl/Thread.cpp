#include "rtl/Thread.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <exception>
#include <memory>

namespace {

struct SyncItem {
    const std::function<void()>* fn;
    TThread* owner;
    bool done = false;
    bool dropped = false;
    std::exception_ptr error;
    // A queued call owns its function and itself: nobody waits for it.
    std::unique_ptr<std::function<void()>> owned;
};

struct SyncState {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<SyncItem*> queue;
    std::function<void()> wake;
    std::thread::id mainThread = std::this_thread::get_id();
};

SyncState& State()
{
    static SyncState state;
    return state;
}

} // namespace

void Sync::SetMainThread()
{
    std::lock_guard<std::mutex> g(State().lock);
    State().mainThread = std::this_thread::get_id();
}

bool Sync::IsMainThread()
{
    std::lock_guard<std::mutex> g(State().lock);
    return State().mainThread == std::this_thread::get_id();
}

void Sync::SetWakeMainThread(std::function<void()> wake)
{
    std::lock_guard<std::mutex> g(State().lock);
    State().wake = std::move(wake);
}

int Sync::CheckSynchronize()
{
    SyncState& s = State();
    std::deque<SyncItem*> batch;
    {
        std::lock_guard<std::mutex> g(s.lock);
        batch.swap(s.queue);
    }
    for (SyncItem* item : batch) {
        std::exception_ptr error;
        try {
            (*item->fn)();
        } catch (...) {
            error = std::current_exception();
        }
        if (item->owned) {
            delete item;
            continue;
        }
        std::lock_guard<std::mutex> g(s.lock);
        item->error = error;
        item->done = true;
    }
    if (!batch.empty())
        s.changed.notify_all();
    return static_cast<int>(batch.size());
}

int Sync::WaitAndCheckSynchronize(int timeoutMs)
{
    SyncState& s = State();
    {
        std::unique_lock<std::mutex> g(s.lock);
        s.changed.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return !s.queue.empty(); });
    }
    return CheckSynchronize();
}

TThread::TThread(bool createSuspended) : FCreateSuspended(createSuspended)
{
    if (!FCreateSuspended)
        Start();
}

TThread::~TThread()
{
    if (FThread.joinable()) {
        Terminate();
        WaitFor();
    }
    DropPending();
}

// Queued calls still waiting would run on an object that is gone.
void TThread::DropPending()
{
    SyncState& s = State();
    std::lock_guard<std::mutex> g(s.lock);
    for (auto it = s.queue.begin(); it != s.queue.end();) {
        if ((*it)->owner == this && (*it)->owned) {
            delete *it;
            it = s.queue.erase(it);
        } else {
            ++it;
        }
    }
}

void TThread::Queue(std::function<void()> fn)
{
    SyncState& s = State();
    if (Sync::IsMainThread()) {
        try {
            fn();
        } catch (...) {
        }
        return;
    }
    auto item = std::make_unique<SyncItem>(SyncItem{nullptr, this, false, false, nullptr, nullptr});
    item->owned = std::make_unique<std::function<void()>>(std::move(fn));
    item->fn = item->owned.get();
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (FSyncDropped)
            return;
        // Calls behind others ride on the wake-up already on its way.
        if (s.queue.empty())
            wake = s.wake;
        s.queue.push_back(item.release());
    }
    s.changed.notify_all();
    if (wake)
        wake();
}

bool TThread::HasQueuedCalls() const
{
    SyncState& s = State();
    std::lock_guard<std::mutex> g(s.lock);
    return std::any_of(s.queue.begin(), s.queue.end(),
                       [this](const SyncItem* item) { return item->owner == this; });
}

void TThread::Start()
{
    if (FStarted)
        return;
    FStarted = true;
    FThread = std::thread([this] { Run(); });
}

void TThread::Run()
{
    try {
        Execute();
    } catch (...) {
        // A thread's failure ends the thread; it never crosses into another one.
    }
    {
        std::lock_guard<std::mutex> g(FFinishLock);
        FFinished = true;
    }
    FFinishSignal.notify_all();
    State().changed.notify_all();
}

void TThread::Terminate()
{
    FTerminated = true;
}

void TThread::WaitFor()
{
    if (!FStarted || !FThread.joinable())
        return;
    if (FThread.get_id() == std::this_thread::get_id())
        return;
    if (Sync::IsMainThread()) {
        // Keep serving the thread's Synchronize calls, or it could never finish.
        while (!FFinished.load()) {
            Sync::CheckSynchronize();
            SyncState& s = State();
            std::unique_lock<std::mutex> g(s.lock);
            s.changed.wait_for(g, std::chrono::milliseconds(5),
                               [&] { return FFinished.load() || !s.queue.empty(); });
        }
        Sync::CheckSynchronize(); // what the thread queued just before it ended
    }
    FThread.join();
}

void TThread::CancelSynchronize()
{
    SyncState& s = State();
    {
        std::lock_guard<std::mutex> g(s.lock);
        FSyncDropped = true;
        for (auto it = s.queue.begin(); it != s.queue.end();) {
            if ((*it)->owner == this) {
                (*it)->dropped = true;
                if ((*it)->owned)
                    delete *it;
                it = s.queue.erase(it);
            } else {
                ++it;
            }
        }
    }
    s.changed.notify_all();
}

bool TThread::Synchronize(const std::function<void()>& fn)
{
    SyncState& s = State();
    if (Sync::IsMainThread()) {
        fn();
        return true;
    }
    SyncItem item{&fn, this, false, false, nullptr, nullptr};
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (FSyncDropped)
            return false;
        if (s.queue.empty())
            wake = s.wake;
        s.queue.push_back(&item);
    }
    s.changed.notify_all();
    if (wake)
        wake();
    std::unique_lock<std::mutex> g(s.lock);
    s.changed.wait(g, [&] { return item.done || item.dropped; });
    if (item.error)
        std::rethrow_exception(item.error);
    return item.done;
}
