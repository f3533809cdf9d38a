#pragma once
// Ports, sockets and scripted peers on 127.0.0.1 for tests; nothing here reaches beyond 127.0.0.0/8
// and ::1.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// First of `count` consecutive ports that are free right now (on 127.0.0.1 and ::1), below the kernel's
// ephemeral range so that outgoing connections of other tests cannot take them in the meantime.
int PickFreePorts(int count = 1);
// Whether this machine has the IPv6 loopback address ::1.
bool HasIPv6Loopback();
// Another address of the loopback network (127.x.y.z) on which `port` is free, for servers that
// must sit on a fixed port such as 21.
std::string PickLoopbackAddress(int port);
// Whether something accepts connections on address:port within the wait (loopback addresses
// only, ::1 included).
bool WaitForPort(int port, std::chrono::milliseconds wait, const std::string& address = "127.0.0.1");
// A connected TCP socket to address:port, or -1; refuses any address outside 127.0.0.0/8 and ::1.
int ConnectLoopback(int port, std::chrono::milliseconds wait, const std::string& address = "127.0.0.1");
// A socket listening on a loopback address at a port the system chooses; the port goes to `port`.
int ListenLoopback(int& port, const std::string& address = "127.0.0.1");
// Accepts one connection within the wait, or -1.
int AcceptWithin(int listener, std::chrono::milliseconds wait);

// Writes all of `data`; stops early when the peer goes away.
void SendAll(int fd, const std::string& data);
// Reads until the other side closes, `count` bytes arrived (when count >= 0), or nothing came for
// `idle` (so a client that hangs cannot hang the test).
std::string ReceiveAll(int fd, long count = -1, std::chrono::milliseconds idle = std::chrono::seconds(30));
// Makes the next close send a reset instead of an orderly close.
void ArmReset(int fd);

// A scripted TCP peer on 127.0.0.1 (or ::1): listens on a free port, accepts one connection on
// its own thread and runs the script with the accepted descriptor, then closes it.
class LoopbackPeer {
public:
    explicit LoopbackPeer(std::function<void(int fd)> script, const std::string& address = "127.0.0.1");
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int Port() const { return FPort; }
    // Waits until the script has run and the connection is closed.
    void Join();

    static void SendAll(int fd, const std::string& data) { ::SendAll(fd, data); }
    static std::string ReceiveAll(int fd, long count = -1) { return ::ReceiveAll(fd, count); }
    static void ArmReset(int fd) { ::ArmReset(fd); }

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
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
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
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool Ok() const { return FFd >= 0; }

private:
    int FFd = -1;
};

class TIdTCPClient;
// A client connected to the peer.
std::unique_ptr<TIdTCPClient> ConnectTo(const LoopbackPeer& peer);
