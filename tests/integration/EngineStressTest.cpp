// The window queues, aborts and sends front commands at random while the worker transfers files
// from a real vsftpd. Meant for ThreadSanitizer: no race, no deadlock, every task ends in a
// final state. FERRYSTAR_STRESS_SECONDS sets the length (5 s by default).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "support/EngineHarness.h"
#include "support/VsftpdServer.h"

using namespace std::chrono_literals;

namespace {

int StressSeconds()
{
    const char* text = std::getenv("FERRYSTAR_STRESS_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 5;
}

TFTPFileInfo RemoteFile(const std::string& name)
{
    TFTPFileInfo info;
    info.Name = name;
    info.Folder = "/";
    info.FullPath = "/" + name;
    return info;
}

class StressWindow {
public:
    StressWindow(EngineHarness& h, unsigned seed) : H(h), Rng(seed)
    {
        auto added = H.Worker->OnTaskAdded;
        H.Worker->OnTaskAdded = [this, added](const TTaskPtr& t) {
            added(t);
            Tasks.push_back(t);
        };
    }

    void Act(int round)
    {
        TFTPThread& w = *H.Worker;
        const std::string local = H.Platform.Folder.Path() + "/l" + std::to_string(round);
        switch (Rng() % 10) {
        case 0:
        case 1:
        case 2: {
            const TFTPFileInfo info = RemoteFile("f" + std::to_string(Rng() % kFiles) + ".bin");
            w.AddGet(&info, local);
            break;
        }
        case 3:
            w.AddPut(H.Platform.Folder.Path() + "/upload.bin", "/up/p" + std::to_string(round), false);
            break;
        case 4: w.AddList(); break;
        case 5:
            w.AddRename("/r" + std::to_string(Side), "/r" + std::to_string(1 - Side));
            Side = 1 - Side;
            break;
        case 6: w.AddSetType(static_cast<int>(Rng() % 3)); break;
        case 7: w.AddChmod("f0.bin", Rng() % 2 ? "644" : "600"); break;
        case 8: AbortOne(); break;
        default: Disturb(); break;
        }
    }

    EngineHarness& H;
    std::mt19937 Rng;
    std::vector<std::weak_ptr<TFTPTask>> Tasks;
    int Side = 0;
    static constexpr int kFiles = 6;

private:
    void AbortOne()
    {
        // Among the latest: the running task and those about to run.
        const size_t recent = std::min<size_t>(Tasks.size(), 6);
        if (recent == 0)
            return;
        if (const TTaskPtr t = Tasks[Tasks.size() - 1 - Rng() % recent].lock())
            H.Worker->AbortTask(t);
    }
    // What the window's disconnect and reconnect commands do.
    void Disturb()
    {
        if (Rng() % 2 && H.Worker->IsIdle())
            H.Worker->DropConnection();
        else if (Rng() % 4 == 0)
            H.Worker->Reconnect();
    }
};

} // namespace

TEST(EngineStress, RandomQueueingAbortsAndFrontCommandsEndEveryTaskInAFinalState)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    for (int i = 0; i < StressWindow::kFiles; ++i)
        server.PutFile("f" + std::to_string(i) + ".bin", std::string((96 << 10) + i * 4099, char('a' + i)));
    server.PutFile("r0", "renamed back and forth");
    server.PutFolder("up");
    EngineHarness h;
    WriteFileBytes(h.Platform.Folder.Path() + "/upload.bin", std::string(64 << 10, 'u'));
    h.Worker->SetReconnectWait(20);
    ASSERT_TRUE(h.Connect("127.0.0.1", server.Port(), server.User(), server.Password()));

    const unsigned seed = std::random_device{}();
    std::printf("[ measure  ] stress seed %u, %d s\n", seed, StressSeconds());
    StressWindow window(h, seed);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(StressSeconds());
    int round = 0;
    while (std::chrono::steady_clock::now() < end) {
        // The window acts between serving notifications, and lets a long queue drain a little.
        if (h.Worker->FQueue.Count() < 25)
            window.Act(round++);
        Sync::WaitAndCheckSynchronize(static_cast<int>(window.Rng() % 4));
    }
    ASSERT_TRUE(h.RunUntilIdle(120s)) << "the worker did not come to rest";

    int completed = 0, aborted = 0;
    for (const TaskRow& r : h.Rows) {
        EXPECT_TRUE(r.FinalState == "Completed" || r.FinalState == "Failed" || r.FinalState == "Aborted")
            << r.Id << " " << r.Kind << " " << r.Source << ": \"" << r.FinalState << "\"";
        completed += r.FinalState == "Completed" ? 1 : 0;
        aborted += r.FinalState == "Aborted" ? 1 : 0;
    }
    std::printf("[ measure  ] %d actions, %zu tasks, %d completed, %d aborted\n", round, h.Rows.size(),
                completed, aborted);
    EXPECT_GT(completed, 0);
}
