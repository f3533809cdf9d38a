#pragma once
// Debian's ftp-proxy on 127.0.0.1, forwarding "USER name@host" logins to a server on loopback.
#include <memory>
#include <string>

#include "support/ChildProcess.h"
#include "support/ServerSkip.h"
#include "support/TempDir.h"

class FtpProxyServer {
public:
    // A login without ":port" after the host goes to targetPort.
    explicit FtpProxyServer(int targetPort);
    ~FtpProxyServer();
    FtpProxyServer(const FtpProxyServer&) = delete;
    FtpProxyServer& operator=(const FtpProxyServer&) = delete;

    int Port() const { return FPort; }
    std::string Log() const;

private:
    static constexpr int kDataPorts = 20;
    bool TryStart(int targetPort);

    TempDir FDir;
    int FPort = 0;
    std::unique_ptr<ChildProcess> FProcess;
};
