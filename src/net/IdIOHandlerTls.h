#pragma once
// A socket handler that can switch to TLS on the open connection (explicit TLS): plain until
// StartTls, then every byte goes through OpenSSL, always as the client, also on a connection the
// program accepted. Waits keep their bounds, and Shutdown() from another thread still ends a
// blocked read, write or handshake: the TLS layer never blocks in the socket itself, it polls.
#include "net/IdIOHandlerSocket.h"
#include "net/TlsContext.h"

class TIdIOHandlerTls : public TIdIOHandlerSocket {
public:
    ~TIdIOHandlerTls() override;

    // How long a read waits for the rest of a TLS record whose start has arrived.
    int StallWaitMs = 60000;
    // Close waits (briefly) for the peer's side of the close: for data connections, where an
    // upload's last bytes must not be lost to a reset.
    bool LingerOnClose = false;

    // The client handshake on the open socket, bounded by timeoutMs. Raises ETlsError (the
    // reason in words) or EIdReadTimeout.
    void StartTls(TTlsContext& context, bool control, int timeoutMs);
    bool Secured() const { return FSsl != nullptr; }
    SSL* Ssl() const { return FSsl; }

    void Close() override;
    bool WaitReadable(int timeoutMs) override;
    bool WaitWritable(int timeoutMs) override;
    int Receive(void* buffer, int length) override;
    // Once secured, what is readable is decided by the TLS layer, not the socket.
    int TryReceive(void* buffer, int length) override;
    bool SetReceiveLowWater(int bytes) override;
    int Send(const void* buffer, int length) override;

private:
    // Whether decrypted data (or the end of the stream) is ready without waiting.
    bool DataReady();
    // Waits for the socket the way the last TLS call asked; false on time-out.
    bool WaitSocket(int timeoutMs);
    [[noreturn]] void Fail(const std::string& what, int sslError);
    void FreeSsl();
    void Linger();

    SSL* FSsl = nullptr;
    bool FWantWrite = false; // the last TLS call needs the socket writable
    bool FEnded = false;     // the peer's end of the stream was read
};
