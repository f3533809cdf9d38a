#include <gtest/gtest.h>

#include <vector>

#include "net/IdTCPClient.h"
#include "support/LoopbackPorts.h"

namespace {
struct StatusLog {
    std::vector<std::string> Texts;
    void Attach(TIdComponent& c)
    {
        c.OnStatus = [this](TIdBaseComponent*, TIdStatus, const std::string& text) { Texts.push_back(text); };
    }
};

void HoldUntilClosed(int fd)
{
    LoopbackPeer::ReceiveAll(fd);
}
} // namespace

TEST(IdTCPClient, LocalhostResolvesWithoutLookupAndReportsBothStatuses)
{
    LoopbackPeer peer(HoldUntilClosed);
    TIdTCPClient client;
    StatusLog log;
    log.Attach(client);
    int connected = 0;
    client.OnConnected = [&](TIdBaseComponent*) { ++connected; };
    client.SetHost("LOCALHOST");
    client.SetPort(peer.Port());
    client.Connect();
    EXPECT_EQ(log.Texts, (std::vector<std::string>{"Resolving hostname LOCALHOST.",
                                                   "Connecting to 127.0.0.1.", "Connected."}));
    EXPECT_EQ(connected, 1);
    EXPECT_TRUE(client.IsOpen());
    auto* binding = dynamic_cast<TIdIOHandlerSocket*>(client.IOHandler())->Binding();
    EXPECT_EQ(binding->PeerIP(), "127.0.0.1");
    EXPECT_EQ(binding->PeerPort(), peer.Port());
    EXPECT_EQ(binding->IP, "127.0.0.1");
    EXPECT_NE(binding->Port, 0);
    client.Disconnect();
}

TEST(IdTCPClient, DottedHostGivesNoResolvingStatus)
{
    LoopbackPeer peer(HoldUntilClosed);
    TIdTCPClient client;
    StatusLog log;
    log.Attach(client);
    client.SetHost("127.0.0.1");
    client.SetPort(peer.Port());
    client.Connect();
    ASSERT_FALSE(log.Texts.empty());
    EXPECT_EQ(log.Texts.front(), "Connecting to 127.0.0.1.");
}

TEST(IdTCPClient, SecondConnectLeavesFirstConnectionUntouched)
{
    LoopbackPeer peer([](int fd) {
        LoopbackPeer::SendAll(fd, "hello\r\n");
        LoopbackPeer::ReceiveAll(fd);
    });
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(peer.Port());
    client.Connect();
    try {
        client.Connect();
        FAIL();
    } catch (const EIdAlreadyConnected& e) {
        EXPECT_EQ(e.Message(), "Already connected.");
    }
    EXPECT_EQ(client.ReadLine(), "hello");
}

TEST(IdTCPClient, RefusedConnectRaises10061AndLeavesClientIdle)
{
    ClosedPort closed;
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(closed.Port());
    try {
        client.Connect();
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.SocketErrorCode, 10061);
        EXPECT_EQ(e.Message(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(client.IsOpen());
    ASSERT_NE(client.IOHandler(), nullptr);
    EXPECT_FALSE(client.IOHandler()->IsOpen());
    // A later connect to a live peer works on the same client.
    LoopbackPeer peer([](int fd) { LoopbackPeer::SendAll(fd, "ok\n"); });
    client.SetPort(peer.Port());
    client.Connect();
    EXPECT_EQ(client.ReadLine(), "ok");
}

TEST(IdTCPClient, UnknownHostRaises11001AfterResolvingStatus)
{
    TIdTCPClient client;
    StatusLog log;
    log.Attach(client);
    const std::string name = std::string(70, 'y') + ".invalid";
    client.SetHost(name);
    client.SetPort(21);
    try {
        client.Connect();
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.SocketErrorCode, 11001);
        EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
    }
    EXPECT_EQ(log.Texts, std::vector<std::string>{"Resolving hostname " + name + "."});
    EXPECT_FALSE(client.IsOpen());
}

// Literal IPv6 addresses, bracketed as typed in a server box, and names from the test table whose
// first address refuses: each address is tried in order and the status names each one.
TEST(IdTCPClient, AddressesOfEitherFamilyAreTriedInOrder)
{
    if (!HasIPv6Loopback())
        GTEST_SKIP() << "no IPv6 loopback address";
    struct Row {
        std::string Host;
        std::vector<std::string> TableEntry; // empty: not a table name
        std::string Listener;
        std::vector<std::string> Statuses;
    };
    const std::vector<Row> rows = {
        {"::1", {}, "::1", {"Connecting to ::1.", "Connected."}},
        {"[::1]", {}, "::1", {"Connecting to ::1.", "Connected."}},
        {"v6-only.test",
         {"::1"},
         "::1",
         {"Resolving hostname v6-only.test.", "Connecting to ::1.", "Connected."}},
        {"v6-refuses.test",
         {"::1", "127.0.0.1"},
         "127.0.0.1",
         {"Resolving hostname v6-refuses.test.", "Connecting to ::1.", "Connecting to 127.0.0.1.",
          "Connected."}},
        {"v4-refuses.test",
         {"127.0.0.1", "::1"},
         "::1",
         {"Resolving hostname v4-refuses.test.", "Connecting to 127.0.0.1.", "Connecting to ::1.",
          "Connected."}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Host);
        TIdStack::SetTestHostAddresses(row.Host, row.TableEntry);
        LoopbackPeer peer([](int fd) { LoopbackPeer::SendAll(fd, "hi\n"); }, row.Listener);
        TIdTCPClient client;
        StatusLog log;
        log.Attach(client);
        client.SetHost(row.Host);
        client.SetPort(peer.Port());
        client.Connect();
        EXPECT_EQ(log.Texts, row.Statuses);
        EXPECT_EQ(client.PeerIP(), row.Listener);
        EXPECT_EQ(client.PeerPort(), peer.Port());
        EXPECT_EQ(client.ReadLine(), "hi");
        TIdStack::SetTestHostAddresses(row.Host, {});
    }
}

TEST(IdTCPClient, WhenNoAddressAnswersTheLastRefusalIsRaised)
{
    if (!HasIPv6Loopback())
        GTEST_SKIP() << "no IPv6 loopback address";
    ClosedPort closed;
    TIdStack::SetTestHostAddresses("nobody.test", {"::1", "127.0.0.1"});
    TIdTCPClient client;
    StatusLog log;
    log.Attach(client);
    client.SetHost("nobody.test");
    client.SetPort(closed.Port());
    try {
        client.Connect();
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.SocketErrorCode, 10061);
    }
    TIdStack::SetTestHostAddresses("nobody.test", {});
    EXPECT_EQ(log.Texts, (std::vector<std::string>{"Resolving hostname nobody.test.", "Connecting to ::1.",
                                                   "Connecting to 127.0.0.1."}));
    EXPECT_FALSE(client.IsOpen());
}
