#pragma once
// A bare control connection for checking servers from tests: send a line, read a whole reply.
#include <chrono>
#include <string>

class RawFtpClient {
public:
    explicit RawFtpClient(int port, std::chrono::milliseconds wait = std::chrono::seconds(10),
                          const std::string& address = "127.0.0.1");
    ~RawFtpClient();
    RawFtpClient(const RawFtpClient&) = delete;
    RawFtpClient& operator=(const RawFtpClient&) = delete;

    bool Connected() const { return FSocket >= 0; }
    void Send(const std::string& line);
    // The whole reply, lines joined by "\n"; empty when the peer closed or the wait ran out.
    std::string ReadReply();
    // Send, then the reply's first three characters (its code), or "" without a reply.
    std::string Command(const std::string& line);
    const std::string& LastReply() const { return FLastReply; }

private:
    bool ReadLine(std::string& line);

    int FSocket = -1;
    std::chrono::milliseconds FWait;
    std::string FBuffer;
    std::string FLastReply;
};
