// The worker with an encrypted session: the certificate question reaches the window, the answer
// is kept, the window reads the session's security when told of the connect, and the Log page
// gets the version and cipher while the password stays hidden.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "support/EngineHarness.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"
#include "support/VsftpdServer.h"

namespace {

bool HasLineStartingWith(const std::vector<std::string>& lines, const std::string& start)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

class EngineTls : public ::testing::Test {
protected:
    TempDir Keys;
    TestCertificate Certificate{Keys.Path(), "127.0.0.1"};
    VsftpdServer Server{[this] {
        VsftpdOptions options;
        options.TlsCertificate = Certificate.CertPath();
        options.TlsKey = Certificate.KeyPath();
        return options;
    }()};
    EngineHarness h;

    bool Connect() { return h.Connect("127.0.0.1", Server.Port(), Server.User(), Server.Password()); }
};

TEST_F(EngineTls, CancelledCertificateSendsNoPassword)
{
    h.Tls = TTlsMode::Require;
    h.CertificateAnswer = TTlsTrustDecision::Cancel;
    EXPECT_FALSE(Connect());
    ASSERT_EQ(h.Certificates.size(), 1u);
    EXPECT_EQ(h.Certificates[0].Sha256Fingerprint, Certificate.Fingerprint());
    EXPECT_EQ(h.LastConnectError, "Connect failed. The server's certificate was not accepted.");
    EXPECT_FALSE(HasLineStartingWith(h.ProtocolLines, ">> USER"));
    EXPECT_FALSE(HasLineStartingWith(h.ProtocolLines, ">> PASS"));
}

TEST_F(EngineTls, TrustedSessionReportsItsSecurity)
{
    h.Tls = TTlsMode::Require;
    h.CertificateAnswer = TTlsTrustDecision::AlwaysTrust;
    ASSERT_TRUE(Connect()) << h.LastConnectError;
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.SecurityAtConnect, "TLS 1.3");
    EXPECT_EQ(h.Listings, 1);
    EXPECT_TRUE(HasLineStartingWith(h.LogLines, "TLS 1.3, TLS_")) << ::testing::PrintToString(h.LogLines);
    EXPECT_TRUE(HasLineStartingWith(h.ProtocolLines, ">> PASS ***"));
    for (const std::string& line : h.ProtocolLines)
        EXPECT_EQ(line.find(Server.Password()), std::string::npos) << line;
    // Trusted in the configuration folder, for the owner only: the next connect does not ask.
    struct stat st {};
    ASSERT_EQ(::stat((h.Platform.Folder.Path() + "/trusted-certs").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    h.Worker->DropConnection();
    ASSERT_TRUE(Connect());
    EXPECT_EQ(h.Certificates.size(), 1u);

    // The server insists on TLS for its (virtual) users: a plain login is turned down.
    h.Tls = TTlsMode::PlainOnly;
    EXPECT_FALSE(Connect());
    EXPECT_TRUE(HasLineStartingWith(h.ProtocolLines, "<< 530 Non-anonymous sessions must use encryption."));
}

} // namespace
