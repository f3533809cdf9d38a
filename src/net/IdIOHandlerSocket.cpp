#include "net/IdIOHandlerSocket.h"

#include <sys/socket.h>

#include "net/IdTCPConnection.h"

TIdIOHandler::~TIdIOHandler()
{
    if (FConnection != nullptr)
        FConnection->IOHandlerDestroyed(this);
}

TIdIOHandlerSocket::~TIdIOHandlerSocket()
{
    Close();
}

void TIdIOHandlerSocket::Close()
{
    if (FBinding)
        FBinding->ReleaseSocket();
}

void TIdIOHandlerSocket::ConnectTo(const std::string& host, int port, int /*timeoutMs*/, int portMax,
                                   int portMin, int boundPort, const std::string& boundIP)
{
    TIdSocketHandle& b = *FBinding;
    b.OpenSocket(SOCK_STREAM);
    b.IP = boundIP;
    b.Port = boundPort;
    b.ClientPortMin = portMin;
    b.ClientPortMax = portMax;
    b.BindLocal();
    if (!TIdStack::IsDottedAddress(host))
        DoStatus(hsResolving, host);
    b.SetPeer(GStack->LookupHost(host), port);
    DoStatus(hsConnecting, b.PeerIP());
    GStack->CheckForSocketError(b.ConnectPeer());
}

bool TIdIOHandlerSocket::IsOpen()
{
    return FBinding && FBinding->HandleAllocated();
}

void TIdIOHandlerSocket::Open()
{
    std::lock_guard<std::mutex> guard(FLock);
    if (!FBinding) {
        FBinding = std::make_unique<TIdSocketHandle>();
    } else {
        // A reused binding must not leak the socket it still holds.
        FBinding->ReleaseSocket();
        FBinding->ResetHandle(true);
    }
}

bool TIdIOHandlerSocket::WaitReadable(int timeoutMs)
{
    if (!FBinding)
        throw EIdConnClosedGracefully();
    return FBinding->WaitReadable(timeoutMs);
}

bool TIdIOHandlerSocket::WaitWritable(int timeoutMs)
{
    if (!FBinding)
        throw EIdConnClosedGracefully();
    return FBinding->WaitWritable(timeoutMs);
}

int TIdIOHandlerSocket::Receive(void* buffer, int length)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    return FBinding->Receive(buffer, length);
}

int TIdIOHandlerSocket::Send(const void* buffer, int length)
{
    if (!IsOpen())
        throw EIdClosedSocket();
    return FBinding->Send(buffer, length);
}

void TIdIOHandlerSocket::Shutdown()
{
    std::lock_guard<std::mutex> guard(FLock);
    if (FBinding)
        FBinding->Shutdown();
}
