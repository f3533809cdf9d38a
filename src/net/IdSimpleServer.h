#pragma once
// A connection that comes into being by accepting exactly one incoming connection: the
// active-mode data connection. Use: StartListening(); read SocketBinding()->IP / Port for the
// PORT command; send the transfer command; WaitForConnection(); then read or write as with any
// connection.
//
// RequestAbort() and ShutdownSocket() may be called from another thread: a WaitForConnection in
// progress then returns false (abort) or fails (shut down) promptly.
#include <atomic>
#include <functional>
#include <string>

#include "net/IdTCPConnection.h"

class TIdSimpleServer : public TIdTCPConnection {
public:
    ~TIdSimpleServer() override;

    std::string BoundIP;
    int BoundPort = 0; // 0 = any
    // Readability time-out of each poll while waiting; 0 polls in short slices.
    int AcceptWait = 0;
    // When set, a connection from any other address is closed at once, the listener stays open
    // and WaitForConnection returns false.
    std::string AcceptOnlyFrom;
    // Makes the handler of the next listener (a plain socket one when unset).
    std::function<TIdIOHandlerSocket*()> HandlerFactory;

    // The handler's binding, or nullptr while there is no handler.
    TIdSocketHandle* SocketBinding() const;
    bool Listening() const { return FListening; }

    void ResetInput() override;
    void CloseSocketQuietly() override;
    // Thread-safe; also ends a WaitForConnection in progress (it returns false).
    void ShutdownSocket() override;

    virtual void RequestAbort() { FAbortRequested = true; }
    virtual void StartListening();
    virtual void BindListener();
    virtual void StopListening() { ResetInput(); }
    // true when a connection was accepted; false after RequestAbort or a refused stranger.
    virtual bool WaitForConnection();

private:
    void ForgetListener();
    // Closes an accepted connection from a stranger and hands the listener back to the binding.
    bool RefuseStranger(TIdSocketHandle& binding);
    std::atomic<bool> FAbortRequested{false};
    TIdStackSocketHandle FListeningSocket = Id_INVALID_SOCKET;
    // The binding itself holds the listening socket (from BindListener until the accept).
    bool FListenerInBinding = false;
    bool FListening = false;
};
