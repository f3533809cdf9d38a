#include "support/VsftpdServer.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/FtpTestUser.h"
#include "support/LoopbackPorts.h"

namespace fs = std::filesystem;

VsftpdServer::VsftpdServer(VsftpdOptions options)
{
    RequireFtpTestUser();
    FAddress = options.Address;
    // The session runs as the test account, which must reach the served folder.
    ::chmod(FDir.Path().c_str(), 0755);
    FRoot = FDir.Path() + "/root";
    fs::create_directory(FRoot);
    fs::create_directory(FDir.Path() + "/empty");
    GiveToFtpTestUser(FRoot.c_str());
    for (int attempt = 0; attempt < 3; ++attempt)
        if (TryStart(options))
            return;
    throw std::runtime_error("vsftpd did not start: " + Log());
}

VsftpdServer::~VsftpdServer() = default;

std::string VsftpdServer::User() const
{
    return kFtpTestUser;
}
std::string VsftpdServer::Password() const
{
    return kFtpTestPassword;
}
std::string VsftpdServer::Log() const
{
    return ReadTextFile(FDir.Path() + "/vsftpd.out");
}

bool VsftpdServer::TryStart(const VsftpdOptions& options)
{
    const int first = PickFreePorts(kPassivePorts + 1);
    FPort = options.Port != 0 ? options.Port : first;
    FPassiveFirst = first + 1;
    const std::string configPath = FDir.Path() + "/vsftpd.conf";
    std::ofstream(configPath) << Config(options);
    FProcess = std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/sbin/vsftpd", configPath},
                                              FDir.Path() + "/vsftpd.out");
    if (WaitForPort(FPort, std::chrono::seconds(5), FAddress) && FProcess->Running())
        return true;
    FProcess.reset();
    return false;
}

std::string VsftpdServer::Config(const VsftpdOptions& options) const
{
    std::string c = "listen=YES\nlisten_ipv6=NO\nbackground=NO\nlisten_address=" + FAddress +
                    "\n"
                    "listen_port=" +
                    std::to_string(FPort) +
                    "\n"
                    "anonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\nlocal_umask=022\n"
                    "chmod_enable=YES\nlocal_root=" +
                    FRoot +
                    "\n"
                    "pasv_enable=YES\npasv_addr_resolve=NO\npasv_address=" +
                    FAddress +
                    "\n"
                    "pasv_min_port=" +
                    std::to_string(PassivePortFirst()) +
                    "\n"
                    "pasv_max_port=" +
                    std::to_string(PassivePortLast()) +
                    "\n"
                    "port_enable=YES\nconnect_from_port_20=NO\n"
                    "secure_chroot_dir=" +
                    FDir.Path() +
                    "/empty\n"
                    "pam_service_name=vsftpd\nseccomp_sandbox=NO\nxferlog_enable=NO\n"
                    "vsftpd_log_file=" +
                    FDir.Path() + "/vsftpd.log\n";
    if (options.Chroot)
        c += "chroot_local_user=YES\nallow_writeable_chroot=YES\n";
    for (const std::string& line : options.ExtraConfig)
        c += line + "\n";
    return c;
}

void VsftpdServer::PutFile(const std::string& relative, const std::string& contents)
{
    const fs::path path = fs::path(FRoot) / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
    GiveToFtpTestUser(path.parent_path().c_str());
}

void VsftpdServer::PutFolder(const std::string& relative)
{
    const fs::path path = fs::path(FRoot) / relative;
    fs::create_directories(path);
    GiveToFtpTestUser(FRoot.c_str());
}

void VsftpdServer::PutSymlink(const std::string& relative, const std::string& target)
{
    const fs::path path = fs::path(FRoot) / relative;
    fs::create_directories(path.parent_path());
    fs::create_symlink(target, path);
    GiveToFtpTestUser(path.parent_path().c_str());
}
