#include "support/FtpProxyServer.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "support/LoopbackPorts.h"
#include "support/ServerSkip.h"

FtpProxyServer::FtpProxyServer(int targetPort)
{
    if (!ServerMayStart(WhyNoFtpProxy()))
        return;
    for (int attempt = 0; attempt < 3; ++attempt)
        if (TryStart(targetPort))
            return;
    throw std::runtime_error("ftp-proxy did not start: " + Log());
}

FtpProxyServer::~FtpProxyServer() = default;

std::string FtpProxyServer::Log() const
{
    return ReadTextFile(FDir.Path() + "/proxy.out") + ReadTextFile(FDir.Path() + "/proxy.log");
}

bool FtpProxyServer::TryStart(int targetPort)
{
    const int first = PickFreePorts(2 * kDataPorts + 1);
    FPort = first;
    const std::string dir = FDir.Path();
    // No User/Group: the proxy keeps running as the caller and can write its log into our folder.
    std::ofstream(dir + "/ftp-proxy.conf")
        << "ServerType standalone\nListen 127.0.0.1\nPort " << FPort << "\n"
        << "DestinationAddress 127.0.0.1\nDestinationPort " << targetPort << "\n"
        << "AllowMagicUser yes\nForkLimit 512\nMaxClients 64\n"
        << "PassiveMinDataPort " << first + 1 << "\nPassiveMaxDataPort " << first + kDataPorts << "\n"
        << "ActiveMinDataPort " << first + kDataPorts + 1 << "\nActiveMaxDataPort " << first + 2 * kDataPorts
        << "\n"
        << "LogDestination " << dir << "/proxy.log\nLogLevel INF\nPidFile " << dir << "/proxy.pid\n";
    // -d: standalone daemon, -n: stay in the foreground so that we own its process group.
    FProcess = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/sbin/ftp-proxy", "-d", "-n", "-f", dir + "/ftp-proxy.conf"},
        dir + "/proxy.out");
    if (WaitForPort(FPort, std::chrono::seconds(5)) && FProcess->Running())
        return true;
    FProcess.reset();
    return false;
}
