// Explicit TLS: AUTH TLS before the login, PBSZ 0 / PROT P after it, and the handshake of each
// data connection, which resumes the control connection's session.
#include "ftp/IdFTP.h"
#include "net/IdIOHandlerTls.h"
#include "net/TlsErrors.h"

namespace {

std::string ReplyText(TIdRFCReply& reply)
{
    std::string text = std::to_string(reply.NumericCode());
    const std::string line = reply.Text.Count() > 0 ? reply.Text[0] : std::string();
    return line.empty() ? text : text + " " + line;
}

} // namespace

std::string TIdFTP::SessionSecurity() const
{
    return FControlSecured ? FTls->Version() : std::string();
}

std::string TIdFTP::SessionCipher() const
{
    return FControlSecured ? FTls->Cipher() : std::string();
}

int TIdFTP::SecuredDataConnections() const
{
    return FTls ? FTls->SecuredDataConnections() : 0;
}

int TIdFTP::ResumedDataConnections() const
{
    return FTls ? FTls->ResumedDataConnections() : 0;
}

// Before the connect: a handler that can switch to TLS, and a context for the host the control
// connection reaches (through a proxy that is the proxy: its certificate is the one shown).
void TIdFTP::PrepareTls(const std::string& host, int port)
{
    FControlSecured = false;
    FDataProtected = false;
    if (TlsMode == TTlsMode::PlainOnly)
        return;
    if (!FTls)
        FTls = std::make_unique<TTlsContext>();
    FTls->Reset(host, port, TlsMaxVersion);
    if (IOHandler() == nullptr) {
        auto* handler = new TIdIOHandlerTls();
        handler->OnStatus = OnStatus;
        SetIOHandler(handler, true);
    }
}

void TIdFTP::NegotiateTls()
{
    if (TlsMode == TTlsMode::PlainOnly)
        return;
    const int16_t code = SendCommand("AUTH TLS", int16_t{-1});
    if (code == 234) {
        StartControlTls();
        return;
    }
    if (TlsMode == TTlsMode::Require)
        throw ETlsRefused("The server does not offer encryption (" + ReplyText(LastReply()) +
                          "). The connection was ended and no password was sent.");
    DoStatus(hsStatusText, "The server does not offer encryption: going on without it.");
}

void TIdFTP::StartControlTls()
{
    auto* handler = dynamic_cast<TIdIOHandlerTls*>(IOHandler());
    if (handler == nullptr)
        throw ETlsError("TLS is not available on this connection.");
    // Bytes behind the 234 were sent in the clear, where anyone could have put them.
    if (InputBuffer().Size() > 0)
        throw ETlsError("The server sent plain text after agreeing to TLS. The connection was ended.");
    try {
        handler->StallWaitMs = ReplyTimeoutMs;
        handler->StartTls(*FTls, true, ReplyTimeoutMs);
    } catch (const EIdReadTimeout&) {
        throw ETlsError("The server agreed to TLS but did not start it (no answer within " +
                        std::to_string((ReplyTimeoutMs + 999) / 1000) + " s). The connection was ended.");
    } catch (const ETlsError& e) {
        throw ETlsError("The server agreed to TLS but the handshake failed. " + e.Message() +
                        " The connection was ended.");
    }
    FTls->CheckCertificate(handler->Ssl(), TrustStorePath, OnCertificate);
    FControlSecured = true;
    DoStatus(hsStatusText, FTls->Version() + ", " + FTls->Cipher());
}

void TIdFTP::ProtectData()
{
    if (!FControlSecured)
        return;
    SendCommand("PBSZ 0", {200});
    SendCommand("PROT P", {200});
    FDataProtected = true;
}

TIdIOHandlerSocket* TIdFTP::NewDataHandler()
{
    if (!FDataProtected)
        return nullptr;
    auto* handler = new TIdIOHandlerTls();
    handler->StallWaitMs = ReplyTimeoutMs;
    handler->LingerOnClose = true;
    return handler;
}

void TIdFTP::StartDataTls(TIdTCPConnection& channel)
{
    if (!FDataProtected)
        return;
    auto* handler = dynamic_cast<TIdIOHandlerTls*>(channel.IOHandler());
    if (handler == nullptr)
        throw ETlsError("The data connection cannot be encrypted.");
    handler->StartTls(*FTls, false, ReplyTimeoutMs);
}
