#pragma once
// A small FTP server on 127.0.0.1 for exact reply sequences that real servers do not produce. It
// records every command line it receives and is driven in one of two ways:
// - a list of steps: build it, call Start, run the client, then check Commands() and Failures();
// - a function given a ScriptedFtpSession, run on the server's thread as soon as it is built, for
//   conversations that depend on what the client sent; Join() waits for its end.
// Every wait is bounded, and the destructor ends the thread and closes every socket.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ftp/IdFTP.h"

class ScriptedFtpServer;

// The server side of one control connection, for scripts written as a function.
class ScriptedFtpSession {
public:
    ScriptedFtpSession(ScriptedFtpServer& server, int controlFd) : FServer(server), FControl(controlFd) {}
    ~ScriptedFtpSession();
    ScriptedFtpSession(const ScriptedFtpSession&) = delete;
    ScriptedFtpSession& operator=(const ScriptedFtpSession&) = delete;

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
    // Active: connects to the port of a PORT argument "h1,h2,h3,h4,p1,p2" from sourceIP; always on
    // 127.0.0.1, whatever address the client announced.
    int ConnectData(const std::string& portArgument, const std::string& sourceIP = "127.0.0.1");
    static void SendAll(int fd, const std::string& data);
    // Everything until the other side closes.
    static std::string ReceiveAll(int fd);
    static void CloseFd(int fd);

    // The commands read so far.
    std::vector<std::string> Commands() const;

private:
    ScriptedFtpServer& FServer;
    int FControl;
    int FDataListener = -1;
    std::string FPending;
};

class ScriptedFtpServer {
public:
    ScriptedFtpServer();
    explicit ScriptedFtpServer(std::function<void(ScriptedFtpSession&)> script);
    ~ScriptedFtpServer();
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    int Port() const { return FPort; }

    // Replies are lines separated by "\n" and are sent with CR LF. "{pasv}" in a reply stands for
    // the address of the last passive listener as "127,0,0,1,p1,p2".
    ScriptedFtpServer& Reply(const std::string& reply);
    ScriptedFtpServer& SendRaw(const std::string& bytes);
    ScriptedFtpServer& Expect(const std::string& line, const std::string& reply = "");
    ScriptedFtpServer& ExpectPrefix(const std::string& prefix, const std::string& reply = "");
    ScriptedFtpServer& OpenPassive();
    // Accepts on the passive listener, or connects to the address of the last PORT command.
    ScriptedFtpServer& OpenData();
    // Both open the data connection first when none is open; both close it at the end.
    ScriptedFtpServer& SendData(const std::string& bytes);
    ScriptedFtpServer& ReceiveData();
    ScriptedFtpServer& CloseData();
    // Stops answering until the server is destroyed (commands are still recorded).
    ScriptedFtpServer& GoSilent();
    ScriptedFtpServer& CloseControl();
    ScriptedFtpServer& AcceptControl();
    ScriptedFtpServer& Pause(std::chrono::milliseconds duration);

    void SetStepTimeout(std::chrono::milliseconds timeout) { FStepTimeout = timeout; }
    void Start();

    std::vector<std::string> Commands() const;
    std::vector<std::string> Failures() const;
    std::string ReceivedData() const;
    // True once the whole script has been played (or failed); waits at most `wait`.
    bool WaitFinished(std::chrono::milliseconds wait = std::chrono::seconds(10));
    // Waits for the end of a function script (for a list of steps: WaitFinished with its default).
    void Join();

private:
    friend class ScriptedFtpSession;
    enum class StepKind {
        Reply,
        Raw,
        Expect,
        ExpectPrefix,
        OpenPassive,
        OpenData,
        SendData,
        ReceiveData,
        CloseData,
        Silent,
        CloseControl,
        AcceptControl,
        Pause,
        Action
    };
    struct Step {
        StepKind Kind;
        std::string Text;
        std::string Reply;
        std::chrono::milliseconds Duration{0};
        std::function<bool()> Run{};
    };

    ScriptedFtpServer& AddStep(Step step);
    void Run();
    void RunFunction(const std::function<void(ScriptedFtpSession&)>& script);
    void MarkFinished();
    void Record(const std::string& line);
    bool Play(const Step& step);
    bool ExpectLine(const Step& step);
    bool SendText(int fd, const std::string& bytes);
    bool SendReply(const std::string& reply);
    bool ReadLine(std::string& line);
    bool AcceptOn(int listener, int& into);
    bool ConnectToPortAddress();
    bool EnsureData();
    bool ReceiveAll();
    void RememberPortCommand(const std::string& line);
    void Drain();
    void Fail(const std::string& why);
    bool WaitReadable(int fd);
    static void CloseFd(int& fd);

    std::vector<Step> FSteps;
    std::chrono::milliseconds FStepTimeout{10000};
    int FListener = -1;
    int FPort = 0;
    int FControl = -1;
    int FPassive = -1;
    int FPassivePort = 0;
    int FData = -1;
    int FPortCommandPort = 0;
    std::string FInput;
    std::atomic<bool> FStop{false};
    bool FRunsFunction = false;
    std::thread FThread;

    mutable std::mutex FLock;
    std::condition_variable FFinishedChanged;
    bool FFinished = false;
    std::vector<std::string> FCommands;
    std::vector<std::string> FFailures;
    std::string FReceived;

public:
    // Hostile behaviours. Steps that expect the client to hang up on them treat that as success.
    // Closes the passive listener: "{pasv}" then names a port where nobody listens.
    ScriptedFtpServer& ClosePassive();
    // Sends the bytes on the data connection, then resets it (RST instead of FIN).
    ScriptedFtpServer& SendDataThenReset(const std::string& bytes);
    // Sends on the data connection until done or the client closes it, then closes.
    ScriptedFtpServer& SendDataMayBreak(const std::string& bytes);
    // Sends `bytes` `count` times on the control connection, stopping when the client hangs up.
    ScriptedFtpServer& FloodControl(const std::string& bytes, int count);
    // Opens the data connection and closes it at once, unread.
    ScriptedFtpServer& OpenDataAndClose();
    // Connects from 127.0.0.2 to the address of the last PORT command and sends the bytes.
    ScriptedFtpServer& StrangerConnects(const std::string& bytes);
    // Says nothing until the client closes the control connection (within the step time-out).
    ScriptedFtpServer& WaitForHangUp();

private:
    ScriptedFtpServer& AddAction(std::function<bool()> run);
    bool SendQuietly(int fd, const std::string& bytes);
};

// The PASV reply text for a data port on the given dotted host.
std::string PassiveReply(const std::string& host, int port);
// The EPSV reply text for a data port: "229 Entering Extended Passive Mode (|||port|)".
std::string ExtendedPassiveReply(int port);

// The server side of the plain login that a RecordingClient makes.
void ScriptLogin(ScriptedFtpSession& s);

// An FTP client for the scripted server that records its statuses.
struct RecordingClient {
    TIdFTP Ftp;
    std::vector<std::string> Statuses;

    explicit RecordingClient(int port);
    // The statuses of the FTP client itself, without the transport's connect and disconnect lines.
    std::vector<std::string> FtpStatuses() const;
};

// Runs body and returns the reply code of the EIdProtocolReplyError it raises (0: none raised).
template <typename Body> int ReplyErrorCode(Body body)
{
    try {
        body();
    } catch (const EIdProtocolReplyError& e) {
        return e.ReplyCode;
    }
    return 0;
}
