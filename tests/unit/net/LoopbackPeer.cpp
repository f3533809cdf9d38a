#include "LoopbackPeer.h"

#include "net/IdTCPClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int BoundSocket(int port, bool listening)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (listening && ::listen(fd, 4) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int LocalPort(int fd)
{
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return ntohs(addr.sin_port);
}
} // namespace

LoopbackPeer::LoopbackPeer(std::function<void(int fd)> script)
{
    FListener = BoundSocket(0, true);
    if (FListener < 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    FPort = LocalPort(FListener);
    FThread = std::thread([this, script] {
        const int fd = ::accept(FListener, nullptr, nullptr);
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

void LoopbackPeer::SendAll(int fd, const std::string& data)
{
    size_t pos = 0;
    while (pos < data.size()) {
        const ssize_t n = ::send(fd, data.data() + pos, data.size() - pos, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        pos += static_cast<size_t>(n);
    }
}

std::string LoopbackPeer::ReceiveAll(int fd, long count)
{
    std::string out;
    char block[65536];
    while (count < 0 || static_cast<long>(out.size()) < count) {
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

void LoopbackPeer::ArmReset(int fd)
{
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

ClosedPort::ClosedPort()
{
    FFd = BoundSocket(0, false);
    FPort = LocalPort(FFd);
}

ClosedPort::~ClosedPort()
{
    ::close(FFd);
}

PortHolder::PortHolder(int port)
{
    FFd = BoundSocket(port, true);
}

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
