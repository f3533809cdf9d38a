#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <vector>

#include "support/LoopbackPorts.h"
#include "support/ThreadState.h"
#include "net/IdTCPClient.h"

namespace {

std::function<void(int)> Sends(std::string data)
{
    return [data](int fd) { LoopbackPeer::SendAll(fd, data); };
}

// Sends, then waits for the client to close, so nothing is cut by an early close.
std::function<void(int)> SendsAndHolds(std::string data)
{
    return [data](int fd) {
        LoopbackPeer::SendAll(fd, data);
        LoopbackPeer::ReceiveAll(fd);
    };
}

std::string Pattern(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + i % 23);
    return s;
}
} // namespace

TEST(IdTCPConnection, LineEndings)
{
    LoopbackPeer peer(SendsAndHolds("crlf\r\nlf\nextra\r\r\nnot\rend\n\nx|y||z"));
    auto c = ConnectTo(peer);
    EXPECT_EQ(c->ReadLine(), "crlf");
    EXPECT_EQ(c->ReadLine(), "lf");
    EXPECT_EQ(c->ReadLine(), "extra\r");
    EXPECT_EQ(c->ReadLine(), "not\rend");
    EXPECT_EQ(c->ReadLine(), "");
    EXPECT_EQ(c->ReadLine("|"), "x");
    EXPECT_EQ(c->ReadLine("||"), "y");
}

TEST(IdTCPConnection, MultiByteTerminatorSplitAcrossReceives)
{
    LoopbackPeer peer([](int fd) {
        LoopbackPeer::SendAll(fd, "abc<");
        LoopbackPeer::ReceiveAll(fd, 1); // the client asks for more only after a first look
        LoopbackPeer::SendAll(fd, "END>rest<END>");
        LoopbackPeer::ReceiveAll(fd);
    });
    auto c = ConnectTo(peer);
    c->FillInputBuffer(true, -1, true);
    c->SendText("!");
    EXPECT_EQ(c->ReadLine("<END>"), "abc");
    EXPECT_EQ(c->ReadLine("<END>"), "rest");
}

TEST(IdTCPConnection, MaxLineLengthUnderException)
{
    const std::string ok(16384, 'a');
    const std::string tooLong(16385, 'b');
    LoopbackPeer peer(SendsAndHolds(ok + "\n" + tooLong + "\nafter\n"));
    auto c = ConnectTo(peer);
    EXPECT_EQ(c->ReadLine(), ok);
    try {
        c->ReadLine();
        FAIL();
    } catch (const EIdReadLnMaxLineLengthExceeded& e) {
        EXPECT_EQ(e.Message(), "Max line length exceeded.");
    }
    EXPECT_FALSE(c->LineWasSplit());
}

TEST(IdTCPConnection, MaxLineLengthUnderSplit)
{
    const std::string tooLong = Pattern(16385);
    LoopbackPeer peer(SendsAndHolds(tooLong + "\nnext\n"));
    auto c = ConnectTo(peer);
    c->MaxLineAction = maSplit;
    EXPECT_EQ(c->ReadLine(), tooLong.substr(0, 16384));
    EXPECT_TRUE(c->LineWasSplit());
    EXPECT_EQ(c->ReadLine(), tooLong.substr(16384));
    EXPECT_FALSE(c->LineWasSplit());
    EXPECT_EQ(c->ReadLine(), "next");
}

TEST(IdTCPConnection, LongRunWithoutLineEndFailsBeforeReceivingMore)
{
    // 20000 bytes and no LF; the peer then waits, so a further receive would hang.
    LoopbackPeer peer(SendsAndHolds(std::string(20000, 'z')));
    auto c = ConnectTo(peer);
    while (c->InputBuffer().Size() <= 16384)
        c->FillInputBuffer(true, -1, true);
    EXPECT_THROW(c->ReadLine(), EIdReadLnMaxLineLengthExceeded);
    c->MaxLineAction = maSplit;
    EXPECT_EQ(c->ReadLine(), std::string(16384, 'z'));
    EXPECT_TRUE(c->LineWasSplit());
}

TEST(IdTCPConnection, LastLineThenCloseGivesLineThenClosedOnce)
{
    LoopbackPeer peer(Sends("221 Goodbye.\r\n"));
    auto c = ConnectTo(peer);
    int disconnectedEvents = 0;
    int disconnectedStatuses = 0;
    c->OnDisconnected = [&](TIdBaseComponent*) { ++disconnectedEvents; };
    c->OnStatus = [&](TIdBaseComponent*, TIdStatus s, const std::string& text) {
        if (s == hsDisconnected) {
            ++disconnectedStatuses;
            EXPECT_EQ(text, "Disconnected.");
        }
    };
    EXPECT_EQ(c->ReadLine(), "221 Goodbye.");
    for (int i = 0; i < 3; ++i) {
        try {
            c->ReadLine();
            FAIL();
        } catch (const EIdConnClosedGracefully& e) {
            EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
        }
    }
    EXPECT_EQ(disconnectedEvents, 1);
    EXPECT_EQ(disconnectedStatuses, 1);
    EXPECT_FALSE(c->IsOpen());
}

TEST(IdTCPConnection, ReadTimeoutRaisesReadTimeout)
{
    LoopbackPeer peer(SendsAndHolds("partial"));
    auto c = ConnectTo(peer);
    c->ReadTimeout = 50;
    try {
        c->ReadLine();
        FAIL();
    } catch (const EIdReadTimeout& e) {
        EXPECT_EQ(e.Message(), "Read Timeout");
    }
}

TEST(IdTCPConnection, ReadExactAcrossReceivesAndClose)
{
    const std::string data = Pattern(100000);
    LoopbackPeer peer(Sends(data));
    auto c = ConnectTo(peer);
    std::string got(70000, '\0');
    c->ReadExact(got.data(), 70000);
    EXPECT_EQ(got, data.substr(0, 70000));
    std::string rest(40000, '\0');
    EXPECT_THROW(c->ReadExact(rest.data(), 40000), EIdConnClosedGracefully);
    // What did arrive is still there.
    EXPECT_EQ(c->InputBuffer().Size(), 30000);
}

TEST(IdTCPConnection, ReceiveToStreamUntilDisconnectReportsWholeBlocksOnly)
{
    const std::string data = Pattern(2 * 32768 + 1000);
    LoopbackPeer peer(Sends(data));
    auto c = ConnectTo(peer);
    std::vector<int64_t> work;
    int begins = 0;
    int ends = 0;
    c->OnWorkBegin = [&](TIdBaseComponent*, TWorkMode m, int64_t max) {
        ++begins;
        EXPECT_EQ(m, wmRead);
        EXPECT_EQ(max, 0);
    };
    c->OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t n) { work.push_back(n); };
    c->OnWorkEnd = [&](TIdBaseComponent*, TWorkMode) { ++ends; };
    TMemoryStream stream;
    const std::string old(200000, '#');
    stream.Write(old.data(), static_cast<int64_t>(old.size()));
    stream.SetPosition(0);
    c->ReceiveToStream(stream, -1, true);
    EXPECT_EQ(work, (std::vector<int64_t>{32768, 65536}));
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(stream.Size(), static_cast<int64_t>(data.size()));
    EXPECT_EQ(std::string(stream.Memory(), data.size()), data);
}

// A reader woken only once many bytes wait must still take a few bytes that are all the peer
// sends for now (a slow server, the last bytes before a reply is awaited), well within its time-out.
TEST(IdTCPConnection, ALowWaterMarkNeverHoldsBackWhatHasArrived)
{
    LoopbackPeer peer([](int fd) {
        LoopbackPeer::SendAll(fd, Pattern(100));
        LoopbackPeer::ReceiveAll(fd, 1); // nothing more until the client has read those
    });
    auto c = ConnectTo(peer);
    c->ReadTimeout = 5000;
    c->SetReceiveLowWater(256 << 10);
    TStringStream stream;
    const auto start = std::chrono::steady_clock::now();
    c->ReceiveToStream(stream, 100);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(stream.DataString(), Pattern(100));
    c->WriteLine("k");
}

TEST(IdTCPConnection, ReceiveToStreamOfACountTakesBufferedBytesFirst)
{
    LoopbackPeer peer(SendsAndHolds("header\n0123456789tail"));
    auto c = ConnectTo(peer);
    EXPECT_EQ(c->ReadLine(), "header");
    TStringStream stream;
    c->ReceiveToStream(stream, 10);
    EXPECT_EQ(stream.DataString(), "0123456789");
    EXPECT_EQ(c->ReadLine("l"), "tai");
}

TEST(IdTCPConnection, ProbeConnectionOnIdleAndClosedPeer)
{
    LoopbackPeer idle(SendsAndHolds(""));
    auto c = ConnectTo(idle);
    EXPECT_NO_THROW(c->ProbeConnection(true));
    EXPECT_TRUE(c->IsOpen());

    LoopbackPeer closing(Sends(""));
    auto d = ConnectTo(closing);
    closing.Join();
    EXPECT_THROW(d->ProbeConnection(true), EIdConnClosedGracefully);
    EXPECT_FALSE(d->IsOpen());
}

TEST(IdTCPConnection, SendAfterResetClosesSocketAndRaises10054)
{
    // The peer resets only after the client is fully connected (its first byte arrived): a reset
    // during the connect itself is another story.
    LoopbackPeer peer([](int fd) {
        LoopbackPeer::ReceiveAll(fd, 1);
        LoopbackPeer::ArmReset(fd);
    });
    auto c = ConnectTo(peer);
    c->SendText("x");
    peer.Join();
    // The reset has been delivered once the socket turns readable.
    c->IOHandler()->WaitReadable(5000);
    try {
        c->SendText("NOOP\r\n");
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.SocketErrorCode, 10054);
        EXPECT_EQ(e.Message(), "Socket Error # 10054\r\nConnection reset by peer.");
    }
    EXPECT_FALSE(c->IOHandler()->IsOpen());
}

TEST(IdTCPConnection, WriteLineAndSendStreamArriveWhole)
{
    std::promise<std::string> received;
    LoopbackPeer peer([&](int fd) { received.set_value(LoopbackPeer::ReceiveAll(fd)); });
    auto c = ConnectTo(peer);
    std::vector<int64_t> work;
    c->OnWork = [&](TIdBaseComponent*, TWorkMode m, int64_t n) {
        EXPECT_EQ(m, wmWrite);
        work.push_back(n);
    };
    c->WriteLine("USER anonymous");
    const std::string body = Pattern(80000);
    TStringStream source(body);
    source.SetPosition(5);
    c->SendStream(source, false, 0);
    source.SetPosition(70000);
    c->SendStream(source); // rewinds: all of it again
    c->Disconnect();
    const std::string got = received.get_future().get();
    EXPECT_EQ(got, "USER anonymous\r\n" + body.substr(5) + body);
    ASSERT_FALSE(work.empty());
    EXPECT_EQ(work.back(), static_cast<int64_t>(body.size()));
}

TEST(IdTCPConnection, SendStreamFromAShortSourceRaisesNoDataToRead)
{
    LoopbackPeer peer([](int fd) { LoopbackPeer::ReceiveAll(fd); });
    auto c = ConnectTo(peer);
    TStringStream source("abc");
    try {
        c->SendStream(source, true, 10);
        FAIL();
    } catch (const EIdNoDataToRead& e) {
        EXPECT_EQ(e.Message(), "No data to read.");
    }
    EXPECT_EQ(c->WorkLevel(wmWrite), 0);
}

TEST(IdTCPConnection, ShutdownFromAnotherThreadEndsABlockedRead)
{
    LoopbackPeer peer([](int fd) { LoopbackPeer::ReceiveAll(fd); });
    auto c = ConnectTo(peer);
    std::atomic<int> readerId{-1};
    auto reader = std::async(std::launch::async, [&] {
        readerId = ThisThreadId();
        try {
            c->ReadLine();
        } catch (const EIdConnClosedGracefully&) {
            return std::string("closed");
        } catch (const EIdException& e) {
            return e.Message();
        }
        return std::string("line");
    });
    ASSERT_TRUE(PollUntil([&] { return readerId >= 0 && BlockedOnIo(readerId); }));
    c->ShutdownSocket();
    ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(reader.get(), "closed");
}

TEST(IdTCPConnection, DisconnectReportsStatusesAndFreesOwnedHandler)
{
    LoopbackPeer peer([](int fd) { LoopbackPeer::ReceiveAll(fd); });
    auto c = ConnectTo(peer);
    std::vector<std::string> texts;
    int events = 0;
    c->OnStatus = [&](TIdBaseComponent*, TIdStatus, const std::string& t) { texts.push_back(t); };
    c->OnDisconnected = [&](TIdBaseComponent*) { ++events; };
    c->Disconnect();
    EXPECT_EQ(texts, (std::vector<std::string>{"Disconnecting.", "Disconnected."}));
    EXPECT_EQ(events, 1);
    EXPECT_EQ(c->IOHandler(), nullptr);
    try {
        c->ReadLine();
        FAIL();
    } catch (const EIdNotConnected& e) {
        EXPECT_EQ(e.Message(), "Not Connected");
    }
}

TEST(IdTCPConnection, ResetKeepsWhatArrivedBeforeIt)
{
    // As above: the reset comes once the client is connected.
    LoopbackPeer peer([](int fd) {
        LoopbackPeer::ReceiveAll(fd, 1);
        LoopbackPeer::SendAll(fd, Pattern(1000));
        LoopbackPeer::ArmReset(fd);
    });
    auto c = ConnectTo(peer);
    c->SendText("x");
    TStringStream stream;
    EXPECT_THROW(c->ReceiveToStream(stream, -1, true), EIdSocketError);
    EXPECT_EQ(stream.DataString(), Pattern(1000));
}

TEST(IdTCPClient, PortsOutsideTheRangeAreRefusedBeforeConnecting)
{
    for (int port : {0, -1, 65536, 112061}) {
        TIdTCPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(port);
        EXPECT_THROW(client.Connect(1000), EIdInvalidPortRange) << port;
        EXPECT_FALSE(client.IsOpen());
    }
}
