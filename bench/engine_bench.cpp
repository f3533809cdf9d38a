// Times a 1 GiB download from vsftpd on loopback through the worker, with this program's main
// thread playing the window (it serves every notification, and the progress one formats its
// figures), against the FTP client called directly in the same run, and prints the ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <unistd.h>

#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"
#include "rtl/Thread.h"
#include "support/FtpTestUser.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int64_t kFileSize = int64_t{1} << 30;
constexpr int kRounds = 3;

class BenchPlatform : public TEnginePlatform {
public:
    void ShellOpen(const std::string&) override {}
    std::string AppFolder() override { return Folder.Path() + "/"; }
    TempDir Folder;
};

// What the window would do with each notification, kept cheap but not free.
struct Window {
    TFTPThread* Worker = nullptr;
    std::string StatusBar;
    std::string ProgressText;
    int64_t ProtocolLines = 0;
    int64_t ProgressEvents = 0;
    TTaskPtr Done;

    void Attach(TFTPThread& worker)
    {
        Worker = &worker;
        worker.OnLog = [this] { StatusBar = Worker->FStatusText; };
        worker.OnProtocolLine = [this] { ProtocolLines += Worker->FProtocolLine.empty() ? 0 : 1; };
        worker.OnProgress = [this] {
            char text[64];
            std::snprintf(text, sizeof text, "%.1f%%  %.0f KB/s", Worker->FProgress * 100.0, Worker->FSpeed);
            ProgressText = text;
            ++ProgressEvents;
        };
        worker.OnFileExists = [this] { Worker->FAnswerYes = true; };
        worker.OnTaskAdded = [](const TTaskPtr&) {};
        worker.OnTaskDone = [this](const TTaskPtr& task) { Done = task; };
        worker.OnDownloaded = [](const TTaskPtr&) {};
        worker.OnConnected = [] {};
        worker.OnConnectFailed = [this] {
            std::fprintf(stderr, "connect failed: %s\n", Worker->FConnectError.c_str());
        };
    }

    // Serves notifications, as the window's event loop would, until a task is done.
    TTaskPtr RunUntilDone()
    {
        Done.reset();
        while (!Done)
            Sync::WaitAndCheckSynchronize(50);
        return Done;
    }
};

bool HasFullSize(const std::string& path)
{
    std::error_code ec;
    return static_cast<int64_t>(fs::file_size(path, ec)) == kFileSize && !ec;
}

void RequireFullSize(const std::string& path, const char* what)
{
    if (!HasFullSize(path)) {
        std::fprintf(stderr, "%s: the download has a wrong size\n", what);
        std::exit(1);
    }
}

double MiBPerSecond(Clock::time_point start)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return static_cast<double>(kFileSize) / (1024.0 * 1024.0) / seconds;
}

// The previous output goes and dirty pages are written out, so no run pays for another's writeback.
void FreshStart(const std::string& target)
{
    fs::remove(target);
    sync();
}

struct Bench {
    VsftpdServer Server;
    TempDir Local;
    BenchPlatform Platform;
    Window Ui; // outlives the worker, whose handlers point at it
    TFTPThread Worker{Platform};
    TIdFTP Direct;
    std::string DirectTarget = Local.Path() + "/direct.bin";
    std::string WorkerTarget = Local.Path() + "/worker.bin";

    Bench()
    {
        const std::string big = Server.Root() + "/big.bin";
        std::ofstream(big, std::ios::binary).close();
        fs::resize_file(big, kFileSize); // sparse: quick to make, a full GiB to send
        GiveToFtpTestUser(big.c_str());
        Direct.SetHost("127.0.0.1");
        Direct.SetPort(Server.Port());
        Direct.Username = Server.User();
        Direct.Password = Server.Password();
        Direct.Passive = true;
        Direct.SetTransferType(ftBinary);
        Direct.ConnectAndLogin();
        Ui.Attach(Worker);
        ConnectWorker();
    }

    void ConnectWorker()
    {
        SiteRecord site = SiteRecord::NewSite("127.0.0.1");
        site.PortNumber = Server.Port();
        site.LoginName.Assign(Server.User());
        site.LoginPassword.Assign(Server.Password());
        site.PassiveMode = 1;
        Worker.ApplySite(site, ProxyBlock{});
        Worker.AddConnect();
        if (Ui.RunUntilDone()->State() != tsCompleted) {
            std::fprintf(stderr, "the worker could not connect\n");
            std::exit(1);
        }
    }

    double DirectRun()
    {
        FreshStart(DirectTarget);
        const auto start = Clock::now();
        Direct.DownloadToFile("big.bin", DirectTarget, false);
        const double speed = MiBPerSecond(start);
        RequireFullSize(DirectTarget, "direct");
        fs::remove(DirectTarget);
        return speed;
    }

    double WorkerRun()
    {
        FreshStart(WorkerTarget);
        TFTPFileInfo info;
        info.FullPath = "/big.bin";
        info.Folder = info.FullPath.substr(0, 1);
        info.Name = info.FullPath.substr(1);
        info.Size = kFileSize;
        info.Kind = ikFile;
        Ui.ProgressEvents = 0;
        const auto start = Clock::now();
        Worker.AddGet(&info, WorkerTarget);
        const TTaskPtr task = Ui.RunUntilDone();
        const double speed = MiBPerSecond(start);
        if (task->State() != tsCompleted) {
            std::fprintf(stderr, "worker: the download ended in state %d\n", static_cast<int>(task->State()));
            std::exit(1);
        }
        RequireFullSize(WorkerTarget, "worker");
        fs::remove(WorkerTarget);
        return speed;
    }
};

} // namespace

int main()
{
    RequireFtpTestUser();
    Sync::SetMainThread();
    Bench bench;
    double direct = 0, worker = 0;
    // Interleaved, so that a slow spell of the machine hits both sides alike.
    for (int round = 0; round < kRounds; ++round) {
        direct = std::max(direct, bench.DirectRun());
        worker = std::max(worker, bench.WorkerRun());
    }
    const double ratio = worker / direct;
    std::printf("1 GiB download on loopback, best of %d rounds each\n", kRounds);
    std::printf("direct FTP client %8.1f MiB/s\n", direct);
    std::printf(
        "through the worker %7.1f MiB/s   (%lld progress notifications in the last run, last \"%s\")\n",
        worker, static_cast<long long>(bench.Ui.ProgressEvents), bench.Ui.ProgressText.c_str());
    std::printf("ratio %.2f %s\n", ratio, ratio >= 0.8 ? "(ok, target >= 0.8)" : "(BELOW target 0.8)");
    return 0;
}
