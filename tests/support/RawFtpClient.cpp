#include "support/RawFtpClient.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/LoopbackPorts.h"

RawFtpClient::RawFtpClient(int port, std::chrono::milliseconds wait, const std::string& address) : FWait(wait)
{
    FSocket = ConnectLoopback(port, wait, address);
}

RawFtpClient::~RawFtpClient()
{
    if (FSocket >= 0)
        ::close(FSocket);
}

void RawFtpClient::Send(const std::string& line)
{
    const std::string data = line + "\r\n";
    if (FSocket >= 0)
        (void)::send(FSocket, data.data(), data.size(), MSG_NOSIGNAL);
}

bool RawFtpClient::ReadLine(std::string& line)
{
    const auto deadline = std::chrono::steady_clock::now() + FWait;
    for (;;) {
        const size_t eol = FBuffer.find('\n');
        if (eol != std::string::npos) {
            line = FBuffer.substr(0, eol);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            FBuffer.erase(0, eol + 1);
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{FSocket, POLLIN, 0};
        if (FSocket < 0 || left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char chunk[4096];
        const ssize_t n = ::recv(FSocket, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        FBuffer.append(chunk, static_cast<size_t>(n));
    }
}

std::string RawFtpClient::ReadReply()
{
    std::string line, reply;
    if (!ReadLine(line))
        return FLastReply = "";
    reply = line;
    // "123-" opens a multi-line reply that ends at a line starting "123 ".
    if (line.size() >= 4 && line[3] == '-') {
        const std::string end = line.substr(0, 3) + " ";
        while (ReadLine(line)) {
            reply += "\n" + line;
            if (line.compare(0, 4, end) == 0)
                break;
        }
    }
    return FLastReply = reply;
}

std::string RawFtpClient::Command(const std::string& line)
{
    Send(line);
    return ReadReply().substr(0, 3);
}
