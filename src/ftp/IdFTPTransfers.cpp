// The transfer operations the rest of the system calls: files, streams and listings.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ftp/IdFTP.h"

namespace {

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

// An open descriptor that is closed (and its file removed, unless kept) when it goes away.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& nextTo) : FPath(nextTo + ".part-XXXXXX")
    {
        FHandle = mkstemp(FPath.data());
        if (FHandle < 0)
            throw EFCreateError("Cannot create file \"" + FPath + "\". " + ErrnoText(errno));
    }
    ~TTemporaryFile()
    {
        if (FHandle >= 0)
            close(FHandle);
        if (!FKept)
            unlink(FPath.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    int Handle() const { return FHandle; }
    // Closes the file and moves it over target.
    void ReplaceTarget(const std::string& target)
    {
        const int handle = FHandle;
        FHandle = -1;
        if (close(handle) != 0)
            throw EWriteError("Cannot write file \"" + FPath + "\". " + ErrnoText(errno));
        if (rename(FPath.c_str(), target.c_str()) != 0)
            throw EFCreateError("Cannot create file \"" + target + "\". " + ErrnoText(errno));
        FKept = true;
    }

private:
    std::string FPath;
    int FHandle = -1;
    bool FKept = false;
};

} // namespace

void TIdFTP::DownloadToFile(const std::string& remoteName, const std::string& localPath, bool canOverwrite)
{
    struct stat existing {};
    if (stat(localPath.c_str(), &existing) != 0) {
        // A new file: a download that breaks leaves what arrived so far.
        TFileStream file(localPath, fmCreate);
        DownloadToStream(remoteName, file);
        return;
    }
    if (!canOverwrite)
        throw EIdFTPFileAlreadyExists();
    // The user's file is replaced only by a complete download: a refused or broken one keeps it.
    TTemporaryFile temporary(localPath);
    fchmod(temporary.Handle(), existing.st_mode & 07777);
    THandleStream stream(temporary.Handle());
    DownloadToStream(remoteName, stream);
    temporary.ReplaceTarget(localPath);
}

void TIdFTP::DownloadToStream(const std::string& remoteName, TStream& stream)
{
    ReceiveData("RETR " + remoteName, stream);
    DoAfterGet(stream);
}

void TIdFTP::UploadFromFile(const std::string& localPath, const std::string& remoteName)
{
    TFileStream file(localPath, fmOpenRead | fmShareDenyNone);
    UploadFromStream(file, remoteName);
}

void TIdFTP::UploadFromStream(TStream& stream, const std::string& remoteName)
{
    SendData("STOR " + remoteName, stream);
}

void TIdFTP::ListFolder(TStringList* lines, const std::string& specifier)
{
    TStringStream data;
    ReceiveData(IdTrim("LIST " + specifier), data);
    FParsedListing.reset();
    if (lines != nullptr)
        lines->SetText(data.DataString());
    FListingLines.SetText(data.DataString());
}
