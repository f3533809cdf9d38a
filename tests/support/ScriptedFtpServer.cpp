#include "support/ScriptedFtpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "support/LoopbackPorts.h"

namespace {

constexpr int kSliceMs = 50;

std::string Substitute(std::string text, const std::string& key, const std::string& value)
{
    for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
    return text;
}

} // namespace

ScriptedFtpServer::ScriptedFtpServer()
{
    FListener = ListenLoopback(FPort);
}

ScriptedFtpServer::ScriptedFtpServer(std::function<void(ScriptedFtpSession&)> script) : ScriptedFtpServer()
{
    FRunsFunction = true;
    FThread = std::thread([this, script = std::move(script)] { RunFunction(script); });
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    // A function script runs to its end (each of its waits is bounded): its checks must not be lost.
    if (FRunsFunction)
        Join();
    FStop = true;
    if (FThread.joinable())
        FThread.join();
    for (int* fd : {&FListener, &FControl, &FPassive, &FData})
        CloseFd(*fd);
}

ScriptedFtpServer& ScriptedFtpServer::AddStep(Step step)
{
    FSteps.push_back(std::move(step));
    return *this;
}

ScriptedFtpServer& ScriptedFtpServer::Reply(const std::string& r)
{
    return AddStep({StepKind::Reply, "", r});
}
ScriptedFtpServer& ScriptedFtpServer::SendRaw(const std::string& b)
{
    return AddStep({StepKind::Raw, b, ""});
}
ScriptedFtpServer& ScriptedFtpServer::Expect(const std::string& line, const std::string& reply)
{
    return AddStep({StepKind::Expect, line, reply});
}
ScriptedFtpServer& ScriptedFtpServer::ExpectPrefix(const std::string& prefix, const std::string& reply)
{
    return AddStep({StepKind::ExpectPrefix, prefix, reply});
}
ScriptedFtpServer& ScriptedFtpServer::OpenPassive()
{
    return AddStep({StepKind::OpenPassive, "", ""});
}
ScriptedFtpServer& ScriptedFtpServer::OpenData()
{
    return AddStep({StepKind::OpenData, "", ""});
}
ScriptedFtpServer& ScriptedFtpServer::SendData(const std::string& b)
{
    return AddStep({StepKind::SendData, b, ""});
}
ScriptedFtpServer& ScriptedFtpServer::ReceiveData()
{
    return AddStep({StepKind::ReceiveData, "", ""});
}
ScriptedFtpServer& ScriptedFtpServer::CloseData()
{
    return AddStep({StepKind::CloseData, "", ""});
}
ScriptedFtpServer& ScriptedFtpServer::GoSilent()
{
    return AddStep({StepKind::Silent, "", ""});
}
ScriptedFtpServer& ScriptedFtpServer::CloseControl()
{
    return AddStep({StepKind::CloseControl, "", ""});
}
ScriptedFtpServer& ScriptedFtpServer::AcceptControl()
{
    return AddStep({StepKind::AcceptControl, "", ""});
}
ScriptedFtpServer& ScriptedFtpServer::Pause(std::chrono::milliseconds d)
{
    return AddStep({StepKind::Pause, "", "", d});
}

void ScriptedFtpServer::Start()
{
    if (!FThread.joinable())
        FThread = std::thread([this] { Run(); });
}

std::vector<std::string> ScriptedFtpServer::Commands() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FCommands;
}

std::vector<std::string> ScriptedFtpServer::Failures() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FFailures;
}

std::string ScriptedFtpServer::ReceivedData() const
{
    std::lock_guard<std::mutex> g(FLock);
    return FReceived;
}

bool ScriptedFtpServer::WaitFinished(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> g(FLock);
    return FFinishedChanged.wait_for(g, wait, [this] { return FFinished; });
}

void ScriptedFtpServer::Join()
{
    if (!FRunsFunction)
        WaitFinished();
    else if (FThread.joinable())
        FThread.join();
}

void ScriptedFtpServer::Run()
{
    if (AcceptOn(FListener, FControl)) {
        for (const Step& step : FSteps)
            if (!Play(step))
                break;
    } else {
        Fail("no client connected");
    }
    MarkFinished();
    Drain();
}

void ScriptedFtpServer::RunFunction(const std::function<void(ScriptedFtpSession&)>& script)
{
    if (AcceptOn(FListener, FControl)) {
        ScriptedFtpSession session(*this, FControl);
        script(session);
    } else {
        Fail("no client connected");
    }
    CloseFd(FControl);
    MarkFinished();
}

void ScriptedFtpServer::MarkFinished()
{
    {
        std::lock_guard<std::mutex> g(FLock);
        FFinished = true;
    }
    FFinishedChanged.notify_all();
}

void ScriptedFtpServer::Record(const std::string& line)
{
    std::lock_guard<std::mutex> g(FLock);
    FCommands.push_back(line);
}

// False ends the script: a failure, going silent or the end of the connection.
bool ScriptedFtpServer::Play(const Step& step)
{
    switch (step.Kind) {
    case StepKind::Reply: return SendReply(step.Reply);
    case StepKind::Raw: return SendText(FControl, step.Text);
    case StepKind::Expect:
    case StepKind::ExpectPrefix: return ExpectLine(step);
    case StepKind::OpenPassive:
        CloseFd(FPassive);
        FPassive = ListenLoopback(FPassivePort);
        return true;
    case StepKind::OpenData: return EnsureData();
    case StepKind::SendData: {
        const bool sent = EnsureData() && SendText(FData, step.Text);
        CloseFd(FData);
        return sent;
    }
    case StepKind::ReceiveData: return EnsureData() && ReceiveAll();
    case StepKind::CloseData: CloseFd(FData); return true;
    case StepKind::Silent: return false;
    case StepKind::CloseControl: CloseFd(FControl); return true;
    case StepKind::AcceptControl:
        CloseFd(FControl);
        FInput.clear();
        return AcceptOn(FListener, FControl) || (Fail("no client connected again"), false);
    case StepKind::Action: return step.Run();
    case StepKind::Pause:
        for (auto end = std::chrono::steady_clock::now() + step.Duration;
             !FStop && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !FStop;
    }
    return false;
}

bool ScriptedFtpServer::ExpectLine(const Step& step)
{
    std::string line;
    if (!ReadExpected(step, line)) {
        Fail("expected \"" + step.Text + "\", got nothing");
        return false;
    }
    const bool matches = step.Kind == StepKind::Expect ? line == step.Text : line.rfind(step.Text, 0) == 0;
    if (!matches) {
        Fail("expected \"" + step.Text + "\", got \"" + line + "\"");
        return false;
    }
    if (line.rfind("PORT ", 0) == 0)
        RememberPortCommand(line);
    return step.Reply.empty() || SendReply(step.Reply);
}

// A script that does not mention FEAT plays a server without it.
bool ScriptedFtpServer::ReadExpected(const Step& step, std::string& line)
{
    for (;;) {
        if (!ReadLine(line))
            return false;
        Record(line);
        if (line != "FEAT" || step.Text == "FEAT")
            return true;
        if (!SendReply(kNoFeatures))
            return false;
    }
}

bool ScriptedFtpServer::SendReply(const std::string& reply)
{
    char pasv[64];
    std::snprintf(pasv, sizeof pasv, "127,0,0,1,%d,%d", FPassivePort / 256, FPassivePort % 256);
    std::string text = Substitute(reply, "{pasv}", pasv);
    text = Substitute(text, "\n", "\r\n") + "\r\n";
    return SendText(FControl, text);
}

bool ScriptedFtpServer::SendText(int fd, const std::string& bytes)
{
    size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + FStepTimeout;
    while (done < bytes.size()) {
        // Short slices keep the destructor's stop request answered while a client does not read.
        pollfd p{fd, POLLOUT, 0};
        if (fd < 0 || FStop || std::chrono::steady_clock::now() >= deadline) {
            Fail("could not send");
            return false;
        }
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        // Without MSG_DONTWAIT a blocking socket would wait until every byte is queued.
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n <= 0) {
            Fail("peer closed while sending");
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ScriptedFtpServer::WaitReadable(int fd)
{
    const auto deadline = std::chrono::steady_clock::now() + FStepTimeout;
    while (fd >= 0 && !FStop && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) > 0)
            return true;
    }
    return false;
}

bool ScriptedFtpServer::ReadLine(std::string& line)
{
    for (;;) {
        const size_t eol = FInput.find('\n');
        if (eol != std::string::npos) {
            line = FInput.substr(0, eol);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            FInput.erase(0, eol + 1);
            return true;
        }
        if (!WaitReadable(FControl))
            return false;
        char chunk[4096];
        const ssize_t n = ::recv(FControl, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        FInput.append(chunk, static_cast<size_t>(n));
    }
}

bool ScriptedFtpServer::AcceptOn(int listener, int& into)
{
    if (!WaitReadable(listener))
        return false;
    into = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    return into >= 0;
}

void ScriptedFtpServer::RememberPortCommand(const std::string& line)
{
    int h[4] = {0, 0, 0, 0}, p1 = 0, p2 = 0;
    if (std::sscanf(line.c_str() + 5, "%d,%d,%d,%d,%d,%d", &h[0], &h[1], &h[2], &h[3], &p1, &p2) != 6) {
        Fail("unreadable PORT command: " + line);
        return;
    }
    // Tests never talk to anything outside the loopback network.
    if (h[0] != 127) {
        Fail("PORT names an address outside 127.0.0.0/8: " + line);
        return;
    }
    FPortCommandPort = p1 * 256 + p2;
}

bool ScriptedFtpServer::ConnectToPortAddress()
{
    FData = ConnectLoopback(FPortCommandPort, FStepTimeout);
    return FData >= 0;
}

bool ScriptedFtpServer::EnsureData()
{
    if (FData >= 0)
        return true;
    bool opened = false;
    if (FPassive >= 0) {
        opened = AcceptOn(FPassive, FData);
        CloseFd(FPassive);
    } else if (FPortCommandPort > 0) {
        opened = ConnectToPortAddress();
    }
    if (!opened)
        Fail("no data connection");
    return opened;
}

bool ScriptedFtpServer::ReceiveAll()
{
    for (;;) {
        if (!WaitReadable(FData)) {
            Fail("data connection not closed by the client");
            CloseFd(FData);
            return false;
        }
        char chunk[65536];
        const ssize_t n = ::recv(FData, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        std::lock_guard<std::mutex> g(FLock);
        FReceived.append(chunk, static_cast<size_t>(n));
    }
    CloseFd(FData);
    return true;
}

void ScriptedFtpServer::Drain()
{
    for (;;) {
        for (size_t eol; (eol = FInput.find('\n')) != std::string::npos;) {
            std::string line = FInput.substr(0, eol);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            FInput.erase(0, eol + 1);
            Record(line);
        }
        if (FStop || FControl < 0)
            return;
        pollfd p{FControl, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::recv(FControl, chunk, sizeof chunk, 0);
        if (n <= 0)
            return;
        FInput.append(chunk, static_cast<size_t>(n));
    }
}

void ScriptedFtpServer::Fail(const std::string& why)
{
    std::lock_guard<std::mutex> g(FLock);
    FFailures.push_back(why);
}

void ScriptedFtpServer::CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

// ---- hostile behaviours

ScriptedFtpServer& ScriptedFtpServer::AddAction(std::function<bool()> run)
{
    Step step{StepKind::Action, "", ""};
    step.Run = std::move(run);
    return AddStep(std::move(step));
}

bool ScriptedFtpServer::SendQuietly(int fd, const std::string& bytes)
{
    size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + FStepTimeout;
    while (done < bytes.size() && fd >= 0 && !FStop && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return done == bytes.size();
}

ScriptedFtpServer& ScriptedFtpServer::ClosePassive()
{
    return AddAction([this] {
        CloseFd(FPassive);
        return true;
    });
}

ScriptedFtpServer& ScriptedFtpServer::SendDataThenReset(const std::string& bytes)
{
    return AddAction([this, bytes] {
        if (!EnsureData() || !SendText(FData, bytes))
            return false;
        linger reset{1, 0};
        ::setsockopt(FData, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        CloseFd(FData);
        return true;
    });
}

ScriptedFtpServer& ScriptedFtpServer::SendDataMayBreak(const std::string& bytes)
{
    return AddAction([this, bytes] {
        if (!EnsureData())
            return false;
        SendQuietly(FData, bytes);
        CloseFd(FData);
        return true;
    });
}

ScriptedFtpServer& ScriptedFtpServer::FloodControl(const std::string& bytes, int count)
{
    return AddAction([this, bytes, count] {
        for (int i = 0; i < count && SendQuietly(FControl, bytes); ++i) {
        }
        return true;
    });
}

ScriptedFtpServer& ScriptedFtpServer::OpenDataAndClose()
{
    return AddAction([this] {
        const bool opened = EnsureData();
        CloseFd(FData);
        return opened;
    });
}

ScriptedFtpServer& ScriptedFtpServer::StrangerConnects(const std::string& bytes)
{
    return AddAction([this, bytes] {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(0x7F000002); // 127.0.0.2
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(static_cast<uint16_t>(FPortCommandPort));
        const bool connected = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                               ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
        if (connected)
            SendQuietly(fd, bytes);
        CloseFd(fd);
        if (!connected)
            Fail("the stranger could not connect");
        return connected;
    });
}

ScriptedFtpServer& ScriptedFtpServer::WaitForHangUp()
{
    return AddAction([this] {
        char chunk[4096];
        while (WaitReadable(FControl)) {
            const ssize_t n = ::recv(FControl, chunk, sizeof chunk, 0);
            if (n <= 0)
                return true;
        }
        Fail("the client did not hang up");
        return false;
    });
}
