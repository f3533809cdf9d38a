#include "net/IdLogBase.h"

#include "rtl/DateTime.h"
#include "rtl/Streams.h"

TIdLogBase::~TIdLogBase()
{
    // Close() of a derived class is gone by now; only the flag is cleared here.
    FActive = false;
}

void TIdLogBase::DoSetActive(bool value)
{
    if (value == FActive)
        return;
    FActive = value;
    if (value)
        Open();
    else
        Close();
}

void TIdLogBase::Connect(TIdTCPConnection* connection)
{
    if (!FActive)
        return;
    TIdConnectionIntercept::Connect(connection);
    LogStatus("Connected.");
}

void TIdLogBase::Disconnect()
{
    if (!FActive)
        return;
    LogStatus("Disconnected.");
    TIdConnectionIntercept::Disconnect();
}

void TIdLogBase::Receive(TStream& buffer)
{
    if (!FActive)
        return;
    TIdConnectionIntercept::Receive(buffer);
    LogReceivedData(TimeText(), BlockText(buffer));
}

void TIdLogBase::Send(TStream& buffer)
{
    if (!FActive)
        return;
    TIdConnectionIntercept::Send(buffer);
    LogSentData(TimeText(), BlockText(buffer));
}

std::string TIdLogBase::TimeText() const
{
    return LogTime ? FormatDateTime("yyyy-mm-dd hh:nn:ss", Now()) : std::string();
}

std::string TIdLogBase::BlockText(TStream& buffer) const
{
    buffer.SetPosition(0);
    std::string data(static_cast<size_t>(buffer.Size()), '\0');
    buffer.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    buffer.SetPosition(0);
    // A NUL from a server would cut the line short wherever it is shown.
    for (size_t at = data.find('\0'); at != std::string::npos; at = data.find('\0', at + 2))
        data.replace(at, 1, "\\0");
    return ReplaceCRLF ? ReplaceLineEnds(data) : data;
}

std::string TIdLogBase::ReplaceLineEnds(const std::string& data)
{
    std::string out;
    out.reserve(data.size() + 16);
    for (size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') {
            out += "<EOL>";
            ++i;
        } else if (data[i] == '\r') {
            out += "<CR>";
        } else if (data[i] == '\n') {
            out += "<LF>";
        } else {
            out += data[i];
        }
    }
    return out;
}
