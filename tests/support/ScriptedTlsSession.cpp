// The scripted server's TLS side: a server handshake on the control connection with a test
// certificate, and one command read through it.
#include <sys/socket.h>
#include <sys/time.h>

#include <memory>

#include <openssl/ssl.h>

#include "support/ScriptedFtpServer.h"

namespace {

std::string ReadTlsLine(SSL* ssl)
{
    std::string line;
    char c;
    while (SSL_read(ssl, &c, 1) == 1) {
        if (c == '\n')
            return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
        line += c;
    }
    return "<closed>";
}

} // namespace

std::string ScriptedFtpSession::AcceptTlsThenRead(const std::string& certPath, const std::string& keyPath)
{
    // Every blocking read below ends after 10 s.
    timeval bound{10, 0};
    ::setsockopt(FControl, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> ctx(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (SSL_CTX_use_certificate_file(ctx.get(), certPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx.get(), keyPath.c_str(), SSL_FILETYPE_PEM) != 1)
        return "<no certificate>";
    // Nothing is written after the client's last handshake message: the client may already be
    // gone, and a write to it would raise SIGPIPE.
    SSL_CTX_set_num_tickets(ctx.get(), 0);
    std::unique_ptr<SSL, decltype(&SSL_free)> ssl(SSL_new(ctx.get()), SSL_free);
    SSL_set_fd(ssl.get(), FControl);
    if (SSL_accept(ssl.get()) != 1)
        return "<handshake failed>";
    const std::string line = ReadTlsLine(ssl.get());
    if (line != "<closed>")
        FServer.Record(line);
    return line;
}
