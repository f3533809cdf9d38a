#pragma once
// Byte streams: the abstract stream, memory, string and file streams.
#include <cstdint>
#include <string>

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual void SetSize(int64_t newSize) = 0;
    virtual int64_t Size();

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, soBeginning); }

    // Raise EReadError / EWriteError unless the whole count moves.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source (count 0: the whole source from its start).
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int64_t Size() override { return FSize; }
    virtual void Clear();
    virtual char* Memory() { return FMemory; }

    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& dest);

protected:
    void SetCapacity(int64_t newCapacity);
    char* FMemory = nullptr;
    int64_t FSize = 0;
    int64_t FPosition = 0;
    int64_t FCapacity = 0;
};

// A stream over a byte string; DataString() is the whole content.
class TStringStream : public TStream {
public:
    explicit TStringStream(std::string data = {}) : FData(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    const std::string& DataString() const { return FData; }
    std::string ReadString(int64_t count);
    void WriteString(const std::string& s) { Write(s.data(), static_cast<int64_t>(s.size())); }

private:
    std::string FData;
    int64_t FPosition = 0;
};

enum : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFFFF,
};

// A stream over an open file descriptor.
class THandleStream : public TStream {
public:
    explicit THandleStream(int handle) : FHandle(handle) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t newSize) override;
    int Handle() const { return FHandle; }

protected:
    int FHandle;
};

// Opens or creates a file; raises EFOpenError / EFCreateError naming the file.
class TFileStream : public THandleStream {
public:
    TFileStream(const std::string& fileName, unsigned mode, unsigned permissions = 0644);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    const std::string& FileName() const { return FFileName; }
    // Flushes to disk; raises EWriteError naming the file when that fails.
    void Flush();

private:
    std::string FFileName;
};
