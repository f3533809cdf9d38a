// The worker's reconnection after a lost session: counted per loss, with waits that double, and
// given up after the last attempt so that a server refusing every login cannot keep it busy.
#include <algorithm>

#include "engine/FTPThread.h"

bool TFTPThread::NeedsSession(const TFTPTask& task) const
{
    // A type choice without a session only sets the type for the next login.
    return task.Kind != taskConnect && task.Kind != taskSetType;
}

// Waits before the next attempt: the first wait, then twice as long for each failed attempt.
// Stopping, an abort of the waiting task, a new task in front or the user's own connect end
// the wait at once; false then, and the loop looks at the queue again.
bool TFTPThread::WaitBeforeReconnect(const TTaskPtr& front)
{
    const int failures = std::min<int>(FConnectFailures, kReconnectAttempts);
    const auto wait = std::chrono::milliseconds(int64_t{FReconnectWaitMs} << failures);
    const int userConnects = FUserConnects;
    std::unique_lock<std::mutex> g(FWakeLock);
    const bool interrupted = FWakeSignal.wait_for(g, wait, [&] {
        return Terminated() || front->State() == tsAborted || FQueue.First() != front ||
               FUserConnects != userConnects;
    });
    return !interrupted;
}

void TFTPThread::Reconnect()
{
    if (OnWorker()) {
        QueueReconnection(true);
        return;
    }
    // The user asked: a new series of attempts.
    FGivenUp = false;
    FConnectFailures = 0;
    ++FUserConnects;
    QueueReconnection(true);
}

// A connection task and, unless the front task is already a reconnection's return, a return to
// the current folder, in front of the queue.
void TFTPThread::QueueReconnection(bool withReturn)
{
    Log("Reconnecting");
    TTaskPtr connect = std::make_shared<TFTPTask>();
    connect->Kind = taskConnect;
    connect->Automatic = OnWorker();
    TTaskPtr back;
    if (withReturn) {
        back = std::make_shared<TFTPTask>();
        back->Kind = taskChangeDir;
        back->Automatic = true;
    }
    {
        // The window and the worker both queue: numbers and the last task move together.
        std::lock_guard<std::mutex> g(FNumberLock);
        connect->Id = ++FNextId;
        if (back) {
            back->Source = FCurrentDir;
            back->Id = ++FNextId;
            FQueue.InsertFront(connect, back);
            FLastTask = back;
        } else {
            FQueue.InsertAfterLeading(connect, [](const TFTPTask&) { return false; });
        }
    }
    // Reported outside the queue's lock: the window may take its time.
    QueueTaskNews(&TFTPThread::OnTaskAdded, connect);
    if (back)
        QueueTaskNews(&TFTPThread::OnTaskAdded, back);
    Wake();
}

void TFTPThread::ConnectFailed(const std::string& message)
{
    if (FCurrent->Automatic && ++FConnectFailures < kReconnectAttempts)
        return;
    GiveUpWaitingTasks(message);
    Notify(OnConnectFailed);
}

// Every waiting task fails with the last error; until the user connects again, tasks that need
// the session fail at once instead of starting new attempts.
void TFTPThread::GiveUpWaitingTasks(const std::string& error)
{
    FGivenUp = true;
    for (const TTaskPtr& task : FQueue.TakeAll()) {
        task->Error = error;
        // The connection's failure is the one message: no box per command.
        EndUnrun(task, false);
    }
}

// A task taken from the queue without being run: failed unless it was aborted, and reported.
void TFTPThread::EndUnrun(const TTaskPtr& task, bool reportCommand)
{
    task->FailUnrun();
    if (reportCommand && IsFrontCommand(task->Kind))
        NotifyTask(OnCommandDone, task);
    QueueTaskNews(&TFTPThread::OnTaskDone, task);
}
