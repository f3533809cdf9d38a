#include "net/IdComponent.h"

#include <mutex>

#include "net/IdGlobal.h"
#include "net/IdStackPosix.h"
#include "net/IdTCPConnection.h"
#include "rtl/Streams.h"

namespace {
std::mutex& InstanceLock()
{
    static std::mutex lock;
    return lock;
}
int gInstanceCount = 0;
} // namespace

const char* IdStatusText(TIdStatus status)
{
    switch (status) {
    case hsResolving: return "Resolving hostname %s.";
    case hsConnecting: return "Connecting to %s.";
    case hsConnected: return "Connected.";
    case hsDisconnecting: return "Disconnecting.";
    case hsDisconnected: return "Disconnected.";
    default: return "%s";
    }
}

TIdComponent::TIdComponent()
{
    std::lock_guard<std::mutex> guard(InstanceLock());
    if (gInstanceCount == 0)
        GStack = new TIdStackPosix();
    ++gInstanceCount;
}

TIdComponent::~TIdComponent()
{
    std::lock_guard<std::mutex> guard(InstanceLock());
    if (--gInstanceCount == 0) {
        delete GStack;
        GStack = nullptr;
    }
}

int TIdComponent::InstanceCount()
{
    std::lock_guard<std::mutex> guard(InstanceLock());
    return gInstanceCount;
}

void TIdComponent::DoStatus(TIdStatus status, const std::string& arg)
{
    if (!OnStatus)
        return;
    const std::string format = IdStatusText(status);
    std::string text;
    const size_t at = format.find("%s");
    text = at == std::string::npos ? format : format.substr(0, at) + arg + format.substr(at + 2);
    OnStatus(this, status, text);
}

void TIdComponent::StartWork(TWorkMode mode, int64_t size)
{
    WorkInfo& info = FWorkInfos[mode];
    if (++info.Level == 1) {
        info.Max = size;
        info.Position = 0;
        if (OnWorkBegin)
            OnWorkBegin(this, mode, size);
    }
}

void TIdComponent::ReportWork(TWorkMode mode, int64_t count)
{
    WorkInfo& info = FWorkInfos[mode];
    if (info.Level < 1)
        return;
    info.Position += count;
    if (OnWork)
        OnWork(this, mode, info.Position);
}

void TIdComponent::FinishWork(TWorkMode mode)
{
    WorkInfo& info = FWorkInfos[mode];
    if (info.Level == 1 && OnWorkEnd)
        OnWorkEnd(this, mode);
    if (info.Level > 0)
        --info.Level;
}

// ---- TIdConnectionIntercept

TIdConnectionIntercept::~TIdConnectionIntercept()
{
    if (FAttachedTo != nullptr)
        FAttachedTo->SetIntercept(nullptr);
    if (FNestedIn != nullptr)
        FNestedIn->FIntercept = nullptr;
    if (FIntercept != nullptr)
        FIntercept->FNestedIn = nullptr;
}

void TIdConnectionIntercept::SetIntercept(TIdConnectionIntercept* nested)
{
    if (FIntercept != nullptr)
        FIntercept->FNestedIn = nullptr;
    FIntercept = nested;
    if (nested != nullptr)
        nested->FNestedIn = this;
}

void TIdConnectionIntercept::NestedConnect(TIdTCPConnection* connection)
{
    if (FIntercept != nullptr)
        FIntercept->Connect(connection);
}

void TIdConnectionIntercept::NestedDisconnect()
{
    if (FIntercept != nullptr)
        FIntercept->Disconnect();
}

void TIdConnectionIntercept::NestedReceive(TStream& buffer)
{
    if (FIntercept != nullptr)
        FIntercept->Receive(buffer);
}

void TIdConnectionIntercept::NestedSend(TStream& buffer)
{
    if (FIntercept != nullptr)
        FIntercept->Send(buffer);
}

void TIdConnectionIntercept::Connect(TIdTCPConnection* connection)
{
    FConnection = connection;
    if (OnConnect)
        OnConnect(this);
    NestedConnect(connection);
}

void TIdConnectionIntercept::Disconnect()
{
    NestedDisconnect();
    if (OnDisconnect)
        OnDisconnect(this);
    FConnection = nullptr;
}

void TIdConnectionIntercept::Receive(TStream& buffer)
{
    NestedReceive(buffer);
    if (OnReceive)
        OnReceive(this, buffer);
    buffer.SetPosition(0);
}

void TIdConnectionIntercept::Send(TStream& buffer)
{
    if (OnSend)
        OnSend(this, buffer);
    buffer.SetPosition(0);
    NestedSend(buffer);
}
