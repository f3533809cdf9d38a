#pragma once
// Who asked the worker to break off what, and since when. An abort names its task: a request
// for a task that is no longer the running one is dropped, so it can never reach the next task.
// The window asks, the worker acts at its next progress event, and the watchdog cuts the sockets
// when the worker has not acted within a grace period.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

class TFTPTask;

class TAbortState {
public:
    using Clock = std::chrono::steady_clock;

    // ---- the worker
    void TaskStarted(const TFTPTask* task);
    void TaskEnded();
    // True once when an abort of this task is waiting to be acted on; the request is then spent.
    bool TakeRequest(const TFTPTask* task);

    // ---- the window
    // Recorded only while the task is the running one.
    void RequestAbort(const TFTPTask* task);
    void RequestStop();
    bool Stopping() const;

    // ---- the watchdog
    // Runs cut (under the state's lock, so the running task cannot change meanwhile) when the
    // running task's abort or, while the worker is still in its loop, the stop has waited
    // longer than its grace.
    void CutIfOverdue(Clock::time_point now, bool workerInLoop, const std::function<void()>& cut);

    Clock::duration AbortGrace = std::chrono::seconds(2);
    Clock::duration StopGrace = std::chrono::milliseconds(300);

private:
    void Recount(); // under FLock
    mutable std::mutex FLock;
    // Set with any request: the worker looks at every block and takes the lock only then.
    std::atomic<bool> FAsked{false};
    const TFTPTask* FRunning = nullptr;
    bool FAbortAsked = false;
    Clock::time_point FAbortAskedAt;
    bool FStopAsked = false;
    bool FStopTaken = false;
    Clock::time_point FStopAskedAt;
};
