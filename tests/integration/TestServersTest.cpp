#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/FtpProxyServer.h"
#include "support/LoopbackPorts.h"
#include "support/PyftpdServer.h"
#include "support/RawFtpClient.h"
#include "support/ScriptedFtpServer.h"
#include "support/ServerSkip.h"
#include "support/VsftpdServer.h"

namespace {

using namespace std::chrono_literals;

// The data port named by a 227 reply such as "227 Entering Passive Mode (127,0,0,1,78,52)."
int PassivePort(const std::string& reply)
{
    int h[4] = {0, 0, 0, 0}, p1 = 0, p2 = 0;
    const size_t open = reply.find('(');
    if (open == std::string::npos ||
        std::sscanf(reply.c_str() + open + 1, "%d,%d,%d,%d,%d,%d", &h[0], &h[1], &h[2], &h[3], &p1, &p2) !=
            6 ||
        h[0] != 127)
        return -1;
    return p1 * 256 + p2;
}

std::string ReadAll(int fd)
{
    std::string data;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        data.append(chunk, static_cast<size_t>(n));
    ::close(fd);
    return data;
}

// Sends PORT for a new listener, then `command`; the data connection the server opens, or -1.
int ActiveData(RawFtpClient& c, const std::string& command)
{
    int port = 0;
    const int listener = ListenLoopback(port);
    EXPECT_EQ(c.Command("PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256)),
              "200");
    EXPECT_EQ(c.Command(command), "150");
    const int data = AcceptWithin(listener, 5s);
    ::close(listener);
    return data;
}

void ExpectLoginAndRefusal(int port, const std::string& user, const std::string& password)
{
    {
        RawFtpClient c(port);
        ASSERT_TRUE(c.Connected());
        EXPECT_EQ(c.ReadReply().substr(0, 3), "220");
        EXPECT_EQ(c.Command("USER " + user), "331");
        EXPECT_EQ(c.Command("PASS " + password), "230") << c.LastReply();
    }
    RawFtpClient c(port);
    EXPECT_EQ(c.ReadReply().substr(0, 3), "220");
    EXPECT_EQ(c.Command("USER " + user), "331");
    EXPECT_EQ(c.Command("PASS not-" + password), "530");
}

TEST(TestServers, VsftpdLogsInListsAndRefusesAWrongPassword)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    server.PutFile("docs/readme.txt", "hello\n");
    server.PutSymlink("latest", "docs/readme.txt");
    ExpectLoginAndRefusal(server.Port(), server.User(), server.Password());
    EXPECT_EQ(RawFtpClient(server.Port()).ReadReply(), "220 (vsFTPd 3.0.3)");

    RawFtpClient c(server.Port());
    c.ReadReply();
    c.Command("USER " + server.User());
    c.Command("PASS " + server.Password());
    EXPECT_EQ(c.Command("PWD"), "257");
    EXPECT_EQ(c.LastReply(), "257 \"/\" is the current directory");
    EXPECT_EQ(c.Command("USER x"), "530");
    EXPECT_EQ(c.Command("PASV"), "227");
    const int data = ConnectLoopback(PassivePort(c.LastReply()), 5s);
    ASSERT_GE(data, 0) << c.LastReply();
    EXPECT_EQ(c.Command("LIST -a"), "150");
    const std::string listing = ReadAll(data);
    EXPECT_NE(listing.find(" docs\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find(" latest -> docs/readme.txt\r\n"), std::string::npos) << listing;
    EXPECT_EQ(c.ReadReply().substr(0, 3), "226");
    EXPECT_EQ(c.Command("DELE docs/readme.txt"), "250");
    EXPECT_FALSE(std::filesystem::exists(server.Root() + "/docs/readme.txt"));
}

TEST(TestServers, VsftpdConnectsBackInActiveMode)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    server.PutFile("one.txt", "1");
    RawFtpClient c(server.Port());
    c.ReadReply();
    c.Command("USER " + server.User());
    c.Command("PASS " + server.Password());
    const int data = ActiveData(c, "LIST");
    ASSERT_GE(data, 0);
    EXPECT_NE(ReadAll(data).find(" one.txt\r\n"), std::string::npos);
    EXPECT_EQ(c.ReadReply().substr(0, 3), "226");
}

TEST(TestServers, VsftpdLoginIsMadeForEachServerAndGoesWithIt)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    std::vector<std::string> services;
    {
        VsftpdServer one, two;
        EXPECT_NE(one.Password(), two.Password());
        ExpectLoginAndRefusal(one.Port(), one.User(), one.Password());
        RawFtpClient c(two.Port());
        c.ReadReply();
        c.Command("USER " + two.User());
        EXPECT_EQ(c.Command("PASS " + one.Password()), "530");
        services = {one.PamService(), two.PamService()};
        for (const std::string& service : services)
            EXPECT_TRUE(std::filesystem::exists("/etc/pam.d/" + service)) << service;
    }
    for (const std::string& service : services)
        EXPECT_FALSE(std::filesystem::exists("/etc/pam.d/" + service)) << service;
}

TEST(TestServers, VsftpdRefusalTextIsLoginIncorrect)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    RawFtpClient c(server.Port());
    c.ReadReply();
    c.Command("USER " + server.User());
    c.Command("PASS wrong");
    EXPECT_EQ(c.LastReply(), "530 Login incorrect.");
}

TEST(TestServers, PyftpdlibLogsInAndRefusesAWrongPassword)
{
    SKIP_WITHOUT(WhyNoPyftpd());
    PyftpdServer server;
    std::ofstream(server.Root() + "/a.bin") << "abc";
    ExpectLoginAndRefusal(server.Port(), server.User(), server.Password());
    RawFtpClient c(server.Port());
    c.ReadReply();
    c.Command("USER " + server.User());
    c.Command("PASS " + server.Password());
    EXPECT_EQ(c.Command("TYPE I"), "200");
    EXPECT_EQ(c.Command("SIZE a.bin"), "213");
    EXPECT_EQ(c.LastReply(), "213 3");
}

TEST(TestServers, ProxyForwardsAMagicLoginToVsftpd)
{
    SKIP_WITHOUT(WhyNoProxyTarget());
    VsftpdOptions options;
    options.Address = PickLoopbackAddress(21);
    options.Port = 21;
    VsftpdServer server(options);
    server.PutFile("in-root.txt", "x");
    FtpProxyServer proxy(server.Port());
    ExpectLoginAndRefusal(proxy.Port(), server.User() + "@" + server.Address(), server.Password());
    RawFtpClient c(proxy.Port());
    c.ReadReply();
    c.Command("USER " + server.User() + "@" + server.Address());
    EXPECT_EQ(c.Command("PASS " + server.Password()), "230") << proxy.Log();
    EXPECT_EQ(c.Command("PWD"), "257");
    EXPECT_EQ(c.LastReply(), "257 \"/\" is the current directory");
    EXPECT_EQ(c.Command("TYPE I"), "200");
    EXPECT_EQ(c.Command("SIZE in-root.txt"), "213");
}

TEST(TestServers, ProxyAlsoTakesAnExplicitPort)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    SKIP_WITHOUT(WhyNoFtpProxy());
    VsftpdServer server;
    FtpProxyServer proxy(server.Port());
    RawFtpClient c(proxy.Port());
    c.ReadReply();
    c.Command("USER " + server.User() + "@127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(c.Command("PASS " + server.Password()), "230") << proxy.Log();
}

TEST(TestServers, StoppedServersLeaveNoProcessBehind)
{
    pid_t group = 0;
    {
        auto process = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/bin/sh", "-c", "sleep 60 & sleep 60"}, "/dev/null");
        group = process->Pid();
        EXPECT_TRUE(process->Running());
    }
    // Killed members may stay zombies until whoever adopted them reaps them: only living ones count.
    auto livingInGroup = [group] {
        int living = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            if (!std::getline(stat, line))
                continue;
            const size_t close = line.rfind(')');
            if (close == std::string::npos || close + 2 > line.size())
                continue;
            std::istringstream rest(line.substr(close + 2));
            char state = 0;
            int ppid = 0, pgid = 0;
            rest >> state >> ppid >> pgid;
            living += pgid == group && state != 'Z' && state != 'X' ? 1 : 0;
        }
        return living;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (livingInGroup() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(livingInGroup(), 0);
}

TEST(ScriptedServer, PlaysRepliesAndRecordsTheExactCommands)
{
    ScriptedFtpServer s;
    s.Reply("220-Hello\n220 there")
        .Expect("USER bob", "331 Password please.")
        .ExpectPrefix("PASS ", "230 Welcome.")
        .OpenPassive()
        .Expect("PASV", "227 Entering Passive Mode ({pasv}).")
        .Expect("LIST -a", "150 Here it comes.")
        .SendData("line one\r\n")
        .Reply("226 Done.")
        .CloseControl();
    s.Start();
    RawFtpClient c(s.Port());
    EXPECT_EQ(c.ReadReply(), "220-Hello\n220 there");
    EXPECT_EQ(c.Command("USER bob"), "331");
    EXPECT_EQ(c.Command("PASS secret"), "230");
    EXPECT_EQ(c.Command("PASV"), "227");
    const int data = ConnectLoopback(PassivePort(c.LastReply()), 5s);
    ASSERT_GE(data, 0);
    EXPECT_EQ(c.Command("LIST -a"), "150");
    EXPECT_EQ(ReadAll(data), "line one\r\n");
    EXPECT_EQ(c.ReadReply(), "226 Done.");
    EXPECT_EQ(c.ReadReply(), ""); // closed
    ASSERT_TRUE(s.WaitFinished());
    EXPECT_TRUE(s.Failures().empty());
    EXPECT_EQ(s.Commands(), (std::vector<std::string>{"USER bob", "PASS secret", "PASV", "LIST -a"}));
}

TEST(ScriptedServer, ActiveModeConnectsBackAndReceivesUploads)
{
    ScriptedFtpServer s;
    s.Reply("220 Hi")
        .ExpectPrefix("PORT ", "200 OK")
        .Expect("STOR up.bin", "150 Go")
        .ReceiveData()
        .Reply("226 Got it");
    s.Start();
    RawFtpClient c(s.Port());
    c.ReadReply();
    const int data = ActiveData(c, "STOR up.bin");
    ASSERT_GE(data, 0);
    EXPECT_EQ(::write(data, "payload", 7), 7);
    ::close(data);
    EXPECT_EQ(c.ReadReply(), "226 Got it");
    ASSERT_TRUE(s.WaitFinished());
    EXPECT_EQ(s.ReceivedData(), "payload");
    EXPECT_TRUE(s.Failures().empty());
}

TEST(ScriptedServer, ReportsMismatchesAndNeverHangs)
{
    ScriptedFtpServer s;
    s.SetStepTimeout(300ms);
    s.Reply("220 Hi").Expect("USER bob", "331 Password").Expect("PASS x", "230 OK");
    s.Start();
    {
        RawFtpClient c(s.Port(), 500ms);
        c.ReadReply();
        EXPECT_EQ(c.Command("USER alice"), ""); // no reply after a mismatch
        c.Send("QUIT");
        ASSERT_TRUE(s.WaitFinished(2s));
        EXPECT_EQ(s.Failures(), (std::vector<std::string>{"expected \"USER bob\", got \"USER alice\""}));
    }

    ScriptedFtpServer silent;
    silent.Reply("220 Hi").Expect("NOOP").GoSilent();
    silent.Start();
    RawFtpClient c(silent.Port(), 300ms);
    c.ReadReply();
    EXPECT_EQ(c.Command("NOOP"), "");
    c.Send("STAT");

    int data = -1;
    {
        // A client that opens the data connection but never reads: destroying the server still returns.
        ScriptedFtpServer stuck;
        stuck.OpenPassive().Reply("227 Entering Passive Mode ({pasv}).").SendData(std::string(16 << 20, 'x'));
        stuck.Start();
        RawFtpClient control(stuck.Port(), 300ms);
        data = ConnectLoopback(PassivePort(control.ReadReply()), 2s);
        EXPECT_GE(data, 0);
        EXPECT_FALSE(stuck.WaitFinished(200ms));
    }
    ::close(data);

    ScriptedFtpServer nobody;
    nobody.SetStepTimeout(200ms);
    nobody.Start();
    EXPECT_TRUE(nobody.WaitFinished(2s));
    EXPECT_EQ(nobody.Failures(), (std::vector<std::string>{"no client connected"}));
}

} // namespace
