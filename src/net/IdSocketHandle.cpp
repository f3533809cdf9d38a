#include "net/IdSocketHandle.h"

#include <sys/socket.h>

TIdSocketHandle::~TIdSocketHandle()
{
    ReleaseSocket();
}

TIdStackSocketHandle TIdSocketHandle::Handle() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FHandle;
}

bool TIdSocketHandle::HandleAllocated() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FAllocated;
}

void TIdSocketHandle::Assign(const TIdSocketHandle& source)
{
    IP = source.IP;
    IPVersion = source.IPVersion;
    Port = source.Port;
    FPeerIP = source.FPeerIP;
    FPeerPort = source.FPeerPort;
}

void TIdSocketHandle::OpenSocket(int socketType, int protocol)
{
    ReleaseSocket();
    const TIdStackSocketHandle s = GStack->CreateSocketHandle(socketType, protocol, IPVersion);
    std::lock_guard<std::mutex> guard(FLock);
    FHandle = s;
    FAllocated = true;
}

void TIdSocketHandle::ReleaseSocket()
{
    TIdStackSocketHandle s;
    {
        std::lock_guard<std::mutex> guard(FLock);
        if (!FAllocated)
            return;
        FAllocated = false;
        s = FHandle;
        FHandle = Id_INVALID_SOCKET;
        // Both directions, so that a call blocked on it in another thread wakes before the close.
        GStack->WSShutdown(s, SHUT_RDWR);
    }
    GStack->WSCloseSocket(s);
}

void TIdSocketHandle::ResetHandle(bool resetLocal)
{
    {
        std::lock_guard<std::mutex> guard(FLock);
        FHandle = Id_INVALID_SOCKET;
        FAllocated = false;
        FShutDownAsked = false;
    }
    FPeerIP.clear();
    FPeerPort = 0;
    if (resetLocal) {
        IP.clear();
        Port = 0;
    }
}

void TIdSocketHandle::AdoptHandle(TIdStackSocketHandle s)
{
    std::lock_guard<std::mutex> guard(FLock);
    FHandle = s;
    FAllocated = s != Id_INVALID_SOCKET;
}

bool TIdSocketHandle::BindOnce(int port, bool rangeAttempt)
{
    const int rc = GStack->WSBind(Handle(), IP, port);
    if (!GStack->CheckForSocketError(rc, {Id_WSAEADDRINUSE}))
        return true;
    if (!rangeAttempt)
        throw EIdCouldNotBindSocket();
    return false;
}

void TIdSocketHandle::BindLocal()
{
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        BindOnce(Port, false);
    } else {
        if (ClientPortMax < ClientPortMin)
            throw EIdInvalidPortRange(IdFormat(RSInvalidPortRange, ClientPortMin, ClientPortMax));
        bool bound = false;
        for (int port = ClientPortMax; port >= ClientPortMin && !bound; --port)
            bound = BindOnce(port, true);
        if (!bound)
            throw EIdCanNotBindPortInRange(IdFormat(RSCannotBindRange, ClientPortMin, ClientPortMax));
    }
    ReadBackLocal();
}

void TIdSocketHandle::ReadBackLocal()
{
    int family = 0;
    GStack->WSGetSockName(Handle(), family, IP, Port);
    IPVersion = family == AF_INET6 ? Id_IPv6 : Id_IPv4;
}

void TIdSocketHandle::SetPeer(const std::string& ip, int port)
{
    FPeerIP = ip;
    FPeerPort = port;
}

int TIdSocketHandle::ConnectPeer()
{
    const int rc = GStack->WSConnect(Handle(), FPeerIP, FPeerPort);
    if (rc != Id_SOCKET_ERROR) {
        int family = 0;
        ReadBackLocal();
        GStack->WSGetPeerName(Handle(), family, FPeerIP, FPeerPort);
    }
    return rc;
}

void TIdSocketHandle::ConnectToAddresses(const std::vector<std::string>& addresses, int port,
                                         const std::function<void(const std::string&)>& beforeAttempt)
{
    const std::string localIP = IP;
    const int localPort = Port;
    std::exception_ptr failure;
    for (const std::string& address : addresses) {
        // A fixed local address only suits peers of its own family.
        if (!localIP.empty() && TIdStack::AddressVersion(localIP) != TIdStack::AddressVersion(address))
            continue;
        IP = localIP;
        Port = localPort;
        beforeAttempt(address);
        failure = ConnectAttempt(address, port);
        if (!failure)
            return;
        if (ShutDownAsked())
            break;
    }
    if (!failure)
        GStack->RaiseSocketError(Id_WSAEAFNOSUPPORT); // nothing of the local address's family
    std::rethrow_exception(failure);
}

std::exception_ptr TIdSocketHandle::ConnectAttempt(const std::string& address, int port)
{
    IPVersion = TIdStack::AddressVersion(address);
    OpenSocket(SOCK_STREAM);
    BindLocal();
    SetPeer(address, port);
    try {
        // A shutdown that came while no socket was open had nothing to wake: it is seen here.
        if (ShutDownAsked())
            throw EIdConnClosedGracefully();
        GStack->CheckForSocketError(ConnectPeer());
        return nullptr;
    } catch (const EIdException&) {
        ReleaseSocket();
        return std::current_exception();
    }
}

bool TIdSocketHandle::ShutDownAsked() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FShutDownAsked;
}

void TIdSocketHandle::ListenOn(int backlog)
{
    GStack->CheckForSocketError(GStack->WSListen(Handle(), backlog));
}

bool TIdSocketHandle::AcceptFrom(TIdStackSocketHandle listenSocket)
{
    ResetHandle(true);
    std::string peerIP;
    int peerPort = 0;
    const TIdStackSocketHandle s = GStack->WSAccept(listenSocket, peerIP, peerPort);
    if (s == Id_INVALID_SOCKET) {
        GStack->CheckForSocketError(Id_SOCKET_ERROR, {Id_WSAEINTR, Id_WSAENOTSOCK});
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(FLock);
        FHandle = s;
        FAllocated = true;
    }
    SetPeer(peerIP, peerPort);
    ReadBackLocal();
    return true;
}

bool TIdSocketHandle::WaitReadable(int timeoutMs)
{
    return WaitFor(false, timeoutMs);
}

bool TIdSocketHandle::WaitWritable(int timeoutMs)
{
    return WaitFor(true, timeoutMs);
}

bool TIdSocketHandle::WaitFor(bool writable, int timeoutMs)
{
    const TIdStackSocketHandle s = Handle();
    if (!HandleAllocated())
        throw EIdConnClosedGracefully();
    const bool ready = writable ? GStack->WSWaitWritable(s, timeoutMs) : GStack->WSWaitReadable(s, timeoutMs);
    if (!HandleAllocated())
        throw EIdConnClosedGracefully();
    return ready;
}

int TIdSocketHandle::Receive(void* buffer, int length, bool wait)
{
    return GStack->WSRecv(Handle(), buffer, length, wait ? 0 : IdRecvNoWait);
}

int TIdSocketHandle::Send(const void* buffer, int length)
{
    // Never blocks: the caller waits for room itself, with a bound.
    return GStack->WSSend(Handle(), buffer, length, MSG_DONTWAIT);
}

void TIdSocketHandle::SetOption(int level, int option, const void* value, int length)
{
    GStack->CheckForSocketError(GStack->WSSetSockOpt(Handle(), level, option, value, length));
}

void TIdSocketHandle::Shutdown()
{
    std::lock_guard<std::mutex> guard(FLock);
    FShutDownAsked = true;
    if (FAllocated)
        GStack->WSShutdown(FHandle, SHUT_RDWR);
}
