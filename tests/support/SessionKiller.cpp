#include "support/SessionKiller.h"

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
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
}
