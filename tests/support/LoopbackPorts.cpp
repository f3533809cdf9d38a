#include "support/LoopbackPorts.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <stdexcept>
#include <thread>

namespace {

sockaddr_in LoopbackAddress(int port, const std::string& address = "127.0.0.1")
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    // Tests must never reach anything outside the loopback network.
    if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 || (ntohl(a.sin_addr.s_addr) >> 24) != 127)
        throw std::runtime_error("not a loopback address: " + address);
    return a;
}

bool CanBind(int port, const std::string& address = "127.0.0.1")
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const sockaddr_in a = LoopbackAddress(port, address);
    const bool ok = ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int PickFreePorts(int count)
{
    static std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> base(20000, 32000 - count);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int first = base(rng);
        bool allFree = true;
        for (int p = first; p < first + count && allFree; ++p)
            allFree = CanBind(p);
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
                             " (is a system FTP service running? scripts/install-deps.sh stops it)");
}

int ConnectLoopback(int port, std::chrono::milliseconds wait, const std::string& address)
{
    const sockaddr_in a = LoopbackAddress(port, address);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    do {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
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

int ListenLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = LoopbackAddress(0);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    port = ntohs(a.sin_port);
    return fd;
}

int AcceptWithin(int listener, std::chrono::milliseconds wait)
{
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}
