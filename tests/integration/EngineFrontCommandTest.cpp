// Rename, move, permissions and the transfer type run as tasks in front of the waiting ones;
// a lost session is retried a bounded number of times; nothing kills the worker's loop.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>

#include "ftp/IdFTP.h"
#include "support/EngineHarness.h"
#include "support/FtpTestUser.h"
#include "support/ScriptedFtpServer.h"
#include "support/VsftpdServer.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::vector<std::string> DoneSince(const EngineHarness& h, size_t from)
{
    std::vector<std::string> done;
    for (size_t i = from; i < h.Events.size(); ++i)
        if (h.Events[i].rfind("TaskDone", 0) == 0 || h.Events[i].rfind("CommandDone", 0) == 0)
            done.push_back(h.Events[i]);
    return done;
}

ScriptedFtpServer& ScriptLogin(ScriptedFtpServer& s)
{
    return s.Reply("220 scripted")
        .Expect("USER u", "331 password")
        .Expect("PASS p", "230 in")
        .Expect("TYPE I", "200 binary")
        .Expect("SYST", "215 UNIX Type: L8")
        .Expect("FEAT", "502 Not implemented."); // some scripts close or go silent next
}

} // namespace

// Queued while a question holds a deletion: each command runs right after it, before the
// deletion queued earlier, in the order given; a success is followed by a listing, a refusal
// reports the server's text and is not.
TEST(EngineFrontCommands, RunBehindTheRunningTaskInOrderAndReportTheirOutcome)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    server.PutFile("a.txt", "a");
    server.PutFile("b.txt", "b");
    server.PutFile("keep.txt", "k");
    server.PutFolder("sub");
    EngineHarness h;
    ASSERT_TRUE(h.Connect("127.0.0.1", server.Port(), server.User(), server.Password()));
    bool asked = false;
    h.Worker->OnConfirmDelete = [&] {
        if (!asked) {
            asked = true;
            h.Worker->AddRename("/a.txt", "/renamed.txt");
            h.Worker->AddChmod("keep.txt", "600");
            h.Worker->AddMove("/missing.txt", "/sub/missing.txt");
            h.Worker->AddSetType(1);
        }
        h.Worker->FAnswerYes = true;
    };
    const size_t from = h.Events.size();
    h.Worker->AddDelete("/b.txt");
    h.Worker->AddDelete("/renamed.txt");
    ASSERT_TRUE(h.RunUntilIdle());

    EXPECT_EQ(DoneSince(h, from),
              (std::vector<std::string>{
                  "TaskDone DELETE Completed", "CommandDone RENAME Completed", "TaskDone RENAME Completed",
                  "TaskDone LIST Completed", "CommandDone CHMOD Completed", "TaskDone CHMOD Completed",
                  "TaskDone LIST Completed", "CommandDone MOVE Failed", "TaskDone MOVE Failed",
                  "CommandDone TYPE Completed", "TaskDone TYPE Completed", "TaskDone DELETE Completed"}));
    ASSERT_EQ(h.CommandErrors.size(), 4u);
    EXPECT_NE(h.CommandErrors[2].find("RNFR command failed"), std::string::npos) << h.CommandErrors[2];
    EXPECT_TRUE(h.CommandErrors[0].empty());
    // The renamed file was deleted by the task queued before the rename.
    EXPECT_FALSE(fs::exists(server.Root() + "/a.txt"));
    EXPECT_FALSE(fs::exists(server.Root() + "/renamed.txt"));
    struct stat st {};
    ASSERT_EQ(::stat((server.Root() + "/keep.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(h.Worker->FFTP->TransferType(), ftASCII);
    EXPECT_FALSE(h.Worker->FAutoType);
}

// The session is lost and the server then answers 421 to everything: three attempts with
// waits in between, then every waiting task fails with the last error and one message is
// shown (no box per waiting command); later tasks fail at once until the user connects again.
TEST(EngineReconnection, ServerRefusingEveryLoginIsTriedThreeTimesThenGivenUp)
{
    ScriptedFtpServer s;
    ScriptLogin(s)
        .OpenPassive()
        .Expect("PASV", "227 Entering Passive Mode ({pasv})")
        .Expect("LIST -a", "150 here")
        .SendData("")
        .Reply("226 done")
        .Expect("PWD", "257 \"/\"")
        .CloseControl();
    for (int attempt = 0; attempt < TFTPThread::kReconnectAttempts; ++attempt)
        s.AcceptControl().Reply("421 Service not available, closing control connection.").CloseControl();
    s.Start();
    EngineHarness h;
    h.Worker->SetReconnectWait(20);
    ASSERT_TRUE(h.Connect("127.0.0.1", s.Port(), "u", "p"));
    ASSERT_TRUE(h.RunUntil([&] { return h.CountEvents("Disconnected") > 0; }, 10s));
    const size_t from = h.Events.size();
    const size_t errorsBefore = h.Worker->Errors().size();
    h.Worker->AddMakeDir("/new");
    h.Worker->AddList();
    h.Worker->AddRename("/x", "/y");
    ASSERT_TRUE(h.RunUntilIdle(20s));

    EXPECT_EQ(h.ConnectFailures, 1);
    EXPECT_EQ(DoneSince(h, from),
              (std::vector<std::string>{"TaskDone CONNECT Failed", "TaskDone CONNECT Failed",
                                        "TaskDone CH DIR Failed", "TaskDone RENAME Failed",
                                        "TaskDone MAKE DIR Failed", "TaskDone LIST Failed",
                                        "TaskDone CONNECT Failed"}));
    const auto errors = h.Worker->Errors();
    ASSERT_GT(errors.size(), errorsBefore);
    EXPECT_EQ(errors.back().rfind("Service not available", 0), 0u) << errors.back();
    EXPECT_TRUE(s.WaitFinished(5s));
    EXPECT_TRUE(s.Failures().empty()) << s.Failures().front();

    // Given up: no new attempt until the user connects.
    const size_t later = h.Events.size();
    h.Worker->AddList();
    ASSERT_TRUE(h.RunUntilIdle(10s));
    EXPECT_EQ(DoneSince(h, later), (std::vector<std::string>{"TaskDone LIST Failed"}));
    EXPECT_EQ(h.ConnectFailures, 1);
}

// An exception nobody expected fails its task, reaches the error list and the Log page, and the
// loop goes on with the next task.
TEST(EngineLoop, UnexpectedExceptionsFailTheTaskAndTheLoopGoesOn)
{
    ScriptedFtpServer s;
    ScriptLogin(s).GoSilent();
    s.Start();
    EngineHarness h;
    h.Worker->OnConnected = [&] { h.Events.push_back("Connected"); };
    h.Platform.ShellOpenHook = [](const std::string& path) {
        if (path == "/throw/std")
            throw std::runtime_error("no program for this file");
        if (path == "/throw/other")
            throw 42;
    };
    ASSERT_TRUE(h.Connect("127.0.0.1", s.Port(), "u", "p"));
    for (const char* path : {"/throw/std", "/throw/other", "/fine"})
        h.Worker->AddShellOpen(path);
    ASSERT_TRUE(h.RunUntilIdle(10s));
    const std::vector<std::string> tail(h.Events.end() - 3, h.Events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"TaskDone SHELL OPEN Failed", "TaskDone SHELL OPEN Failed",
                                              "TaskDone SHELL OPEN Running"}));
    EXPECT_EQ(h.Platform.Opened, (std::vector<std::string>{"/fine"}));
    const auto errors = h.Worker->Errors();
    ASSERT_GE(errors.size(), 2u);
    EXPECT_EQ(errors[errors.size() - 2], "Unexpected failure in the worker: no program for this file");
    EXPECT_EQ(errors.back(), "Unexpected failure in the worker: unknown exception");
    EXPECT_EQ(h.ProtocolLines.back(), errors.back());
}

// A reconnection waits before it tries (here far longer than the test): an abort of the waiting
// task, or stopping the worker, ends the wait at once.
TEST(EngineReconnection, AbortAndStopEndTheWaitBeforeAnAttempt)
{
    for (const bool stop : {false, true}) {
        ScriptedFtpServer s;
        ScriptLogin(s).CloseControl().GoSilent();
        s.Start();
        auto h = std::make_unique<EngineHarness>();
        h->Worker->OnConnected = [&] { h->Events.push_back("Connected"); };
        h->Worker->SetReconnectWait(120000);
        ASSERT_TRUE(h->Connect("127.0.0.1", s.Port(), "u", "p"));
        ASSERT_TRUE(h->RunUntil([&] { return h->CountEvents("Disconnected") > 0; }, 10s));
        TTaskPtr waiting;
        int added = 0;
        h->Worker->OnTaskAdded = [&](const TTaskPtr& t) {
            waiting = waiting ? waiting : t;
            ++added;
        };
        h->Worker->AddMakeDir("/new");
        const auto start = std::chrono::steady_clock::now();
        if (stop) {
            h.reset();
        } else {
            h->Worker->AbortTask(waiting);
            ASSERT_TRUE(h->RunUntilIdle(30s));
            EXPECT_EQ(added, 1); // no reconnection was queued
            EXPECT_EQ(waiting->State(), tsAborted);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 30s) << (stop ? "stop" : "abort");
    }
}
