#pragma once
// The second real FTP peer: the pyftpd_server.py script under /usr/bin/python3, on 127.0.0.1 or
// another loopback address such as ::1.
#include <memory>
#include <string>

#include "support/ChildProcess.h"
#include "support/ServerSkip.h"
#include "support/TempDir.h"

class PyftpdServer {
public:
    explicit PyftpdServer(std::string host = "127.0.0.1");
    ~PyftpdServer();
    PyftpdServer(const PyftpdServer&) = delete;
    PyftpdServer& operator=(const PyftpdServer&) = delete;

    const std::string& Host() const { return FHost; }
    int Port() const { return FPort; }
    const std::string& Root() const { return FRoot; }
    std::string User() const { return "pyuser"; }
    std::string Password() const { return "py-Secret-3"; }
    std::string Log() const;

private:
    static constexpr int kPassivePorts = 20;
    bool TryStart();

    TempDir FDir;
    std::string FHost;
    std::string FRoot;
    int FPort = 0;
    std::unique_ptr<ChildProcess> FProcess;
};
