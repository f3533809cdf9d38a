#pragma once
// An interceptor that logs: status lines and every raw block sent or received, while Active.
#include <string>

#include "net/IdComponent.h"

class TIdLogBase : public TIdConnectionIntercept {
public:
    TIdLogBase() = default;
    ~TIdLogBase() override;

    bool Active() const { return FActive; }
    void SetActive(bool value) { DoSetActive(value); }
    bool LogTime = true;
    // CR LF becomes "<EOL>", then a lone CR "<CR>" and a lone LF "<LF>".
    bool ReplaceCRLF = true;

    void Connect(TIdTCPConnection* connection) override;
    void Disconnect() override;
    void Receive(TStream& buffer) override;
    void Send(TStream& buffer) override;

    static std::string ReplaceLineEnds(const std::string& data);

protected:
    virtual void Close() {}
    virtual void LogStatus(const std::string& text) = 0;
    virtual void LogReceivedData(const std::string& timeText, const std::string& data) = 0;
    virtual void LogSentData(const std::string& timeText, const std::string& data) = 0;
    virtual void Open() {}
    virtual void DoSetActive(bool value);

private:
    std::string TimeText() const;
    std::string BlockText(TStream& buffer) const;
    bool FActive = false;
};
