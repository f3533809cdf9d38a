#include "net/IdIOHandlerSocket.h"

#include <sys/socket.h>

#include <vector>

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
    b.IP = boundIP;
    b.Port = boundPort;
    b.ClientPortMin = portMin;
    b.ClientPortMax = portMax;
    if (!TIdStack::IsNumericAddress(TIdStack::StripBrackets(host)))
        DoStatus(hsResolving, host);
    const std::vector<std::string> addresses = GStack->LookupHostAddresses(host);
    b.ConnectToAddresses(addresses, port,
                         [this](const std::string& address) { DoStatus(hsConnecting, address); });
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

bool TIdIOHandlerSocket::SetReceiveLowWater(int bytes)
{
    if (!FBinding || !FBinding->HandleAllocated())
        return false;
    try {
        FBinding->SetOption(SOL_SOCKET, SO_RCVLOWAT, &bytes, sizeof bytes);
    } catch (const std::exception&) {
        return false; // only a saving: the reads work without it
    }
    return true;
}

int TIdIOHandlerSocket::TryReceive(void* buffer, int length)
{
    // The failures of a wait on a closed socket, then those of a read.
    if (!FBinding || !FBinding->HandleAllocated())
        throw EIdConnClosedGracefully();
    if (!IsOpen())
        throw EIdClosedSocket();
    const int n = FBinding->Receive(buffer, length, false);
    if (n == Id_SOCKET_ERROR && GStack->WSGetLastError() == Id_WSAEWOULDBLOCK)
        return kWouldBlock;
    return n;
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
