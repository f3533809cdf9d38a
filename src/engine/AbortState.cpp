#include "engine/AbortState.h"

void TAbortState::TaskStarted(const TFTPTask* task)
{
    std::lock_guard<std::mutex> g(FLock);
    FRunning = task;
    FAbortAsked = false;
    Recount();
}

void TAbortState::TaskEnded()
{
    std::lock_guard<std::mutex> g(FLock);
    FRunning = nullptr;
    FAbortAsked = false;
    Recount();
}

void TAbortState::Recount()
{
    FAsked = FAbortAsked || (FStopAsked && !FStopTaken);
}

bool TAbortState::TakeRequest(const TFTPTask* task)
{
    if (!FAsked.load(std::memory_order_acquire))
        return false;
    std::lock_guard<std::mutex> g(FLock);
    if (task == nullptr || task != FRunning)
        return false;
    const bool asked = FAbortAsked || (FStopAsked && !FStopTaken);
    FAbortAsked = false;
    FStopTaken = FStopTaken || FStopAsked;
    Recount();
    return asked;
}

void TAbortState::RequestAbort(const TFTPTask* task)
{
    std::lock_guard<std::mutex> g(FLock);
    if (task == nullptr || task != FRunning || FAbortAsked)
        return;
    FAbortAsked = true;
    FAbortAskedAt = Clock::now();
    FAsked = true;
}

void TAbortState::RequestStop()
{
    std::lock_guard<std::mutex> g(FLock);
    if (FStopAsked)
        return;
    FStopAsked = true;
    FStopAskedAt = Clock::now();
    FAsked = true;
}

bool TAbortState::Stopping() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FStopAsked;
}

void TAbortState::CutIfOverdue(Clock::time_point now, bool workerInLoop, const std::function<void()>& cut)
{
    std::lock_guard<std::mutex> g(FLock);
    const bool abortLate = FAbortAsked && FRunning != nullptr && now - FAbortAskedAt > AbortGrace;
    const bool stopLate = FStopAsked && workerInLoop && now - FStopAskedAt > StopGrace;
    if (!abortLate && !stopLate)
        return;
    FAbortAsked = false;
    Recount();
    cut();
}
