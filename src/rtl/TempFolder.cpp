#include "rtl/TempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "rtl/Exception.h"

namespace {
[[noreturn]] void RaiseIo(const std::string& path, const std::string& why, int code)
{
    throw EInOutError("I/O error " + std::to_string(code) + ": " + path + ": " + why, code);
}
} // namespace

void EnsurePrivateFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        RaiseIo(path, std::strerror(errno), errno);
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        RaiseIo(path, std::strerror(errno), errno);
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode))
        RaiseIo(path, "not a private folder (a link or a file is in the way)", ENOTDIR);
    if (st.st_uid != ::geteuid())
        RaiseIo(path, "the folder belongs to another user", EACCES);
    if ((st.st_mode & 0077) != 0 && ::chmod(path.c_str(), 0700) != 0)
        RaiseIo(path, std::strerror(errno), errno);
}

std::string UserTempFolder()
{
    const char* env = std::getenv("TMPDIR");
    std::string base = (env != nullptr && *env != '\0') ? env : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::string folder = base + "/ferrystar-" + std::to_string(::geteuid());
    EnsurePrivateFolder(folder);
    return folder;
}

std::string PrepareTempFolder()
{
    const std::string folder = UserTempFolder() + "/FTPtemp";
    EnsurePrivateFolder(folder);
    if (::chdir(folder.c_str()) != 0)
        RaiseIo(folder, std::strerror(errno), errno);
    return folder;
}

void DeleteFolderTree(const std::string& path)
{
    std::error_code ec;
    // remove_all removes a symlink itself, never what it points to.
    std::filesystem::remove_all(path, ec);
}

std::string ExecutableFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "./";
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}
