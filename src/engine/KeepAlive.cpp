// Keeping an idle session: servers with an idle time-out close a control connection that says
// nothing, so an idle worker sends NOOP now and then.
#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"

namespace {
constexpr int kServiceClosing = 421;
} // namespace

// On the worker, while it sleeps with a session; idleSince restarts with each NOOP.
void TFTPThread::KeepAlive(std::chrono::steady_clock::time_point& idleSince)
{
    const int interval = FKeepAliveMs;
    const auto now = std::chrono::steady_clock::now();
    if (interval <= 0 || now - idleSince < std::chrono::milliseconds(interval))
        return;
    idleSince = now;
    // A failed NOOP is a lost session like any other: the window notices and asks to reconnect.
    try {
        if (FFTP->SendCommand("NOOP", int16_t{-1}) == kServiceClosing)
            DropConnection();
    } catch (const std::exception& e) {
        AddError(e.what());
        DropConnection();
    }
}
