#include "ftp/AsciiTransfer.h"

#include <algorithm>
#include <vector>

#include "ftp/IdFTP.h"

int64_t TAsciiDownloadStream::Write(const void* buffer, int64_t count)
{
    FLineEnds.FromWire(static_cast<const char*>(buffer), static_cast<size_t>(count), FBlock);
    FTarget.WriteBuffer(FBlock.data(), static_cast<int64_t>(FBlock.size()));
    return count;
}

void TAsciiDownloadStream::Finish()
{
    FLineEnds.Finish(FBlock);
    FTarget.WriteBuffer(FBlock.data(), static_cast<int64_t>(FBlock.size()));
}

TWorkCountMap::TWorkCountMap(TWorkEvent& event, std::function<int64_t(int64_t)> map)
    : FEvent(event), FOuter(event), FMap(std::move(map))
{
    if (FOuter)
        FEvent = [this](TIdBaseComponent* sender, TWorkMode mode, int64_t count) {
            FOuter(sender, mode, FMap(count));
        };
}

void ReceiveAsciiData(TIdFTP& ftp, const std::string& command, TStream& target)
{
    TAsciiDownloadStream text(target);
    // The data connection takes its work event from the client when the transfer opens it.
    TWorkCountMap work(ftp.OnWork, [&text](int64_t) { return text.FileBytes(); });
    ftp.ReceiveData(command, text);
    text.Finish();
}

void SendAsciiStream(TIdTCPConnection& channel, TStream& stream, bool rewind)
{
    if (rewind)
        stream.SetPosition(0);
    int64_t pos = stream.Position();
    const int64_t end = stream.Size();
    TAsciiLineEnds lineEnds;
    // CRs added by the blocks before the one being sent: the count stays a file count within
    // a block that grew, never above what was read.
    int64_t added = 0;
    TWorkCountMap work(channel.OnWork,
                       [&](int64_t wire) { return std::min(lineEnds.BytesIn(), wire - added); });
    std::vector<char> block(static_cast<size_t>(std::max(channel.SendBufferSize, 1)));
    std::string wire;
    channel.StartWork(wmWrite, end - pos);
    try {
        while (pos < end) {
            const int64_t got = stream.Read(block.data(), std::min<int64_t>(end - pos, std::ssize(block)));
            if (got <= 0)
                throw EIdNoDataToRead();
            added = lineEnds.BytesOut() - lineEnds.BytesIn();
            lineEnds.ToWire(block.data(), static_cast<size_t>(got), wire);
            channel.SendBytes(wire.data(), static_cast<int>(wire.size()));
            pos += got;
        }
    } catch (...) {
        channel.FinishWork(wmWrite);
        throw;
    }
    channel.FinishWork(wmWrite);
}
