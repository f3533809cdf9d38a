#include "engine/FTPThread.h"

#include "engine/SessionFailure.h"
#include <algorithm>
#include <fstream>

#include "ftp/IdFTP.h"
#include "net/IdGlobal.h"
#include "net/IdLogEvent.h"
#include "rtl/Exception.h"

const char* const kAnonymousPassword = "ferrystar@localhost";

namespace {

std::string TrimBlanks(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

// A message on one line: its lines (a socket error has two) joined by one blank.
std::string OneLine(const std::string& message)
{
    std::string line;
    size_t start = 0;
    while (start <= message.size()) {
        size_t end = message.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = message.size();
        const std::string part = TrimBlanks(message.substr(start, end - start));
        if (!part.empty())
            line += (line.empty() ? "" : " ") + part;
        start = end + 1;
    }
    return line;
}

// Whether a task may add, remove or rename a name on the server other than by uploading it.
bool ChangesFolders(TTaskKind kind)
{
    switch (kind) {
    case taskPut:
    case taskGet:
    case taskList:
    case taskChangeDir:
    case taskChangeDirUp:
    case taskShellOpen:
    case taskSetType: return false;
    default: return true;
    }
}

} // namespace

TFTPThread::TFTPThread(TEnginePlatform& platform)
    : TThread(true), FFTP(std::make_unique<TIdFTP>()), FLogEvent(std::make_unique<TIdLogEvent>()),
      FPlatform(platform)
{
    FFrequency = 1000000000;
    AttachHandlers();
    Start();
    FWatchdog = std::thread([this] { Watchdog(); });
}

TFTPThread::~TFTPThread()
{
    Stop();
    // Notifications of a worker on its way out are dropped: the window may be half gone.
    CancelSynchronize();
    WaitFor();
    FWatchdogStop = true;
    if (FWatchdog.joinable())
        FWatchdog.join();
    WriteErrorFile();
    FFTP->SetIntercept(nullptr);
}

void TFTPThread::AttachHandlers()
{
    FLogEvent->LogTime = false;
    FLogEvent->ReplaceCRLF = false;
    FLogEvent->OnReceived = [this](TIdBaseComponent*, const std::string&, const std::string& data) {
        ShowProtocolLine("<< " + TrimBlanks(data));
    };
    FLogEvent->OnSent = [this](TIdBaseComponent*, const std::string&, const std::string& data) {
        ShowProtocolLine(data.compare(0, 4, "PASS") == 0 ? ">> PASS ***" : ">> " + TrimBlanks(data));
    };
    FLogEvent->SetActive(true);
    FFTP->SetIntercept(FLogEvent.get());
    FFTP->OnStatus = [this](TIdBaseComponent*, TIdStatus, const std::string& text) { Log(text); };
    // A name may stand for several addresses: the Log page tells which one answered.
    FFTP->OnConnected = [this](TIdBaseComponent*) {
        ShowProtocolLine("Connected to " + FFTP->PeerIP() + " port " + std::to_string(FFTP->PeerPort()));
    };
    FFTP->OnWorkBegin = [this](TIdBaseComponent*, TWorkMode, int64_t max) { WorkBegin(max); };
    FFTP->OnWork = [this](TIdBaseComponent*, TWorkMode mode, int64_t count) { Work(mode == wmWrite, count); };
    FFTP->OnWorkEnd = [this](TIdBaseComponent*, TWorkMode) { WorkEnd(); };
    FFTP->OnCertificate = [this](const TTlsCertificateInfo& info) { return AskCertificate(info); };
    FFTP->OnDisconnected = [this](TIdBaseComponent*) {
        FLastKnownConnected = false;
        Notify(OnDisconnected);
    };
}

// ---- notifications

bool TFTPThread::Notify(const TEngineNotify& handler)
{
    if (!handler)
        return true;
    try {
        return Synchronize(handler);
    } catch (const std::exception& e) {
        AddError(e.what());
    }
    return true;
}

bool TFTPThread::NotifyTask(const TTaskNotify& handler, const TTaskPtr& task)
{
    if (!handler)
        return true;
    return Notify([&handler, &task] { handler(task); });
}

// Lines and status texts are only shown: the worker does not wait for the window to show them,
// or every command of a many-file transfer would cost a round trip between the threads. They are
// stored on the window's thread, where they are read (the window logs too: Reconnect, its checks).
void TFTPThread::Log(const std::string& text)
{
    QueueShown([this, text] {
        FStatusText = text;
        if (OnLog)
            OnLog();
    });
}

void TFTPThread::ShowProtocolLine(std::string line)
{
    QueueShown([this, line = std::move(line)] {
        FProtocolLine = line;
        if (OnProtocolLine)
            OnProtocolLine();
    });
}

void TFTPThread::QueueTaskNews(TTaskNotify TFTPThread::*handler, const TTaskPtr& task)
{
    QueueShown([this, handler, task] {
        if (this->*handler)
            (this->*handler)(task);
    });
}

void TFTPThread::QueueShown(std::function<void()> show)
{
    Queue([this, show = std::move(show)] {
        try {
            show();
        } catch (const std::exception& e) {
            AddError(e.what());
        }
    });
}

void TFTPThread::AddError(const std::string& text)
{
    std::lock_guard<std::mutex> g(FErrorsLock);
    FErrors.push_back(text);
}

std::vector<std::string> TFTPThread::Errors() const
{
    std::lock_guard<std::mutex> g(FErrorsLock);
    return FErrors;
}

void TFTPThread::WriteErrorFile()
{
    std::ofstream out(FPlatform.AppFolder() + "err.txt", std::ios::binary | std::ios::trunc);
    for (const std::string& message : Errors()) {
        const std::string line = OneLine(message);
        if (!line.empty())
            out << line << '\n';
    }
}

// ---- the loop

void TFTPThread::Execute()
{
    FWorkerThread = std::this_thread::get_id();
    while (!Terminated()) {
        RunQueue();
        Sleep();
    }
}

bool TFTPThread::OnWorker() const
{
    return std::this_thread::get_id() == FWorkerThread;
}

// Asleep the worker still looks at its session now and then, so that a server that closed an
// idle connection is noticed without the window touching the socket, and keeps it alive.
void TFTPThread::Sleep()
{
    FAnswerYes = false;
    FAnswerAll = false;
    FMadeFolders.Forget();
    constexpr auto kProbeEvery = std::chrono::milliseconds(100);
    auto idleSince = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> g(FWakeLock);
    FSleeping = true;
    while (!Terminated() && FQueue.IsEmpty()) {
        if (FDropAsked) {
            g.unlock();
            DropRequested();
            g.lock();
            continue;
        }
        if (FWakeSignal.wait_for(g, kProbeEvery) == std::cv_status::timeout && FLastKnownConnected) {
            g.unlock();
            if (ProbeSession())
                KeepAlive(idleSince);
            g.lock();
        }
    }
    FSleeping = false;
}

void TFTPThread::Wake()
{
    {
        std::lock_guard<std::mutex> g(FWakeLock);
    }
    FWakeSignal.notify_all();
}

bool TFTPThread::IsWaitingForTasks() const
{
    std::lock_guard<std::mutex> g(FWakeLock);
    return FSleeping && FQueue.IsEmpty();
}

bool TFTPThread::IsIdle() const
{
    return IsWaitingForTasks() && !HasQueuedCalls();
}

void TFTPThread::RunQueue()
{
    while (!Terminated() && !FQueue.IsEmpty()) {
        DropRequested();
        const TTaskPtr task = NextTask();
        if (!task)
            continue;
        FCurrent = task;
        if (ChangesFolders(task->Kind))
            FMadeFolders.Forget();
        RunGuarded(task);
        if (IsFrontCommand(task->Kind))
            NotifyTask(OnCommandDone, task);
        QueueTaskNews(&TFTPThread::OnTaskDone, task);
        FCurrent.reset();
    }
}

// The front task once the session it needs is there; null when it was given up or its turn
// has to wait (a reconnection went in front of it).
TTaskPtr TFTPThread::NextTask()
{
    const TTaskPtr front = FQueue.First();
    if (!front)
        return nullptr;
    FCurrent = front;
    if (front->State() != tsAborted && NeedsSession(*front) && !IsConnected()) {
        ++front->Retries;
        if (FGivenUp) {
            FQueue.TakeFirst();
            front->Error = "Not connected.";
            EndUnrun(front, true);
            return nullptr;
        }
        if (!WaitBeforeReconnect(front))
            return nullptr;
        // A reconnection's own return to the folder needs no second one.
        QueueReconnection(!(front->Automatic && front->Kind == taskChangeDir));
    }
    return FQueue.TakeFirst();
}

// Nothing that goes wrong in a task ends the loop: the task fails, the failure is recorded and
// shown on the Log page, and the next task runs.
void TFTPThread::RunGuarded(const TTaskPtr& task)
{
    std::string fault;
    try {
        if (task->Start())
            RunTask(task);
    } catch (const std::exception& e) {
        fault = e.what();
    } catch (...) {
        fault = "unknown exception";
    }
    FAbort.TaskEnded();
    if (fault.empty())
        return;
    const std::string message = "Unexpected failure in the worker: " + fault;
    task->Error = message;
    task->Finish(tsFailed);
    AddError(message);
    ShowProtocolLine(message);
}

void TFTPThread::RunTask(const TTaskPtr& task)
{
    FAbort.TaskStarted(task.get());
    switch (task->Kind) {
    case taskConnect: ConnectProcedure(); break;
    case taskShellOpen: FPlatform.ShellOpen(task->Source); break;
    case taskList: RunWithRetry(&TFTPThread::DoList); break;
    case taskChangeDirUp: RunWithRetry(&TFTPThread::DoChangeDirUp); break;
    case taskChangeDir: RunWithRetry(&TFTPThread::DoChangeDir); break;
    case taskMakeDir: RunWithRetry(&TFTPThread::DoMakeDir); break;
    case taskDelete: RunWithRetry(&TFTPThread::DoDelete); break;
    case taskRemoveDir: RunWithRetry(&TFTPThread::DoRemoveDir); break;
    case taskGet: RunWithRetry(&TFTPThread::DoGet); break;
    case taskPut: RunWithRetry(&TFTPThread::DoPut); break;
    case taskRename:
    case taskMove: RunWithRetry(&TFTPThread::DoRename); break;
    case taskChmod: RunWithRetry(&TFTPThread::DoChmod); break;
    case taskSetType: RunWithRetry(&TFTPThread::DoSetType); break;
    }
    // The directory the window shows changed: its listing comes next, before anything waiting.
    const bool changesListing = task->Kind == taskRename || task->Kind == taskMove || task->Kind == taskChmod;
    if (changesListing && task->State() == tsCompleted) {
        TTaskPtr list = NewTask(taskList);
        list->Automatic = true;
        EnqueueFront(std::move(list), true);
    }
}

// A server that closed an idle connection gets one reconnect and a second run; a server that
// did not answer in time fails the task and loses the session, so the next task reconnects.
void TFTPThread::RunWithRetry(void (TFTPThread::*procedure)())
{
    const TTaskPtr task = FCurrent;
    try {
        (this->*procedure)();
    } catch (const std::exception& e) {
        const std::string message = TrimBlanks(e.what());
        AddError(message);
        const TSessionFailure kind = ClassifyFailure(e);
        if (kind == TSessionFailure::TimedOut)
            DropConnection();
        if (kind != TSessionFailure::Lost || task->State() == tsAborted || Terminated())
            Failed(task, message);
        else if (!RetryAfterLoss(procedure))
            return;
    }
    task->Finish(tsCompleted);
}

bool TFTPThread::RetryAfterLoss(void (TFTPThread::*procedure)())
{
    const TTaskPtr task = FCurrent;
    try {
        DropConnection();
        Log("Reconnecting");
        FFTP->ConnectAndLogin(true, -1);
        NoteSessionSecurity();
        FLastKnownConnected = true;
        FConnectFailures = 0;
        (this->*procedure)();
        return true;
    } catch (const std::exception& again) {
        const std::string message = TrimBlanks(again.what());
        AddError(message);
        Failed(task, message);
        if (ClassifyFailure(again) == TSessionFailure::TimedOut)
            DropConnection();
        return false;
    }
}

void TFTPThread::Failed(const TTaskPtr& task, const std::string& message)
{
    task->Error = message;
    task->Finish(tsFailed);
}

void TFTPThread::ConnectProcedure()
{
    ApplyPendingSettings();
    try {
        // A connect asked for while a task was being broken off may find the old session still
        // up: the user chose the new one.
        if (FFTP->IsConnected())
            DropConnection();
        FFTP->ConnectAndLogin(true, -1);
        NoteSessionSecurity();
        FLastKnownConnected = true;
        FConnectFailures = 0;
        FGivenUp = false;
        FCurrent->Finish(tsCompleted);
        Notify(OnConnected);
    } catch (const std::exception& e) {
        FLastKnownConnected = false;
        const std::string message = e.what();
        Failed(FCurrent, message);
        AddError(message);
        // Servers word a refused login in their own way; the code says it: 530 to USER or PASS.
        const auto* reply = dynamic_cast<const EIdProtocolReplyError*>(&e);
        FConnectError = reply != nullptr && reply->ReplyCode == 530
                            ? "Login incorrect. Check your username and password."
                            : "Connect failed. Check if the server address was written correctly.";
        if (const std::string tls = TlsConnectError(e); !tls.empty())
            FConnectError = tls;
        ConnectFailed(message);
    }
}
