// The transfer operations the rest of the system calls: files, streams and listings.
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "ftp/AsciiTransfer.h"
#include "ftp/IdFTP.h"

namespace {

// More than any listing a person browses; a server that sends more is not sending a listing.
constexpr int64_t kMaxListingBytes = int64_t{64} << 20;

std::string ErrnoText(int err)
{
    return std::strerror(err);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A download's file while it arrives: a short name of its own in the target folder, made new
// (never a file or link that is already there), removed unless it is moved over the target.
class TTemporaryFile {
public:
    // Failures name the target: the temporary name means nothing to the user.
    TTemporaryFile(const std::string& target, mode_t mode)
    {
        const std::string folder = FolderOf(target);
        static thread_local std::mt19937 random{std::random_device{}()};
        for (int attempt = 0; attempt < 100 && FHandle < 0; ++attempt) {
            FPath = folder + "/.ferrystar-" + std::to_string(random() % 100000000u) + ".part";
            FHandle = ::open(FPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (FHandle < 0 && errno != EEXIST)
                break;
        }
        if (FHandle < 0)
            throw EFCreateError("Cannot create file \"" + target + "\". " + ErrnoText(errno));
    }
    ~TTemporaryFile()
    {
        if (FHandle >= 0)
            ::close(FHandle);
        if (!FKept)
            ::unlink(FPath.c_str());
    }
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    int Handle() const { return FHandle; }
    // On disk first, then moved over target: a link there is replaced, never followed.
    void ReplaceTarget(const std::string& target)
    {
        const int handle = FHandle;
        FHandle = -1;
        // Only a file being replaced has bytes a crash could lose between the rename and the
        // write-back; syncing every new file would cost a folder of small files dearly.
        struct stat old {};
        const bool replacing = ::lstat(target.c_str(), &old) == 0;
        const bool synced = !replacing || ::fsync(handle) == 0;
        const int syncError = errno;
        if (::close(handle) != 0 || !synced)
            throw EWriteError("Cannot write file \"" + target + "\". " +
                              ErrnoText(synced ? errno : syncError));
        if (::rename(FPath.c_str(), target.c_str()) != 0)
            throw EFCreateError("Cannot create file \"" + target + "\". " + ErrnoText(errno));
        FKept = true;
    }

private:
    std::string FPath;
    int FHandle = -1;
    bool FKept = false;
};

// A listing in memory that refuses to grow past the cap.
class TListingStream : public TStringStream {
public:
    int64_t Write(const void* buffer, int64_t count) override
    {
        if (Size() + count > kMaxListingBytes)
            throw EIdFTPListingTooLarge();
        return TStringStream::Write(buffer, count);
    }
};

// "(1234 bytes)" in a preliminary reply, -1 without one.
int64_t SizeInReply(const std::string& text)
{
    const size_t end = text.rfind(" bytes)");
    if (end == std::string::npos)
        return -1;
    const size_t open = text.rfind('(', end);
    if (open == std::string::npos)
        return -1;
    return ParseSizeReply(text.substr(open + 1, end - open - 1));
}

} // namespace

void TIdFTP::NoteAnnouncedSize()
{
    FAnnouncedSize = SizeInReply(LastReply().Text.Count() > 0 ? LastReply().Text[0] : std::string());
}

void TIdFTP::CheckDownloadComplete(const std::string& remoteName, int64_t received)
{
    const int64_t sizeAnswer = FSizeName == remoteName ? FSizeAnswer : -1;
    FSizeName.clear();
    const int64_t expected = FAnnouncedSize >= 0 ? FAnnouncedSize : sizeAnswer;
    // In ASCII mode line ends change the count; an abort was asked for. A resumed download's
    // sizes count the whole file.
    if (FTransferType != ftBinary || FAbortRequested || expected < 0 || FResumeOffset + received >= expected)
        return;
    throw EIdFTPTransferIncomplete(IdFormat(RSFTPTransferIncomplete, static_cast<long long>(received),
                                            static_cast<long long>(expected)));
}

void TIdFTP::DownloadToFile(const std::string& remoteName, const std::string& localPath, bool canOverwrite)
{
    // lstat: a link at the target is something there, and it is replaced, not written through.
    struct stat existing {};
    const bool exists = ::lstat(localPath.c_str(), &existing) == 0;
    if (exists && !canOverwrite)
        throw EIdFTPFileAlreadyExists();
    if (exists && S_ISDIR(existing.st_mode))
        throw EFCreateError("Cannot create file \"" + localPath + "\". " + ErrnoText(EISDIR));
    // Whatever breaks, the user's file stays as it was and a new one does not appear half-made.
    TTemporaryFile temporary(localPath, 0666);
    if (exists && S_ISREG(existing.st_mode))
        ::fchmod(temporary.Handle(), existing.st_mode & 07777);
    THandleStream stream(temporary.Handle());
    DownloadToStream(remoteName, stream);
    if (!FAbortRequested)
        temporary.ReplaceTarget(localPath);
}

void TIdFTP::DownloadToStream(const std::string& remoteName, TStream& stream)
{
    const int64_t start = stream.Position();
    if (FTransferType == ftASCII)
        ReceiveAsciiData(*this, "RETR " + remoteName, stream);
    else
        ReceiveData("RETR " + remoteName, stream);
    CheckDownloadComplete(remoteName, stream.Position() - start);
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
    TListingStream data;
    ReceiveData(IdTrim("LIST " + specifier), data);
    FParsedListing.reset();
    if (lines != nullptr)
        lines->SetText(data.DataString());
    FListingLines.SetText(data.DataString());
}
