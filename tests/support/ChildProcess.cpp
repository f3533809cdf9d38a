#include "support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& logPath)
{
    // Everything the child needs is prepared before fork: only exec-safe calls run after it.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0)
        throw std::runtime_error("cannot create " + logPath);
    FPid = ::fork();
    if (FPid == 0) {
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, 0);
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(log);
    if (FPid < 0)
        throw std::runtime_error("fork failed");
    ::setpgid(FPid, FPid); // also from here, so the group exists before any kill
}

ChildProcess::~ChildProcess()
{
    Stop();
}

bool ChildProcess::Running()
{
    if (FReaped)
        return false;
    int status = 0;
    if (::waitpid(FPid, &status, WNOHANG) == FPid)
        FReaped = true;
    return !FReaped;
}

void ChildProcess::Stop()
{
    if (FPid <= 0)
        return;
    ::kill(-FPid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Session processes of the server live on in the group after the leader: end them too.
    ::kill(-FPid, SIGKILL);
    if (!FReaped)
        ::waitpid(FPid, nullptr, 0);
    FReaped = true;
    FPid = -1;
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}
