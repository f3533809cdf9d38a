#include "support/VirtualFtpLogin.h"

#include <crypt.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string_view>

namespace fs = std::filesystem;

namespace {

constexpr const char* kPamFolder = "/etc/pam.d";

std::string RandomText(size_t length, bool lowerCase = false)
{
    // PAM looks services up by their lower-case name.
    static const std::string kAll = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string_view kLetters = std::string_view(kAll).substr(0, lowerCase ? 36 : kAll.size());
    std::random_device source;
    std::uniform_int_distribution<size_t> pick(0, kLetters.size() - 1);
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += kLetters[pick(source)];
    return text;
}

std::string HashPassword(const std::string& password)
{
    crypt_data work{};
    const std::string salt = "$6$" + RandomText(16) + "$";
    const char* hash = ::crypt_r(password.c_str(), salt.c_str(), &work);
    if (hash == nullptr || hash[0] == '*')
        throw std::runtime_error("crypt cannot hash the test password");
    return hash;
}

void WriteWithMode(const std::string& path, const std::string& text, mode_t mode)
{
    {
        std::ofstream out(path, std::ios::trunc);
        out << text;
        if (!out.flush())
            throw std::runtime_error("cannot write " + path);
    }
    ::chmod(path.c_str(), mode);
}

// A service left behind by a run that crashed points at a password file that is gone (and so lets
// nobody in); remove it so that they do not pile up. Services of runs still going keep their file.
void RemoveStaleServices()
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(kPamFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(VirtualFtpLogin::kServicePrefix, 0) != 0)
            continue;
        std::ifstream in(entry.path());
        std::string line, passwordFile;
        while (std::getline(in, line))
            if (const size_t at = line.find("pwdfile="); at != std::string::npos)
                passwordFile = line.substr(at + 8);
        if (!passwordFile.empty() && !fs::exists(passwordFile))
            fs::remove(entry.path(), ec);
    }
}

} // namespace

VirtualFtpLogin::VirtualFtpLogin(const std::string& folder)
    : FPassword(RandomText(24)), FService(kServicePrefix + RandomText(12, true))
{
    RemoveStaleServices();
    const std::string passwordFile = folder + "/virtual-users";
    WriteWithMode(passwordFile, FUser + ":" + HashPassword(FPassword) + "\n", 0600);
    // Only this password file decides; the account check lets the mapped guest account in.
    WriteWithMode(
        std::string(kPamFolder) + "/" + FService,
        "auth required pam_pwdfile.so pwdfile=" + passwordFile + "\naccount required pam_permit.so\n", 0644);
}

VirtualFtpLogin::~VirtualFtpLogin()
{
    std::error_code ec;
    fs::remove(std::string(kPamFolder) + "/" + FService, ec);
}
