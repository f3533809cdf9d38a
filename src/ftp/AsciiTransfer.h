#pragma once
// File transfers of type ASCII: line ends change between the wire and the file, and the work
// events count the file's bytes, the ones its size and the progress are measured in.
#include <cstdint>
#include <functional>
#include <string>

#include "ftp/AsciiLineEnds.h"
#include "net/IdTCPConnection.h"
#include "rtl/Streams.h"

class TIdFTP;

// Takes the wire's bytes from the data connection and writes the file's to target.
class TAsciiDownloadStream : public TStream {
public:
    explicit TAsciiDownloadStream(TStream& target) : FTarget(target) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return FTarget.Seek(offset, origin); }
    void SetSize(int64_t newSize) override { FTarget.SetSize(newSize); }
    int64_t Size() override { return FTarget.Size(); }
    // After the last block: a CR the data ended with.
    void Finish();
    int64_t FileBytes() const { return FLineEnds.BytesOut(); }

private:
    TStream& FTarget;
    TAsciiLineEnds FLineEnds;
    std::string FBlock;
};

// While alive, the event reports what map makes of each count.
class TWorkCountMap {
public:
    TWorkCountMap(TWorkEvent& event, std::function<int64_t(int64_t)> map);
    ~TWorkCountMap() { FEvent = std::move(FOuter); }
    TWorkCountMap(const TWorkCountMap&) = delete;
    TWorkCountMap& operator=(const TWorkCountMap&) = delete;

private:
    TWorkEvent& FEvent;
    TWorkEvent FOuter;
    std::function<int64_t(int64_t)> FMap;
};

// command's data written to target as a text file.
void ReceiveAsciiData(TIdFTP& ftp, const std::string& command, TStream& target);
// The rest of stream (all of it when rewind) sent with CR LF line ends.
void SendAsciiStream(TIdTCPConnection& channel, TStream& stream, bool rewind);
