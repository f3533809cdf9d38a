#pragma once
// A scripted FTP server on 127.0.0.1 for exact reply sequences: accepts one control connection
// on its own thread and runs the script, which reads the client's commands and answers them.
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FtpScriptSession {
public:
    explicit FtpScriptSession(int controlFd) : FControl(controlFd) {}

    // Sends text followed by CR LF (text may hold several lines separated by CR LF).
    void Reply(const std::string& text);
    // The next command line without CR LF; "<closed>" when the client closed, "<timeout>" after 10 s.
    std::string ReadCommand();
    // Reads a command, checks it (gtest failure otherwise) and sends the reply (when not empty).
    void Expect(const std::string& command, const std::string& reply);
    // Whether the client closed the control connection within the wait, sending nothing more.
    bool ClientClosedQuietly(int waitMs = 5000);

    // Passive: opens a data listener on 127.0.0.1 and returns its port.
    int ListenForData();
    // Accepts on the data listener; -1 after 10 s.
    int AcceptData();
    // Active: connects to the address of a PORT argument "h1,h2,h3,h4,p1,p2", from sourceIP.
    int ConnectData(const std::string& portArgument, const std::string& sourceIP = "127.0.0.1");
    static void SendAll(int fd, const std::string& data);
    // Everything until the other side closes.
    static std::string ReceiveAll(int fd);
    static void CloseFd(int fd);

    // The commands read so far.
    std::vector<std::string> Commands() const;

    ~FtpScriptSession();

private:
    int FControl;
    int FDataListener = -1;
    std::string FPending;
    mutable std::mutex FLock;
    std::vector<std::string> FCommands;
};

class FtpScriptedServer {
public:
    explicit FtpScriptedServer(std::function<void(FtpScriptSession&)> script);
    ~FtpScriptedServer();
    FtpScriptedServer(const FtpScriptedServer&) = delete;
    FtpScriptedServer& operator=(const FtpScriptedServer&) = delete;

    int Port() const { return FPort; }
    // Waits for the script to end; then Commands() holds every command the client sent.
    void Join();
    std::vector<std::string> Commands() const;

private:
    int FListener = -1;
    int FPort = 0;
    std::thread FThread;
    mutable std::mutex FLock;
    std::vector<std::string> FCommands;
};

// The PASV reply text for a data port on the given dotted host.
std::string PassiveReply(const std::string& host, int port);
