#include "net/IdIOHandlerTls.h"

#include <cerrno>
#include <chrono>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "net/TlsErrors.h"

namespace {

using Clock = std::chrono::steady_clock;

// How long a closing connection waits for the peer's side of the close.
constexpr int kLingerMs = 2000;

// The socket under TLS: never blocking (the handler polls with bounds) and never raising
// SIGPIPE on a peer that is gone.
int SocketWrite(BIO* bio, const char* data, int length)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(static_cast<int>(BIO_get_fd(bio, nullptr)), data, static_cast<size_t>(length),
                             MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(n);
}

int SocketRead(BIO* bio, char* data, int length)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n =
        ::recv(static_cast<int>(BIO_get_fd(bio, nullptr)), data, static_cast<size_t>(length), MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(n);
}

BIO_METHOD* SocketMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR,
                                     "ferrystar socket");
        const BIO_METHOD* socket = BIO_s_socket();
        BIO_meth_set_write(m, SocketWrite);
        BIO_meth_set_read(m, SocketRead);
        BIO_meth_set_ctrl(m, BIO_meth_get_ctrl(socket));
        BIO_meth_set_create(m, BIO_meth_get_create(socket));
        BIO_meth_set_destroy(m, BIO_meth_get_destroy(socket));
        return m;
    }();
    return method;
}

int Remaining(Clock::time_point deadline, int timeoutMs)
{
    if (timeoutMs == IdTimeoutInfinite)
        return IdTimeoutInfinite;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

std::string TlsErrorText()
{
    std::string text;
    char buffer[256];
    while (const unsigned long code = ERR_get_error()) {
        const char* reason = ERR_reason_error_string(code);
        if (reason == nullptr) {
            ERR_error_string_n(code, buffer, sizeof buffer);
            reason = buffer;
        }
        text += (text.empty() ? "" : "; ") + std::string(reason);
    }
    return text;
}

TIdIOHandlerTls::~TIdIOHandlerTls()
{
    Close();
}

void TIdIOHandlerTls::FreeSsl()
{
    SSL_free(FSsl);
    FSsl = nullptr;
    FWantWrite = false;
    FEnded = false;
    ERR_clear_error();
}

void TIdIOHandlerTls::Fail(const std::string& what, int sslError)
{
    std::string reason = TlsErrorText();
    if (reason.empty())
        reason = sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN
                     ? "the connection was closed"
                     : "TLS error " + std::to_string(sslError);
    throw ETlsError(what + ": " + reason + ".");
}

void TIdIOHandlerTls::StartTls(TTlsContext& context, bool control, int timeoutMs)
{
    if (Binding() == nullptr || !IsOpen())
        throw EIdNotConnected();
    FreeSsl();
    FSsl = context.NewConnection(static_cast<int>(Binding()->Handle()), control);
    BIO* bio = BIO_new(SocketMethod());
    BIO_set_fd(bio, static_cast<int>(Binding()->Handle()), BIO_NOCLOSE);
    SSL_set_bio(FSsl, bio, bio);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    const int bound = timeoutMs > 0 ? timeoutMs : IdTimeoutInfinite;
    for (;;) {
        const int rc = SSL_connect(FSsl);
        if (rc == 1)
            break;
        const int error = SSL_get_error(FSsl, rc);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            Fail("TLS handshake failed", error);
        FWantWrite = error == SSL_ERROR_WANT_WRITE;
        if (!WaitSocket(Remaining(deadline, bound)))
            throw EIdReadTimeout("The TLS handshake did not finish in time.");
    }
    FWantWrite = false;
    if (!control)
        context.NoteDataConnection(FSsl);
}

bool TIdIOHandlerTls::WaitSocket(int timeoutMs)
{
    return FWantWrite ? TIdIOHandlerSocket::WaitWritable(timeoutMs)
                      : TIdIOHandlerSocket::WaitReadable(timeoutMs);
}

void TIdIOHandlerTls::Close()
{
    if (FSsl != nullptr) {
        // Tickets that came while only sending are taken in first, then the close is announced.
        // The announced close keeps the session resumable.
        char byte;
        if (!FEnded && IsOpen())
            SSL_peek(FSsl, &byte, 1);
        if (IsOpen()) {
            SSL_shutdown(FSsl);
            if (LingerOnClose)
                Linger();
        }
        SSL_set_shutdown(FSsl, SSL_SENT_SHUTDOWN | SSL_RECEIVED_SHUTDOWN);
        FreeSsl();
    }
    TIdIOHandlerSocket::Close();
}

// A socket closed with unread bytes is reset, and a reset throws away what is still on its way
// to the peer: the end of an upload. So the sending side is closed first and the rest of what
// the peer sends (its TLS close) is read, until it closes too or a short bound is up.
void TIdIOHandlerTls::Linger()
{
    const int fd = static_cast<int>(Binding()->Handle());
    ::shutdown(fd, SHUT_WR);
    const auto deadline = Clock::now() + std::chrono::milliseconds(kLingerMs);
    char sink[4096];
    try {
        while (TIdIOHandlerSocket::WaitReadable(Remaining(deadline, kLingerMs)))
            if (::recv(fd, sink, sizeof sink, MSG_DONTWAIT) <= 0)
                return;
    } catch (const EIdException&) {
        // Closed meanwhile: nothing left to wait for.
    }
}

bool TIdIOHandlerTls::DataReady()
{
    if (FEnded || SSL_pending(FSsl) > 0)
        return true;
    char byte;
    const int rc = SSL_peek(FSsl, &byte, 1);
    if (rc > 0)
        return true;
    const int error = SSL_get_error(FSsl, rc);
    FWantWrite = error == SSL_ERROR_WANT_WRITE;
    // An end or a failure is ready too: the next Receive reports it.
    return error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE;
}

bool TIdIOHandlerTls::WaitReadable(int timeoutMs)
{
    if (FSsl == nullptr)
        return TIdIOHandlerSocket::WaitReadable(timeoutMs);
    if (!IsOpen())
        throw EIdConnClosedGracefully();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    // Records that carry no data (tickets, key updates) wake the socket without making data
    // ready: the wait goes on for the rest of the time.
    for (;;) {
        if (DataReady())
            return true;
        const int left = Remaining(deadline, timeoutMs);
        if (left == 0 || !WaitSocket(left))
            return false;
    }
}

bool TIdIOHandlerTls::WaitWritable(int timeoutMs)
{
    if (FSsl == nullptr)
        return TIdIOHandlerSocket::WaitWritable(timeoutMs);
    return WaitSocket(timeoutMs);
}

bool TIdIOHandlerTls::SetReceiveLowWater(int bytes)
{
    // Records would be held back by the socket while OpenSSL could already hand out their start.
    return !FSsl && TIdIOHandlerSocket::SetReceiveLowWater(bytes);
}

int TIdIOHandlerTls::TryReceive(void* buffer, int length)
{
    if (!FSsl)
        return TIdIOHandlerSocket::TryReceive(buffer, length);
    return WaitReadable(0) ? Receive(buffer, length) : kWouldBlock;
}

int TIdIOHandlerTls::Receive(void* buffer, int length)
{
    if (FSsl == nullptr)
        return TIdIOHandlerSocket::Receive(buffer, length);
    if (!IsOpen())
        throw EIdClosedSocket();
    char* data = static_cast<char*>(buffer);
    size_t total = 0;
    // Everything that has arrived, up to length: one record at a time would cost a call per 16 KiB.
    while (total < static_cast<size_t>(length) && !FEnded) {
        size_t n = 0;
        const int rc = SSL_read_ex(FSsl, data + total, static_cast<size_t>(length) - total, &n);
        if (rc == 1) {
            total += n;
            continue;
        }
        const int error = SSL_get_error(FSsl, rc);
        if (error == SSL_ERROR_ZERO_RETURN) {
            FEnded = true;
        } else if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (total > 0)
                break;
            FWantWrite = error == SSL_ERROR_WANT_WRITE;
            if (!WaitSocket(StallWaitMs))
                throw EIdReadTimeout();
        } else if (total == 0) {
            Fail("The encrypted connection broke", error);
        } else {
            break; // the failure shows on the next read
        }
    }
    return static_cast<int>(total);
}

int TIdIOHandlerTls::Send(const void* buffer, int length)
{
    if (FSsl == nullptr)
        return TIdIOHandlerSocket::Send(buffer, length);
    if (!IsOpen())
        throw EIdClosedSocket();
    size_t n = 0;
    const int rc = SSL_write_ex(FSsl, buffer, static_cast<size_t>(length), &n);
    if (rc == 1)
        return static_cast<int>(n);
    const int error = SSL_get_error(FSsl, rc);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
        // The caller waits for room (WaitWritable follows the direction asked for) and retries.
        FWantWrite = error == SSL_ERROR_WANT_WRITE;
        errno = EWOULDBLOCK;
        return -1;
    }
    Fail("The encrypted connection broke", error);
}
