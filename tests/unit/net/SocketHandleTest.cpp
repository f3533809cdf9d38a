#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <random>
#include <sys/socket.h>

#include "support/LoopbackPorts.h"
#include "support/ThreadState.h"
#include "net/IdSimpleServer.h"
#include "net/IdTCPClient.h"

namespace {
// Three consecutive ports that are free right now.
int FreePortRun()
{
    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> pick(20000, 60000);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int base = pick(rng);
        PortHolder a(base), b(base + 1), c(base + 2);
        if (a.Ok() && b.Ok() && c.Ok())
            return base;
    }
    return 0;
}

struct BoundHandle {
    TIdTCPClient KeepStack;
    TIdSocketHandle Handle;
    explicit BoundHandle(int min, int max, int port = 0)
    {
        Handle.OpenSocket(SOCK_STREAM);
        Handle.IP = "127.0.0.1";
        Handle.Port = port;
        Handle.ClientPortMin = min;
        Handle.ClientPortMax = max;
    }
};
} // namespace

TEST(IdSocketHandle, RangeBindSkipsTakenTopPort)
{
    const int base = FreePortRun();
    ASSERT_NE(base, 0);
    PortHolder top(base + 2);
    ASSERT_TRUE(top.Ok());
    BoundHandle h(base, base + 2);
    h.Handle.BindLocal();
    EXPECT_EQ(h.Handle.Port, base + 1);
    EXPECT_EQ(h.Handle.IP, "127.0.0.1");
}

TEST(IdSocketHandle, RangeBindWithAllPortsTaken)
{
    const int base = FreePortRun();
    ASSERT_NE(base, 0);
    PortHolder a(base), b(base + 1), c(base + 2);
    BoundHandle h(base, base + 2);
    try {
        h.Handle.BindLocal();
        FAIL();
    } catch (const EIdCanNotBindPortInRange& e) {
        EXPECT_EQ(e.Message(), "Can not bind in port range (" + std::to_string(base) + " - " +
                                   std::to_string(base + 2) + ")");
    }
}

TEST(IdSocketHandle, UpsideDownRangeAndFixedPortInUse)
{
    BoundHandle upside(1030, 1024);
    try {
        upside.Handle.BindLocal();
        FAIL();
    } catch (const EIdInvalidPortRange& e) {
        EXPECT_EQ(e.Message(), "Invalid Port Range (1030 - 1024)");
    }
    const int base = FreePortRun();
    ASSERT_NE(base, 0);
    PortHolder taken(base);
    // A fixed port wins over the range.
    BoundHandle fixed(base + 1, base + 2, base);
    try {
        fixed.Handle.BindLocal();
        FAIL();
    } catch (const EIdCouldNotBindSocket& e) {
        EXPECT_EQ(e.Message(), "Could not bind socket. Address and port are already in use.");
    }
    // One end of the range 0: no range, any port.
    BoundHandle open(0, base);
    open.Handle.BindLocal();
    EXPECT_NE(open.Handle.Port, 0);
}

TEST(IdSimpleServer, AcceptsOneConnectionOnThePortItReports)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.StartListening();
    ASSERT_NE(server.SocketBinding(), nullptr);
    const int port = server.SocketBinding()->Port;
    EXPECT_NE(port, 0);
    EXPECT_EQ(server.SocketBinding()->IP, "127.0.0.1");
    auto client = std::async(std::launch::async, [port] {
        TIdTCPClient c;
        c.SetHost("127.0.0.1");
        c.SetPort(port);
        c.Connect();
        c.WriteLine("data line");
        TStringStream rest;
        c.ReceiveToStream(rest, -1, true);
        return rest.DataString();
    });
    ASSERT_TRUE(server.WaitForConnection());
    EXPECT_EQ(server.ReadLine(), "data line");
    EXPECT_EQ(server.SocketBinding()->PeerIP(), "127.0.0.1");
    TStringStream payload(std::string(100000, 'p'));
    server.SendStream(payload);
    server.Disconnect();
    EXPECT_EQ(client.get(), std::string(100000, 'p'));
}

TEST(IdSimpleServer, AbortFromAnotherThreadEndsTheWait)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.StartListening();
    std::atomic<int> waiterId{-1};
    auto waiter = std::async(std::launch::async, [&] {
        waiterId = ThisThreadId();
        return server.WaitForConnection();
    });
    ASSERT_TRUE(PollUntil([&] { return waiterId >= 0 && BlockedOnIo(waiterId); }));
    server.RequestAbort();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
    // Listening again after an abort works.
    server.ResetInput();
    server.StartListening();
    EXPECT_TRUE(server.Listening());
}

TEST(IdSimpleServer, ShutdownFromAnotherThreadEndsTheWait)
{
    TIdSimpleServer server;
    server.BoundIP = "127.0.0.1";
    server.AcceptWait = 60000;
    server.StartListening();
    std::atomic<int> waiterId{-1};
    auto waiter = std::async(std::launch::async, [&] {
        waiterId = ThisThreadId();
        return server.WaitForConnection();
    });
    ASSERT_TRUE(PollUntil([&] { return waiterId >= 0 && BlockedOnIo(waiterId); }));
    server.ShutdownSocket();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
}
