#pragma once
// One TCP socket and what is known of its two ends.
//
// Threads: one thread owns the handle. Another thread may call Shutdown() (or ReleaseSocket())
// at any time: a WaitReadable, Receive, Send or connect blocked on the socket then ends at once.
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "net/IdStack.h"

class TIdSocketHandle {
public:
    TIdSocketHandle() = default;
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    std::string IP; // local address, numeric; empty = any
    // The family of the next OpenSocket; read back from the system after a bind or an accept.
    TIdIPVersion IPVersion = Id_IPv4;
    int Port = 0; // local port; 0 = any
    // A local port range tried from the top when Port is 0 and both ends are set.
    int ClientPortMin = 0;
    int ClientPortMax = 0;

    TIdStackSocketHandle Handle() const;
    bool HandleAllocated() const;
    const std::string& PeerIP() const { return FPeerIP; }
    int PeerPort() const { return FPeerPort; }

    // Copies local and peer address and port.
    void Assign(const TIdSocketHandle& source);

    void OpenSocket(int socketType, int protocol = 0);
    void ReleaseSocket();
    void ResetHandle(bool resetLocal);
    // Takes over an open socket (the inverse of ResetHandle); the peer is left unset.
    void AdoptHandle(TIdStackSocketHandle s);
    void BindLocal();
    void SetPeer(const std::string& ip, int port);
    // The platform result (-1 on failure); raises nothing itself.
    int ConnectPeer();
    // Opens a socket of each address's family, binds it as BindLocal does and connects, one
    // address after the other until one answers; each attempt waits as long as the platform's
    // connect does. beforeAttempt gets each address first. When none answers, raises the last
    // attempt's EIdSocketError; a Shutdown() meanwhile ends the attempts.
    void ConnectToAddresses(const std::vector<std::string>& addresses, int port,
                            const std::function<void(const std::string&)>& beforeAttempt);
    void ListenOn(int backlog);
    // false for an interrupted accept or a listening socket that is gone.
    bool AcceptFrom(TIdStackSocketHandle listenSocket);
    // Raises EIdConnClosedGracefully when the socket is closed (before or during the wait).
    bool WaitReadable(int timeoutMs);
    bool WaitWritable(int timeoutMs);
    // wait false: a would-block error when nothing has arrived.
    int Receive(void* buffer, int length, bool wait = true);
    int Send(const void* buffer, int length);
    void SetOption(int level, int option, const void* value, int length);

    // Thread-safe: shuts both directions down without closing, so a blocked call wakes up and
    // the owner closes the socket as usual.
    void Shutdown();

private:
    bool WaitFor(bool writable, int timeoutMs);
    // The failure of one attempt (none: connected); the socket is closed on failure.
    std::exception_ptr ConnectAttempt(const std::string& address, int port);
    bool ShutDownAsked() const;
    bool BindOnce(int port, bool rangeAttempt);
    void ReadBackLocal();
    mutable std::mutex FLock; // guards FHandle and FAllocated against Shutdown from another thread
    TIdStackSocketHandle FHandle = Id_INVALID_SOCKET;
    bool FAllocated = false;
    bool FShutDownAsked = false; // by Shutdown(), until the next ResetHandle
    std::string FPeerIP;
    int FPeerPort = 0;
};
