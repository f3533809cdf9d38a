#pragma once
// A scripted TCP peer on 127.0.0.1: listens on a free port, accepts one connection on its own
// thread and runs the script with the accepted descriptor, then closes it.
#include <functional>
#include <memory>
#include <string>
#include <thread>

class LoopbackPeer {
public:
    explicit LoopbackPeer(std::function<void(int fd)> script);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int Port() const { return FPort; }
    // Waits until the script has run and the connection is closed.
    void Join();

    static void SendAll(int fd, const std::string& data);
    // Reads until the other side closes (or count bytes when count >= 0).
    static std::string ReceiveAll(int fd, long count = -1);
    // Closes with a reset instead of an orderly close.
    static void ArmReset(int fd);

private:
    int FListener = -1;
    int FPort = 0;
    std::thread FThread;
};

// A port nobody listens on: bound (so nobody else takes it) but not listening.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    int Port() const { return FPort; }

private:
    int FFd = -1;
    int FPort = 0;
};

// Holds a listening socket on 127.0.0.1:port; Ok() tells whether the port was free.
class PortHolder {
public:
    explicit PortHolder(int port);
    ~PortHolder();
    bool Ok() const { return FFd >= 0; }

private:
    int FFd = -1;
};

class TIdTCPClient;
// A client connected to the peer.
std::unique_ptr<TIdTCPClient> ConnectTo(const LoopbackPeer& peer);
