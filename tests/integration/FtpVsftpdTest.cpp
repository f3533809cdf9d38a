#include <filesystem>
#include <sys/stat.h>

#include "FtpClientFixture.h"
#include "support/ServerSkip.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace {

namespace fs = std::filesystem;

class FtpVsftpd : public ::testing::TestWithParam<bool> {
protected:
    VsftpdServer Server;
    LoggedClient Client{"127.0.0.1", Server.Port(), Server.User(), Server.Password(), GetParam()};
    TIdFTP& Ftp = Client.Ftp;
};

TEST_P(FtpVsftpd, LoginIsAcceptedWithTypeBeforeSyst)
{
    Ftp.ConnectAndLogin();
    EXPECT_EQ(Ftp.WelcomeReply().NumericCode(), 220);
    EXPECT_EQ(Ftp.LoginReply().NumericCode(), 230);
    EXPECT_EQ(Ftp.SystemDescription(), "UNIX Type: L8");
    const size_t type = Client.Sent.find("TYPE I<EOL>");
    ASSERT_NE(type, std::string::npos) << Client.Sent;
    EXPECT_LT(type, Client.Sent.find("SYST<EOL>"));
    EXPECT_EQ(Ftp.CurrentFolder(), "/");
}

TEST_P(FtpVsftpd, WrongPasswordIsLoginIncorrect)
{
    Ftp.Password = "wrong";
    try {
        Ftp.ConnectAndLogin();
        FAIL() << "login was accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode, 530);
        EXPECT_EQ(e.Message().substr(0, 16), "Login incorrect.");
    }
    EXPECT_FALSE(Ftp.IsConnected());
}

TEST_P(FtpVsftpd, ListingShowsFilesFoldersAndLinks)
{
    Server.PutFile("pub/read me.txt", "12345");
    Server.PutFolder("pub/sub dir");
    fs::create_symlink("read me.txt", Server.Root() + "/pub/latest");
    Ftp.ConnectAndLogin();
    Ftp.ChangeFolder("pub");
    TStringList lines;
    Ftp.ListFolder(&lines, "-a");
    TIdFTPListItems& items = Ftp.ParsedListing();
    const TIdFTPListItem* file = FindEntry(items, "read me.txt");
    const TIdFTPListItem* folder = FindEntry(items, "sub dir");
    const TIdFTPListItem* link = FindEntry(items, "latest");
    ASSERT_TRUE(file && folder && link) << lines.Text();
    EXPECT_EQ(file->EntryKind, ekFile);
    EXPECT_EQ(file->ByteSize, 5);
    EXPECT_EQ(folder->EntryKind, ekDirectory);
    EXPECT_EQ(link->EntryKind, ekSymbolicLink);
    EXPECT_EQ(link->LinkTargetName, "read me.txt");
    EXPECT_NE(FindEntry(items, ".."), nullptr);
    EXPECT_NE(Client.Sent.find("LIST -a<EOL>"), std::string::npos);
}

TEST_P(FtpVsftpd, TransfersAreByteIdentical)
{
    const std::string big = Pattern(5 * 1024 * 1024 + 17);
    Server.PutFile("empty.bin", "");
    Server.PutFile("big.bin", big);
    TempDir local;
    Ftp.ConnectAndLogin();
    Ftp.DownloadToFile("empty.bin", local.Path() + "/empty.bin", false);
    Ftp.DownloadToFile("big.bin", local.Path() + "/big.bin", false);
    EXPECT_TRUE(fs::exists(local.Path() + "/empty.bin"));
    EXPECT_EQ(fs::file_size(local.Path() + "/empty.bin"), 0u);
    EXPECT_TRUE(FileText(local.Path() + "/big.bin") == big);

    WriteFile(local.Path() + "/up.bin", big.substr(1000));
    Ftp.UploadFromFile(local.Path() + "/up.bin", "up.bin");
    Ftp.UploadFromFile(local.Path() + "/empty.bin", "up empty.bin");
    EXPECT_TRUE(FileText(Server.Root() + "/up.bin") == big.substr(1000));
    EXPECT_TRUE(fs::exists(Server.Root() + "/up empty.bin"));
    EXPECT_EQ(fs::file_size(Server.Root() + "/up empty.bin"), 0u);
    EXPECT_EQ(Ftp.RemoteFileSize("up.bin"), static_cast<int64_t>(big.size() - 1000));

    // Replacing an existing local file, and a refused RETR that must leave it alone.
    Ftp.DownloadToFile("up.bin", local.Path() + "/big.bin", true);
    EXPECT_TRUE(FileText(local.Path() + "/big.bin") == big.substr(1000));
    EXPECT_THROW(Ftp.DownloadToFile("missing.bin", local.Path() + "/big.bin", true), EIdProtocolReplyError);
    EXPECT_EQ(fs::file_size(local.Path() + "/big.bin"), big.size() - 1000);
    EXPECT_EQ(Ftp.CurrentFolder(), "/"); // the control connection is still in step
    // On IPv4 the data connections are made by PASV and PORT alone.
    EXPECT_NE(Client.Sent.find(GetParam() ? "PASV<EOL>" : "PORT 127,0,0,1,"), std::string::npos);
    EXPECT_EQ(Client.Sent.find("EPSV"), std::string::npos) << Client.Sent;
    EXPECT_EQ(Client.Sent.find("EPRT"), std::string::npos) << Client.Sent;
}

TEST_P(FtpVsftpd, FileAndFolderCommands)
{
    Server.PutFile("a.txt", "abc");
    Ftp.ConnectAndLogin();
    Ftp.CreateFolder("new folder");
    EXPECT_TRUE(fs::is_directory(Server.Root() + "/new folder"));
    Ftp.ChangeFolder("new folder");
    EXPECT_EQ(Ftp.CurrentFolder(), "/new folder");
    EXPECT_EQ(Ftp.ChangeFolderUp(), 250);
    Ftp.RemoveFolder("new folder");
    EXPECT_FALSE(fs::exists(Server.Root() + "/new folder"));
    EXPECT_EQ(Ftp.LastReply().NumericCode(), 250);

    Ftp.RenameRemote("a.txt", "b c.txt");
    EXPECT_TRUE(fs::exists(Server.Root() + "/b c.txt"));
    try {
        Ftp.RenameRemote("nothing.txt", "x.txt");
        FAIL() << "RNFR of a missing file was accepted";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode, 550);
    }
    EXPECT_EQ(Client.Sent.find("RNTO x.txt"), std::string::npos);

    Ftp.SiteCommand("chmod 600 b c.txt");
    struct stat st {};
    ASSERT_EQ(stat((Server.Root() + "/b c.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Ftp.RemoteFileSize("b c.txt"), 3);
    EXPECT_EQ(Ftp.RemoteFileSize("nothing.txt"), -1);
    Ftp.DeleteRemoteFile("b c.txt");
    EXPECT_FALSE(fs::exists(Server.Root() + "/b c.txt"));
    EXPECT_THROW(Ftp.DeleteRemoteFile("b c.txt"), EIdProtocolReplyError);
}

TEST_P(FtpVsftpd, SizesBeyondFourGibibytes)
{
    const std::string path = Server.Root() + "/huge.bin";
    Server.PutFile("huge.bin", "");
    fs::resize_file(path, 5LL * 1024 * 1024 * 1024 + 3); // sparse: no real space used
    Ftp.ConnectAndLogin();
    EXPECT_EQ(Ftp.RemoteFileSize("huge.bin"), 5LL * 1024 * 1024 * 1024 + 3);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpVsftpd, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Passive" : "Active";
                         });

} // namespace

namespace {

TEST(FtpVsftpdAbort, AbortedTransfersLeaveTheControlConnectionInStep)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    server.PutFile("big.bin", Pattern(64 << 20));
    for (bool passive : {true, false}) {
        for (bool upload : {false, true}) {
            LoggedClient client("127.0.0.1", server.Port(), server.User(), server.Password(), passive);
            TIdFTP& ftp = client.Ftp;
            ftp.ConnectAndLogin();
            ftp.OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t count) {
                if (count > 1000000 && ftp.DataChannel() != nullptr)
                    ftp.AbortTransfer();
            };
            TStringStream data(upload ? Pattern(64 << 20) : std::string());
            if (upload)
                ftp.UploadFromStream(data, "up.bin");
            else
                ftp.DownloadToStream("big.bin", data);
            ftp.OnWork = nullptr;
            SCOPED_TRACE(std::string(passive ? "passive " : "active ") + (upload ? "upload" : "download"));
            std::string folder;
            EXPECT_NO_THROW(folder = ftp.CurrentFolder());
            EXPECT_EQ(folder, "/");
        }
    }
}

} // namespace
