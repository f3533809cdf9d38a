#pragma once
// Base of every transport class: keeps the global stack alive, reports numbered statuses and
// nested work brackets. Also the connection interceptor, which sees every block sent or received.
#include <cstdint>
#include <functional>
#include <string>

class TStream;
class TIdTCPConnection;

class TIdBaseComponent {
public:
    TIdBaseComponent() = default;
    virtual ~TIdBaseComponent() = default;
    TIdBaseComponent(const TIdBaseComponent&) = delete;
    TIdBaseComponent& operator=(const TIdBaseComponent&) = delete;
};

enum TIdStatus {
    hsResolving,
    hsConnecting,
    hsConnected,
    hsDisconnecting,
    hsDisconnected,
    hsStatusText,
    ftpTransfer,
    ftpReady,
    ftpAborted
};
enum TWorkMode { wmRead, wmWrite };

using TNotifyEvent = std::function<void(TIdBaseComponent* Sender)>;
using TIdStatusEvent =
    std::function<void(TIdBaseComponent* ASender, TIdStatus AStatus, const std::string& AStatusText)>;
// Counts are 64-bit so that transfers beyond 2 GiB report correctly.
using TWorkBeginEvent =
    std::function<void(TIdBaseComponent* Sender, TWorkMode AWorkMode, int64_t AWorkCountMax)>;
using TWorkEvent = std::function<void(TIdBaseComponent* Sender, TWorkMode AWorkMode, int64_t AWorkCount)>;
using TWorkEndEvent = std::function<void(TIdBaseComponent* Sender, TWorkMode AWorkMode)>;

// The status's text as a format; "%s" is filled with the argument.
const char* IdStatusText(TIdStatus status);

class TIdComponent : public TIdBaseComponent {
public:
    TIdComponent();
    ~TIdComponent() override;

    TIdStatusEvent OnStatus;
    TWorkBeginEvent OnWorkBegin;
    TWorkEvent OnWork;
    TWorkEndEvent OnWorkEnd;

    // Raises OnStatus (only when set) with the status's text filled with arg.
    void DoStatus(TIdStatus status, const std::string& arg = {});

    // Only the outermost bracket of a mode raises OnWorkBegin / OnWorkEnd; OnWork reports the
    // running total since that begin, and nothing outside a bracket.
    virtual void StartWork(TWorkMode mode, int64_t size = 0);
    virtual void ReportWork(TWorkMode mode, int64_t count);
    virtual void FinishWork(TWorkMode mode);

    int WorkLevel(TWorkMode mode) const { return FWorkInfos[mode].Level; }
    int64_t WorkPosition(TWorkMode mode) const { return FWorkInfos[mode].Position; }

    // Live instances (for tests).
    static int InstanceCount();

private:
    struct WorkInfo {
        int Level = 0;
        int64_t Max = 0;
        int64_t Position = 0;
    };
    WorkInfo FWorkInfos[2];
};

// Sees one connection's traffic. Nested interceptors: on the way in the innermost sees the data
// first, on the way out the outermost.
using TIdInterceptNotifyEvent = std::function<void(TIdBaseComponent* ASender)>;
using TIdInterceptStreamEvent = std::function<void(TIdBaseComponent* ASender, TStream& AStream)>;

class TIdConnectionIntercept : public TIdBaseComponent {
public:
    TIdConnectionIntercept() = default;
    // Detaches itself from the connection and the interceptor that use it.
    ~TIdConnectionIntercept() override;

    TIdInterceptNotifyEvent OnConnect;
    TIdInterceptNotifyEvent OnDisconnect;
    TIdInterceptStreamEvent OnReceive;
    TIdInterceptStreamEvent OnSend;

    TIdConnectionIntercept* Intercept() const { return FIntercept; }
    void SetIntercept(TIdConnectionIntercept* nested);
    TIdTCPConnection* Connection() const { return FConnection; }
    bool IsClient() const { return FIsClient; }

    virtual void NestedConnect(TIdTCPConnection* connection);
    virtual void NestedDisconnect();
    virtual void NestedReceive(TStream& buffer);
    virtual void NestedSend(TStream& buffer);
    virtual void Connect(TIdTCPConnection* connection);
    virtual void Disconnect();
    virtual void Receive(TStream& buffer);
    virtual void Send(TStream& buffer);

private:
    friend class TIdTCPConnection;
    TIdTCPConnection* FConnection = nullptr;
    TIdTCPConnection* FAttachedTo = nullptr;      // the connection whose Intercept this is
    TIdConnectionIntercept* FIntercept = nullptr; // nested
    TIdConnectionIntercept* FNestedIn = nullptr;  // the interceptor this one is nested in
    bool FIsClient = true;
};
