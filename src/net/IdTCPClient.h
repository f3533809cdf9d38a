#pragma once
// A connection that connects out to Host:Port, optionally from a local address, port or range.
#include <string>

#include "net/IdTCPConnection.h"

class TIdTCPClient : public TIdTCPConnection {
public:
    std::string BoundIP;
    int BoundPort = 0;
    // A local port range (0 and 0: none); see TIdSocketHandle::BindLocal.
    int BoundPortMin = 0;
    int BoundPortMax = 0;
    TNotifyEvent OnConnected;

    const std::string& Host() const { return FHost; }
    virtual void SetHost(const std::string& value) { FHost = value; }
    int Port() const { return FPort; }
    virtual void SetPort(int value) { FPort = value; }
    virtual void DoOnConnected();
    // timeoutMs -1: a plain blocking connect (the only kind used). Creates and owns a socket
    // handler when none is set, and copies OnStatus to it. On failure the socket is closed.
    virtual void Connect(int timeoutMs = -1);
    // The numeric address and the port actually reached (a name may stand for several), while a
    // socket handler holds a connection; empty and 0 otherwise.
    std::string PeerIP() const;
    int PeerPort() const;

private:
    std::string FHost;
    int FPort = 0;
};
