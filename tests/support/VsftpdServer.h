#pragma once
// A real vsftpd on 127.0.0.1 with its own configuration, a virtual user of its own (see
// VirtualFtpLogin) and a served folder. Needs root; where it cannot run, the test is skipped: as
// a fixture's member by itself, in a test's body with SKIP_WITHOUT(WhyNoVsftpd()) as its first line.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/ServerSkip.h"
#include "support/TempDir.h"
#include "support/VirtualFtpLogin.h"

struct VsftpdOptions {
    // A loopback address, and a fixed control port (0: a free one is chosen). Debian's ftp-proxy
    // sends a login "name@host" to port 21, so a target behind it sits on another 127.x.y.z:21.
    // "::1" makes an IPv6 server that listens there only.
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
    // The folder the virtual user logs in to; fill it with PutFile and PutFolder.
    const std::string& Root() const { return FRoot; }
    std::string User() const;
    std::string Password() const;
    // The PAM service in /etc/pam.d that checks the password; removed with the server.
    std::string PamService() const { return FLogin ? FLogin->Service() : ""; }
    std::string Log() const;

    // Paths are relative to Root; the new entries belong to the account the server runs the session as.
    void PutFile(const std::string& relative, const std::string& contents);
    void PutFolder(const std::string& relative);
    void PutSymlink(const std::string& relative, const std::string& target);

private:
    static constexpr int kPassivePorts = 20;
    bool TryStart(const VsftpdOptions& options);
    std::string Config(const VsftpdOptions& options) const;
    std::filesystem::path Served(const std::string& relative) const;

    TempDir FDir;
    std::string FRoot;
    std::string FAddress;
    int FPort = 0;
    int FPassiveFirst = 0;
    std::unique_ptr<VirtualFtpLogin> FLogin;
    std::unique_ptr<ChildProcess> FProcess;
};
