// The worker's session: applying a site, the connection check, progress and stopping.
#include <thread>

#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"

void TFTPThread::ApplySite(SiteRecord& site, const ProxyBlock& proxy, TTlsMode tls)
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
    settings->Tls = tls;
    std::lock_guard<std::mutex> g(FSettingsLock);
    FPendingSettings = std::move(settings);
}

// On the worker, at the start of a connect task.
void TFTPThread::ApplyPendingSettings()
{
    std::unique_ptr<TSessionSettings> s;
    {
        std::lock_guard<std::mutex> g(FSettingsLock);
        s = std::move(FPendingSettings);
        FFTP->ReplyTimeoutMs = FReplyTimeoutMs;
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
        ApplyTlsSettings(*s);
    }
}

void TFTPThread::SetReplyTimeout(int milliseconds)
{
    std::lock_guard<std::mutex> g(FSettingsLock);
    FReplyTimeoutMs = milliseconds;
}

std::string TFTPThread::HostName() const
{
    std::lock_guard<std::mutex> g(FSettingsLock);
    return FHostName;
}

bool TFTPThread::IsConnected()
{
    return OnWorker() ? ProbeSession() : FLastKnownConnected.load();
}

// On the worker: a read that does not wait tells whether the peer has closed (a close that has
// arrived is readable at once). It runs before every task, so a wait would cost every file of a tree.
bool TFTPThread::ProbeSession()
{
    if (!FFTP->IsConnected()) {
        FLastKnownConnected = false;
        return false;
    }
    try {
        FFTP->ProbeConnection(true, 0);
        FLastKnownConnected = true;
        return true;
    } catch (const std::exception& e) {
        AddError(e.what());
        FLastKnownConnected = false;
        return false;
    }
}

void TFTPThread::DropConnection()
{
    if (!OnWorker()) {
        // The worker closes it before its next task; the window sees the session gone now.
        FDropAsked = true;
        FLastKnownConnected = false;
        Wake();
        return;
    }
    try {
        FFTP->Disconnect();
    } catch (const std::exception& e) {
        AddError(e.what());
    }
    FLastKnownConnected = false;
}

void TFTPThread::DropRequested()
{
    if (FDropAsked.exchange(false))
        DropConnection();
}

void TFTPThread::Stop()
{
    Terminate();
    FAbort.RequestStop();
    Wake();
}

// A transfer aborts at its next progress event; a server that went silent sends none, so after a
// grace period the sockets are shut down from here and the blocked call returns with an error.
void TFTPThread::Watchdog()
{
    while (!FWatchdogStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        FAbort.CutIfOverdue(TAbortState::Clock::now(), !Finished(), [this] { FFTP->ShutdownConnections(); });
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
    if (FAbort.TakeRequest(FCurrent.get())) {
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
    Log((writing ? "Writing (" : "Reading (") + std::to_string(count) + ")");
    // The block that completes a transfer is left to the task's end, which follows at once: a
    // tree of small files would otherwise wait for the window once more per file.
    if (sized && transfer && (FTotalBytes < 0 || count < FTotalBytes))
        Notify(OnProgress);
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
