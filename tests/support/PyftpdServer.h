#pragma once
// The second real FTP peer: the pyftpd_server.py script under /usr/bin/python3.
#include <memory>
#include <string>

#include "support/ChildProcess.h"
#include "support/ServerSkip.h"
#include "support/TempDir.h"

class PyftpdServer {
public:
    // With a certificate and key: TLS required on the login and on every data connection.
    explicit PyftpdServer(std::string tlsCertificate = {}, std::string tlsKey = {});
    ~PyftpdServer();
    PyftpdServer(const PyftpdServer&) = delete;
    PyftpdServer& operator=(const PyftpdServer&) = delete;

    int Port() const { return FPort; }
    const std::string& Root() const { return FRoot; }
    std::string User() const { return "pyuser"; }
    std::string Password() const { return "py-Secret-3"; }
    std::string Log() const;

private:
    static constexpr int kPassivePorts = 20;
    bool TryStart();

    std::string FTlsCertificate, FTlsKey;
    TempDir FDir;
    std::string FRoot;
    int FPort = 0;
    std::unique_ptr<ChildProcess> FProcess;
};
