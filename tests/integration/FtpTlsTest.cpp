// Explicit TLS against real servers that insist on it: every data connection must resume the
// control connection's session, for listings, downloads and uploads in any order, passive and
// active, TLS 1.2 and 1.3, and again after a reconnection.
#include <sys/stat.h>

#include <filesystem>
#include <openssl/ssl.h>
#include <tuple>

#include "FtpClientFixture.h"
#include "net/TlsErrors.h"
#include "support/PyftpdServer.h"
#include "support/ServerSkip.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"
#include "support/VsftpdServer.h"

namespace {

namespace fs = std::filesystem;

// The versions and modes each server is tried with.
using TlsCase = std::tuple<int, bool>; // highest TLS version, passive

std::string CaseName(const ::testing::TestParamInfo<TlsCase>& info)
{
    return std::string(std::get<0>(info.param) == TLS1_3_VERSION ? "Tls13" : "Tls12") +
           (std::get<1>(info.param) ? "Passive" : "Active");
}

int Occurrences(const std::string& text, const std::string& what)
{
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++count;
    return count;
}

struct TlsClient {
    TempDir Local;
    LoggedClient Client;
    TIdFTP& Ftp = Client.Ftp;
    std::string TrustFile = Local.Path() + "/trusted-certs";

    TlsClient(int port, const std::string& user, const std::string& password, const TlsCase& c)
        : Client("127.0.0.1", port, user, password, std::get<1>(c))
    {
        Ftp.TlsMode = TTlsMode::Require;
        Ftp.TlsMaxVersion = std::get<0>(c);
        Ftp.TrustStorePath = TrustFile;
        Ftp.ReplyTimeoutMs = 15000;
    }

    // 3 listings, an upload, a download, a listing, then 20 transfers of all kinds; every
    // file comes back as it went.
    void RunMix()
    {
        TStringList lines;
        for (int i = 0; i < 3; ++i)
            Ftp.ListFolder(&lines, "");
        UploadAndCheck("first.bin", Pattern(2 * 1024 * 1024 + 5, 1));
        Ftp.ListFolder(&lines, "");
        ASSERT_NE(lines.Text().find("first.bin"), std::string::npos) << lines.Text();
        for (int i = 0; i < 20; ++i) {
            if (i % 3 == 0)
                UploadAndCheck("mix" + std::to_string(i) + ".bin", Pattern(70000 + i, i));
            else if (i % 3 == 1)
                DownloadAndCheck("first.bin", Pattern(2 * 1024 * 1024 + 5, 1));
            else
                Ftp.ListFolder(&lines, "");
        }
    }

    void UploadAndCheck(const std::string& name, const std::string& data)
    {
        WriteFile(Local.Path() + "/up.bin", data);
        Ftp.UploadFromFile(Local.Path() + "/up.bin", name);
        DownloadAndCheck(name, data);
    }

    void DownloadAndCheck(const std::string& name, const std::string& data)
    {
        const std::string path = Local.Path() + "/down.bin";
        Ftp.DownloadToFile(name, path, true);
        EXPECT_TRUE(FileText(path) == data) << name;
    }
};

VsftpdOptions TlsOptions(const TestCertificate& certificate)
{
    VsftpdOptions options;
    options.TlsCertificate = certificate.CertPath();
    options.TlsKey = certificate.KeyPath();
    return options;
}

class FtpsVsftpd : public ::testing::TestWithParam<TlsCase> {
protected:
    TempDir Keys;
    TestCertificate Certificate{Keys.Path(), "127.0.0.1"};
    VsftpdServer Server{TlsOptions(Certificate)};
};

TEST_P(FtpsVsftpd, EveryDataConnectionResumesTheSession)
{
    TlsClient c(Server.Port(), Server.User(), Server.Password(), GetParam());
    TrustCertificate(c.TrustFile, "127.0.0.1", Server.Port(), Certificate.Fingerprint());
    c.Ftp.ConnectAndLogin();
    EXPECT_EQ(c.Ftp.SessionSecurity(), std::get<0>(GetParam()) == TLS1_3_VERSION ? "TLS 1.3" : "TLS 1.2");
    // The login goes out only after the handshake, the data protection right after it.
    const std::string& sent = c.Client.Sent;
    EXPECT_EQ(sent.substr(0, sent.find("TYPE I")), "AUTH TLS<EOL>USER " + Server.User() + "<EOL>PASS " +
                                                       Server.Password() + "<EOL>PBSZ 0<EOL>PROT P<EOL>");
    c.RunMix();
    // Uploads are checked by a download each: 3 + 2 + 1 + 20 + 7 uploads' downloads.
    const int expected = 33;
    EXPECT_EQ(c.Ftp.SecuredDataConnections(), expected);
    EXPECT_EQ(c.Ftp.ResumedDataConnections(), expected);
    // And after a reconnection, from the new session.
    c.Ftp.Disconnect();
    c.Ftp.ConnectAndLogin();
    c.DownloadAndCheck("first.bin", Pattern(2 * 1024 * 1024 + 5, 1));
    TStringList lines;
    c.Ftp.ListFolder(&lines, "");
    EXPECT_EQ(c.Ftp.ResumedDataConnections(), 2);
    c.Ftp.Disconnect();
    const std::string log = Server.ServerLog();
    EXPECT_EQ(Occurrences(log, ", reused"), expected + 2) << log;
    EXPECT_EQ(Occurrences(log, "not reused"), 2) << log; // the two control connections
}

INSTANTIATE_TEST_SUITE_P(Versions, FtpsVsftpd,
                         ::testing::Combine(::testing::Values(TLS1_2_VERSION, TLS1_3_VERSION),
                                            ::testing::Bool()),
                         CaseName);

// An aborted transfer leaves both the control connection and the session usable: the next data
// connection still resumes it.
TEST_P(FtpsVsftpd, AbortedTransfersKeepTheSession)
{
    Server.PutFile("big.bin", Pattern(32 << 20));
    TlsClient c(Server.Port(), Server.User(), Server.Password(), GetParam());
    TrustCertificate(c.TrustFile, "127.0.0.1", Server.Port(), Certificate.Fingerprint());
    c.Ftp.ConnectAndLogin();
    for (bool upload : {false, true}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        c.Ftp.OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t count) {
            if (count > 1000000 && c.Ftp.DataChannel() != nullptr)
                c.Ftp.AbortTransfer();
        };
        TStringStream data(upload ? Pattern(32 << 20) : std::string());
        try {
            if (upload)
                c.Ftp.UploadFromStream(data, "up.bin");
            else
                c.Ftp.DownloadToStream("big.bin", data);
        } catch (const EIdProtocolReplyError&) {
            // A server may report the cut-off upload as a failure; the session goes on.
        }
        c.Ftp.OnWork = nullptr;
        TStringList lines;
        EXPECT_NO_THROW(c.Ftp.ListFolder(&lines, ""));
        EXPECT_NE(lines.Text().find("big.bin"), std::string::npos);
    }
    EXPECT_EQ(c.Ftp.ResumedDataConnections(), c.Ftp.SecuredDataConnections());
    EXPECT_EQ(c.Ftp.SecuredDataConnections(), 4);
}

TEST(FtpsPyftpd, EveryDataConnectionResumesTheSession)
{
    SKIP_WITHOUT(WhyNoPyftpd());
    TempDir keys;
    TestCertificate certificate(keys.Path(), "127.0.0.1");
    PyftpdServer server(certificate.CertPath(), certificate.KeyPath());
    for (const TlsCase& tlsCase :
         {TlsCase{TLS1_2_VERSION, true}, TlsCase{TLS1_3_VERSION, true}, TlsCase{TLS1_3_VERSION, false}}) {
        SCOPED_TRACE(std::get<0>(tlsCase));
        TlsClient c(server.Port(), server.User(), server.Password(), tlsCase);
        TrustCertificate(c.TrustFile, "127.0.0.1", server.Port(), certificate.Fingerprint());
        c.Ftp.ConnectAndLogin();
        c.RunMix();
        EXPECT_EQ(c.Ftp.SecuredDataConnections(), 33);
        EXPECT_EQ(c.Ftp.ResumedDataConnections(), 33);
        c.Ftp.Disconnect();
    }
}

} // namespace
