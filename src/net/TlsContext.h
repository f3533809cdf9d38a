#pragma once
// The TLS side of one FTP session: the client context, the session every data connection
// resumes, the check of the control connection's certificate, and counts of data connections.
//
// Servers refuse a data connection that does not resume the control connection's session, so a
// resumable session is kept at all times: the newest one any connection of the session received
// (TLS 1.3 sends tickets after the handshake, also on data connections). Each data connection
// starts from its own copy, so that a broken one cannot spoil the session for the next.
//
// Threads: used by the thread that drives the FTP client.
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "net/TlsTypes.h"

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;
using SSL_SESSION = struct ssl_session_st;

using TTlsCertificateQuestion = std::function<TTlsTrustDecision(const TTlsCertificateInfo&)>;

class TTlsContext {
public:
    TTlsContext();
    ~TTlsContext();
    TTlsContext(const TTlsContext&) = delete;
    TTlsContext& operator=(const TTlsContext&) = delete;

    // For a new control connection to host:port: a fresh context, no session, counts at zero.
    // maxVersion 0 offers the newest version.
    void Reset(const std::string& host, int port, int maxVersion);
    // A client connection on the socket; a data connection starts from the kept session.
    SSL* NewConnection(int fd, bool control);
    // After the control connection's handshake: accepts a verified certificate, one trusted in
    // the store for this host and port, or one the user accepts when asked. Raises
    // ETlsCertificateRejected otherwise.
    void CheckCertificate(SSL* ssl, const std::string& trustStorePath, const TTlsCertificateQuestion& ask);
    // After a data connection's handshake: counts it; one that did not resume must show the
    // control connection's certificate (raises ETlsError otherwise).
    void NoteDataConnection(SSL* ssl);

    const std::string& Version() const { return FVersion; }
    const std::string& Cipher() const { return FCipher; }
    int SecuredDataConnections() const { return FSecured; }
    int ResumedDataConnections() const { return FResumed; }

private:
    static int NewSessionCallback(SSL* ssl, SSL_SESSION* session);
    static int VerifyCallback(int preverifyOk, struct x509_store_ctx_st* store);
    void KeepSession(SSL_SESSION* session);
    void FreeContext();
    TTlsCertificateInfo DescribeCertificate(SSL* ssl) const;
    bool AskUser(TTlsCertificateInfo& info, const std::string& trustStorePath,
                 const TTlsCertificateQuestion& ask);

    SSL_CTX* FContext = nullptr;
    SSL_SESSION* FSession = nullptr;
    std::string FHost;
    int FPort = 0;
    std::vector<int> FVerifyErrors; // what the control connection's verification found, in order
    std::string FFingerprint;       // the control connection's certificate
    std::string FVersion, FCipher;
    int FSecured = 0, FResumed = 0;
    // "host:port fingerprint" accepted once: a reconnection of this client does not ask again.
    std::set<std::string> FAcceptedOnce;
};

// "AB:CD:..." of the certificate's DER form.
std::string TlsFingerprint(struct x509_st* certificate);
