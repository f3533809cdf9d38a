#pragma once
// The buffered connection every byte of the FTP control and data connections passes through:
// line and exact reads out of an input buffer, streams in and out with work events, numeric
// replies, and detection of a peer that closed.
//
// Threads: one thread at a time uses a connection. The single exception is ShutdownSocket(),
// which any thread may call to end a read, write, wait or connect blocked in the owning thread
// (it then fails with "Connection Closed Gracefully." or a socket error). Do not close or free
// the connection from another thread; shut it down and let the owner clean up.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "net/IdBuffer.h"
#include "net/IdComponent.h"
#include "net/IdGlobal.h"
#include "net/IdIOHandlerSocket.h"
#include "net/IdRFCReply.h"

enum TIdMaxLineAction { maException, maSplit };

class TIdTCPConnection : public TIdComponent {
public:
    TIdTCPConnection();
    ~TIdTCPConnection() override;

    int MaxLineLength = 16384; // 0 = no limit
    TIdMaxLineAction MaxLineAction = maException;
    int ReadTimeout = 0; // ms; 0 = wait without limit
    int RecvBufferSize = 32768;
    int SendBufferSize = 32768;
    // Raised once when the peer is found gone, and at every Disconnect.
    TNotifyEvent OnDisconnected;

    TIdIOHandler* IOHandler() const { return FIOHandler; }
    // Frees the previous handler if the connection owned it.
    void SetIOHandler(TIdIOHandler* handler, bool owned = false);
    TIdConnectionIntercept* Intercept() const { return FIntercept; }
    void SetIntercept(TIdConnectionIntercept* intercept);
    TIdRFCReply& LastReply() { return FLastReply; }
    TIdRFCReply& WelcomeReply() { return FWelcomeReply; }
    TIdManagedBuffer& InputBuffer() { return FInputBuffer; }
    bool LineWasSplit() const { return FLineWasSplit; }
    bool PeerClosed() const { return FPeerClosed; }
    // For a bulk download: the reader is woken only once this many bytes wait (or the stream
    // ended), not for every packet, which spares both ends many wake-ups. A slow sender's bytes
    // are still read within a few milliseconds.
    void SetReceiveLowWater(int bytes);

    virtual void DoOnDisconnected();
    virtual void ResetInput();
    // Returns whether the connection counts as disconnected.
    virtual bool DetectClosed(bool raiseIfDisconnected = true, bool ignoreBuffer = false);
    // A look whether the peer has closed, waiting at most waitMs for something to arrive.
    virtual void ProbeConnection(bool raiseIfDisconnected, int waitMs = 1);
    // Returns the code when allowed is empty or holds it, otherwise RaiseReplyError.
    virtual int16_t CheckReplyCode(int16_t code, const std::vector<int16_t>& allowed);
    virtual bool IsOpen();
    virtual void Disconnect();
    virtual void CloseSocketQuietly();
    // Reads one whole reply into LastReply and checks its code.
    virtual int16_t ReadReply(const std::vector<int16_t>& allowed);
    [[noreturn]] virtual void RaiseReplyError();
    // Bytes appended, 0 when the connection turned out closed, -1 on a time-out without raising.
    // timeoutMs -1 means ReadTimeout.
    virtual int FillInputBuffer(bool raiseIfDisconnected, int timeoutMs, bool raiseOnTimeout);
    // The next line without its terminator (empty terminator = LF; an LF line also loses a CR
    // before it). maxLineLength -1 means MaxLineLength.
    virtual std::string ReadLine(const std::string& terminator = "\n", int timeoutMs = -1,
                                 int maxLineLength = -1);
    // WriteLine, then ReadReply. Pass -1 to the single-code form to accept any reply; note that
    // SendCommand(cmd, {}) picks the single-code form with code 0, not "any".
    virtual int16_t SendCommand(const std::string& command, const std::vector<int16_t>& allowed);
    int16_t SendCommand(const std::string& command, int16_t allowed);
    virtual void SendText(const std::string& text);
    // Text and CR LF in one send.
    virtual void WriteLine(const std::string& text);
    // rewind: from position 0; size 0: up to the stream's end.
    virtual void SendStream(TStream& stream, bool rewind = true, int64_t size = 0);

    std::string ReadNonEmptyLine(int tries);
    void ReadExact(void* buffer, int count);
    // byteCount bytes, or with untilDisconnect everything until the peer closes, written at the
    // stream's position; the stream is cut at the end of what was received.
    void ReceiveToStream(TStream& stream, int64_t byteCount = -1, bool untilDisconnect = false);
    void SendBytes(const void* buffer, int count);

    // Thread-safe; see the note at the top.
    virtual void ShutdownSocket();

protected:
    // The raw lines of one reply, each trimmed, blank lines skipped.
    void ReadReplyLines(TStringList& lines);
    bool HandlerConnected();
    void FreeOwnedIOHandler();
    bool FOwnsIOHandler = false;

private:
    friend class TIdIOHandler;
    friend class TIdConnectionIntercept;
    void IOHandlerDestroyed(TIdIOHandler* handler);
    // Waits up to timeoutMs for data and reads it; TIdIOHandler::kWouldBlock on a time-out.
    int WaitAndReceive(bool raiseIfDisconnected, int timeoutMs);
    // noWait: TIdIOHandler::kWouldBlock when nothing has arrived.
    int ReceiveOnce(bool raiseIfDisconnected, bool noWait = false);
    bool LineTooLong(int64_t length, int maxLength, std::string& line);
    void CheckSendResult(int sent);
    void WaitForRoom();
    void CopyBufferToStream(TStream& stream, int64_t count);
    void WriteBufferedTail(TStream& stream, int64_t limit);
    // Fills the input buffer until it holds count bytes.
    void EnsureBuffered(int64_t count);
    // Fills the input buffer towards want bytes, back early once it holds least and nothing
    // more is waiting on the socket.
    void BufferBlock(int64_t want, int64_t least);

    std::mutex FHandlerLock; // guards the FIOHandler pointer against ShutdownSocket
    TIdIOHandler* FIOHandler = nullptr;
    TIdConnectionIntercept* FIntercept = nullptr;
    bool FPeerClosed = false;
    int FLowWater = 0; // the socket's receive low-water mark, 0 when none was set
    TIdRFCReply FWelcomeReply;
    TIdRFCReply FLastReply;
    TIdManagedBuffer FInputBuffer;
    TIdSimpleBuffer FRecvBuffer;
    bool FLineWasSplit = false;
};
