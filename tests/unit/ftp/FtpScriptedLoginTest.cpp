#include <gtest/gtest.h>

#include "support/ScriptedFtpServer.h"

namespace {

using Lines = std::vector<std::string>;

TEST(FtpScriptedLogin, PlainLoginSendsTypeBeforeSystAndReportsReady)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLogin(s);
        EXPECT_TRUE(s.ClientClosedQuietly());
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin(true, -1);
    EXPECT_EQ(c.Ftp.WelcomeReply().NumericCode(), 220);
    EXPECT_EQ(c.Ftp.LoginReply().NumericCode(), 230);
    EXPECT_EQ(c.Ftp.SystemDescription(), "UNIX Type: L8");
    EXPECT_EQ(c.FtpStatuses(), Lines({"Connection established"}));
    c.Ftp.Disconnect(); // no QUIT: the server sees the connection close without a command
    server.Join();
    EXPECT_EQ(server.Commands(), Lines({"USER anna", "PASS secret", "TYPE I", "SYST", "FEAT"}));
}

TEST(FtpScriptedLogin, UserAnsweredWith230SendsNoPassword)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        s.Reply("220 hi");
        s.Expect("USER anna", "230 Welcome, no password needed.");
        s.Expect("TYPE I", "200 ok");
        s.Expect("SYST", "215 UNIX");
        s.Expect("FEAT", "502 Not implemented.");
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    EXPECT_EQ(c.Ftp.LoginReply().NumericCode(), 230);
    EXPECT_EQ(c.Ftp.LoginReply().Text[0], "Welcome, no password needed.");
    c.Ftp.Disconnect();
    server.Join();
    EXPECT_EQ(server.Commands(), Lines({"USER anna", "TYPE I", "SYST", "FEAT"}));
}

TEST(FtpScriptedLogin, RefusalsCloseTheConnection)
{
    struct Case {
        std::function<void(ScriptedFtpSession&)> script;
        int code;
    };
    const Case cases[] = {
        {[](ScriptedFtpSession& s) { s.Reply("421 Too many users."); }, 421},
        {[](ScriptedFtpSession& s) {
             s.Reply("220 hi");
             s.Expect("USER anna", "331 pw");
             s.Expect("PASS secret", "530 Login incorrect.");
         },
         530},
        {[](ScriptedFtpSession& s) {
             s.Reply("220 hi");
             s.Expect("USER anna", "331 pw");
             s.Expect("PASS secret", "332 Need account."); // no ACCT in this client
         },
         332},
        {[](ScriptedFtpSession& s) {
             s.Reply("220 hi");
             s.Expect("USER anna", "230 in");
             s.Expect("TYPE I", "200 ok");
             s.Expect("SYST", "502 Not implemented.");
         },
         502},
    };
    for (const Case& k : cases) {
        ScriptedFtpServer server(k.script);
        RecordingClient c(server.Port());
        std::string message;
        const int code = ReplyErrorCode([&] {
            try {
                c.Ftp.ConnectAndLogin();
            } catch (const EIdProtocolReplyError& e) {
                message = e.Message();
                throw;
            }
        });
        EXPECT_EQ(code, k.code);
        EXPECT_FALSE(c.Ftp.IsConnected());
        if (k.code == 530) {
            EXPECT_EQ(message.substr(0, 16), "Login incorrect.");
        }
        server.Join();
    }
}

TEST(FtpScriptedLogin, Syst500GivesUnknownSystem)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        s.Reply("220 hi");
        s.Expect("USER anna", "230 in");
        s.Expect("TYPE I", "200 ok");
        s.Expect("SYST", "500 What?");
        s.Expect("FEAT", "500 What?");
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    EXPECT_EQ(c.Ftp.SystemDescription(), "Unknown");
    EXPECT_EQ(c.FtpStatuses(), Lines({"Connection established"}));
}

TEST(FtpScriptedLogin, ProxyWithoutAccountTellsTheTargetInTheUserName)
{
    ScriptedFtpServer proxy([](ScriptedFtpSession& s) {
        s.Reply("220 proxy ready");
        s.Expect("USER anna@ftp.example.org", "331 pw");
        s.Expect("PASS secret", "230 in");
        s.Expect("TYPE I", "200 ok");
        s.Expect("SYST", "215 UNIX");
        s.Expect("FEAT", "502 Not implemented.");
    });
    TIdFTP ftp;
    ftp.SetHost("ftp.example.org"); // never contacted: only the proxy is
    ftp.SetPort(2121);
    ftp.Username = "anna";
    ftp.Password = "secret";
    TIdFtpProxySettings settings;
    settings.ProxyType = fpcmUserSite;
    settings.Host = "127.0.0.1";
    settings.Port = proxy.Port();
    ftp.SetProxySettings(settings);
    ftp.ConnectAndLogin();
    EXPECT_EQ(ftp.Host(), "ftp.example.org");
    EXPECT_EQ(ftp.Port(), 2121);
    EXPECT_EQ(ftp.ProxySettings().Port, proxy.Port());
}

TEST(FtpScriptedLogin, ProxyAccountIsLoggedInFirst)
{
    ScriptedFtpServer proxy([](ScriptedFtpSession& s) {
        s.Reply("220 proxy ready");
        s.Expect("USER gate", "331 pw");
        s.Expect("PASS gatepw", "230 proxy account ok");
        s.Expect("USER anna@127.0.0.1", "230 in without password");
        s.Expect("TYPE I", "200 ok");
        s.Expect("SYST", "215 UNIX");
        s.Expect("FEAT", "502 Not implemented.");
    });
    TIdFTP ftp;
    ftp.SetHost("127.0.0.1");
    ftp.Username = "anna";
    ftp.Password = "secret";
    ftp.ProxySettings().ProxyType = fpcmUserSite;
    ftp.ProxySettings().Host = "127.0.0.1";
    ftp.ProxySettings().Port = proxy.Port();
    ftp.ProxySettings().UserName = "gate";
    ftp.ProxySettings().Password = "gatepw";
    ftp.ConnectAndLogin();
    EXPECT_EQ(ftp.LoginReply().Text[0], "in without password");
    EXPECT_EQ(ftp.Port(), 21);
}

TEST(FtpScriptedLogin, TransferTypeSendsOnlyRealChangesWhileConnected)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        s.Reply("220 hi");
        s.Expect("USER anna", "230 in");
        s.Expect("TYPE A", "200 ok"); // chosen while closed, sent by the login
        s.Expect("SYST", "215 UNIX");
        s.Expect("FEAT", "502 Not implemented.");
        s.Expect("TYPE I", "200 ok");
        s.Expect("NOOP", "200 ok");
    });
    RecordingClient c(server.Port());
    c.Ftp.SetTransferType(ftASCII);
    c.Ftp.ConnectAndLogin();
    c.Ftp.SetTransferType(ftASCII);
    c.Ftp.SetTransferType(ftBinary);
    c.Ftp.SetTransferType(ftBinary);
    c.Ftp.SendCommand("NOOP", int16_t{200});
    server.Join();
    EXPECT_EQ(server.Commands(), Lines({"USER anna", "TYPE A", "SYST", "FEAT", "TYPE I", "NOOP"}));
}

TEST(FtpScriptedLogin, LineBreaksInNamesAreRefusedBeforeSending)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLogin(s);
        s.Expect("NOOP", "200 still in step");
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    EXPECT_THROW(c.Ftp.DeleteRemoteFile("a.txt\r\nDELE important"), EIdFTPCommandLineError);
    EXPECT_THROW(c.Ftp.ChangeFolder("x\nRMD y"), EIdFTPCommandLineError);
    EXPECT_THROW(c.Ftp.RenameRemote("a\rb", "c"), EIdFTPCommandLineError);
    c.Ftp.SendCommand("NOOP", int16_t{200});
    server.Join();
    EXPECT_EQ(server.Commands().back(), "NOOP");
    EXPECT_EQ(server.Commands().size(), 6u); // the login with FEAT and NOOP
}

TEST(FtpScriptedLogin, ServerClosingDuringLoginGivesClosedGracefully)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        s.Reply("220 hi");
        s.ReadCommand();
    });
    RecordingClient c(server.Port());
    EXPECT_THROW(c.Ftp.ConnectAndLogin(), EIdConnClosedGracefully);
    EXPECT_FALSE(c.Ftp.IsConnected());
}

TEST(FtpScriptedLogin, SameClientConnectsAgainAfterDisconnect)
{
    RecordingClient c(0);
    for (int round = 0; round < 2; ++round) {
        ScriptedFtpServer server(ScriptLogin);
        c.Ftp.SetPort(server.Port());
        c.Ftp.ConnectAndLogin();
        EXPECT_TRUE(c.Ftp.IsConnected());
        c.Ftp.Disconnect();
        EXPECT_FALSE(c.Ftp.IsConnected());
    }
}

} // namespace
