#pragma once
// The program's private temporary folder and the executable's folder.
#include <string>

// Makes sure a folder exists that only the current user can use: created 0700 when missing;
// a symlink, a non-folder or a folder owned by someone else is refused with EInOutError.
void EnsurePrivateFolder(const std::string& path);
// The per-user base below the system's temporary folder ($TMPDIR or /tmp), made private.
std::string UserTempFolder();

// One running program's own folder below a shared base: "run-<pid>-XXXXXX", 0700, owned as long
// as its lock file is held (flock, released by the kernel when the program ends in any way).
// Creating one first removes the folders of programs that no longer run.
class TRunFolder {
public:
    explicit TRunFolder(const std::string& base);
    ~TRunFolder(); // removes the folder and everything in it
    TRunFolder(const TRunFolder&) = delete;
    TRunFolder& operator=(const TRunFolder&) = delete;
    const std::string& Path() const { return FPath; }
    // Lets go of the lock but leaves the folder, as a program that crashed does.
    void Abandon();

private:
    std::string FPath;
    int FLock = -1;
};
// Removes the run folders under base whose programs no longer run; folders in use stay.
void RemoveLeftoverRunFolders(const std::string& base);

// "FTPtemp" in this program's own run folder below the per-user base: made, made the current
// folder, and returned. Calling it again while the folder exists returns the same folder.
std::string PrepareTempFolder();
// Removes this program's run folder (FTPtemp and the lock) at close.
void ReleaseTempFolder();
// Removes a folder and all it holds without following links out of it. Silent.
void DeleteFolderTree(const std::string& path);
// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();
