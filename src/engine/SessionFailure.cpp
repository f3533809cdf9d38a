#include "engine/SessionFailure.h"

#include "net/IdGlobal.h"
#include "net/IdStack.h"

namespace {

bool IsResetCode(int code)
{
    constexpr int kNetworkReset = 10052;
    return code == kNetworkReset || code == Id_WSAECONNABORTED || code == Id_WSAECONNRESET ||
           code == Id_WSAESHUTDOWN;
}

} // namespace

TSessionFailure ClassifyFailure(const std::exception& e)
{
    constexpr int kServiceClosing = 421;
    if (dynamic_cast<const EIdReadTimeout*>(&e) != nullptr)
        return TSessionFailure::TimedOut;
    if (dynamic_cast<const EIdConnClosedGracefully*>(&e) != nullptr ||
        dynamic_cast<const EIdClosedSocket*>(&e) != nullptr)
        return TSessionFailure::Lost;
    if (const auto* reply = dynamic_cast<const EIdProtocolReplyError*>(&e))
        return reply->ReplyCode == kServiceClosing ? TSessionFailure::Lost : TSessionFailure::Other;
    if (const auto* socket = dynamic_cast<const EIdSocketError*>(&e))
        return IsResetCode(socket->SocketErrorCode) ? TSessionFailure::Lost : TSessionFailure::Other;
    return TSessionFailure::Other;
}
