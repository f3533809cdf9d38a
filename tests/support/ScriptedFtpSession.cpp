#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "support/LoopbackPorts.h"
#include "support/ScriptedFtpServer.h"

namespace {

constexpr std::chrono::milliseconds kWait{10000};

bool WaitReadable(int fd, int waitMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, waitMs) > 0;
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

std::string ExtendedPassiveReply(int port)
{
    return "229 Entering Extended Passive Mode (|||" + std::to_string(port) + "|)";
}

ScriptedFtpSession::~ScriptedFtpSession()
{
    CloseFd(FDataListener);
}

void ScriptedFtpSession::SendAll(int fd, const std::string& data)
{
    ::SendAll(fd, data);
}

std::string ScriptedFtpSession::ReceiveAll(int fd)
{
    return ::ReceiveAll(fd, -1, kWait);
}

void ScriptedFtpSession::CloseFd(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

void ScriptedFtpSession::Reply(const std::string& text)
{
    SendAll(FControl, text + "\r\n");
}

std::string ScriptedFtpSession::ReadCommand()
{
    for (;;) {
        const size_t lf = FPending.find('\n');
        if (lf != std::string::npos) {
            std::string line = FPending.substr(0, lf);
            FPending.erase(0, lf + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            FServer.Record(line);
            return line;
        }
        if (!WaitReadable(FControl, static_cast<int>(kWait.count())))
            return "<timeout>";
        char block[4096];
        const ssize_t n = ::recv(FControl, block, sizeof block, 0);
        if (n <= 0)
            return "<closed>";
        FPending.append(block, static_cast<size_t>(n));
    }
}

void ScriptedFtpSession::Expect(const std::string& command, const std::string& reply)
{
    EXPECT_EQ(ReadCommand(), command);
    if (!reply.empty())
        Reply(reply);
}

bool ScriptedFtpSession::ClientClosedQuietly(int waitMs)
{
    if (!FPending.empty() || !WaitReadable(FControl, waitMs))
        return false;
    char c;
    return ::recv(FControl, &c, 1, 0) == 0;
}

int ScriptedFtpSession::ListenForData()
{
    CloseFd(FDataListener);
    int port = 0;
    FDataListener = ListenLoopback(port);
    return port;
}

int ScriptedFtpSession::AcceptData()
{
    return AcceptWithin(FDataListener, kWait);
}

int ScriptedFtpSession::ConnectData(const std::string& portArgument, const std::string& sourceIP)
{
    unsigned h[4], p[2];
    if (std::sscanf(portArgument.c_str(), "%u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2], &h[3], &p[0], &p[1]) != 6)
        return -1;
    sockaddr_in source{};
    source.sin_family = AF_INET;
    if (::inet_pton(AF_INET, sourceIP.c_str(), &source.sin_addr) != 1 ||
        (ntohl(source.sin_addr.s_addr) >> 24) != 127)
        return -1;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<uint16_t>(p[0] * 256 + p[1]));
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0 &&
        ::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0)
        return fd;
    CloseFd(fd);
    return -1;
}

std::vector<std::string> ScriptedFtpSession::Commands() const
{
    return FServer.Commands();
}

void ScriptLogin(ScriptedFtpSession& s)
{
    s.Reply("220 scripted server ready");
    s.Expect("USER anna", "331 Password required.");
    s.Expect("PASS secret", "230 Logged in.");
    s.Expect("TYPE I", "200 Type set.");
    s.Expect("SYST", "215 UNIX Type: L8");
}

RecordingClient::RecordingClient(int port)
{
    Ftp.SetHost("127.0.0.1");
    Ftp.SetPort(port);
    Ftp.Username = "anna";
    Ftp.Password = "secret";
    Ftp.OnStatus = [this](TIdBaseComponent*, TIdStatus, const std::string& text) {
        Statuses.push_back(text);
    };
}

std::vector<std::string> RecordingClient::FtpStatuses() const
{
    std::vector<std::string> result;
    for (const std::string& s : Statuses) {
        if (s == "Starting FTP transfer" || s == "Transfer complete" || s == "Transfer aborted" ||
            s == "Connection established")
            result.push_back(s);
    }
    return result;
}
