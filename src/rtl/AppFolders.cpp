#include "rtl/AppFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

const char* const kSiteFile = "servers.sit";

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// XDG: a base that is unset, empty or relative is replaced by its default below HOME.
std::string XdgBase(const std::string& value, const std::string& home, const char* fallback)
{
    if (!value.empty() && value.front() == '/')
        return WithSlash(value);
    return WithSlash(home) + fallback;
}

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// mkdir -p where each folder made is 0700; folders already there are left as they are.
void MakePrivateFolders(const std::string& path)
{
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (!partial.empty())
            ::mkdir(partial.c_str(), 0700); // EEXIST for folders already there
    }
}

void CopySeed(const std::string& from, const std::string& to)
{
    std::error_code ec;
    if (std::filesystem::exists(to, ec))
        return;
    if (std::filesystem::copy_file(from, to, ec))
        std::filesystem::permissions(
            to, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, ec);
}

} // namespace

TAppFolders ChooseAppFolders(const TAppFolderFacts& facts)
{
    TAppFolders folders;
    if (facts.ExeHasSites && facts.ExeFolderWritable) {
        folders.Config = folders.State = WithSlash(facts.ExeFolder);
        folders.Portable = true;
        return folders;
    }
    folders.Config = XdgBase(facts.XdgConfigHome, facts.Home, ".config/") + "ferrystar/";
    folders.State = XdgBase(facts.XdgStateHome, facts.Home, ".local/state/") + "ferrystar/";
    if (facts.ExeHasSites)
        folders.SeedSites = WithSlash(facts.ExeFolder) + kSiteFile;
    return folders;
}

TAppFolderFacts ReadAppFolderFacts(const std::string& exeFolder)
{
    TAppFolderFacts facts;
    facts.ExeFolder = WithSlash(exeFolder);
    const std::string sites = facts.ExeFolder + kSiteFile;
    facts.ExeHasSites = ::access(sites.c_str(), F_OK) == 0;
    facts.ExeFolderWritable =
        ::access(sites.c_str(), W_OK) == 0 && ::access(facts.ExeFolder.c_str(), W_OK) == 0;
    facts.Home = Env("HOME");
    if (facts.Home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
            facts.Home = pw->pw_dir;
    }
    facts.XdgConfigHome = Env("XDG_CONFIG_HOME");
    facts.XdgStateHome = Env("XDG_STATE_HOME");
    return facts;
}

void MakeAppFolders(const TAppFolders& folders)
{
    if (folders.Portable)
        return;
    MakePrivateFolders(folders.Config);
    MakePrivateFolders(folders.State);
    if (!folders.SeedSites.empty())
        CopySeed(folders.SeedSites, folders.Config + kSiteFile);
}

TAppFolders PrepareAppFolders(const std::string& exeFolder)
{
    TAppFolders folders = ChooseAppFolders(ReadAppFolderFacts(exeFolder));
    MakeAppFolders(folders);
    return folders;
}

std::string HelpPagePath(const std::string& exeFolder)
{
    const std::string beside = WithSlash(exeFolder) + "help.html";
    const std::string installed = WithSlash(exeFolder) + "../share/ferrystar/help.html";
    std::error_code ec;
    if (!std::filesystem::exists(beside, ec) && std::filesystem::exists(installed, ec))
        return std::filesystem::path(installed).lexically_normal().string();
    return beside;
}
