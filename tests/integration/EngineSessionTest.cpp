// The worker against a real vsftpd: connecting, listing, reconnecting, aborting, the error file.
#include <gtest/gtest.h>

#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "ftp/IdFTP.h"
#include "support/EngineHarness.h"
#include "support/FtpTestUser.h"
#include "support/LoopbackPorts.h"
#include "support/ScriptedFtpServer.h"
#include "support/SessionKiller.h"
#include "support/ThreadState.h"
#include "support/VsftpdServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class EngineSession : public ::testing::Test {
protected:
    VsftpdServer server;
    EngineHarness h;
    bool Connect(bool passive = true)
    {
        return h.Connect("127.0.0.1", server.Port(), server.User(), server.Password(), passive);
    }
};

} // namespace

TEST_F(EngineSession, LoginFailuresGiveTheTwoUserTexts)
{
    EXPECT_FALSE(h.Connect("127.0.0.1", server.Port(), server.User(), "wrong-password"));
    EXPECT_EQ(h.LastConnectError, "Login incorrect. Check your username and password.");
    EXPECT_EQ(h.Rows.back().FinalState, "Failed");

    EXPECT_FALSE(h.Connect("127.0.0.1", PickFreePorts(1), "u", "p"));
    EXPECT_EQ(h.LastConnectError, "Connect failed. Check if the server address was written correctly.");
    EXPECT_EQ(h.ConnectFailures, 2);
    const auto errors = h.Worker->Errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind("Login incorrect.", 0), 0u) << errors[0];
}

TEST_F(EngineSession, ConnectListAndChangeFolderRowsAndProtocolLines)
{
    server.PutFolder("sub");
    server.PutFile("sub/inner.txt", "x");
    server.PutFile("top.bin", "y");
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Worker->FCurrentDir, "/");
    h.Worker->AddChangeDir("sub");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Worker->FCurrentDir, "/sub");
    EXPECT_EQ(h.CurrentNames(), (std::vector<std::string>{".", "..", "inner.txt"}));
    h.Worker->AddChangeDirUp();
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Worker->FCurrentDir, "/");

    const std::vector<std::string> kinds{"CONNECT", "LIST", "CH DIR", "LIST", "CH DIR UP", "LIST"};
    EXPECT_EQ(h.RowKinds(), kinds);
    for (size_t i = 0; i < h.Rows.size(); ++i) {
        EXPECT_EQ(h.Rows[i].Id, static_cast<int>(i + 1));
        EXPECT_EQ(h.Rows[i].FinalState, "Completed");
    }
    EXPECT_EQ(h.Listings, 3);
    bool sawPass = false, sawUser = false, sawReply = false;
    for (const std::string& line : h.ProtocolLines) {
        EXPECT_EQ(line.find(server.Password()), std::string::npos) << line;
        sawPass |= line == ">> PASS ***";
        sawUser |= line == ">> USER " + server.User();
        sawReply |= line.rfind("<< 230", 0) == 0;
    }
    EXPECT_TRUE(sawPass && sawUser && sawReply);
}

TEST_F(EngineSession, DroppedConnectionReconnectsAndReturnsToTheFolder)
{
    server.PutFolder("deep");
    ASSERT_TRUE(Connect());
    h.Worker->AddChangeDir("deep");
    ASSERT_TRUE(h.RunUntilIdle());
    ASSERT_EQ(h.Worker->FCurrentDir, "/deep");
    // The session's processes die: the server side of the control connection is gone.
    KillFtpSessions();
    const size_t rowsBefore = h.Rows.size();
    h.Worker->AddList();
    ASSERT_TRUE(h.RunUntilIdle());
    std::vector<std::string> added;
    for (size_t i = rowsBefore; i < h.Rows.size(); ++i)
        added.push_back(h.Rows[i].Kind + " " + h.Rows[i].FinalState);
    // The listing's row first, then the two the reconnection put in front of it, then the
    // listing that the successful login queues.
    EXPECT_EQ(added, (std::vector<std::string>{"LIST Completed", "CONNECT Completed", "CH DIR Completed",
                                               "LIST Completed"}));
    std::vector<std::string> done;
    for (const std::string& e : h.Events)
        if (e.rfind("TaskDone", 0) == 0)
            done.push_back(e);
    ASSERT_GE(done.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(done.end() - 4, done.end()),
              (std::vector<std::string>{"TaskDone CONNECT Completed", "TaskDone CH DIR Completed",
                                        "TaskDone LIST Completed", "TaskDone LIST Completed"}));
    EXPECT_EQ(h.Worker->FCurrentDir, "/deep");
}

TEST_F(EngineSession, AbortedBigDownloadEndsAndTheNextTaskReconnects)
{
    const std::string big = server.Root() + "/big.bin";
    {
        std::ofstream f(big, std::ios::binary);
    }
    fs::resize_file(big, 1ll << 30); // sparse: quick to make, a full GiB to send
    GiveToFtpTestUser(big.c_str());
    ASSERT_TRUE(Connect());
    TFTPFileInfo info;
    info.Name = "big.bin";
    info.Folder = "/";
    info.FullPath = "/big.bin";
    info.Kind = ikFile;
    const std::string local = h.Platform.Folder.Path() + "/big.bin";
    h.Worker->AddGet(&info, local);
    TTaskPtr running;
    h.Worker->OnProgress = [&] { running = h.Worker->FCurrent; };
    ASSERT_TRUE(h.RunUntil([&] { return running != nullptr; }));
    const auto start = std::chrono::steady_clock::now();
    h.Worker->AbortTask(running);
    ASSERT_TRUE(h.RunUntilIdle(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    const std::string state = h.Rows.back().FinalState;
    EXPECT_TRUE(state == "Aborted" || state == "Failed") << state;
    EXPECT_FALSE(h.Worker->IsConnected());

    h.Worker->OnProgress = nullptr;
    const size_t rowsBefore = h.Rows.size();
    h.Worker->AddList();
    ASSERT_TRUE(h.RunUntilIdle());
    ASSERT_GE(h.Rows.size(), rowsBefore + 3);
    EXPECT_EQ(h.Rows[rowsBefore + 1].Kind, "CONNECT");
    EXPECT_EQ(h.Rows[rowsBefore + 1].FinalState, "Completed");
}

// The window may queue a reconnection (after its own connection check) while a transfer runs;
// the worker's status lines and folder must not race it, and the transfer finishes first.
TEST_F(EngineSession, ReconnectFromTheWindowWhileADownloadRuns)
{
    constexpr int64_t kSize = int64_t{128} << 20;
    const std::string remote = server.Root() + "/mid.bin";
    std::ofstream(remote, std::ios::binary).close();
    fs::resize_file(remote, kSize);
    GiveToFtpTestUser(remote.c_str());
    ASSERT_TRUE(Connect());
    TFTPFileInfo info;
    info.FullPath = "/mid.bin";
    info.Folder = "/";
    info.Name = "mid.bin";
    const std::string local = h.Platform.Folder.Path() + "/mid.bin";
    h.Worker->AddGet(&info, local);
    // No progress handler: the worker then runs free instead of waiting for this thread.
    std::error_code ec;
    ASSERT_TRUE(h.RunUntil([&] { return fs::file_size(local, ec) > 0 && !ec; }));
    const size_t rowsBefore = h.Rows.size();
    h.Worker->Reconnect();
    ASSERT_TRUE(h.RunUntilIdle());

    EXPECT_EQ(static_cast<int64_t>(fs::file_size(local)), kSize);
    ASSERT_GE(h.Rows.size(), rowsBefore + 2);
    EXPECT_EQ(h.Rows[rowsBefore - 1].Kind, "GET");
    EXPECT_EQ(h.Rows[rowsBefore - 1].FinalState, "Completed");
    EXPECT_EQ(h.Rows[rowsBefore].Kind, "CONNECT");
    EXPECT_EQ(h.Rows[rowsBefore + 1].Kind, "CH DIR");
    EXPECT_EQ(h.Rows[rowsBefore + 1].Source, "/");
    EXPECT_FALSE(h.Rows[rowsBefore + 1].FinalState.empty());
}

TEST_F(EngineSession, ErrorFileIsWrittenWhenTheWorkerGoes)
{
    EXPECT_FALSE(h.Connect("127.0.0.1", server.Port(), server.User(), "nope"));
    const std::string errFile = h.Platform.AppFolder() + "err.txt";
    h.Worker.reset();
    const std::string text = ReadFileBytes(errFile);
    EXPECT_EQ(text.rfind("Login incorrect.", 0), 0u) << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST(EngineAnonymous, EmptyLoginConnectsAsAnonymousAndTheRecordKeepsIt)
{
    ScriptedFtpServer s;
    s.Reply("220 scripted")
        .Expect("USER anonymous", "331 send your address")
        .Expect(std::string("PASS ") + kAnonymousPassword, "230 welcome")
        .ExpectPrefix("TYPE", "200 ok")
        .Expect("SYST", "215 UNIX Type: L8")
        .Expect("FEAT", "502 Not implemented.")
        .GoSilent();
    s.Start();
    EngineHarness h;
    h.Site = SiteRecord::NewSite(" 127.0.0.1 ");
    h.Site.PortNumber = s.Port();
    h.Worker->OnConnected = [&] { h.Events.push_back("Connected"); };
    h.Worker->ApplySite(h.Site, h.Proxy);
    EXPECT_EQ(h.Site.LoginName.Str(), "anonymous");
    EXPECT_EQ(h.Site.LoginPassword.Str(), kAnonymousPassword);
    h.Worker->AddConnect();
    ASSERT_TRUE(h.RunUntilIdle(10s));
    EXPECT_EQ(h.CountEvents("Connected"), 1);
    EXPECT_EQ(h.Worker->HostName(), "127.0.0.1");
    EXPECT_TRUE(s.Failures().empty()) << s.Failures().front();
}

TEST_F(EngineSession, AbortedPendingTaskIsSkippedWhenItsTurnComes)
{
    server.PutFile("a.txt", "a");
    server.PutFile("b.txt", "b");
    ASSERT_TRUE(Connect());
    TTaskPtr second;
    h.Worker->OnTaskAdded = [&](const TTaskPtr& t) {
        if (t->Source == "/b.txt")
            second = t;
        h.Rows.push_back({t->Id, TaskKindCaption(t->Kind), t->Source, t->Destination, ""});
    };
    // The first deletion's question holds the worker while the second one is aborted.
    h.Worker->OnConfirmDelete = [&] {
        h.Questions.push_back(h.Worker->FCurrent->Source);
        h.Worker->AbortTask(second);
        EXPECT_EQ(second->State(), tsAborted);
        h.Worker->FAnswerYes = true;
    };
    h.Worker->AddDelete("/a.txt");
    h.Worker->AddDelete("/b.txt");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions, (std::vector<std::string>{"/a.txt"}));
    EXPECT_EQ(h.Rows.back().FinalState, "Aborted");
    EXPECT_FALSE(fs::exists(server.Root() + "/a.txt"));
    EXPECT_TRUE(fs::exists(server.Root() + "/b.txt"));
}

TEST_F(EngineSession, ProgressReachesTheWindowInStepsNotPerBlock)
{
    const std::string file = server.Root() + "/mid.bin";
    std::ofstream(file, std::ios::binary).close();
    fs::resize_file(file, 256ll << 20); // 8192 blocks of 32 KiB
    GiveToFtpTestUser(file.c_str());
    ASSERT_TRUE(Connect());
    TFTPFileInfo info;
    info.Name = "mid.bin";
    info.Folder = "/";
    info.FullPath = "/mid.bin";
    int notifications = 0;
    float last = 0;
    bool ordered = true;
    h.Worker->OnProgress = [&] {
        ++notifications;
        ordered &= h.Worker->FProgress >= last;
        last = h.Worker->FProgress;
    };
    h.Worker->AddGet(&info, h.Platform.Folder.Path() + "/mid.bin");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Rows.back().FinalState, "Completed");
    EXPECT_EQ(fs::file_size(h.Platform.Folder.Path() + "/mid.bin"), 256u << 20);
    EXPECT_GE(notifications, 2);
    EXPECT_LE(notifications, 400);
    EXPECT_TRUE(ordered);
    EXPECT_GT(last, 0.98f);
}

TEST_F(EngineSession, DisconnectFromTheWindowWhileATaskTalksToItNeverDeadlocks)
{
    ASSERT_TRUE(Connect());
    std::atomic<bool> waiting{false};
    Sync::SetWakeMainThread([&waiting] { waiting = true; });
    h.Worker->AddList();
    // The worker now holds the session and waits for this thread at its first protocol line.
    const bool held = PollUntil([&] { return waiting.load(); });
    Sync::SetWakeMainThread(nullptr);
    ASSERT_TRUE(held);
    const auto start = std::chrono::steady_clock::now();
    h.Worker->DropConnection();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_FALSE(h.Worker->IsConnected());
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Rows.back().Kind, "LIST");
}
