#include "support/ServerSkip.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "support/FtpTestUser.h"
#include "support/LoopbackPorts.h"

namespace {

bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

bool ServersRequired()
{
    const char* value = std::getenv("FERRYSTAR_REQUIRE_SERVERS");
    return value != nullptr && std::string(value) == "1";
}

std::string Missing(const std::string& what)
{
    return what + " is not installed (./test.sh installs it)";
}

} // namespace

std::string WhyNoVsftpd()
{
    if (!Exists("/usr/sbin/vsftpd"))
        return Missing("vsftpd");
    if (!Exists("/lib/x86_64-linux-gnu/security/pam_pwdfile.so") && !Exists("/lib/security/pam_pwdfile.so") &&
        !Exists("/usr/lib/x86_64-linux-gnu/security/pam_pwdfile.so"))
        return Missing("libpam-pwdfile");
    if (::geteuid() != 0)
        return "needs root: vsftpd serves the test folder as the system account " +
               std::string(kFtpGuestAccount);
    if (::getpwnam(kFtpGuestAccount) == nullptr)
        return "the system account " + std::string(kFtpGuestAccount) +
               " is missing (the vsftpd package makes it)";
    return "";
}

std::string WhyNoPyftpd()
{
    if (!Exists("/usr/bin/python3") || !Exists("/usr/lib/python3/dist-packages/pyftpdlib"))
        return Missing("python3-pyftpdlib");
    return "";
}

std::string WhyNoFtpProxy()
{
    return Exists("/usr/sbin/ftp-proxy") ? "" : Missing("ftp-proxy");
}

std::string WhyNoIPv6()
{
    return HasIPv6Loopback() ? "" : "this machine has no IPv6 loopback address ::1";
}

std::string WhyNoProxyTarget()
{
    for (const std::string& why : {WhyNoVsftpd(), WhyNoFtpProxy()})
        if (!why.empty())
            return why;
    try {
        PickLoopbackAddress(21);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

std::string SkipReason(const std::string& why)
{
    if (!why.empty() && ServersRequired())
        throw std::runtime_error(why + " (FERRYSTAR_REQUIRE_SERVERS=1)");
    return why;
}

bool ServerMayStart(const std::string& why)
{
    if (SkipReason(why).empty())
        return true;
    if (::testing::UnitTest::GetInstance()->current_test_info() == nullptr)
        throw std::runtime_error(why);
    [&] { GTEST_SKIP() << why; }();
    return false;
}
