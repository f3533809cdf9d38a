#include "rtl/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>

#include "rtl/Exception.h"

int64_t TStream::Size()
{
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    errno = 0;
    if (count != 0 && Write(buffer, count) != count) {
        // A file stream leaves the system's reason (a full disk, a size limit) in errno.
        const int reason = errno;
        throw EWriteError(reason == 0 ? std::string("Stream write error")
                                      : std::string("Stream write error: ") + std::strerror(reason));
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t kBlock = 65536;
    std::string block(static_cast<size_t>(std::min(count, kBlock)), '\0');
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min(left, kBlock);
        source.ReadBuffer(block.data(), n);
        WriteBuffer(block.data(), n);
        left -= n;
    }
    return count;
}

// ---- TMemoryStream

TMemoryStream::~TMemoryStream()
{
    std::free(FMemory);
}

void TMemoryStream::SetCapacity(int64_t newCapacity)
{
    if (newCapacity == FCapacity)
        return;
    if (newCapacity == 0) {
        std::free(FMemory);
        FMemory = nullptr;
        FCapacity = 0;
        return;
    }
    auto* p = static_cast<char*>(std::realloc(FMemory, static_cast<size_t>(newCapacity)));
    if (p == nullptr)
        throw EStreamError("Out of memory while expanding memory stream");
    FMemory = p;
    FCapacity = newCapacity;
}

void TMemoryStream::SetSize(int64_t newSize)
{
    if (newSize < 0)
        newSize = 0;
    if (newSize > FCapacity) {
        // Grow geometrically so that appending block by block stays linear.
        int64_t cap = std::max<int64_t>(FCapacity + FCapacity / 2, 8192);
        SetCapacity(std::max(cap, newSize));
    }
    FSize = newSize;
    if (FPosition > FSize)
        FPosition = FSize;
}

void TMemoryStream::Clear()
{
    SetCapacity(0);
    FSize = 0;
    FPosition = 0;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    if (FPosition < 0 || count <= 0)
        return 0;
    const int64_t n = std::min(count, FSize - FPosition);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, FMemory + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (FPosition < 0 || count <= 0)
        return 0;
    const int64_t end = FPosition + count;
    if (end > FSize) {
        const int64_t pos = FPosition;
        SetSize(end);
        FPosition = pos;
    }
    std::memcpy(FMemory + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    switch (origin) {
    case soBeginning: FPosition = offset; break;
    case soCurrent: FPosition += offset; break;
    case soEnd: FPosition = FSize + offset; break;
    }
    return FPosition;
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    const int64_t n = source.Size();
    SetSize(n);
    if (n != 0)
        source.ReadBuffer(FMemory, n);
    FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& dest)
{
    if (FSize != 0)
        dest.WriteBuffer(FMemory, FSize);
}

void TMemoryStream::LoadFromFile(const std::string& fileName)
{
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::string& fileName)
{
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// ---- TStringStream

int64_t TStringStream::Read(void* buffer, int64_t count)
{
    const int64_t size = Size();
    const int64_t n = std::min(count, size - FPosition);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TStringStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (FPosition + count > Size())
        FData.resize(static_cast<size_t>(FPosition + count));
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition += count;
    return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin)
{
    switch (origin) {
    case soBeginning: FPosition = offset; break;
    case soCurrent: FPosition += offset; break;
    case soEnd: FPosition = Size() + offset; break;
    }
    FPosition = std::clamp<int64_t>(FPosition, 0, Size());
    return FPosition;
}

void TStringStream::SetSize(int64_t newSize)
{
    FData.resize(static_cast<size_t>(std::max<int64_t>(newSize, 0)));
    FPosition = std::min(FPosition, Size());
}

std::string TStringStream::ReadString(int64_t count)
{
    const int64_t n = std::max<int64_t>(0, std::min(count, Size() - FPosition));
    std::string s = FData.substr(static_cast<size_t>(FPosition), static_cast<size_t>(n));
    FPosition += n;
    return s;
}

// ---- THandleStream / TFileStream

int64_t THandleStream::Read(void* buffer, int64_t count)
{
    int64_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t THandleStream::Write(const void* buffer, int64_t count)
{
    int64_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin)
{
    static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    return ::lseek(FHandle, offset, kWhence[origin]);
}

void THandleStream::SetSize(int64_t newSize)
{
    const int64_t pos = Position();
    if (::ftruncate(FHandle, newSize) != 0)
        throw EWriteError("Stream write error");
    if (pos > newSize)
        Seek(newSize, soBeginning);
}

namespace {
int OpenFlags(unsigned mode)
{
    if (mode == fmCreate)
        return O_RDWR | O_CREAT | O_TRUNC;
    switch (mode & 3) {
    case fmOpenWrite: return O_WRONLY;
    case fmOpenReadWrite: return O_RDWR;
    default: return O_RDONLY;
    }
}
} // namespace

TFileStream::TFileStream(const std::string& fileName, unsigned mode, unsigned permissions)
    : THandleStream(-1), FFileName(fileName)
{
    FHandle = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, permissions);
    if (FHandle < 0) {
        const std::string reason = std::strerror(errno);
        if (mode == fmCreate)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

void TFileStream::Flush()
{
    if (::fsync(FHandle) != 0)
        throw EWriteError("Cannot write file \"" + FFileName + "\". " + std::strerror(errno));
}
