#include "unit/ftp/FtpScriptedServer.h"

#include <arpa/inet.h>
#include <cstdio>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 10000;

int ListenLoopback(int& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

bool WaitReadable(int fd, int waitMs)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, waitMs) > 0;
}

int AcceptWithin(int listener, int waitMs)
{
    if (!WaitReadable(listener, waitMs))
        return -1;
    return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

} // namespace

std::string PassiveReply(const std::string& host, int port)
{
    std::string numbers = host;
    for (char& c : numbers) {
        if (c == '.')
            c = ',';
    }
    return "227 Entering Passive Mode (" + numbers + "," + std::to_string(port / 256) + "," +
           std::to_string(port % 256) + ").";
}

FtpScriptSession::~FtpScriptSession()
{
    CloseFd(FDataListener);
}

void FtpScriptSession::SendAll(int fd, const std::string& data)
{
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

std::string FtpScriptSession::ReceiveAll(int fd)
{
    std::string data;
    char block[65536];
    while (WaitReadable(fd, kWaitMs)) {
        const ssize_t n = recv(fd, block, sizeof block, 0);
        if (n <= 0)
            break;
        data.append(block, static_cast<size_t>(n));
    }
    return data;
}

void FtpScriptSession::CloseFd(int fd)
{
    if (fd >= 0)
        close(fd);
}

void FtpScriptSession::Reply(const std::string& text)
{
    SendAll(FControl, text + "\r\n");
}

std::string FtpScriptSession::ReadCommand()
{
    for (;;) {
        const size_t lf = FPending.find('\n');
        if (lf != std::string::npos) {
            std::string line = FPending.substr(0, lf);
            FPending.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::lock_guard<std::mutex> guard(FLock);
            FCommands.push_back(line);
            return line;
        }
        if (!WaitReadable(FControl, kWaitMs))
            return "<timeout>";
        char block[4096];
        const ssize_t n = recv(FControl, block, sizeof block, 0);
        if (n <= 0)
            return "<closed>";
        FPending.append(block, static_cast<size_t>(n));
    }
}

void FtpScriptSession::Expect(const std::string& command, const std::string& reply)
{
    EXPECT_EQ(ReadCommand(), command);
    if (!reply.empty())
        Reply(reply);
}

bool FtpScriptSession::ClientClosedQuietly(int waitMs)
{
    if (!FPending.empty() || !WaitReadable(FControl, waitMs))
        return false;
    char c;
    return recv(FControl, &c, 1, 0) == 0;
}

int FtpScriptSession::ListenForData()
{
    CloseFd(FDataListener);
    int port = 0;
    FDataListener = ListenLoopback(port);
    return port;
}

int FtpScriptSession::AcceptData()
{
    return AcceptWithin(FDataListener, kWaitMs);
}

int FtpScriptSession::ConnectData(const std::string& portArgument, const std::string& sourceIP)
{
    unsigned h[4], p[2];
    if (std::sscanf(portArgument.c_str(), "%u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2], &h[3], &p[0], &p[1]) != 6)
        return -1;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    inet_pton(AF_INET, sourceIP.c_str(), &source.sin_addr);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(p[0] * 256 + p[1]));
    // Tests only ever talk to loopback, whatever the client announced.
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::vector<std::string> FtpScriptSession::Commands() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FCommands;
}

FtpScriptedServer::FtpScriptedServer(std::function<void(FtpScriptSession&)> script)
{
    FListener = ListenLoopback(FPort);
    FThread = std::thread([this, script = std::move(script)] {
        const int fd = AcceptWithin(FListener, kWaitMs);
        if (fd < 0)
            return;
        {
            FtpScriptSession session(fd);
            script(session);
            std::lock_guard<std::mutex> guard(FLock);
            FCommands = session.Commands();
        }
        close(fd);
    });
}

FtpScriptedServer::~FtpScriptedServer()
{
    Join();
    if (FListener >= 0)
        close(FListener);
}

void FtpScriptedServer::Join()
{
    if (FThread.joinable())
        FThread.join();
}

std::vector<std::string> FtpScriptedServer::Commands() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FCommands;
}
