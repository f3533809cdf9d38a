// The worker's part in encrypted sessions: the site's choice and the trusted-certificates file
// for the FTP client, the certificate question to the window, and what the window shows.
#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"
#include "net/TlsErrors.h"

namespace {
const char* const kTrustStoreName = "trusted-certs";
}

// On the worker, with the settings of the next connect.
void TFTPThread::ApplyTlsSettings(const TSessionSettings& settings)
{
    FFTP->TlsMode = settings.Tls;
    const std::string folder = FPlatform.ConfigFolder();
    FFTP->TrustStorePath = folder.empty() ? std::string() : folder + kTrustStoreName;
}

// On the worker, during the connect: a question dropped at shutdown counts as Cancel.
TTlsTrustDecision TFTPThread::AskCertificate(const TTlsCertificateInfo& info)
{
    if (!OnCertificateQuestion)
        return TTlsTrustDecision::Cancel;
    bool asked = false;
    Notify([this, &info, &asked] {
        FCertificate = info;
        FCertificateDecision = TTlsTrustDecision::Cancel;
        OnCertificateQuestion();
        asked = true;
    });
    return asked ? FCertificateDecision : TTlsTrustDecision::Cancel;
}

void TFTPThread::NoteSessionSecurity()
{
    const std::string security = FFTP->SessionSecurity();
    std::lock_guard<std::mutex> g(FSettingsLock);
    FSessionSecurity = security;
}

std::string TFTPThread::SessionSecurity() const
{
    std::lock_guard<std::mutex> g(FSettingsLock);
    return FSessionSecurity;
}

std::string TFTPThread::TlsConnectError(const std::exception& e)
{
    if (dynamic_cast<const ETlsRefused*>(&e) != nullptr)
        return "Connect failed. The server does not offer encryption.";
    if (dynamic_cast<const ETlsCertificateRejected*>(&e) != nullptr)
        return "Connect failed. The server's certificate was not accepted.";
    if (dynamic_cast<const ETlsError*>(&e) != nullptr)
        return "Connect failed. The connection could not be encrypted.";
    return std::string();
}
