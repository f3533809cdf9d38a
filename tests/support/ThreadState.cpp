#include "support/ThreadState.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

int ThisThreadId()
{
    return static_cast<int>(::syscall(SYS_gettid));
}

std::vector<int> ThreadIds()
{
    std::vector<int> ids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", ec))
        ids.push_back(std::atoi(entry.path().filename().c_str()));
    return ids;
}

std::vector<int> NewThreads(const std::vector<int>& before)
{
    std::vector<int> found;
    for (int tid : ThreadIds())
        if (std::find(before.begin(), before.end(), tid) == before.end())
            found.push_back(tid);
    return found;
}

bool BlockedOnIo(int tid)
{
    static const std::vector<long> kIoCalls = {
        SYS_read,   SYS_recvfrom, SYS_recvmsg,    SYS_accept, SYS_accept4,     SYS_connect,
        SYS_sendto, SYS_write,    SYS_pselect6,   SYS_ppoll,  SYS_epoll_pwait,
#ifdef SYS_poll
        SYS_poll,   SYS_select,   SYS_epoll_wait,
#endif
    };
    // The first field is the number of the system call the thread is blocked in, or "running".
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/syscall");
    std::string first;
    if (!(in >> first) || first == "running")
        return false;
    char* end = nullptr;
    const long call = std::strtol(first.c_str(), &end, 10);
    return *end == '\0' && std::find(kIoCalls.begin(), kIoCalls.end(), call) != kIoCalls.end();
}

bool AnyBlockedOnIo(const std::vector<int>& tids)
{
    return std::any_of(tids.begin(), tids.end(), BlockedOnIo);
}

bool PollUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool WaitUntilBlockedOnIo(int tid, std::chrono::milliseconds limit)
{
    return PollUntil([tid] { return BlockedOnIo(tid); }, limit);
}
