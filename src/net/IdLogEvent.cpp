#include "net/IdLogEvent.h"

void TIdLogEvent::LogStatus(const std::string& text)
{
    if (OnStatus)
        OnStatus(this, text);
}

void TIdLogEvent::LogReceivedData(const std::string& timeText, const std::string& data)
{
    if (OnReceived)
        OnReceived(this, timeText, data);
}

void TIdLogEvent::LogSentData(const std::string& timeText, const std::string& data)
{
    if (OnSent)
        OnSent(this, timeText, data);
}
