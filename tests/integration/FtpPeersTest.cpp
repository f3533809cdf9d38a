#include <filesystem>

#include "FtpClientFixture.h"
#include "support/FtpProxyServer.h"
#include "support/LoopbackPorts.h"
#include "support/PyftpdServer.h"
#include "support/ServerSkip.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace {

namespace fs = std::filesystem;

class FtpPyftpd : public ::testing::TestWithParam<bool> {};

TEST_P(FtpPyftpd, ListsAndTransfers)
{
    SKIP_WITHOUT(WhyNoPyftpd());
    PyftpdServer server;
    fs::create_directory(server.Root() + "/folder");
    const std::string data = Pattern(3 * 1024 * 1024 + 5, 3);
    WriteFile(server.Root() + "/data.bin", data);
    LoggedClient client("127.0.0.1", server.Port(), server.User(), server.Password(), GetParam());
    TIdFTP& ftp = client.Ftp;
    ftp.ConnectAndLogin();
    ftp.ListFolder(nullptr, "");
    TIdFTPListItems& items = ftp.ParsedListing();
    ASSERT_NE(FindEntry(items, "folder"), nullptr) << ftp.ListingLines().Text();
    EXPECT_EQ(FindEntry(items, "folder")->EntryKind, ekDirectory);
    ASSERT_NE(FindEntry(items, "data.bin"), nullptr);
    EXPECT_EQ(FindEntry(items, "data.bin")->ByteSize, static_cast<int64_t>(data.size()));
    EXPECT_NE(client.Sent.find("LIST<EOL>"), std::string::npos);

    TStringStream down;
    ftp.DownloadToStream("data.bin", down);
    EXPECT_TRUE(down.DataString() == data);
    TStringStream up(data);
    ftp.UploadFromStream(up, "folder/copy.bin");
    EXPECT_TRUE(FileText(server.Root() + "/folder/copy.bin") == data);
    EXPECT_EQ(ftp.RemoteFileSize("folder/copy.bin"), static_cast<int64_t>(data.size()));
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpPyftpd, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Passive" : "Active";
                         });

class FtpThroughProxy : public ::testing::TestWithParam<bool> {};

TEST_P(FtpThroughProxy, LogsInListsAndDownloads)
{
    SKIP_WITHOUT(WhyNoProxyTarget());
    VsftpdOptions options;
    options.Address = PickLoopbackAddress(21);
    options.Port = 21; // the proxy always forwards "name@host" to port 21
    VsftpdServer server(options);
    const std::string data = Pattern(2 * 1024 * 1024, 5);
    server.PutFile("pub/file.bin", data);
    FtpProxyServer proxy(server.Port());

    LoggedClient client(server.Address(), 2121, server.User(), server.Password(), GetParam());
    TIdFTP& ftp = client.Ftp;
    ftp.ProxySettings().ProxyType = fpcmUserSite;
    ftp.ProxySettings().Host = "127.0.0.1";
    ftp.ProxySettings().Port = proxy.Port();
    ASSERT_NO_THROW(ftp.ConnectAndLogin()) << proxy.Log();
    EXPECT_EQ(client.Sent.find("USER " + server.User() + "@" + server.Address() + "<EOL>"), 0u);
    EXPECT_EQ(ftp.Host(), server.Address());
    EXPECT_EQ(ftp.Port(), 2121);
    EXPECT_EQ(ftp.LoginReply().NumericCode(), 230);

    ftp.ChangeFolder("pub");
    ftp.ListFolder(nullptr, "-a");
    ASSERT_NE(FindEntry(ftp.ParsedListing(), "file.bin"), nullptr) << ftp.ListingLines().Text();
    TempDir local;
    ftp.DownloadToFile("file.bin", local.Path() + "/file.bin", false);
    EXPECT_TRUE(FileText(local.Path() + "/file.bin") == data);
}

TEST(FtpThroughProxyLogin, WrongPasswordIsRefused)
{
    SKIP_WITHOUT(WhyNoProxyTarget());
    VsftpdOptions options;
    options.Address = PickLoopbackAddress(21);
    options.Port = 21;
    VsftpdServer server(options);
    FtpProxyServer proxy(server.Port());
    LoggedClient client(server.Address(), 21, server.User(), "wrong", true);
    client.Ftp.ProxySettings().ProxyType = fpcmUserSite;
    client.Ftp.ProxySettings().Host = "127.0.0.1";
    client.Ftp.ProxySettings().Port = proxy.Port();
    EXPECT_THROW(client.Ftp.ConnectAndLogin(), EIdProtocolReplyError);
    EXPECT_FALSE(client.Ftp.IsConnected());
}

// The proxy answers before it knows the target, so AUTH TLS is asked of the proxy: one without
// TLS leaves "if available" in plain and ends "Require" before any login goes out.
TEST(FtpThroughProxyLogin, EncryptionIsAskedOfTheProxy)
{
    SKIP_WITHOUT(WhyNoProxyTarget());
    VsftpdOptions options;
    options.Address = PickLoopbackAddress(21);
    options.Port = 21;
    VsftpdServer server(options);
    FtpProxyServer proxy(server.Port());
    for (const TTlsMode mode : {TTlsMode::IfAvailable, TTlsMode::Require}) {
        LoggedClient client(server.Address(), 21, server.User(), server.Password(), true);
        client.Ftp.TlsMode = mode;
        client.Ftp.ProxySettings().ProxyType = fpcmUserSite;
        client.Ftp.ProxySettings().Host = "127.0.0.1";
        client.Ftp.ProxySettings().Port = proxy.Port();
        if (mode == TTlsMode::Require) {
            EXPECT_ANY_THROW(client.Ftp.ConnectAndLogin());
            EXPECT_EQ(client.Sent, "AUTH TLS<EOL>");
            continue;
        }
        ASSERT_NO_THROW(client.Ftp.ConnectAndLogin()) << proxy.Log();
        EXPECT_EQ(client.Sent.find("AUTH TLS<EOL>USER " + server.User() + "@" + server.Address() + "<EOL>"),
                  0u)
            << client.Sent;
        EXPECT_EQ(client.Ftp.SessionSecurity(), "");
        client.Ftp.ListFolder(nullptr, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpThroughProxy, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Passive" : "Active";
                         });

} // namespace
