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

std::string WithCrLf(const std::string& text)
{
    std::string wire;
    for (char c : text)
        wire += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return wire;
}

// A text file of LF lines (and lone CRs) sent and fetched back in TYPE A, through blocks far
// smaller than the file. Work counts are the file's bytes, never the larger wire count.
void ExpectTextRoundTrip(TIdFTP& ftp, const std::string& root, bool serverKeepsWire)
{
    std::string text;
    for (int day = 1; text.size() < 200000; ++day)
        text += "Day " + std::to_string(day) + ": rain\n" + (day % 97 == 0 ? "\rlone CR\n\n" : "");
    TempDir local;
    WriteFile(local.Path() + "/Day 1.txt", text);
    int64_t lastCount = -1;
    ftp.DataBlockSize = 4093;
    ftp.OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t count) { lastCount = count; };
    ftp.ConnectAndLogin();
    ftp.SetTransferType(ftASCII);

    ftp.UploadFromFile(local.Path() + "/Day 1.txt", "Day 1.txt");
    EXPECT_EQ(lastCount, static_cast<int64_t>(text.size()));
    EXPECT_TRUE(FileText(root + "/Day 1.txt") == (serverKeepsWire ? WithCrLf(text) : text));

    lastCount = -1;
    ftp.DownloadToFile("Day 1.txt", local.Path() + "/back.txt", false);
    // The tail that comes with the close is not reported.
    EXPECT_GT(lastCount, 0);
    EXPECT_LE(lastCount, static_cast<int64_t>(text.size()));
    EXPECT_TRUE(FileText(local.Path() + "/back.txt") == text);
}

// pyftpdlib turns the wire's CR LF into LF when it stores and back when it sends.
TEST(FtpAsciiType, TextRoundTripsThroughPyftpd)
{
    SKIP_WITHOUT(WhyNoPyftpd());
    PyftpdServer server;
    LoggedClient client("127.0.0.1", server.Port(), server.User(), server.Password(), true);
    ExpectTextRoundTrip(client.Ftp, server.Root(), false);
}

// vsftpd as configured by default keeps and sends the wire's bytes as they are.
TEST(FtpAsciiType, TextRoundTripsThroughVsftpd)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    LoggedClient client("127.0.0.1", server.Port(), server.User(), server.Password(), false);
    ExpectTextRoundTrip(client.Ftp, server.Root(), true);
}

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

INSTANTIATE_TEST_SUITE_P(Modes, FtpThroughProxy, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Passive" : "Active";
                         });

} // namespace
