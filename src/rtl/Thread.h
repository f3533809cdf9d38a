#pragma once
// A thread of our own with Synchronize: a call run on the main (window) thread while the
// calling thread waits. Qt-free: the GUI installs a wake-up hook that makes its event loop call
// CheckSynchronize(); a test can call CheckSynchronize() from its own loop instead.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class TThread {
public:
    explicit TThread(bool createSuspended);
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts a suspended thread; does nothing once it runs.
    void Start();
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    bool Started() const { return FStarted; }
    bool Finished() const { return FFinished.load(); }
    // Waits for Execute to end. On the main thread it keeps serving Synchronize calls meanwhile.
    void WaitFor();
    // From now on Synchronize calls of this thread are dropped (pending ones included) and
    // return false: for a shutdown that must not wait for the window.
    void CancelSynchronize();

protected:
    virtual void Execute() = 0;
    // Runs fn on the main thread and waits. Returns false when the call was dropped.
    // An exception raised by fn is raised again here.
    bool Synchronize(const std::function<void()>& fn);
    // Runs fn on the main thread, in order with this thread's Synchronize calls, without waiting
    // for it: for news the window only shows. Dropped like Synchronize calls; an exception raised
    // by fn is dropped too.
    void Queue(std::function<void()> fn);
    // Whether calls of this thread still wait for the main thread.
    bool HasQueuedCalls() const;

private:
    void Run();
    void DropPending();
    bool FCreateSuspended;
    bool FStarted = false;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::thread FThread;
    std::mutex FFinishLock;
    std::condition_variable FFinishSignal;
    bool FSyncDropped = false; // guarded by the synchronize queue's lock
};

namespace Sync {
// Marks the calling thread as the main thread (done once, at program or test start).
void SetMainThread();
bool IsMainThread();
// Called (from any thread) after a Synchronize call was queued; the GUI posts an event here.
void SetWakeMainThread(std::function<void()> wake);
// Main thread: runs every queued call. Returns how many ran.
int CheckSynchronize();
// Main thread: waits up to timeoutMs for a queued call, then runs the queued calls.
int WaitAndCheckSynchronize(int timeoutMs);
} // namespace Sync
