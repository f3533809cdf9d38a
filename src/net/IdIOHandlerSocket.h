#pragma once
// TIdIOHandler: what a connection needs from a socket. TIdIOHandlerSocket: the socket one.
#include <memory>
#include <mutex>
#include <string>

#include "net/IdComponent.h"
#include "net/IdSocketHandle.h"

class TIdIOHandler : public TIdComponent {
public:
    // Derived destructors call their Close() first.
    ~TIdIOHandler() override;

    virtual void Accepted() {}
    virtual void Close() {}
    virtual void ConnectTo(const std::string& host, int port, int timeoutMs, int portMax, int portMin,
                           int boundPort, const std::string& boundIP)
    {
        (void)host, (void)port, (void)timeoutMs, (void)portMax, (void)portMin, (void)boundPort, (void)boundIP;
    }
    virtual bool IsOpen() = 0;
    virtual void Open() {}
    // timeoutMs -2 waits without limit.
    virtual bool WaitReadable(int timeoutMs) = 0;
    // Bytes moved, 0 on orderly close, -1 on error (the stack's last error tells which).
    virtual int Receive(void* buffer, int length) = 0;
    // Asks the socket to count as readable only once bytes have arrived (or the stream ended);
    // false where the handler cannot.
    virtual bool SetReceiveLowWater(int bytes)
    {
        (void)bytes;
        return false;
    }
    // As Receive, but kWouldBlock at once when nothing is there to read.
    static constexpr int kWouldBlock = -2;
    virtual int TryReceive(void* buffer, int length)
    {
        return WaitReadable(0) ? Receive(buffer, length) : kWouldBlock;
    }
    // May move only part, or fail with a would-block error when there is no room yet.
    virtual int Send(const void* buffer, int length) = 0;
    // timeoutMs -2 waits without limit. False on a time-out.
    virtual bool WaitWritable(int timeoutMs)
    {
        (void)timeoutMs;
        return true;
    }
    // Thread-safe: wakes whatever is blocked on the socket (see TIdSocketHandle::Shutdown).
    virtual void Shutdown() {}

private:
    friend class TIdTCPConnection;
    TIdTCPConnection* FConnection = nullptr; // told when this handler is destroyed
};

class TIdIOHandlerSocket : public TIdIOHandler {
public:
    ~TIdIOHandlerSocket() override;

    void Close() override;
    // Resolves, then allocates, binds (port range rules of TIdSocketHandle::BindLocal) and
    // connects for each address in turn (TIdSocketHandle::ConnectToAddresses). Statuses:
    // hsResolving (names only), hsConnecting with each numeric address tried. The time-out is not
    // used: every connect is a plain blocking one, ended early only by Shutdown().
    void ConnectTo(const std::string& host, int port, int timeoutMs, int portMax, int portMin, int boundPort,
                   const std::string& boundIP) override;
    bool IsOpen() override;
    void Open() override;
    bool WaitReadable(int timeoutMs) override;
    bool WaitWritable(int timeoutMs) override;
    int Receive(void* buffer, int length) override;
    // One system call where a look and a read would take two.
    int TryReceive(void* buffer, int length) override;
    bool SetReceiveLowWater(int bytes) override;
    int Send(const void* buffer, int length) override;
    void Shutdown() override;

    // Exists from Open() on.
    TIdSocketHandle* Binding() const { return FBinding.get(); }

private:
    std::mutex FLock; // guards creation of FBinding against Shutdown from another thread
    std::unique_ptr<TIdSocketHandle> FBinding;
};
