#pragma once
// One TCP socket and what is known of its two ends.
//
// Threads: one thread owns the handle. Another thread may call Shutdown() (or ReleaseSocket())
// at any time: a WaitReadable, Receive, Send or connect blocked on the socket then ends at once.
#include <mutex>
#include <string>

#include "net/IdStack.h"

class TIdSocketHandle {
public:
    TIdSocketHandle() = default;
    ~TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;

    std::string IP; // local address, dotted; empty = any
    int Port = 0;   // local port; 0 = any
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
    void ListenOn(int backlog);
    // false for an interrupted accept or a listening socket that is gone.
    bool AcceptFrom(TIdStackSocketHandle listenSocket);
    // Raises EIdConnClosedGracefully when the socket is closed (before or during the wait).
    bool WaitReadable(int timeoutMs);
    bool WaitWritable(int timeoutMs);
    int Receive(void* buffer, int length);
    int Send(const void* buffer, int length);
    void SetOption(int level, int option, const void* value, int length);

    // Thread-safe: shuts both directions down without closing, so a blocked call wakes up and
    // the owner closes the socket as usual.
    void Shutdown();

private:
    bool WaitFor(bool writable, int timeoutMs);
    bool BindOnce(int port, bool rangeAttempt);
    void ReadBackLocal();
    mutable std::mutex FLock; // guards FHandle and FAllocated against Shutdown from another thread
    TIdStackSocketHandle FHandle = Id_INVALID_SOCKET;
    bool FAllocated = false;
    std::string FPeerIP;
    int FPeerPort = 0;
};
