#pragma once
// The one background worker: owns the FTP session, runs queued tasks one at a time and reports
// to the window through notifications that run on the window's thread while it waits.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/AbortState.h"
#include "engine/EnginePlatform.h"
#include "engine/FTPTask.h"
#include "engine/MadeFolders.h"
#include "engine/TaskQueue.h"
#include "net/TlsTypes.h"
#include "rtl/Thread.h"
#include "sites/SiteList.h"

class TIdFTP;
class TIdLogEvent;

using TEngineNotify = std::function<void()>;
using TTaskNotify = std::function<void(const TTaskPtr& task)>;

// The settings of a connection, handed from the window to the worker at the next connect.
struct TSessionSettings {
    std::string Host, Username, Password;
    int32_t Port = 21;
    bool Passive = false;
    int32_t TransferMode = 0;
    std::string ProxyHost, ProxyUser, ProxyPassword;
    int32_t ProxyPort = 0;
    TTlsMode Tls = TTlsMode::PlainOnly;
};

class TFTPThread : public TThread {
public:
    explicit TFTPThread(TEnginePlatform& platform);
    ~TFTPThread() override;

    // ---- queueing (Add* from the window; AddGet/AddPut also from the worker)
    void AddConnect();
    void AddList();
    void AddChangeDirUp();
    void AddChangeDir(const std::string& folder);
    void AddGet(const TFTPFileInfo* info, const std::string& localPath);
    void AddPut(const std::string& localPath, const std::string& remotePath, bool isFolder);
    void AddDelete(const std::string& remotePath);
    void AddRemoveDir(const std::string& remotePath);
    void AddMakeDir(const std::string& remotePath);
    void AddShellOpen(const std::string& localPath);
    // The commands that go in front of the waiting tasks, behind the running one. Each reports
    // its outcome through OnCommandDone; a rename, move or permission change that succeeds puts
    // a listing of the current folder right behind it.
    void AddRename(const std::string& oldName, const std::string& newName);
    void AddMove(const std::string& oldPath, const std::string& newPath);
    // Sends "SITE chmod MODE NAME".
    void AddChmod(const std::string& name, const std::string& mode);
    // The transfer type choice of the connection bar: 0 automatic, 1 ASCII, 2 Binary. Without a
    // session it only sets the type for the next login.
    void AddSetType(int choice);
    void AbortTask(const TTaskPtr& task);
    // From the worker: the reconnection after a loss. From the window: the user's own reconnect,
    // which also ends a given-up state.
    void Reconnect();

    // ---- session
    // Writes the anonymous defaults into an empty login of the record; the settings reach the
    // FTP client when the next connect task starts, never a task that is still running.
    // tls: the site's encryption choice (typed connections use IfAvailable).
    void ApplySite(SiteRecord& site, const ProxyBlock& proxy, TTlsMode tls = TTlsMode::PlainOnly);
    // On the worker a check of the socket; elsewhere the worker's last finding, which it renews
    // while it sleeps: the window never touches the session.
    bool IsConnected();
    // On the worker at once; from the window the worker closes the session before its next task.
    void DropConnection();
    // Asleep with nothing queued: no task runs or waits. News for the window may still be on its way.
    bool IsWaitingForTasks() const;
    // Waiting for tasks, and the window has been told everything.
    bool IsIdle() const;
    // Ends the worker soon: no more tasks, a blocked transfer is cut off.
    void Stop();
    void Log(const std::string& text);
    void AddError(const std::string& text);
    std::vector<std::string> Errors() const;
    // Applied to the FTP client at the next connect (tests shorten them).
    void SetReplyTimeout(int milliseconds);
    // The first wait before a reconnection after a loss; each further one doubles it.
    void SetReconnectWait(int milliseconds) { FReconnectWaitMs = milliseconds; }
    // Reconnection attempts in a row before the waiting tasks are given up.
    static constexpr int kReconnectAttempts = 3;
    // Idle this long with a session, the worker sends NOOP so that the server keeps it; 0: never.
    void SetKeepAliveInterval(int milliseconds) { FKeepAliveMs = milliseconds; }
    static constexpr int kDefaultKeepAliveMs = 60000;

    // ---- fields the window reads inside notifications
    TTaskQueue FQueue;
    int32_t FNextId = 0;
    TTaskPtr FLastTask;
    TTaskPtr FCurrent;
    std::string FCurrentDir;
    std::string FStatusText;
    std::string FProtocolLine;
    std::string FConnectError;
    std::atomic<bool> FAnswerYes{false};
    std::atomic<bool> FAnswerAll{false};
    std::atomic<bool> FAutoType{true};
    // Inside OnFileExists: whether the question may offer Resume; the window answers Resume
    // with FAnswerYes and FAnswerResume.
    bool FResumeOffered = false;
    std::atomic<bool> FAnswerResume{false};
    int64_t FTotalBytes = 0;
    float FProgress = 0;
    float FSpeed = 0;
    float FElapsed = 0;
    int64_t FFrequency = 1000000000;
    int64_t FStartCount = 0;
    std::unique_ptr<TIdFTP> FFTP;
    std::unique_ptr<TIdLogEvent> FLogEvent;
    // The session's host (what the FTP client holds).
    std::string HostName() const;
    // "TLS 1.3" or "TLS 1.2" for an encrypted session, empty for plain; renewed before OnConnected.
    std::string SessionSecurity() const;
    // Inside OnCertificateQuestion: the certificate that failed verification, and the answer the
    // window sets (Cancel unless it sets another; Cancel also when nobody handles the question).
    TTlsCertificateInfo FCertificate;
    TTlsTrustDecision FCertificateDecision = TTlsTrustDecision::Cancel;

    // ---- notifications
    TEngineNotify OnLog, OnProtocolLine, OnConnected, OnConnectFailed, OnDisconnected, OnListing, OnProgress,
        OnFileExists, OnConfirmDelete, OnCertificateQuestion;
    // Shown without the worker waiting: they run on the window's thread in order with every other
    // notification, and the task's state is final when OnTaskDone runs.
    TTaskNotify OnTaskAdded, OnTaskDone;
    // A download ended (also one that was skipped); shown like the two above.
    TTaskNotify OnDownloaded;
    // A front command ended (before its OnTaskDone); a failed one carries the session's text in
    // its Error.
    TTaskNotify OnCommandDone;

    // ---- lookups shared with the remote list (on the worker, or on the window inside OnListing)
    bool RemoteExists(const std::string& path);
    TFTPFileInfo ResolveLink(const std::string& path);
    static TFTPFileInfo FileInfoFromEntry(const class TIdFTPListItem& entry, const std::string& folder);

protected:
    void Execute() override;

private:
    // loop and runner
    void RunQueue();
    TTaskPtr NextTask();
    void RunGuarded(const TTaskPtr& task);
    void Sleep();
    void RunTask(const TTaskPtr& task);
    void RunWithRetry(void (TFTPThread::*procedure)());
    bool RetryAfterLoss(void (TFTPThread::*procedure)());
    void Failed(const TTaskPtr& task, const std::string& message);
    void ConnectProcedure();
    bool Notify(const TEngineNotify& handler);
    void ShowProtocolLine(std::string line);
    void QueueShown(std::function<void()> show);
    bool NotifyTask(const TTaskNotify& handler, const TTaskPtr& task);
    // A row's news (added, done): the worker does not wait for the window to show it.
    void QueueTaskNews(TTaskNotify TFTPThread::*handler, const TTaskPtr& task);
    void Enqueue(TTaskPtr task);
    void EnqueueFront(TTaskPtr task, bool atHead = false);
    void EndUnrun(const TTaskPtr& task, bool reportCommand);
    TTaskPtr NewTask(TTaskKind kind, std::string source = {}, std::string destination = {});
    void Wake();
    void ApplyPendingSettings();
    void AttachHandlers();
    void Watchdog();
    bool OnWorker() const;
    bool ProbeSession();
    void DropRequested();
    // reconnection after a loss
    bool NeedsSession(const TFTPTask& task) const;
    bool WaitBeforeReconnect(const TTaskPtr& front);
    void QueueReconnection(bool withReturn);
    void GiveUpWaitingTasks(const std::string& error);
    void ConnectFailed(const std::string& message);
    // progress
    void WorkBegin(int64_t total);
    void Work(bool writing, int64_t count);
    void WorkEnd();
    bool ReportDue(float progress);
    int64_t FLastReportCount = -1;
    float FLastReportProgress = 0;
    int64_t Counter() const;
    // task procedures
    void DoList();
    void DoChangeDirUp();
    void DoChangeDir();
    void DoMakeDir();
    void DoDelete();
    void DoRemoveDir();
    void RemoveTree(std::string path, int depth = 0); // a copy: deleting files rewrites FCurrent->Source
    void DoGet();
    void GetFile(const TFTPFileInfo& info);
    void OverwriteOrResume(bool regularFile, int64_t localSize);
    void KeepAlive(std::chrono::steady_clock::time_point& idleSince);
    void GetFolder(const TFTPFileInfo& info);
    void DoPut();
    void PutFolder();
    // RemoteExists, answered without a listing inside a folder this batch made.
    bool UploadTargetExists(const std::string& path);
    TMadeFolders FMadeFolders;
    void DoRename();
    void DoChmod();
    void DoSetType();
    void ChooseTransferType();
    bool Confirm(const TEngineNotify& question);
    // TLS (FTPThreadTls.cpp)
    TTlsTrustDecision AskCertificate(const TTlsCertificateInfo& info);
    void ApplyTlsSettings(const TSessionSettings& settings);
    void NoteSessionSecurity();
    // The connect failure's first line for a TLS failure, empty for any other.
    static std::string TlsConnectError(const std::exception& e);
    std::string FSessionSecurity; // guarded by FSettingsLock
    // why, when given, receives the reason a link could not be followed.
    TFTPFileInfo ResolveLinkAt(const std::string& path, int depth, std::vector<std::string>& seen,
                               std::string* why = nullptr);
    void QueueListedLink(const class TIdFTPListItem& entry, const std::string& folder);
    void WriteErrorFile();

    TEnginePlatform& FPlatform;
    std::mutex FNumberLock; // FNextId, FLastTask, and FCurrentDir's writes
    mutable std::mutex FWakeLock;
    std::condition_variable FWakeSignal;
    bool FSleeping = false;
    std::atomic<bool> FLastKnownConnected{false};
    std::atomic<bool> FDropAsked{false};
    std::atomic<std::thread::id> FWorkerThread{};
    // Failed connection attempts in a row since the last success or the user's own connect.
    std::atomic<int> FConnectFailures{0};
    // Set after the last attempt failed: tasks fail at once until the user connects again.
    std::atomic<bool> FGivenUp{false};
    std::atomic<int> FUserConnects{0};
    std::atomic<int> FReconnectWaitMs{1000};
    std::atomic<int> FKeepAliveMs{kDefaultKeepAliveMs};
    mutable std::mutex FErrorsLock;
    std::vector<std::string> FErrors;
    mutable std::mutex FSettingsLock;
    std::unique_ptr<TSessionSettings> FPendingSettings;
    int FReplyTimeoutMs = 60000;
    std::string FHostName;
    TAbortState FAbort;
    // watchdog: cuts a transfer off when an abort or a stop is not acted on in time
    std::thread FWatchdog;
    std::atomic<bool> FWatchdogStop{false};
};

// Whether an existing local file may be resumed rather than replaced: a regular file shorter
// than the remote one (whose size is known), a server that listed REST STREAM, binary mode.
bool CanOfferResume(bool regularFile, int64_t localSize, int64_t remoteSize, bool restStream, bool binary);

// The password written into a site that has none.
extern const char* const kAnonymousPassword;
