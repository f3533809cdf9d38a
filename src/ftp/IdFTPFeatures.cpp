// What the server offers beyond the basic commands (FEAT), and downloads resumed with REST.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ftp/IdFTP.h"

namespace {

// More than any server lists; a longer reply is not a feature list.
constexpr size_t kMaxFeatures = 100;
constexpr size_t kMaxFeatureLength = 256;
constexpr int kServiceClosing = 421;

std::string UpperText(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
    return text;
}

bool StartsWithCode(const std::string& line)
{
    return line.size() >= 4 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2])) && (line[3] == '-' || line[3] == ' ');
}

// The local file a resumed download appends to: the bytes it held when opened are never cut,
// whatever a failed receive does to the stream's end.
class TAppendStream : public THandleStream {
public:
    TAppendStream(int handle, int64_t start) : THandleStream(handle), FStart(start) { Seek(0, soEnd); }
    void SetSize(int64_t newSize) override { THandleStream::SetSize(std::max(newSize, FStart)); }

private:
    int64_t FStart;
};

class TOwnedHandle {
public:
    explicit TOwnedHandle(int handle) : FHandle(handle) {}
    ~TOwnedHandle()
    {
        if (FHandle >= 0)
            ::close(FHandle);
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;
    int Get() const { return FHandle; }
    // Closes now; false (errno set) when the data may not be on disk.
    bool SyncAndClose()
    {
        const int handle = FHandle;
        FHandle = -1;
        const bool synced = ::fsync(handle) == 0;
        const int syncError = errno;
        const bool closed = ::close(handle) == 0;
        if (!synced)
            errno = syncError;
        return synced && closed;
    }

private:
    int FHandle;
};

// O_NONBLOCK: a FIFO put in the file's place must not hold the open; only a regular file is used.
int OpenForAppend(const std::string& localPath, int64_t& size)
{
    const int handle = ::open(localPath.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        throw EFOpenError("Cannot open file \"" + localPath + "\". " + std::strerror(errno));
    struct stat st {};
    if (::fstat(handle, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(handle);
        throw EFOpenError("Cannot resume \"" + localPath + "\": it is not a regular file.");
    }
    ::fcntl(handle, F_SETFL, O_APPEND);
    size = st.st_size;
    return handle;
}

} // namespace

std::vector<std::string> ParseFeatureReply(const TStringList& lines)
{
    std::vector<std::string> features;
    // The first and the last line carry the code; each line between names one feature.
    for (int i = 1; i + 1 < lines.Count() && features.size() < kMaxFeatures; ++i) {
        const std::string line = IdTrim(lines[i]);
        if (!line.empty() && line.size() <= kMaxFeatureLength && !StartsWithCode(line))
            features.push_back(UpperText(line));
    }
    return features;
}

bool TIdFTP::Supports(const std::string& feature) const
{
    const std::string wanted = UpperText(feature);
    return std::any_of(FFeatures.begin(), FFeatures.end(), [&](const std::string& listed) {
        return listed == wanted || listed.compare(0, wanted.size() + 1, wanted + " ") == 0;
    });
}

// Any answer but 211 means nothing is offered; a refused OPTS changes nothing either.
void TIdFTP::AskFeatures()
{
    FFeatures.clear();
    if (SendCommand("FEAT", int16_t{-1}) == 211)
        FFeatures = ParseFeatureReply(LastReply().Lines);
    if (Supports("UTF8"))
        SendCommand("OPTS UTF8 ON", int16_t{-1});
}

void TIdFTP::ResumeToFile(const std::string& remoteName, const std::string& localPath)
{
    // In ASCII mode the server's offsets do not match the local file's.
    if (FTransferType != ftBinary)
        throw EFOpenError("Cannot resume \"" + localPath + "\" in ASCII mode.");
    int64_t size = 0;
    TOwnedHandle handle(OpenForAppend(localPath, size));
    TAppendStream stream(handle.Get(), size);
    FResumeOffset = size;
    FRestartOwed = true;
    try {
        DownloadToStream(remoteName, stream);
    } catch (...) {
        FResumeOffset = 0;
        FRestartOwed = false;
        throw;
    }
    FResumeOffset = 0;
    if (!handle.SyncAndClose())
        throw EWriteError("Cannot write file \"" + localPath + "\". " + std::strerror(errno));
}

// Sent right before the transfer command, as servers expect it.
void TIdFTP::SendPendingRestart(const std::string& command)
{
    if (!FRestartOwed)
        return;
    FRestartOwed = false;
    const std::string offset = std::to_string(FResumeOffset);
    try {
        SendCommand("REST " + offset, {350});
    } catch (const EIdProtocolReplyError& e) {
        if (e.ReplyCode == kServiceClosing)
            throw;
        const std::string name = command.size() > 5 ? command.substr(5) : command;
        throw EIdFTPResumeRefused(e.ReplyCode, "The server refused to resume \"" + name + "\" at byte " +
                                                   offset + ": " + std::to_string(e.ReplyCode) + " " +
                                                   IdTrim(e.Message()));
    }
}
