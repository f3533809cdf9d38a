#include "support/SessionKiller.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::vector<int> ChildrenOf(int parent)
{
    std::vector<int> children;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return children;
    while (dirent* e = ::readdir(proc)) {
        const int pid = std::atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos || close + 2 > line.size())
            continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        int ppid = 0;
        rest >> state >> ppid;
        if (ppid == parent)
            children.push_back(pid);
    }
    ::closedir(proc);
    return children;
}

bool Living(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z' &&
           line[close + 2] != 'X';
}

} // namespace

// vsftpd serves each session from processes of its own below the listener (our child). All of
// them are stopped before any dies, so no half can tell the client of the other's death.
void KillFtpSessions()
{
    std::vector<int> doomed;
    for (int listener : ChildrenOf(::getpid()))
        for (int session : ChildrenOf(listener)) {
            doomed.push_back(session);
            for (int helper : ChildrenOf(session))
                doomed.push_back(helper);
        }
    for (int pid : doomed)
        ::kill(pid, SIGSTOP);
    for (int pid : doomed)
        ::kill(pid, SIGKILL);
    // Dead means their sockets are closed: the client can now notice. Zombies wait for their parent.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::any_of(doomed.begin(), doomed.end(), Living) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}
