#pragma once
// A real vsftpd on 127.0.0.1 with its own configuration, for the test account and a served folder.
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempDir.h"

struct VsftpdOptions {
    // A loopback address, and a fixed control port (0: a free one is chosen). Debian's ftp-proxy
    // sends a login "name@host" to port 21, so a target behind it sits on another 127.x.y.z:21.
    std::string Address = "127.0.0.1";
    int Port = 0;
    // Closes the session into the served folder, so that it shows as "/".
    bool Chroot = true;
    std::vector<std::string> ExtraConfig;
};

class VsftpdServer {
public:
    explicit VsftpdServer(VsftpdOptions options = {});
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer&) = delete;
    VsftpdServer& operator=(const VsftpdServer&) = delete;

    const std::string& Address() const { return FAddress; }
    int Port() const { return FPort; }
    int PassivePortFirst() const { return FPassiveFirst; }
    int PassivePortLast() const { return FPassiveFirst + kPassivePorts - 1; }
    // The folder the test account logs in to; fill it with PutFile and PutFolder.
    const std::string& Root() const { return FRoot; }
    std::string User() const;
    std::string Password() const;
    std::string Log() const;

    // Paths are relative to Root; the new entries belong to the test account.
    void PutFile(const std::string& relative, const std::string& contents);
    void PutFolder(const std::string& relative);
    void PutSymlink(const std::string& relative, const std::string& target);

private:
    static constexpr int kPassivePorts = 20;
    bool TryStart(const VsftpdOptions& options);
    std::string Config(const VsftpdOptions& options) const;

    TempDir FDir;
    std::string FRoot;
    std::string FAddress;
    int FPort = 0;
    int FPassiveFirst = 0;
    std::unique_ptr<ChildProcess> FProcess;
};
