#pragma once
// A program started by a test in a process group of its own; the destructor ends the whole group.
#include <string>
#include <vector>

class ChildProcess {
public:
    // Output and errors of the program go to logPath.
    ChildProcess(const std::vector<std::string>& argv, const std::string& logPath);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Running();
    int Pid() const { return FPid; }
    void Stop();

private:
    int FPid = -1;
    bool FReaped = false;
};

std::string ReadTextFile(const std::string& path);
