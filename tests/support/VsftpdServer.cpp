#include "support/VsftpdServer.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/FtpTestUser.h"
#include "support/LoopbackPorts.h"
#include "support/ServerSkip.h"

namespace fs = std::filesystem;

VsftpdServer::VsftpdServer(VsftpdOptions options)
{
    FAddress = options.Address;
    if (!ServerMayStart(WhyNoVsftpd()))
        return;
    FLogin = std::make_unique<VirtualFtpLogin>(FDir.Path());
    // The session runs as the guest account, which must reach the served folder.
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
    return FLogin ? FLogin->User() : "";
}
std::string VsftpdServer::Password() const
{
    return FLogin ? FLogin->Password() : "";
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
    const std::string dir = FDir.Path();
    std::ostringstream c;
    if (FAddress.find(':') != std::string::npos)
        c << "listen=NO\nlisten_ipv6=YES\nlisten_address6=" << FAddress << "\n";
    else
        c << "listen=YES\nlisten_ipv6=NO\nlisten_address=" << FAddress << "\npasv_address=" << FAddress
          << "\n";
    c << "background=NO\nlisten_port=" << FPort
      << "\n"
      // Every login is the virtual user, checked by its own PAM service and run as the guest account.
      << "anonymous_enable=NO\nlocal_enable=YES\nguest_enable=YES\nguest_username=" << kFtpGuestAccount
      << "\nvirtual_use_local_privs=YES\npam_service_name=" << FLogin->Service() << "\n"
      << "write_enable=YES\nlocal_umask=022\nchmod_enable=YES\nlocal_root=" << FRoot << "\n"
      << "pasv_enable=YES\npasv_addr_resolve=NO\n"
      << "pasv_min_port=" << PassivePortFirst() << "\npasv_max_port=" << PassivePortLast() << "\n"
      << "port_enable=YES\nconnect_from_port_20=NO\n"
      << "secure_chroot_dir=" << dir << "/empty\nseccomp_sandbox=NO\n"
      << "xferlog_enable=NO\nvsftpd_log_file=" << dir << "/vsftpd.log\n";
    if (options.Chroot)
        c << "chroot_local_user=YES\nallow_writeable_chroot=YES\n";
    for (const std::string& line : options.ExtraConfig)
        c << line << "\n";
    return c.str();
}

std::filesystem::path VsftpdServer::Served(const std::string& relative) const
{
    // A server skipped for want of root has no folder: never write relative to "/".
    if (FRoot.empty())
        throw std::logic_error(
            "vsftpd was not started (" + WhyNoVsftpd() +
            "); a test that makes a server in its body starts with SKIP_WITHOUT(WhyNoVsftpd())");
    return fs::path(FRoot) / relative;
}

void VsftpdServer::PutFile(const std::string& relative, const std::string& contents)
{
    const fs::path path = Served(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
    GiveToFtpTestUser(path.parent_path().c_str());
}

void VsftpdServer::PutFolder(const std::string& relative)
{
    const fs::path path = Served(relative);
    fs::create_directories(path);
    GiveToFtpTestUser(FRoot.c_str());
}

void VsftpdServer::PutSymlink(const std::string& relative, const std::string& target)
{
    const fs::path path = Served(relative);
    fs::create_directories(path.parent_path());
    fs::create_symlink(target, path);
    GiveToFtpTestUser(path.parent_path().c_str());
}
