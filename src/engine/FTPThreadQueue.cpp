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
    QueueTaskNews(&TFTPThread::OnTaskAdded, task);
    Wake();
}

void TFTPThread::AddConnect()
{
    // The user's connect starts a new series of attempts and ends a wait for the old one.
    FGivenUp = false;
    FConnectFailures = 0;
    ++FUserConnects;
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
    QueueTaskNews(&TFTPThread::OnTaskAdded, task);
    FQueue.Append(task);
    Wake();
}

void TFTPThread::AbortTask(const TTaskPtr& task)
{
    if (!task)
        return;
    // The request names the task: if it has ended meanwhile, the next one is not touched.
    if (task->Abort() == tsRunning)
        FAbort.RequestAbort(task.get());
    // A reconnection may be waiting for this task's turn.
    Wake();
}

// Behind the running task and the front commands queued before, never between a reconnection
// and its return to the folder; at the very head for what the task just ended needs next.
void TFTPThread::EnqueueFront(TTaskPtr task, bool atHead)
{
    {
        std::lock_guard<std::mutex> g(FNumberLock);
        task->Id = ++FNextId;
        FQueue.InsertAfterLeading(task, [atHead](const TFTPTask& waiting) {
            return !atHead && (waiting.Automatic || IsFrontCommand(waiting.Kind));
        });
    }
    QueueTaskNews(&TFTPThread::OnTaskAdded, task);
    Wake();
}

void TFTPThread::AddRename(const std::string& oldName, const std::string& newName)
{
    EnqueueFront(NewTask(taskRename, oldName, newName));
}

void TFTPThread::AddMove(const std::string& oldPath, const std::string& newPath)
{
    EnqueueFront(NewTask(taskMove, oldPath, newPath));
}

void TFTPThread::AddChmod(const std::string& name, const std::string& mode)
{
    EnqueueFront(NewTask(taskChmod, name, mode));
}

void TFTPThread::AddSetType(int choice)
{
    static const char* const kChoices[] = {"Auto", "ASCII", "Binary"};
    if (choice < 0 || choice > 2)
        return;
    EnqueueFront(NewTask(taskSetType, kChoices[choice]));
}
