#include "rtl/TempFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rtl/Exception.h"

namespace {
[[noreturn]] void RaiseIo(const std::string& path, const std::string& why, int code)
{
    throw EInOutError("I/O error " + std::to_string(code) + ": " + path + ": " + why, code);
}

constexpr const char* kRunPrefix = "run-";
constexpr const char* kLockName = "/lock";

// Opens a run folder's lock file and tries to take it; -1 when another program holds it or the
// file is not there (a folder being made or being removed).
int TakeLock(const std::string& folder, bool create)
{
    const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT | O_EXCL : 0);
    const int fd = ::open((folder + kLockName).c_str(), flags, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::unique_ptr<TRunFolder>& OwnRunFolder()
{
    static std::unique_ptr<TRunFolder> folder;
    return folder;
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

void RemoveLeftoverRunFolders(const std::string& base)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(kRunPrefix, 0) != 0 || !entry.is_directory(ec) || entry.is_symlink(ec))
            continue;
        const int lock = TakeLock(entry.path().string(), false);
        if (lock < 0)
            continue;
        // Holding the lock while removing keeps a second sweeping program away.
        DeleteFolderTree(entry.path().string());
        ::close(lock);
    }
}

TRunFolder::TRunFolder(const std::string& base)
{
    RemoveLeftoverRunFolders(base);
    std::string pattern = base + "/" + kRunPrefix + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        RaiseIo(pattern, std::strerror(errno), errno);
    FPath = pattern;
    FLock = TakeLock(FPath, true);
    if (FLock < 0) {
        const int code = errno;
        DeleteFolderTree(FPath);
        RaiseIo(FPath + kLockName, std::strerror(code), code);
    }
}

TRunFolder::~TRunFolder()
{
    if (FLock >= 0) {
        DeleteFolderTree(FPath);
        ::close(FLock);
    }
}

void TRunFolder::Abandon()
{
    if (FLock >= 0)
        ::close(FLock);
    FLock = -1;
}

std::string PrepareTempFolder()
{
    std::unique_ptr<TRunFolder>& own = OwnRunFolder();
    const std::string base = UserTempFolder();
    std::error_code ec;
    if (!own || std::filesystem::path(own->Path()).parent_path() != base ||
        !std::filesystem::is_directory(own->Path(), ec))
        own = std::make_unique<TRunFolder>(base);
    const std::string folder = own->Path() + "/FTPtemp";
    EnsurePrivateFolder(folder);
    if (::chdir(folder.c_str()) != 0)
        RaiseIo(folder, std::strerror(errno), errno);
    return folder;
}

void ReleaseTempFolder()
{
    OwnRunFolder().reset();
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
