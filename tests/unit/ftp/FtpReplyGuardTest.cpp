// Replies the client cannot trust to end where the next one starts close the session; a plain
// refusal leaves it in step. Sizes are read in full 64 bits.
#include <gtest/gtest.h>

#include <functional>

#include "ftp/IdFTP.h"
#include "net/IdLogEvent.h"
#include "support/ScriptedFtpServer.h"

namespace {

ScriptedFtpServer& Login(ScriptedFtpServer& s)
{
    return s.Reply("220 ready")
        .Expect("USER u", "331 password")
        .Expect("PASS p", "230 in")
        .Expect("TYPE I", "200 binary")
        .Expect("SYST", "215 UNIX Type: L8");
}

void Connect(TIdFTP& ftp, int port, int replyTimeoutMs = 60000)
{
    ftp.SetHost("127.0.0.1");
    ftp.SetPort(port);
    ftp.Username = "u";
    ftp.Password = "p";
    ftp.ReplyTimeoutMs = replyTimeoutMs;
    ftp.ConnectAndLogin();
}

// The message of what body raises, "" when nothing is raised.
std::string Failure(const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

std::string Lines(int count, const std::string& line)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line + "\r\n";
    return text;
}

} // namespace

TEST(FtpReplyGuard, RepliesThatCannotBeTrustedDropTheSession)
{
    struct Case {
        const char* name;
        std::function<void(ScriptedFtpServer&)> serve;
        std::string failure;
        bool staysConnected;
    };
    const Case cases[] = {
        {"a refusal", [](ScriptedFtpServer& s) { s.Expect("NOOP", "550 No."); }, "No.\r\n", true},
        {"a line over the maximum length",
         [](ScriptedFtpServer& s) { s.Expect("NOOP").SendRaw("200 " + std::string(20000, 'x') + "\r\n"); },
         "Max line length exceeded.", false},
        {"a reply without a code", [](ScriptedFtpServer& s) { s.Expect("NOOP", "hello there"); },
         "The server sent a reply that cannot be read.", false},
        {"10,001 lines",
         [](ScriptedFtpServer& s) { s.Expect("NOOP").FloodControl(Lines(10001, "200-x"), 1); },
         "The server's reply is too long.", false},
        {"endless blank lines", [](ScriptedFtpServer& s) { s.Expect("NOOP").FloodControl("\r\n", 20000); },
         "The server's reply is too long.", false},
        {"silence", [](ScriptedFtpServer& s) { s.Expect("NOOP").WaitForHangUp(); },
         "Timed out waiting for the server (1 s).", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ScriptedFtpServer s;
        Login(s);
        k.serve(s);
        s.Start();
        TIdFTP ftp;
        Connect(ftp, s.Port(), 1000);
        EXPECT_EQ(Failure([&] { ftp.SendCommand("NOOP", int16_t{200}); }), k.failure);
        EXPECT_EQ(ftp.IsConnected(), k.staysConnected);
    }
}

TEST(FtpReplyGuard, SilentDataConnectionTimesOutAndDropsTheSession)
{
    ScriptedFtpServer s;
    Login(s).OpenPassive().Expect("PASV", "227 Entering Passive Mode ({pasv})");
    s.Expect("LIST", "150 here").OpenData().WaitForHangUp();
    s.Start();
    TIdFTP ftp;
    ftp.Passive = true;
    Connect(ftp, s.Port(), 1000);
    EXPECT_EQ(Failure([&] { ftp.ListFolder(nullptr, ""); }), "Timed out waiting for the server (1 s).");
    EXPECT_FALSE(ftp.IsConnected());
}

TEST(FtpReplyGuard, NulBytesReachTheLogVisibly)
{
    ScriptedFtpServer s;
    Login(s).Expect("NOOP").SendRaw(std::string("200 a\0b\r\n", 9));
    s.Start();
    TIdFTP ftp;
    TIdLogEvent log;
    std::string received;
    log.OnReceived = [&](TIdBaseComponent*, const std::string&, const std::string& data) {
        received += data;
    };
    log.SetActive(true);
    ftp.SetIntercept(&log);
    Connect(ftp, s.Port());
    ftp.SendCommand("NOOP", int16_t{200});
    EXPECT_NE(received.find("200 a\\0b"), std::string::npos) << received;
    EXPECT_EQ(received.find('\0'), std::string::npos);
    ftp.Disconnect();
    ftp.SetIntercept(nullptr);
}

TEST(FtpReplyGuard, SizesUseAllSixtyFourBits)
{
    struct Case {
        const char* text;
        int64_t size;
    };
    for (const Case& k :
         {Case{"9223372036854775807", INT64_MAX}, Case{"9223372036854775808", -1},
          Case{"0000000000000000000000042", 42}, Case{"1000000000000000000", 1000000000000000000},
          Case{"size 12", 12}, Case{"12 bytes", -1}, Case{"", -1}})
        EXPECT_EQ(ParseSizeReply(k.text), k.size) << k.text;
}
