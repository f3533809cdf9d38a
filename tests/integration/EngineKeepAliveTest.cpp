// An idle session kept by NOOP against vsftpd with a short idle time-out.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/EngineHarness.h"
#include "support/VsftpdServer.h"

TEST(EngineKeepAlive, NoopKeepsASessionTheServerWouldDropWhenIdle)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    for (const bool keepAlive : {true, false}) {
        SCOPED_TRACE(keepAlive ? "keep-alive on" : "keep-alive off");
        VsftpdOptions options;
        options.ExtraConfig = {"idle_session_timeout=2"};
        VsftpdServer server(options);
        EngineHarness h;
        h.Worker->SetKeepAliveInterval(keepAlive ? 700 : 0);
        ASSERT_TRUE(h.Connect("127.0.0.1", server.Port(), server.User(), server.Password(), true));
        ASSERT_TRUE(h.RunUntilIdle());
        // Three times the server's time-out, serving the worker's notifications meanwhile.
        h.RunUntil([] { return false; }, std::chrono::seconds(6));
        const auto noops = std::count(h.ProtocolLines.begin(), h.ProtocolLines.end(), ">> NOOP");
        EXPECT_EQ(h.Worker->IsConnected(), keepAlive);
        EXPECT_EQ(h.CountEvents("Disconnected") > 0, !keepAlive);
        if (!keepAlive) {
            EXPECT_EQ(noops, 0);
            continue;
        }
        EXPECT_GE(noops, 5);
        // The session is the one logged in at first: no reconnection before the listing.
        const size_t rows = h.Rows.size();
        h.Worker->AddList();
        ASSERT_TRUE(h.RunUntilIdle());
        ASSERT_EQ(h.Rows.size(), rows + 1);
        EXPECT_EQ(h.Rows.back().Kind, "LIST");
        EXPECT_EQ(h.Rows.back().FinalState, "Completed");
    }
}
