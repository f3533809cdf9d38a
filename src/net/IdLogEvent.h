#pragma once
// The log interceptor whose three log operations are events.
#include <functional>
#include <string>

#include "net/IdLogBase.h"

using TLogItemDataEvent =
    std::function<void(TIdBaseComponent* ASender, const std::string& AText, const std::string& AData)>;
using TLogItemStatusEvent = std::function<void(TIdBaseComponent* ASender, const std::string& AText)>;

class TIdLogEvent : public TIdLogBase {
public:
    TLogItemDataEvent OnReceived;
    TLogItemDataEvent OnSent;
    TLogItemStatusEvent OnStatus;

protected:
    void LogStatus(const std::string& text) override;
    void LogReceivedData(const std::string& timeText, const std::string& data) override;
    void LogSentData(const std::string& timeText, const std::string& data) override;
};
