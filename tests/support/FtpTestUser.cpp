#include "support/FtpTestUser.h"

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

passwd* TestAccount()
{
    passwd* account = ::getpwnam(kFtpGuestAccount);
    if (account == nullptr)
        throw std::runtime_error(std::string("the system account ") + kFtpGuestAccount +
                                 " is missing (the vsftpd package makes it)");
    return account;
}

} // namespace

void RequireFtpTestUser()
{
    TestAccount();
}

void GiveToFtpTestUser(const char* path)
{
    const passwd* account = TestAccount();
    auto give = [&](const std::filesystem::path& p) {
        if (::lchown(p.c_str(), account->pw_uid, account->pw_gid) != 0)
            throw std::runtime_error("cannot give " + p.string() + " to the account " + kFtpGuestAccount);
    };
    give(path);
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path)))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
            give(entry.path());
}
