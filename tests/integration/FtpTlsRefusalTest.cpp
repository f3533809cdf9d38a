// Servers that must not get the password: a refusal of TLS while it is required, a 234 reply
// without TLS behind it, a certificate for another host, a changed certificate for a trusted
// host, and an untrusted one the user turns down. Each ends with its own clear message.
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "FtpClientFixture.h"
#include "net/TlsErrors.h"
#include "net/TlsTrustStore.h"
#include "support/ScriptedFtpServer.h"
#include "support/TempDir.h"
#include "support/TestCertificate.h"
#include "support/VsftpdServer.h"

namespace {

bool SentLogin(const std::vector<std::string>& commands)
{
    for (const std::string& c : commands)
        if (c.rfind("USER", 0) == 0 || c.rfind("PASS", 0) == 0)
            return true;
    return false;
}

// Reads whatever the client still sends until it hangs up.
void UntilClosed(ScriptedFtpSession& s)
{
    for (int i = 0; i < 20; ++i) {
        const std::string line = s.ReadCommand();
        if (line == "<closed>" || line == "<timeout>")
            return;
    }
}

void AuthAccepted(ScriptedFtpSession& s)
{
    s.Reply("220 scripted server ready");
    s.Expect("AUTH TLS", "234 Proceed with negotiation.");
}

struct Keys {
    TempDir Folder;
    TestCertificate Right{Folder.Path(), "127.0.0.1", "right"};
    TestCertificate OtherHost{Folder.Path(), "files.example.org", "other"};
};

struct RefusalCase {
    const char* Name;
    TTlsMode Mode;
    std::function<void(ScriptedFtpSession&, const Keys&)> Script;
    bool TrustAnotherCertificate; // the trust store holds some other certificate for the host
    const char* Message;          // in the failure; empty: the login goes on
    bool Asked, Changed;
};

TEST(FtpTlsRefusal, EachRefusalEndsBeforeTheLogin)
{
    const RefusalCase cases[] = {
        {"refused under Require", TTlsMode::Require,
         [](ScriptedFtpSession& s, const Keys&) {
             s.Reply("220 scripted server ready");
             s.Expect("AUTH TLS", "502 Command not implemented.");
             EXPECT_TRUE(s.ClientClosedQuietly());
         },
         false, "The server does not offer encryption (502 Command not implemented.)", false, false},
        {"refused when only if available", TTlsMode::IfAvailable,
         [](ScriptedFtpSession& s, const Keys&) {
             s.Reply("220 scripted server ready");
             s.Expect("AUTH TLS", "502 Command not implemented.");
             s.Expect("USER anna", "331 Password required.");
             s.Expect("PASS secret", "230 Logged in.");
             s.Expect("TYPE I", "200 Type set.");
             s.Expect("SYST", "215 UNIX Type: L8");
             s.Expect("FEAT", "502 Not implemented.");
         },
         false, "", false, false},
        {"234 then plain text", TTlsMode::IfAvailable,
         [](ScriptedFtpSession& s, const Keys&) {
             AuthAccepted(s);
             s.Reply("230 Logged in, in plain text.");
             UntilClosed(s);
         },
         false, "The server agreed to TLS but the handshake failed.", false, false},
        {"234 then silence", TTlsMode::Require,
         [](ScriptedFtpSession& s, const Keys&) {
             AuthAccepted(s);
             UntilClosed(s);
         },
         false, "The server agreed to TLS but did not start it (no answer within 1 s)", false, false},
        {"certificate for another host", TTlsMode::Require,
         [](ScriptedFtpSession& s, const Keys& k) {
             AuthAccepted(s);
             EXPECT_EQ(s.AcceptTlsThenRead(k.OtherHost.CertPath(), k.OtherHost.KeyPath()), "<closed>");
         },
         false, "certificate is for another host name", true, false},
        {"changed certificate of a trusted host", TTlsMode::Require,
         [](ScriptedFtpSession& s, const Keys& k) {
             AuthAccepted(s);
             EXPECT_EQ(s.AcceptTlsThenRead(k.Right.CertPath(), k.Right.KeyPath()), "<closed>");
         },
         true, "was not accepted", true, true},
    };
    Keys keys;
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ScriptedFtpServer server([&](ScriptedFtpSession& s) { c.Script(s, keys); });
        RecordingClient client(server.Port());
        TempDir config;
        client.Ftp.TlsMode = c.Mode;
        client.Ftp.ReplyTimeoutMs = 1000;
        client.Ftp.TrustStorePath = config.Path() + "/trusted-certs";
        if (c.TrustAnotherCertificate)
            TrustCertificate(client.Ftp.TrustStorePath, "127.0.0.1", server.Port(),
                             keys.OtherHost.Fingerprint());
        std::vector<TTlsCertificateInfo> asked;
        client.Ftp.OnCertificate = [&](const TTlsCertificateInfo& info) {
            asked.push_back(info);
            return TTlsTrustDecision::Cancel;
        };
        std::string failure;
        try {
            client.Ftp.ConnectAndLogin();
        } catch (const std::exception& e) {
            failure = e.what();
        }
        server.Join();
        if (*c.Message == '\0') {
            EXPECT_EQ(failure, "");
            EXPECT_TRUE(SentLogin(server.Commands()));
            EXPECT_EQ(client.Ftp.SessionSecurity(), "");
            continue;
        }
        EXPECT_NE(failure.find(c.Message), std::string::npos) << failure;
        EXPECT_FALSE(SentLogin(server.Commands()));
        EXPECT_FALSE(client.Ftp.IsConnected());
        ASSERT_EQ(asked.size(), c.Asked ? 1u : 0u);
        if (c.Asked) {
            EXPECT_EQ(asked[0].ChangedForTrustedHost, c.Changed);
            EXPECT_EQ(asked[0].Host, "127.0.0.1");
            EXPECT_EQ(asked[0].Port, server.Port());
            EXPECT_NE(asked[0].Reason.find(c.Changed ? "self-signed" : "another host name"),
                      std::string::npos)
                << asked[0].Reason;
        }
    }
}

// A handshake the server never answers is still ended at once by a shutdown from another thread.
TEST(FtpTlsRefusal, ShutdownEndsAStalledHandshake)
{
    ScriptedFtpServer server([](ScriptedFtpSession& s) {
        AuthAccepted(s);
        UntilClosed(s);
    });
    RecordingClient client(server.Port());
    client.Ftp.TlsMode = TTlsMode::Require;
    client.Ftp.ReplyTimeoutMs = 60000;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point cutStarted;
    std::thread cutter([&] {
        // Once the client waits in the handshake: AUTH TLS arrived, and a moment for the 234.
        while (server.Commands().empty() &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cutStarted = std::chrono::steady_clock::now();
        client.Ftp.ShutdownConnections();
    });
    EXPECT_ANY_THROW(client.Ftp.ConnectAndLogin());
    cutter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - cutStarted, std::chrono::seconds(5));
    server.Join();
    EXPECT_FALSE(SentLogin(server.Commands()));
}

// The answers to the question about an untrusted certificate, against a real server.
struct TrustCase {
    const char* Name;
    bool TrustedBefore; // the store already holds this very certificate
    TTlsTrustDecision Answer;
    bool Asked, Connected, StoredAfter;
};

TEST(FtpTlsTrust, AnswersToTheCertificateQuestion)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    Keys keys;
    VsftpdOptions options;
    options.TlsCertificate = keys.Right.CertPath();
    options.TlsKey = keys.Right.KeyPath();
    VsftpdServer server(options);
    const TrustCase cases[] = {
        {"cancel", false, TTlsTrustDecision::Cancel, true, false, false},
        {"connect once", false, TTlsTrustDecision::ConnectOnce, true, true, false},
        {"always trust", false, TTlsTrustDecision::AlwaysTrust, true, true, true},
        {"trusted before", true, TTlsTrustDecision::Cancel, false, true, true},
    };
    for (const TrustCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TempDir config;
        const std::string store = config.Path() + "/trusted-certs";
        if (c.TrustedBefore)
            TrustCertificate(store, "127.0.0.1", server.Port(), keys.Right.Fingerprint());
        LoggedClient client("127.0.0.1", server.Port(), server.User(), server.Password(), true);
        client.Ftp.TlsMode = TTlsMode::Require;
        client.Ftp.TrustStorePath = store;
        int asked = 0;
        client.Ftp.OnCertificate = [&](const TTlsCertificateInfo& info) {
            ++asked;
            EXPECT_EQ(info.Sha256Fingerprint, keys.Right.Fingerprint());
            EXPECT_NE(info.Subject.find("CN = 127.0.0.1"), std::string::npos) << info.Subject;
            EXPECT_FALSE(info.ValidUntil.empty());
            return c.Answer;
        };
        std::string failure;
        try {
            client.Ftp.ConnectAndLogin();
        } catch (const ETlsCertificateRejected& e) {
            failure = e.what();
        }
        EXPECT_EQ(asked, c.Asked ? 1 : 0);
        EXPECT_EQ(client.Ftp.IsConnected(), c.Connected) << failure;
        EXPECT_EQ(client.Sent.find("PASS") != std::string::npos, c.Connected) << client.Sent;
        EXPECT_EQ(TTlsTrustStore(store).Find("127.0.0.1", server.Port()),
                  c.StoredAfter ? keys.Right.Fingerprint() : "");
        struct stat st {};
        if (c.StoredAfter) {
            ASSERT_EQ(::stat(store.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0600u);
        }
        if (!c.Connected)
            continue;
        // The same client does not ask again when it reconnects.
        client.Ftp.Disconnect();
        client.Ftp.ConnectAndLogin();
        EXPECT_EQ(asked, c.Asked ? 1 : 0);
    }
}

} // namespace
