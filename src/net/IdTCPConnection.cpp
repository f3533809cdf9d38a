#include "net/IdTCPConnection.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <vector>

namespace {
// The block a received stream waits for before it writes, when the socket has nothing more yet.
constexpr int64_t kSmallBlock = 32768;
// Below the low-water mark the socket does not say readable: looked at this often meanwhile.
constexpr int kLowWaterLookMs = 10;
} // namespace

TIdTCPConnection::TIdTCPConnection()
{
    FInputBuffer.BytesRemoved = [this](TIdSimpleBuffer*, int64_t count) { ReportWork(wmRead, count); };
}

TIdTCPConnection::~TIdTCPConnection()
{
    CloseSocketQuietly();
    FreeOwnedIOHandler();
    SetIOHandler(nullptr);
    SetIntercept(nullptr);
}

// ---- handler, interceptor

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler, bool owned)
{
    std::lock_guard<std::mutex> guard(FHandlerLock);
    if (FIOHandler != nullptr && FIOHandler != handler) {
        FIOHandler->FConnection = nullptr;
        if (FOwnsIOHandler)
            delete FIOHandler;
    }
    FIOHandler = handler;
    FOwnsIOHandler = handler != nullptr && owned;
    if (handler != nullptr)
        handler->FConnection = this;
}

void TIdTCPConnection::FreeOwnedIOHandler()
{
    if (FOwnsIOHandler)
        SetIOHandler(nullptr);
}

void TIdTCPConnection::IOHandlerDestroyed(TIdIOHandler* handler)
{
    std::lock_guard<std::mutex> guard(FHandlerLock);
    if (FIOHandler == handler) {
        FIOHandler = nullptr;
        FOwnsIOHandler = false;
    }
}

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept* intercept)
{
    if (FIntercept != nullptr)
        FIntercept->FAttachedTo = nullptr;
    FIntercept = intercept;
    if (intercept != nullptr)
        intercept->FAttachedTo = this;
}

void TIdTCPConnection::ShutdownSocket()
{
    std::lock_guard<std::mutex> guard(FHandlerLock);
    if (FIOHandler != nullptr)
        FIOHandler->Shutdown();
}

bool TIdTCPConnection::HandlerConnected()
{
    return FIOHandler != nullptr && FIOHandler->IsOpen();
}

// ---- state

void TIdTCPConnection::DoOnDisconnected()
{
    if (OnDisconnected)
        OnDisconnected(this);
}

void TIdTCPConnection::ResetInput()
{
    FInputBuffer.Clear();
    FPeerClosed = false;
}

bool TIdTCPConnection::DetectClosed(bool raiseIfDisconnected, bool ignoreBuffer)
{
    bool disconnected = false;
    if (FPeerClosed && FIOHandler != nullptr) {
        if (FIOHandler->IsOpen()) {
            CloseSocketQuietly();
            DoStatus(hsDisconnected);
            DoOnDisconnected();
        }
        disconnected = true;
    } else if (FIOHandler != nullptr) {
        disconnected = !FIOHandler->IsOpen();
    }
    if (disconnected && raiseIfDisconnected && (FInputBuffer.Size() == 0 || ignoreBuffer))
        throw EIdConnClosedGracefully();
    return disconnected;
}

void TIdTCPConnection::ProbeConnection(bool raiseIfDisconnected, int waitMs)
{
    FillInputBuffer(raiseIfDisconnected, waitMs, false);
}

bool TIdTCPConnection::IsOpen()
{
    DetectClosed(false);
    return HandlerConnected();
}

void TIdTCPConnection::Disconnect()
{
    DoStatus(hsDisconnecting);
    CloseSocketQuietly();
    FreeOwnedIOHandler();
    DoOnDisconnected();
    DoStatus(hsDisconnected);
}

void TIdTCPConnection::CloseSocketQuietly()
{
    if (FIOHandler == nullptr)
        return;
    FPeerClosed = true;
    FLowWater = 0;
    if (FIntercept != nullptr)
        FIntercept->Disconnect();
    FIOHandler->Close();
}

// ---- input

int TIdTCPConnection::FillInputBuffer(bool raiseIfDisconnected, int timeoutMs, bool raiseOnTimeout)
{
    if (timeoutMs == -1)
        timeoutMs = ReadTimeout == 0 ? IdTimeoutInfinite : ReadTimeout;
    DetectClosed(raiseIfDisconnected);
    if (!IsOpen()) {
        if (raiseIfDisconnected)
            throw EIdNotConnected();
        return 0;
    }
    int result;
    do {
        // Data that is there is read at once; only an empty socket is waited for.
        result = ReceiveOnce(raiseIfDisconnected, true);
        if (result == TIdIOHandler::kWouldBlock && timeoutMs != 0)
            result = WaitAndReceive(raiseIfDisconnected, timeoutMs);
        if (result == TIdIOHandler::kWouldBlock) {
            if (raiseOnTimeout)
                throw EIdReadTimeout();
            return -1;
        }
        DetectClosed(raiseIfDisconnected);
    } while (result == 0 && HandlerConnected());
    return result;
}

void TIdTCPConnection::SetReceiveLowWater(int bytes)
{
    FLowWater = FIOHandler != nullptr && bytes > 1 && FIOHandler->SetReceiveLowWater(bytes) ? bytes : 0;
}

int TIdTCPConnection::WaitAndReceive(bool raiseIfDisconnected, int timeoutMs)
{
    if (FLowWater == 0)
        return FIOHandler->WaitReadable(timeoutMs) ? ReceiveOnce(raiseIfDisconnected)
                                                   : TIdIOHandler::kWouldBlock;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        int wait = kLowWaterLookMs;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::clamp<int64_t>(left.count(), 0, kLowWaterLookMs));
        }
        if (FIOHandler->WaitReadable(wait))
            return ReceiveOnce(raiseIfDisconnected);
        const int n = ReceiveOnce(raiseIfDisconnected, true);
        if (n != TIdIOHandler::kWouldBlock ||
            (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline))
            return n;
    }
}

int TIdTCPConnection::ReceiveOnce(bool raiseIfDisconnected, bool noWait)
{
    if (FIOHandler == nullptr) {
        if (raiseIfDisconnected)
            throw EIdNotConnected();
        return 0;
    }
    int n;
    if (FIntercept == nullptr) {
        // Nobody rewrites the block: receive straight behind the unread bytes, saving a copy.
        const int64_t held = FInputBuffer.Size();
        FInputBuffer.SetSize(held + RecvBufferSize);
        try {
            n = noWait ? FIOHandler->TryReceive(FInputBuffer.Memory() + held, RecvBufferSize)
                       : FIOHandler->Receive(FInputBuffer.Memory() + held, RecvBufferSize);
        } catch (...) {
            FInputBuffer.SetSize(held);
            throw;
        }
        FInputBuffer.SetSize(held + std::max(n, 0));
    } else {
        FRecvBuffer.SetSize(RecvBufferSize);
        n = noWait ? FIOHandler->TryReceive(FRecvBuffer.Memory(), RecvBufferSize)
                   : FIOHandler->Receive(FRecvBuffer.Memory(), RecvBufferSize);
    }
    if (n == TIdIOHandler::kWouldBlock)
        return n;
    FPeerClosed = n == 0;
    if (n == Id_SOCKET_ERROR) {
        GStack->CheckForSocketError(n, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED});
        const int err = GStack->LastError();
        CloseSocketQuietly();
        // What already arrived stays readable; the error only shows once nothing is left.
        if (FInputBuffer.Size() == 0)
            GStack->RaiseSocketError(err);
        return 0;
    }
    if (n > 0 && FIntercept != nullptr) {
        FRecvBuffer.SetSize(n);
        FRecvBuffer.SetPosition(0);
        FIntercept->Receive(FRecvBuffer);
        n = static_cast<int>(FRecvBuffer.Size());
        FInputBuffer.Append(FRecvBuffer.Memory(), n);
    }
    return n;
}

bool TIdTCPConnection::LineTooLong(int64_t length, int maxLength, std::string& line)
{
    if (maxLength == 0 || length <= maxLength)
        return false;
    if (MaxLineAction == maException)
        throw EIdReadLnMaxLineLengthExceeded();
    FLineWasSplit = true;
    line = FInputBuffer.TakeBytes(maxLength);
    return true;
}

namespace {
// Index of terminator in the buffer from `from` on, or -1.
int64_t FindTerminator(const char* data, int64_t size, int64_t from, const std::string& terminator)
{
    if (from >= size)
        return -1;
    if (terminator.size() == 1) {
        const void* hit = std::memchr(data + from, terminator[0], static_cast<size_t>(size - from));
        return hit == nullptr ? -1 : static_cast<const char*>(hit) - data;
    }
    const char* end = data + size;
    const char* hit = std::search(data + from, end, terminator.begin(), terminator.end());
    return hit == end ? -1 : hit - data;
}
} // namespace

std::string TIdTCPConnection::ReadLine(const std::string& terminator, int timeoutMs, int maxLineLength)
{
    const std::string term = terminator.empty() ? std::string("\n") : terminator;
    if (maxLineLength == -1)
        maxLineLength = MaxLineLength;
    FLineWasSplit = false;
    std::string line;
    int64_t scanned = 0;
    int64_t found = -1;
    for (;;) {
        const int64_t size = FInputBuffer.Size();
        if (size > 0) {
            found = FindTerminator(FInputBuffer.Memory(), size, scanned, term);
            // Keep the last bytes of a longer terminator: its rest may come with the next receive.
            scanned = std::max<int64_t>(0, size - static_cast<int64_t>(term.size() - 1));
        }
        if (found >= 0)
            break;
        if (LineTooLong(size, maxLineLength, line))
            return line;
        DetectClosed(true, true);
        if (FillInputBuffer(true, timeoutMs, timeoutMs == -1) == 0)
            return std::string();
    }
    if (LineTooLong(found, maxLineLength, line))
        return line;
    line = FInputBuffer.TakeBytes(found);
    FInputBuffer.DropBytes(static_cast<int64_t>(term.size()));
    if (term == "\n" && !line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string TIdTCPConnection::ReadNonEmptyLine(int tries)
{
    for (int i = 0; i < tries; ++i) {
        std::string line = IdTrim(ReadLine("\n"));
        if (!line.empty())
            return line;
    }
    return std::string();
}

void TIdTCPConnection::EnsureBuffered(int64_t count)
{
    while (FInputBuffer.Size() < count) {
        FillInputBuffer(true, -1, true);
        DetectClosed(true, true);
    }
}

void TIdTCPConnection::BufferBlock(int64_t want, int64_t least)
{
    EnsureBuffered(std::min(want, least));
    // A close found here ends the loop with the bytes kept: they go out as a block, with its
    // work event, and the next fill reports the close.
    while (FInputBuffer.Size() < want && !FPeerClosed && FIOHandler != nullptr && HandlerConnected())
        if (ReceiveOnce(true, true) == TIdIOHandler::kWouldBlock)
            break;
}

void TIdTCPConnection::ReadExact(void* buffer, int count)
{
    if (count <= 0 || buffer == nullptr)
        return;
    EnsureBuffered(count);
    std::memcpy(buffer, FInputBuffer.Memory(), static_cast<size_t>(count));
    FInputBuffer.DropBytes(count);
}

void TIdTCPConnection::CopyBufferToStream(TStream& stream, int64_t count)
{
    stream.WriteBuffer(FInputBuffer.Memory(), count);
    FInputBuffer.DropBytes(count);
}

void TIdTCPConnection::WriteBufferedTail(TStream& stream, int64_t limit)
{
    const int64_t count = std::min(FInputBuffer.Size(), limit);
    if (count <= 0)
        return;
    stream.WriteBuffer(FInputBuffer.Memory(), count);
    // The tail goes without a work event: only whole blocks are reported.
    if (count == FInputBuffer.Size())
        FInputBuffer.Clear();
    else
        FInputBuffer.DropBytes(count);
}

void TIdTCPConnection::ReceiveToStream(TStream& stream, int64_t byteCount, bool untilDisconnect)
{
    if (byteCount >= 0) {
        const int64_t pos = stream.Position();
        stream.SetSize(pos + byteCount);
        stream.SetPosition(pos);
    }
    // Until disconnect there is no count to run out: a transfer beyond 2 GiB goes on.
    int64_t remaining = untilDisconnect ? INT64_MAX : byteCount;
    StartWork(wmRead, untilDisconnect ? 0 : byteCount);
    try {
        const int64_t buffered = std::min(FInputBuffer.Size(), remaining);
        if (buffered > 0) {
            CopyBufferToStream(stream, buffered);
            remaining -= buffered;
        }
        // A slow link still moves in small steps, so that work events and the abort check
        // that rides on them come as often as with small blocks.
        const int64_t least = std::min<int64_t>(RecvBufferSize, kSmallBlock);
        while (HandlerConnected() && remaining > 0) {
            try {
                BufferBlock(std::min<int64_t>(remaining, RecvBufferSize), least);
            } catch (const EIdConnClosedGracefully&) {
                if (!untilDisconnect)
                    throw;
                WriteBufferedTail(stream, remaining);
                break;
            } catch (const EIdSocketError&) {
                // What arrived before a reset is the peer's data too.
                WriteBufferedTail(stream, remaining);
                throw;
            }
            const int64_t count = std::min(FInputBuffer.Size(), remaining);
            CopyBufferToStream(stream, count);
            remaining -= count;
        }
    } catch (...) {
        FinishWork(wmRead);
        if (stream.Size() > stream.Position())
            stream.SetSize(stream.Position());
        throw;
    }
    FinishWork(wmRead);
    if (stream.Size() > stream.Position())
        stream.SetSize(stream.Position());
}

// ---- output

void TIdTCPConnection::CheckSendResult(int sent)
{
    if (sent != Id_SOCKET_ERROR)
        return;
    GStack->CheckForSocketError(sent, {Id_WSAESHUTDOWN, Id_WSAECONNABORTED, Id_WSAECONNRESET});
    const int err = GStack->LastError();
    CloseSocketQuietly();
    GStack->RaiseSocketError(err);
}

// A peer that stops reading is waited for as long as one that stops sending.
void TIdTCPConnection::WaitForRoom()
{
    if (FIOHandler->WaitWritable(ReadTimeout == 0 ? IdTimeoutInfinite : ReadTimeout))
        return;
    CloseSocketQuietly();
    throw EIdReadTimeout();
}

void TIdTCPConnection::SendBytes(const void* buffer, int count)
{
    if (count <= 0 || buffer == nullptr)
        return;
    DetectClosed(true, true);
    if (!HandlerConnected())
        throw EIdNotConnected();
    const char* data = static_cast<const char*>(buffer);
    int total = count;
    TIdSimpleBuffer temp;
    if (FIntercept != nullptr) {
        // The interceptor may rewrite the block; only then is a copy needed.
        temp.Write(buffer, count);
        temp.SetPosition(0);
        FIntercept->Send(temp);
        data = temp.Memory();
        total = static_cast<int>(temp.Size());
    }
    int pos = 0;
    while (pos < total) {
        const int sent = FIOHandler->Send(data + pos, total - pos);
        if (sent == Id_SOCKET_ERROR && GStack->WSGetLastError() == Id_WSAEWOULDBLOCK) {
            WaitForRoom();
            continue;
        }
        CheckSendResult(sent);
        FPeerClosed = sent == 0;
        DetectClosed(true, false);
        ReportWork(wmWrite, sent);
        pos += sent;
    }
}

void TIdTCPConnection::SendText(const std::string& text)
{
    if (!text.empty())
        SendBytes(text.data(), static_cast<int>(text.size()));
}

void TIdTCPConnection::WriteLine(const std::string& text)
{
    SendText(text + "\r\n");
}

void TIdTCPConnection::SendStream(TStream& stream, bool rewind, int64_t size)
{
    if (rewind)
        stream.SetPosition(0);
    int64_t pos = stream.Position();
    const int64_t end = size == 0 ? stream.Size() : pos + size;
    StartWork(wmWrite, end - pos);
    try {
        std::vector<char> block(static_cast<size_t>(std::max(SendBufferSize, 1)));
        for (;;) {
            const int64_t n = std::min<int64_t>(end - pos, static_cast<int64_t>(block.size()));
            if (n <= 0)
                break;
            const int64_t got = stream.Read(block.data(), n);
            if (got <= 0)
                throw EIdNoDataToRead();
            SendBytes(block.data(), static_cast<int>(got));
            pos += got;
        }
    } catch (...) {
        FinishWork(wmWrite);
        throw;
    }
    FinishWork(wmWrite);
}

// ---- numeric replies

namespace {
// A reply is a few lines; these bounds only stop a server that never ends one.
constexpr int kMaxReplyLines = 10000;
constexpr int64_t kMaxReplyBytes = 1 << 20;

std::string UpperAscii(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
    return s;
}
} // namespace

void TIdTCPConnection::ReadReplyLines(TStringList& lines)
{
    lines.Clear();
    int count = 0;
    int64_t bytes = 0;
    // Blank lines are skipped but counted: an endless run of them is no reply either.
    auto nextLine = [&] {
        for (;;) {
            std::string line = ReadLine("\n");
            bytes += static_cast<int64_t>(line.size()) + 1;
            if (++count > kMaxReplyLines || bytes > kMaxReplyBytes)
                throw EIdReplyTooLong();
            line = IdTrim(line);
            if (!line.empty())
                return line;
        }
    };
    const std::string first = nextLine();
    lines.Add(first);
    if (first.size() <= 3 || first[3] != '-')
        return;
    const std::string marker = UpperAscii(first.substr(0, 3) + " ");
    for (;;) {
        const std::string line = nextLine();
        lines.Add(line);
        if (line.size() < 4 || UpperAscii(line.substr(0, 4)) == marker)
            break;
    }
}

int16_t TIdTCPConnection::ReadReply(const std::vector<int16_t>& allowed)
{
    TStringList lines;
    ReadReplyLines(lines);
    FLastReply.ParseReply(lines);
    return CheckReplyCode(static_cast<int16_t>(FLastReply.NumericCode()), allowed);
}

int16_t TIdTCPConnection::CheckReplyCode(int16_t code, const std::vector<int16_t>& allowed)
{
    if (allowed.empty() || std::find(allowed.begin(), allowed.end(), code) != allowed.end())
        return code;
    RaiseReplyError();
    return code; // not reached: an override must raise too
}

void TIdTCPConnection::RaiseReplyError()
{
    std::string message;
    for (const auto& line : FLastReply.Text.Items())
        message += line + "\r\n";
    throw EIdProtocolReplyError(FLastReply.NumericCode(), message);
}

int16_t TIdTCPConnection::SendCommand(const std::string& command, const std::vector<int16_t>& allowed)
{
    WriteLine(command);
    return ReadReply(allowed);
}

int16_t TIdTCPConnection::SendCommand(const std::string& command, int16_t allowed)
{
    return SendCommand(command, allowed == -1 ? std::vector<int16_t>{} : std::vector<int16_t>{allowed});
}
