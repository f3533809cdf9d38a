#pragma once
// The program's private temporary folder and the executable's folder.
#include <string>

// Makes sure a folder exists that only the current user can use: created 0700 when missing;
// a symlink, a non-folder or a folder owned by someone else is refused with EInOutError.
void EnsurePrivateFolder(const std::string& path);
// The per-user base below the system's temporary folder ($TMPDIR or /tmp), made private.
std::string UserTempFolder();
// "FTPtemp" in the per-user base: made private, made the current folder, and returned.
std::string PrepareTempFolder();
// Removes a folder and all it holds without following links out of it. Silent.
void DeleteFolderTree(const std::string& path);
// The folder of the running executable, with a trailing "/".
std::string ExecutableFolder();
