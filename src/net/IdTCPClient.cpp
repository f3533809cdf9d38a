#include "net/IdTCPClient.h"

void TIdTCPClient::DoOnConnected()
{
    if (OnConnected)
        OnConnected(this);
}

void TIdTCPClient::Connect(int timeoutMs)
{
    // A port the system would silently cut to 16 bits reaches some other service.
    if (FPort < 1 || FPort > 65535)
        throw EIdInvalidPortRange(IdFormat(RSPortOutOfRange, FPort));
    if (IOHandler() == nullptr) {
        auto* handler = new TIdIOHandlerSocket();
        handler->OnStatus = OnStatus;
        SetIOHandler(handler, true);
    } else if (IOHandler()->IsOpen()) {
        throw EIdAlreadyConnected();
    }
    try {
        IOHandler()->Open();
        ResetInput();
        IOHandler()->ConnectTo(FHost, FPort, timeoutMs, BoundPortMax, BoundPortMin, BoundPort, BoundIP);
        if (Intercept() != nullptr)
            Intercept()->Connect(this);
        DoStatus(hsConnected);
        DoOnConnected();
    } catch (...) {
        CloseSocketQuietly();
        throw;
    }
}

std::string TIdTCPClient::PeerIP() const
{
    auto* handler = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
    return handler != nullptr && handler->Binding() != nullptr ? handler->Binding()->PeerIP() : std::string();
}

int TIdTCPClient::PeerPort() const
{
    auto* handler = dynamic_cast<TIdIOHandlerSocket*>(IOHandler());
    return handler != nullptr && handler->Binding() != nullptr ? handler->Binding()->PeerPort() : 0;
}
