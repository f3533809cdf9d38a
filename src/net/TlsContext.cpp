#include "net/TlsContext.h"

#include <algorithm>
#include <ctime>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "net/IdStack.h"
#include "net/TlsErrors.h"
#include "net/TlsTrustStore.h"

namespace {

std::string VersionText(const SSL* ssl)
{
    switch (SSL_version(ssl)) {
    case TLS1_3_VERSION: return "TLS 1.3";
    case TLS1_2_VERSION: return "TLS 1.2";
    default: return SSL_get_version(ssl);
    }
}

std::string NameText(const X509_NAME* name)
{
    BIO* bio = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(bio, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<size_t>(size > 0 ? size : 0));
    BIO_free(bio);
    return text;
}

std::string TimeText(const ASN1_TIME* time)
{
    std::tm tm{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &tm) != 1)
        return std::string();
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buffer;
}

// The user's words for what the verification found.
std::string ReasonText(const std::vector<int>& verifyErrors)
{
    std::string text;
    for (const int error : verifyErrors) {
        const bool name = error == X509_V_ERR_HOSTNAME_MISMATCH || error == X509_V_ERR_IP_ADDRESS_MISMATCH;
        text += (text.empty() ? "" : "; ") + std::string(name ? "the certificate is for another host name"
                                                              : X509_verify_cert_error_string(error));
    }
    return text;
}

} // namespace

std::string TlsFingerprint(X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return std::string();
    static const char hex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        if (i > 0)
            text += ':';
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

TTlsContext::TTlsContext() = default;

TTlsContext::~TTlsContext()
{
    FreeContext();
}

void TTlsContext::FreeContext()
{
    SSL_SESSION_free(FSession);
    FSession = nullptr;
    SSL_CTX_free(FContext);
    FContext = nullptr;
}

void TTlsContext::Reset(const std::string& host, int port, int maxVersion)
{
    FreeContext();
    FHost = host;
    FPort = port;
    FVerifyErrors.clear();
    FFingerprint.clear();
    FVersion.clear();
    FCipher.clear();
    FSecured = FResumed = 0;
    FContext = SSL_CTX_new(TLS_client_method());
    if (FContext == nullptr)
        throw ETlsError("TLS is not available: " + TlsErrorText());
    SSL_CTX_set_app_data(FContext, this);
    SSL_CTX_set_min_proto_version(FContext, TLS1_2_VERSION);
    if (maxVersion != 0)
        SSL_CTX_set_max_proto_version(FContext, maxVersion);
    SSL_CTX_set_default_verify_paths(FContext);
    // Servers often close a data connection without the TLS close; the 226 reply and the
    // announced size tell whether a transfer is complete.
    SSL_CTX_set_options(FContext, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(FContext, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_session_cache_mode(FContext, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(FContext, NewSessionCallback);
}

SSL* TTlsContext::NewConnection(int fd, bool control)
{
    (void)fd;
    if (FContext == nullptr)
        throw ETlsError("TLS was not set up for this connection.");
    SSL* ssl = SSL_new(FContext);
    SSL_set_read_ahead(ssl, 1);
    if (control) {
        FVerifyErrors.clear();
        SSL_set_verify(ssl, SSL_VERIFY_PEER, VerifyCallback);
        const bool address = TIdStack::IsDottedAddress(FHost) || FHost.find(':') != std::string::npos;
        if (address) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), FHost.c_str());
        } else {
            SSL_set_tlsext_host_name(ssl, FHost.c_str());
            SSL_set1_host(ssl, FHost.c_str());
        }
    } else if (FSession != nullptr) {
        SSL_SESSION* copy = SSL_SESSION_dup(FSession);
        SSL_set_session(ssl, copy != nullptr ? copy : FSession);
        SSL_SESSION_free(copy);
    }
    return ssl;
}

int TTlsContext::NewSessionCallback(SSL* ssl, SSL_SESSION* session)
{
    auto* self = static_cast<TTlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    self->KeepSession(session);
    return 1; // the reference is ours now
}

void TTlsContext::KeepSession(SSL_SESSION* session)
{
    SSL_SESSION_free(FSession);
    FSession = session;
}

int TTlsContext::VerifyCallback(int preverifyOk, X509_STORE_CTX* store)
{
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* self = static_cast<TTlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    const int error = X509_STORE_CTX_get_error(store);
    auto& found = self->FVerifyErrors;
    if (!preverifyOk && std::find(found.begin(), found.end(), error) == found.end())
        found.push_back(error);
    // The handshake goes on: the user decides about a certificate that failed, after it.
    return 1;
}

TTlsCertificateInfo TTlsContext::DescribeCertificate(SSL* ssl) const
{
    TTlsCertificateInfo info;
    info.Host = FHost;
    info.Port = FPort;
    X509* certificate = SSL_get0_peer_certificate(ssl);
    if (certificate == nullptr) {
        info.Reason = "the server sent no certificate";
        return info;
    }
    info.Subject = NameText(X509_get_subject_name(certificate));
    info.Issuer = NameText(X509_get_issuer_name(certificate));
    info.ValidFrom = TimeText(X509_get0_notBefore(certificate));
    info.ValidUntil = TimeText(X509_get0_notAfter(certificate));
    info.Sha256Fingerprint = TlsFingerprint(certificate);
    info.Reason = ReasonText(FVerifyErrors);
    return info;
}

void TTlsContext::CheckCertificate(SSL* ssl, const std::string& trustStorePath,
                                   const TTlsCertificateQuestion& ask)
{
    FVersion = VersionText(ssl);
    FCipher = SSL_CIPHER_get_name(SSL_get_current_cipher(ssl));
    FFingerprint = TlsFingerprint(SSL_get0_peer_certificate(ssl));
    if (FVerifyErrors.empty() && !FFingerprint.empty())
        return;
    TTlsCertificateInfo info = DescribeCertificate(ssl);
    if (info.Sha256Fingerprint.empty())
        throw ETlsCertificateRejected("The server's certificate was refused: " + info.Reason + ".");
    if (!AskUser(info, trustStorePath, ask))
        throw ETlsCertificateRejected("The server's certificate was not accepted (" + info.Reason +
                                      "); the connection was ended and no password was sent.");
}

bool TTlsContext::AskUser(TTlsCertificateInfo& info, const std::string& trustStorePath,
                          const TTlsCertificateQuestion& ask)
{
    TTlsTrustStore store(trustStorePath);
    const std::string trusted = store.Find(FHost, FPort);
    const std::string once = TTlsTrustStore::Key(FHost, FPort) + " " + info.Sha256Fingerprint;
    if (trusted == info.Sha256Fingerprint || FAcceptedOnce.count(once) > 0)
        return true;
    info.ChangedForTrustedHost = !trusted.empty();
    const TTlsTrustDecision decision = ask ? ask(info) : TTlsTrustDecision::Cancel;
    if (decision == TTlsTrustDecision::Cancel)
        return false;
    FAcceptedOnce.insert(once);
    if (decision == TTlsTrustDecision::AlwaysTrust)
        store.Trust(FHost, FPort, info.Sha256Fingerprint);
    return true;
}

void TTlsContext::NoteDataConnection(SSL* ssl)
{
    ++FSecured;
    if (SSL_session_reused(ssl) == 1) {
        ++FResumed;
        return;
    }
    // A full handshake must still be with the server the control connection checked.
    if (TlsFingerprint(SSL_get0_peer_certificate(ssl)) != FFingerprint)
        throw ETlsError("The data connection showed a different certificate than the control connection.");
}
