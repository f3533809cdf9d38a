// The worker's session: applying a site, the connection check, progress and stopping.
#include <thread>

#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"

void TFTPThread::ApplySite(SiteRecord& site, const ProxyBlock& proxy)
{
    auto settings = std::make_unique<TSessionSettings>();
    const std::string host = site.HostName.Str();
    const size_t b = host.find_first_not_of(" \t");
    const size_t e = host.find_last_not_of(" \t");
    settings->Host = b == std::string::npos ? std::string() : host.substr(b, e - b + 1);
    if (site.LoginName.Length == 0)
        site.LoginName.Assign("anonymous");
    if (site.LoginPassword.Length == 0)
        site.LoginPassword.Assign(kAnonymousPassword);
    settings->Username = site.LoginName.Str();
    settings->Password = site.LoginPassword.Str();
    settings->Port = site.PortNumber;
    settings->Passive = site.PassiveMode != 0;
    settings->TransferMode = site.TransferMode;
    settings->ProxyHost = proxy.ProxyHost.Str();
    settings->ProxyUser = proxy.ProxyUser.Str();
    settings->ProxyPassword = proxy.ProxyPassword.Str();
    settings->ProxyPort = proxy.ProxyPort;
    std::lock_guard<std::mutex> g(FSettingsLock);
    FPendingSettings = std::move(settings);
}

// On the worker, at the start of a connect task.
void TFTPThread::ApplyPendingSettings()
{
    std::unique_ptr<TSessionSettings> s;
    int choice = -1;
    {
        std::lock_guard<std::mutex> g(FSettingsLock);
        s = std::move(FPendingSettings);
        std::swap(choice, FPendingTransferChoice);
    }
    if (s) {
        FFTP->SetHost(s->Host);
        FFTP->Username = s->Username;
        FFTP->Password = s->Password;
        FFTP->SetPort(s->Port);
        std::lock_guard<std::mutex> g(FSettingsLock);
        FHostName = s->Host;
        FFTP->Passive = s->Passive;
        if (s->TransferMode == 0) {
            FAutoType = true;
        } else {
            FAutoType = false;
            FFTP->SetTransferType(s->TransferMode == 2 ? ftBinary : ftASCII);
        }
        TIdFtpProxySettings& proxy = FFTP->ProxySettings();
        proxy.Host = s->ProxyHost;
        proxy.UserName = s->ProxyUser;
        proxy.Password = s->ProxyPassword;
        proxy.Port = s->ProxyPort;
        proxy.ProxyType = s->ProxyHost.empty() ? fpcmNone : fpcmUserSite;
    }
    if (choice > 0)
        FFTP->SetTransferType(choice == 2 ? ftBinary : ftASCII);
}

void TFTPThread::SetTransferChoice(int index)
{
    FAutoType = index == 0;
    if (index == 0)
        return;
    // Sent now when no task holds the session; otherwise before the next task that connects
    // or when the running one is done.
    std::unique_lock<std::recursive_mutex> session(FSessionLock, std::try_to_lock);
    if (session.owns_lock() && !FTaskRunning) {
        try {
            FFTP->SetTransferType(index == 2 ? ftBinary : ftASCII);
        } catch (const std::exception& e) {
            AddError(e.what());
        }
        return;
    }
    std::lock_guard<std::mutex> g(FSettingsLock);
    FPendingTransferChoice = index;
}

std::string TFTPThread::HostName() const
{
    std::lock_guard<std::mutex> g(FSettingsLock);
    return FHostName;
}

bool TFTPThread::IsConnected()
{
    // While a task holds the session, the window gets the last known answer: the socket is the
    // worker's alone.
    std::unique_lock<std::recursive_mutex> session(FSessionLock, std::try_to_lock);
    if (!session.owns_lock())
        return FLastKnownConnected;
    if (!FFTP->IsConnected()) {
        FLastKnownConnected = false;
        return false;
    }
    try {
        FFTP->ProbeConnection(true);
        FLastKnownConnected = true;
        return true;
    } catch (const std::exception& e) {
        AddError(e.what());
        FLastKnownConnected = false;
        return false;
    }
}

// The window may find a task just started (the timer's reconnection can wake the worker while a
// question box is open): it keeps serving the worker's notifications while it waits, or both
// threads would wait for each other.
std::unique_lock<std::recursive_mutex> TFTPThread::LockSession()
{
    std::unique_lock<std::recursive_mutex> session(FSessionLock, std::defer_lock);
    if (!Sync::IsMainThread()) {
        session.lock();
        return session;
    }
    while (!session.try_lock()) {
        Sync::CheckSynchronize();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return session;
}

void TFTPThread::DropConnection()
{
    const auto session = LockSession();
    try {
        FFTP->Disconnect();
    } catch (const std::exception& e) {
        AddError(e.what());
    }
    FLastKnownConnected = false;
}

void TFTPThread::WithSession(const std::function<void(TIdFTP&)>& fn)
{
    const auto session = LockSession();
    fn(*FFTP);
}

void TFTPThread::Stop()
{
    Terminate();
    int64_t expected = 0;
    FStopSince.compare_exchange_strong(expected, std::chrono::steady_clock::now().time_since_epoch().count());
    FAbortRunning = true;
    Wake();
}

// A transfer aborts at its next progress event; a server that went silent sends none, so after a
// grace period the sockets are shut down from here and the blocked call returns with an error.
void TFTPThread::Watchdog()
{
    using namespace std::chrono;
    constexpr int64_t kAbortGrace = duration_cast<steady_clock::duration>(seconds(2)).count();
    constexpr int64_t kStopGrace = duration_cast<steady_clock::duration>(milliseconds(300)).count();
    while (!FWatchdogStop) {
        std::this_thread::sleep_for(milliseconds(50));
        const int64_t now = steady_clock::now().time_since_epoch().count();
        const int64_t abortSince = FAbortSince.load();
        const int64_t stopSince = FStopSince.load();
        const bool abortLate = abortSince != 0 && now - abortSince > kAbortGrace && FTaskRunning;
        const bool stopLate = stopSince != 0 && now - stopSince > kStopGrace && !Finished();
        if (abortLate || stopLate) {
            FFTP->ShutdownConnections();
            FAbortSince = 0;
        }
    }
}

// ---- progress

int64_t TFTPThread::Counter() const
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TFTPThread::WorkBegin(int64_t total)
{
    if (total != 0)
        FTotalBytes = total;
    FProgress = 0;
    FSpeed = 0;
    if (FCurrent && (FCurrent->Kind == taskGet || FCurrent->Kind == taskPut))
        FStartCount = Counter();
    FLastReportCount = -1;
}

// The window is told of a transfer's course every half percent or tenth of a second: a wait for
// it at every 32 KiB block would hold a fast transfer to a fraction of its speed. Aborts are
// still looked at for every block.
bool TFTPThread::ReportDue(float progress)
{
    const int64_t now = Counter();
    const bool due = FLastReportCount < 0 || progress - FLastReportProgress >= 0.005f ||
                     progress < FLastReportProgress || now - FLastReportCount >= FFrequency / 10;
    if (due) {
        FLastReportCount = now;
        FLastReportProgress = progress;
    }
    return due;
}

void TFTPThread::Work(bool writing, int64_t count)
{
    if (FAbortRunning) {
        FAbortRunning = false;
        try {
            FFTP->AbortTransfer();
        } catch (const std::exception& e) {
            AddError(e.what());
        }
        DropConnection();
    }
    const bool transfer = FCurrent && (FCurrent->Kind == taskGet || FCurrent->Kind == taskPut);
    const bool sized = FTotalBytes != 0;
    float progress = FProgress;
    if (sized)
        progress = static_cast<float>(static_cast<double>(count) / static_cast<double>(FTotalBytes));
    if (!ReportDue(progress))
        return;
    FProgress = progress;
    if (sized && transfer) {
        FElapsed = static_cast<float>(static_cast<double>(Counter() - FStartCount) /
                                      static_cast<double>(FFrequency));
        FSpeed = FElapsed > 0 ? static_cast<float>(static_cast<double>(count) / 1024.0 / FElapsed) : 0;
    }
    // The status line and the row's progress in one visit to the window.
    const std::string text = (writing ? "Writing (" : "Reading (") + std::to_string(count) + ")";
    Notify([this, &text, sized, transfer] {
        FStatusText = text;
        if (OnLog)
            OnLog();
        if (sized && transfer && OnProgress)
            OnProgress();
    });
}

void TFTPThread::WorkEnd()
{
    FProgress = 1;
    if (FCurrent && (FCurrent->Kind == taskGet || FCurrent->Kind == taskPut)) {
        FElapsed = static_cast<float>(static_cast<double>(Counter() - FStartCount) /
                                      static_cast<double>(FFrequency));
        FSpeed = FElapsed > 0 ? static_cast<float>(static_cast<double>(FTotalBytes) / 1024.0 / FElapsed) : 0;
    }
}
