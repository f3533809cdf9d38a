// The worker against a scripted server that lies or goes silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "support/EngineHarness.h"
#include "support/ScriptedFtpServer.h"
#include "support/ThreadState.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

ScriptedFtpServer& LoginScript(ScriptedFtpServer& s)
{
    return s.Reply("220 scripted")
        .Expect("USER u", "331 password")
        .Expect("PASS p", "230 in")
        .Expect("TYPE I", "200 binary")
        .Expect("SYST", "215 UNIX Type: L8");
}

ScriptedFtpServer& RootListingScript(ScriptedFtpServer& s)
{
    return s.OpenPassive()
        .Expect("PASV", "227 Entering Passive Mode ({pasv})")
        .Expect("LIST -a", "150 here")
        .SendData("")
        .Reply("226 done")
        .Expect("PWD", "257 \"/\" is current");
}

// The harness's window queues nothing after the login: the script stays exact.
void ConnectQuietly(EngineHarness& h, int port)
{
    h.Worker->OnConnected = [&h] { h.Events.push_back("Connected"); };
    h.Site = SiteRecord::NewSite("127.0.0.1");
    h.Site.PortNumber = port;
    h.Site.LoginName.Assign("u");
    h.Site.LoginPassword.Assign("p");
    h.Site.PassiveMode = 1;
    h.Worker->ApplySite(h.Site, h.Proxy);
    h.Worker->AddConnect();
    h.Worker->AddList();
}

TFTPFileInfo Folder(const std::string& path)
{
    TFTPFileInfo info;
    info.Name = path.substr(path.rfind('/') + 1);
    info.Folder = "/";
    info.FullPath = path;
    info.Kind = ikFolder;
    return info;
}

} // namespace

TEST(EngineHostile, FolderDownloadRefusesNamesThatLeaveTheFolderOrInjectCommands)
{
    const std::string listing = "drwxr-xr-x 2 u g 4096 Jan 01 2020 .\r\n"
                                "drwxr-xr-x 2 u g 4096 Jan 01 2020 ..\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 01 2020 x\r\nDELE y\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 01 2020 ../evil\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 01 2020 a/b\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 01 2020 ..\\evil2\r\n"
                                "drwxr-xr-x 2 u g 4096 Jan 01 2020 ..\r\n";
    ScriptedFtpServer s;
    LoginScript(s);
    RootListingScript(s)
        .Expect("CWD /hostile", "250 ok")
        .OpenPassive()
        .Expect("PASV", "227 Entering Passive Mode ({pasv})")
        .Expect("LIST -a", "150 here")
        .SendData(listing)
        .Reply("226 done")
        .Expect("CWD /", "250 ok")
        // The one plain name is fetched; the garbage line beside it costs it nothing.
        .Expect("SIZE /hostile/x", "213 5")
        .OpenPassive()
        .Expect("PASV", "227 Entering Passive Mode ({pasv})")
        .Expect("RETR /hostile/x", "150 here")
        .SendData("xxxxx")
        .Reply("226 done")
        .GoSilent();
    s.Start();
    EngineHarness h;
    ConnectQuietly(h, s.Port());
    const std::string base = h.Platform.Folder.Path() + "/area";
    fs::create_directory(base);
    const TFTPFileInfo hostile = Folder("/hostile");
    h.Worker->AddGet(&hostile, base + "/dest");
    ASSERT_TRUE(h.RunUntilIdle(20s));
    EXPECT_TRUE(s.Failures().empty()) << s.Failures().front();
    for (const std::string& c : s.Commands())
        EXPECT_EQ(c.find("DELE"), std::string::npos) << c;
    // Only the chosen folder was made; nothing was written beside or above it.
    std::vector<std::string> made;
    for (const auto& e : fs::recursive_directory_iterator(h.Platform.Folder.Path()))
        made.push_back(fs::relative(e.path(), h.Platform.Folder.Path()).string());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<std::string>{"area", "area/dest", "area/dest/x"}));
    int refusals = 0;
    for (const std::string& e : h.Worker->Errors())
        refusals += e.rfind("Refused to download", 0) == 0 ? 1 : 0;
    EXPECT_EQ(refusals, 3); // "../evil", "a/b" and "..\evil2"; the extra ".." is skipped
    EXPECT_EQ(std::count_if(h.Rows.begin(), h.Rows.end(), [](const TaskRow& r) { return r.Kind == "GET"; }),
              2); // the folder's own row and x
}

namespace {

// A listing or a download that starts, then never ends: the server opens the data connection
// and goes silent.
void SilentTransferScript(ScriptedFtpServer& s, bool download)
{
    LoginScript(s);
    RootListingScript(s);
    if (download)
        s.Expect("SIZE /big.bin", "213 1000000");
    s.OpenPassive().Expect("PASV", "227 Entering Passive Mode ({pasv})");
    s.Expect(download ? "RETR /big.bin" : "LIST -a", "150 here").OpenData().GoSilent();
}

void QueueSilentWork(EngineHarness& h, bool download)
{
    if (download) {
        TFTPFileInfo info;
        info.Name = "big.bin";
        info.Folder = "/";
        info.FullPath = "/big.bin";
        info.Kind = ikFile;
        h.Worker->AddGet(&info, h.Platform.Folder.Path() + "/big.bin");
    } else {
        h.Worker->AddList();
    }
}

} // namespace

class EngineSilentServer : public ::testing::TestWithParam<bool> {};

TEST_P(EngineSilentServer, AbortAllReturnsWithinSeconds)
{
    ScriptedFtpServer s;
    SilentTransferScript(s, GetParam());
    s.Start();
    const std::vector<int> before = ThreadIds();
    EngineHarness h;
    std::vector<TTaskPtr> tasks;
    h.Worker->OnTaskAdded = [&](const TTaskPtr& t) { tasks.push_back(t); };
    ConnectQuietly(h, s.Port());
    QueueSilentWork(h, GetParam());
    h.Worker->AddList(); // waits behind the silent one
    // Until the worker (a thread the harness started) is blocked on the silent server, not on a
    // notification for this thread.
    ASSERT_TRUE(h.RunUntil([&] { return s.WaitFinished(0ms) && AnyBlockedOnIo(NewThreads(before)); }, 20s));
    const auto start = std::chrono::steady_clock::now();
    for (const TTaskPtr& t : tasks)
        h.Worker->AbortTask(t);
    ASSERT_TRUE(h.RunUntilIdle(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    for (const TTaskPtr& t : tasks)
        EXPECT_TRUE(t->State() == tsAborted || t->State() == tsCompleted) << TaskKindCaption(t->Kind);
}

TEST_P(EngineSilentServer, StoppingTheWorkerReturnsWithinSeconds)
{
    ScriptedFtpServer s;
    SilentTransferScript(s, GetParam());
    s.Start();
    const std::vector<int> before = ThreadIds();
    auto h = std::make_unique<EngineHarness>();
    ConnectQuietly(*h, s.Port());
    QueueSilentWork(*h, GetParam());
    ASSERT_TRUE(h->RunUntil([&] { return s.WaitFinished(0ms) && AnyBlockedOnIo(NewThreads(before)); }, 20s));
    const auto start = std::chrono::steady_clock::now();
    h.reset(); // stops and frees the worker
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

INSTANTIATE_TEST_SUITE_P(ListingAndDownload, EngineSilentServer, ::testing::Values(false, true));
