#include <gtest/gtest.h>

#include "support/ScriptedFtpServer.h"

namespace {

using Lines = std::vector<std::string>;

TEST(FtpScriptedCommands, CommandsGoOutUnchangedAndCheckTheirCodes)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLogin(s);
        s.Expect("CWD /my folder", "250 Directory successfully changed.");
        s.Expect("CWD sub", "200 ok"); // 200 is accepted too
        s.Expect("CDUP", "550 Already at the root.");
        s.Expect("CDUP", "250 ok");
        s.Expect("MKD new dir", "257 \"/new dir\" created");
        s.Expect("MKD other", "250 created"); // a server that does not answer 257
        s.Expect("RMD new dir", "250 Remove directory operation successful.");
        s.Expect("DELE two words.txt", "250 Delete operation successful.");
        s.Expect("DELE gone.txt", "550 Delete operation failed.");
        s.Expect("RNFR a", "350 Ready for RNTO.");
        s.Expect("RNTO b c", "250 Rename successful.");
        s.Expect("RNFR missing", "550 RNFR command failed.");
        s.Expect("SITE chmod 644 b c", "200 SITE CHMOD command ok.");
        s.Expect("SITE bogus", "500 Unknown SITE command.");
        s.Expect("NOOP", "200 in step");
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    TIdFTP& f = c.Ftp;
    f.ChangeFolder("/my folder");
    f.ChangeFolder("sub");
    EXPECT_EQ(ReplyErrorCode([&] { f.ChangeFolderUp(); }), 550);
    EXPECT_EQ(f.ChangeFolderUp(), 250);
    f.CreateFolder("new dir");
    EXPECT_EQ(ReplyErrorCode([&] { f.CreateFolder("other"); }), 250);
    f.RemoveFolder("new dir");
    f.DeleteRemoteFile("two words.txt");
    EXPECT_EQ(ReplyErrorCode([&] { f.DeleteRemoteFile("gone.txt"); }), 550);
    f.RenameRemote("a", "b c");
    EXPECT_EQ(ReplyErrorCode([&] { f.RenameRemote("missing", "never"); }), 550);
    f.SiteCommand("chmod 644 b c");
    EXPECT_EQ(ReplyErrorCode([&] { f.SiteCommand("bogus"); }), 500);
    EXPECT_EQ(f.SendCommand("NOOP", int16_t{200}), 200);
    server.Join();
    // The refused RNFR was not followed by an RNTO.
    const Lines commands = server.Commands();
    EXPECT_EQ(commands[commands.size() - 4], "RNFR missing");
    EXPECT_EQ(commands[commands.size() - 3], "SITE chmod 644 b c");
}

TEST(FtpScriptedCommands, CurrentFolderTakesTheFirstQuotedText)
{
    struct Case {
        const char* reply;
        const char* folder;
    };
    const Case cases[] = {
        {"257 \"/home/anna\" is current directory.", "/home/anna"},
        {"257 /home/anna is current directory.", ""},
        {"257 \"/unterminated", ""},
        {"257 \"/a \"\"quoted\"\" name\" is current", "/a \"quoted\" name"},
        {"257-\"/first\" line\r\n257 \"/second\"", "/first"},
    };
    ScriptedFtpServer server([&](ScriptedFtpSession& s) {
        ScriptLogin(s);
        for (const Case& k : cases)
            s.Expect("PWD", k.reply);
        s.Expect("PWD", "550 No.");
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    for (const Case& k : cases)
        EXPECT_EQ(c.Ftp.CurrentFolder(), k.folder) << k.reply;
    EXPECT_EQ(ReplyErrorCode([&] { c.Ftp.CurrentFolder(); }), 550);
}

TEST(FtpScriptedCommands, RemoteFileSizeReadsSixtyFourBitSizes)
{
    struct Case {
        const char* reply;
        int64_t size;
    };
    const Case cases[] = {
        {"213 1234", 1234},
        {"213 size 1234", 1234},
        {"213 1234 bytes", -1},
        {"213 3000000000", 3000000000LL},
        {"213 5368709120", 5368709120LL},
        {"213 0", 0},
        {"213 ", -1},
        {"213 -5", -1},
        {"213 99999999999999999999", -1},
        {"550 Could not get file size.", -1},
        {"500 SIZE not understood", -1},
        {"213-Status\r\n213 77", -1},
    };
    ScriptedFtpServer server([&](ScriptedFtpSession& s) {
        ScriptLogin(s);
        for (const Case& k : cases)
            s.Expect("SIZE my file.bin", k.reply);
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    for (const Case& k : cases)
        EXPECT_EQ(c.Ftp.RemoteFileSize("my file.bin"), k.size) << k.reply;
}

TEST(FtpScriptedCommands, PortNamesAddressAndPortInBytes)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLogin(s);
        s.Expect("PORT 192,168,1,5,19,135", "200 PORT command successful.");
        s.Expect("PORT 10,0,0,1,0,21", "500 Illegal PORT command.");
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    TIdSocketHandle binding;
    binding.IP = "192.168.1.5";
    binding.Port = 4999;
    c.Ftp.AnnouncePort(binding);
    binding.IP = "10.0.0.1";
    binding.Port = 21;
    EXPECT_EQ(ReplyErrorCode([&] { c.Ftp.AnnouncePort(binding); }), 500);
}

TEST(FtpScriptedCommands, ClosedControlConnectionFailsTheCommand)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        ScriptLogin(s);
        s.ReadCommand();
    });
    RecordingClient c(server.Port());
    c.Ftp.ConnectAndLogin();
    EXPECT_THROW(c.Ftp.DeleteRemoteFile("x"), EIdConnClosedGracefully);
    EXPECT_THROW(c.Ftp.RemoteFileSize("x"), EIdException);
}

} // namespace
