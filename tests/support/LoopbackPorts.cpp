#include "support/LoopbackPorts.h"

#include "net/IdTCPClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <stdexcept>
#include <thread>

namespace {

// An address of the loopback network, 127.0.0.0/8 or ::1.
struct LoopbackSockaddr {
    sockaddr_storage Storage{};
    socklen_t Length = 0;
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&Storage); }
    int Family() const { return Storage.ss_family; }
};

LoopbackSockaddr LoopbackAddress(int port, const std::string& address = "127.0.0.1")
{
    LoopbackSockaddr result;
    auto* six = reinterpret_cast<sockaddr_in6*>(&result.Storage);
    if (::inet_pton(AF_INET6, address.c_str(), &six->sin6_addr) == 1) {
        // Tests must never reach anything outside the loopback network.
        if (!IN6_IS_ADDR_LOOPBACK(&six->sin6_addr))
            throw std::runtime_error("not a loopback address: " + address);
        six->sin6_family = AF_INET6;
        six->sin6_port = htons(static_cast<uint16_t>(port));
        result.Length = sizeof *six;
        return result;
    }
    auto* a = reinterpret_cast<sockaddr_in*>(&result.Storage);
    a->sin_family = AF_INET;
    a->sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &a->sin_addr) != 1 || (ntohl(a->sin_addr.s_addr) >> 24) != 127)
        throw std::runtime_error("not a loopback address: " + address);
    result.Length = sizeof *a;
    return result;
}

bool CanBind(int port, const std::string& address = "127.0.0.1")
{
    const LoopbackSockaddr a = LoopbackAddress(port, address);
    const int fd = ::socket(a.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::bind(fd, a.Raw(), a.Length) == 0;
    ::close(fd);
    return ok;
}

// A socket bound to 127.0.0.1:port (0: the system chooses), listening when asked; -1 when taken.
int BoundLoopback(int port, bool listening, const std::string& address = "127.0.0.1")
{
    const LoopbackSockaddr a = LoopbackAddress(port, address);
    const int fd = ::socket(a.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, a.Raw(), a.Length) != 0 || (listening && ::listen(fd, 4) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int LocalPort(int fd)
{
    sockaddr_storage a{};
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    // The port sits at the same place in both families.
    return ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port);
}

} // namespace

bool HasIPv6Loopback()
{
    static const bool has = CanBind(0, "::1");
    return has;
}

int PickFreePorts(int count)
{
    static std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> base(20000, 32000 - count);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int first = base(rng);
        bool allFree = true;
        for (int p = first; p < first + count && allFree; ++p)
            allFree = CanBind(p) && (!HasIPv6Loopback() || CanBind(p, "::1"));
        if (allFree)
            return first;
    }
    throw std::runtime_error("no free loopback ports");
}

std::string PickLoopbackAddress(int port)
{
    static std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> part(1, 254);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const std::string address = "127." + std::to_string(part(rng)) + "." + std::to_string(part(rng)) +
                                    "." + std::to_string(part(rng));
        if (CanBind(port, address))
            return address;
    }
    throw std::runtime_error("no loopback address with a free port " + std::to_string(port) +
                             " (a system FTP service listening on every address?)");
}

int ConnectLoopback(int port, std::chrono::milliseconds wait, const std::string& address)
{
    const LoopbackSockaddr a = LoopbackAddress(port, address);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    do {
        const int fd = ::socket(a.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        if (::connect(fd, a.Raw(), a.Length) == 0)
            return fd;
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return -1;
}

bool WaitForPort(int port, std::chrono::milliseconds wait, const std::string& address)
{
    const int fd = ConnectLoopback(port, wait, address);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

int ListenLoopback(int& port, const std::string& address)
{
    const int fd = BoundLoopback(0, true, address);
    if (fd < 0)
        throw std::runtime_error("cannot listen on " + address);
    port = LocalPort(fd);
    return fd;
}

int AcceptWithin(int listener, std::chrono::milliseconds wait)
{
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

void SendAll(int fd, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

std::string ReceiveAll(int fd, long count, std::chrono::milliseconds idle)
{
    std::string out;
    char block[65536];
    while (count < 0 || static_cast<long>(out.size()) < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(idle.count())) <= 0)
            break;
        size_t want = sizeof block;
        if (count >= 0)
            want = std::min(want, static_cast<size_t>(count) - out.size());
        const ssize_t n = ::recv(fd, block, want, 0);
        if (n <= 0)
            break;
        out.append(block, static_cast<size_t>(n));
    }
    return out;
}

void ArmReset(int fd)
{
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

LoopbackPeer::LoopbackPeer(std::function<void(int fd)> script, const std::string& address)
{
    FListener = ListenLoopback(FPort, address);
    FThread = std::thread([this, script = std::move(script)] {
        const int fd = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        script(fd);
        ::close(fd);
    });
}

LoopbackPeer::~LoopbackPeer()
{
    ::shutdown(FListener, SHUT_RDWR); // wakes an accept that never got a client
    Join();
    ::close(FListener);
}

void LoopbackPeer::Join()
{
    if (FThread.joinable())
        FThread.join();
}

ClosedPort::ClosedPort()
{
    FFd = BoundLoopback(0, false);
    if (FFd < 0)
        throw std::runtime_error("cannot bind on 127.0.0.1");
    FPort = LocalPort(FFd);
}

ClosedPort::~ClosedPort()
{
    ::close(FFd);
}

PortHolder::PortHolder(int port) : FFd(BoundLoopback(port, true)) {}

PortHolder::~PortHolder()
{
    if (FFd >= 0)
        ::close(FFd);
}

std::unique_ptr<TIdTCPClient> ConnectTo(const LoopbackPeer& peer)
{
    auto client = std::make_unique<TIdTCPClient>();
    client->SetHost("127.0.0.1");
    client->SetPort(peer.Port());
    client->Connect();
    return client;
}
