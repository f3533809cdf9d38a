#include "net/IdSimpleServer.h"

#include <sys/socket.h>

namespace {
// With no accept wait, each poll still sleeps this long so that the wait does not spin.
constexpr int kPollSliceMs = 50;
} // namespace

TIdSimpleServer::~TIdSimpleServer()
{
    CloseSocketQuietly();
}

TIdSocketHandle* TIdSimpleServer::SocketBinding() const
{
    auto* handler = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
    return handler == nullptr ? nullptr : handler->Binding();
}

void TIdSimpleServer::ForgetListener()
{
    // A listener held by the binding is closed with the binding, never a second time here.
    if (FListeningSocket != Id_INVALID_SOCKET && !FListenerInBinding)
        GStack->WSCloseSocket(FListeningSocket);
    FListeningSocket = Id_INVALID_SOCKET;
    FListenerInBinding = false;
    FListening = false;
}

void TIdSimpleServer::CloseSocketQuietly()
{
    TIdTCPConnection::CloseSocketQuietly();
    ForgetListener();
}

void TIdSimpleServer::ShutdownSocket()
{
    FAbortRequested = true;
    TIdTCPConnection::ShutdownSocket();
}

void TIdSimpleServer::ResetInput()
{
    TIdTCPConnection::ResetInput();
    FAbortRequested = false;
    ForgetListener();
    SetIOHandler(nullptr);
}

void TIdSimpleServer::StartListening()
{
    if (SocketBinding() == nullptr) {
        ResetInput();
        SetIOHandler(new TIdIOHandlerSocket(), true);
        IOHandler()->Open();
    }
    try {
        if (FListeningSocket == Id_INVALID_SOCKET)
            BindListener();
        SocketBinding()->ListenOn(15);
        FListening = true;
    } catch (...) {
        ForgetListener();
        SetIOHandler(nullptr);
        throw;
    }
}

void TIdSimpleServer::BindListener()
{
    TIdSocketHandle* binding = SocketBinding();
    // Listens in the family of its address (IPv4 for any address).
    binding->IPVersion = TIdStack::AddressVersion(BoundIP);
    binding->OpenSocket(SOCK_STREAM);
    FListeningSocket = binding->Handle();
    FListenerInBinding = true;
    binding->IP = BoundIP;
    binding->Port = BoundPort;
    try {
        binding->BindLocal();
    } catch (...) {
        FListeningSocket = Id_INVALID_SOCKET;
        FListenerInBinding = false;
        throw;
    }
}

bool TIdSimpleServer::WaitForConnection()
{
    if (!FListening)
        StartListening();
    TIdSocketHandle* binding = SocketBinding();
    bool accepted = false;
    try {
        bool readable = false;
        while (!readable && !FAbortRequested)
            readable = binding->WaitReadable(AcceptWait > 0 ? AcceptWait : kPollSliceMs);
        if (readable && !FAbortRequested) {
            binding->ListenOn(1);
            // AcceptFrom resets the binding: from here on the listener is ours to close.
            FListenerInBinding = false;
            accepted = binding->AcceptFrom(FListeningSocket);
            if (accepted && RefuseStranger(*binding))
                return false;
            if (accepted)
                IOHandler()->Accepted();
        } else {
            binding->ReleaseSocket();
            FListenerInBinding = false;
            FListeningSocket = Id_INVALID_SOCKET;
        }
    } catch (...) {
        ForgetListener();
        throw;
    }
    ForgetListener();
    return accepted;
}

bool TIdSimpleServer::RefuseStranger(TIdSocketHandle& binding)
{
    if (AcceptOnlyFrom.empty() || binding.PeerIP() == AcceptOnlyFrom)
        return false;
    binding.ReleaseSocket();
    binding.AdoptHandle(FListeningSocket);
    FListenerInBinding = true;
    return true;
}
