#pragma once
// Byte buffers of a connection. TIdManagedBuffer is the input buffer: consumed bytes only move
// an offset, and memory is compacted once PackThreshold bytes are consumed, so that reading
// many short lines does not shift the rest of the buffer each time.
#include <cstdint>
#include <functional>
#include <string>

#include "rtl/Streams.h"

class TIdSimpleBuffer;
using TIdBytesRemovedEvent = std::function<void(TIdSimpleBuffer* ASender, int64_t ABytes)>;

class TIdSimpleBuffer : public TMemoryStream {
public:
    TIdBytesRemovedEvent BytesRemoved;

    // Both raise EIdNotEnoughDataInBuffer when fewer than count bytes are held.
    std::string TakeBytes(int64_t count);
    virtual void DropBytes(int64_t count);
    // Appends at the end and leaves the position there.
    void Append(const void* data, int64_t count);

protected:
    // Empty, but keeps the memory for the next fill.
    void Empty();
};

class TIdManagedBuffer : public TIdSimpleBuffer {
public:
    static constexpr int64_t PackThreshold = 32768;

    // Size, position and memory all describe the unread part only.
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int64_t Size() override { return FSize - FOffset; }
    char* Memory() override { return FMemory + FOffset; }
    // Empties the buffer without calling BytesRemoved.
    void Clear() override;
    void DropBytes(int64_t count) override;

private:
    void Pack();
    int64_t FOffset = 0;
};
