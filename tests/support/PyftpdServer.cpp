#include "support/PyftpdServer.h"

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <utility>
#include <vector>

#include "support/LoopbackPorts.h"
#include "support/ServerSkip.h"

PyftpdServer::PyftpdServer(std::string host) : FHost(std::move(host)), FRoot(FDir.Path() + "/root")
{
    if (!ServerMayStart(WhyNoPyftpd()))
        return;
    std::filesystem::create_directory(FRoot);
    for (int attempt = 0; attempt < 3; ++attempt)
        if (TryStart())
            return;
    throw std::runtime_error("pyftpdlib did not start: " + Log());
}

PyftpdServer::~PyftpdServer() = default;

std::string PyftpdServer::Log() const
{
    return ReadTextFile(FDir.Path() + "/pyftpd.out");
}

bool PyftpdServer::TryStart()
{
    const int first = PickFreePorts(kPassivePorts + 1);
    FPort = first;
    // Debian's Python modules import only under the system interpreter.
    const std::vector<std::string> argv = {
        "/usr/bin/python3", std::string(FERRYSTAR_TEST_SCRIPTS) + "/pyftpd_server.py",
        "--host",           FHost,
        "--port",           std::to_string(FPort),
        "--user",           User(),
        "--password",       Password(),
        "--root",           FRoot,
        "--passive-first",  std::to_string(first + 1),
        "--passive-last",   std::to_string(first + kPassivePorts)};
    FProcess = std::make_unique<ChildProcess>(argv, FDir.Path() + "/pyftpd.out");
    if (WaitForPort(FPort, std::chrono::seconds(10), FHost) && FProcess->Running())
        return true;
    FProcess.reset();
    return false;
}
