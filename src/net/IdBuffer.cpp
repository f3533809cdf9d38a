#include "net/IdBuffer.h"

#include <cstring>

#include "net/IdGlobal.h"

std::string TIdSimpleBuffer::TakeBytes(int64_t count)
{
    if (count < 0 || count > Size())
        throw EIdNotEnoughDataInBuffer();
    std::string out = count == 0 ? std::string() : std::string(Memory(), static_cast<size_t>(count));
    DropBytes(count);
    return out;
}

void TIdSimpleBuffer::DropBytes(int64_t count)
{
    if (count < 0 || count > Size())
        throw EIdNotEnoughDataInBuffer();
    if (count == Size()) {
        Empty();
    } else if (count > 0) {
        std::memmove(FMemory, FMemory + count, static_cast<size_t>(FSize - count));
        FSize -= count;
        FPosition = FPosition > count ? FPosition - count : 0;
    }
    if (BytesRemoved)
        BytesRemoved(this, count);
}

void TIdSimpleBuffer::Append(const void* data, int64_t count)
{
    Seek(0, soEnd);
    Write(data, count);
}

void TIdSimpleBuffer::Empty()
{
    FSize = 0;
    FPosition = 0;
}

// ---- TIdManagedBuffer: FPosition and FSize stay absolute; the offset is added at the edges.

int64_t TIdManagedBuffer::Write(const void* buffer, int64_t count)
{
    if (FPosition < FOffset || count <= 0)
        return 0;
    const int64_t end = FPosition + count;
    if (end > FSize) {
        const int64_t pos = FPosition;
        TMemoryStream::SetSize(end);
        FPosition = pos;
    }
    std::memcpy(FMemory + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

int64_t TIdManagedBuffer::Seek(int64_t offset, TSeekOrigin origin)
{
    if (origin == soBeginning)
        offset += FOffset;
    return TMemoryStream::Seek(offset, origin) - FOffset;
}

void TIdManagedBuffer::SetSize(int64_t newSize)
{
    TMemoryStream::SetSize((newSize < 0 ? 0 : newSize) + FOffset);
}

void TIdManagedBuffer::Clear()
{
    Empty();
    FOffset = 0;
}

void TIdManagedBuffer::DropBytes(int64_t count)
{
    if (count < 0 || count > Size())
        throw EIdNotEnoughDataInBuffer();
    if (count == Size()) {
        Clear();
    } else {
        FOffset += count;
        if (FPosition < FOffset)
            FPosition = FOffset;
        if (FOffset >= PackThreshold)
            Pack();
    }
    if (BytesRemoved)
        BytesRemoved(this, count);
}

void TIdManagedBuffer::Pack()
{
    const int64_t unread = FSize - FOffset;
    std::memmove(FMemory, FMemory + FOffset, static_cast<size_t>(unread));
    FPosition -= FOffset;
    FSize = unread;
    FOffset = 0;
}
