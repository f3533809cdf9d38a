#pragma once
// A small FTP server that plays a script on 127.0.0.1 and records every command line it receives.
// Build the script, call Start, run the client, then check Commands() and Failures().
// Every wait is bounded, and the destructor ends the thread and closes every socket.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedFtpServer {
public:
    ScriptedFtpServer();
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

private:
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
