// The worker's queueing operations.
#include "engine/FTPThread.h"

TTaskPtr TFTPThread::NewTask(TTaskKind kind, std::string source, std::string destination)
{
    auto task = std::make_shared<TFTPTask>();
    task->Kind = kind;
    task->Source = std::move(source);
    task->Destination = std::move(destination);
    std::lock_guard<std::mutex> g(FNumberLock);
    FLastTask = task;
    return task;
}

void TFTPThread::Enqueue(TTaskPtr task)
{
    {
        std::lock_guard<std::mutex> g(FNumberLock);
        task->Id = ++FNextId;
    }
    FQueue.Append(task);
    NotifyTask(OnTaskAdded, task);
    Wake();
}

void TFTPThread::AddConnect()
{
    Enqueue(NewTask(taskConnect));
}

void TFTPThread::AddList()
{
    Enqueue(NewTask(taskList));
}

void TFTPThread::AddChangeDirUp()
{
    Enqueue(NewTask(taskChangeDirUp));
    AddList();
}

void TFTPThread::AddChangeDir(const std::string& folder)
{
    // Right after a reconnection's return to the folder another change would be redundant.
    {
        std::lock_guard<std::mutex> g(FNumberLock);
        if (FLastTask && FLastTask->Kind == taskChangeDir)
            return;
    }
    Enqueue(NewTask(taskChangeDir, folder));
    AddList();
}

void TFTPThread::AddGet(const TFTPFileInfo* info, const std::string& localPath)
{
    if (info == nullptr)
        return;
    TTaskPtr task = NewTask(taskGet, info->FullPath, localPath);
    task->FileInfo = *info;
    Enqueue(std::move(task));
}

void TFTPThread::AddPut(const std::string& localPath, const std::string& remotePath, bool isFolder)
{
    TTaskPtr task = NewTask(taskPut, localPath, remotePath);
    task->IsFolder = isFolder;
    Enqueue(std::move(task));
}

void TFTPThread::AddDelete(const std::string& remotePath)
{
    Enqueue(NewTask(taskDelete, remotePath));
}

void TFTPThread::AddRemoveDir(const std::string& remotePath)
{
    Enqueue(NewTask(taskRemoveDir, remotePath));
}

void TFTPThread::AddMakeDir(const std::string& remotePath)
{
    Enqueue(NewTask(taskMakeDir, remotePath));
}

// Queued without a number of its own.
void TFTPThread::AddShellOpen(const std::string& localPath)
{
    TTaskPtr task = NewTask(taskShellOpen, localPath);
    NotifyTask(OnTaskAdded, task);
    FQueue.Append(task);
    Wake();
}

void TFTPThread::AbortTask(const TTaskPtr& task)
{
    if (!task)
        return;
    if (task->State() == tsRunning) {
        FAbortRunning = true;
        int64_t expected = 0;
        FAbortSince.compare_exchange_strong(expected,
                                            std::chrono::steady_clock::now().time_since_epoch().count());
    }
    task->SetState(tsAborted);
}

void TFTPThread::Reconnect()
{
    Log("Reconnecting");
    TTaskPtr connect = std::make_shared<TFTPTask>();
    connect->Kind = taskConnect;
    TTaskPtr back = std::make_shared<TFTPTask>();
    back->Kind = taskChangeDir;
    {
        // The window and the worker both queue: numbers and the last task move together.
        std::lock_guard<std::mutex> g(FNumberLock);
        back->Source = FCurrentDir;
        connect->Id = ++FNextId;
        back->Id = ++FNextId;
        FQueue.InsertFront(connect, back);
        FLastTask = back;
    }
    // Reported outside the queue's lock: the window may take its time.
    NotifyTask(OnTaskAdded, connect);
    NotifyTask(OnTaskAdded, back);
    Wake();
}
