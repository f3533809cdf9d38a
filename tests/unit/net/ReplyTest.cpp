#include <gtest/gtest.h>

#include <memory>

#include "support/LoopbackPorts.h"
#include "net/IdTCPClient.h"

namespace {

std::vector<std::string> Lines(const TIdRFCReply& r)
{
    return r.Text.Items();
}
} // namespace

TEST(IdRFCReply, CodesAndTextFollowEachOther)
{
    TIdRFCReply r;
    r.SetNumericCode(331);
    EXPECT_EQ(r.TextCode(), "331");
    r.SetTextCode("abc");
    EXPECT_EQ(r.NumericCode(), 0);
    r.SetTextCode("226");
    EXPECT_EQ(r.NumericCode(), 226);
    r.Text.Add("x");
    TIdRFCReply copy;
    copy.Assign(r);
    EXPECT_EQ(copy.NumericCode(), 226);
    EXPECT_EQ(Lines(copy), std::vector<std::string>{"x"});
    r.Clear();
    EXPECT_EQ(r.NumericCode(), 0);
    EXPECT_EQ(r.TextCode(), "");
    EXPECT_EQ(r.Text.Count(), 0);
}

// One connection carries a transcript of replies; each is read in turn.
TEST(IdTCPConnection, ReadsTranscriptOfReplies)
{
    LoopbackPeer peer([](int fd) {
        LoopbackPeer::SendAll(fd, "230 Login ok.\r\n"
                                  "220-Welcome\r\n    to the server\r\n220 Ready\r\n"
                                  "\r\n  \r\n257 \"/\" is current\r\n"
                                  "220-First\r\n2201 not the end\r\n\r\n220\r\n"
                                  "211-Features\r\n sizes\r\n211 end\n"
                                  "hello there\r\n");
        LoopbackPeer::ReceiveAll(fd);
    });
    auto c = ConnectTo(peer);

    EXPECT_EQ(c->ReadReply({}), 230);
    EXPECT_EQ(c->LastReply().TextCode(), "230");
    EXPECT_EQ(Lines(c->LastReply()), std::vector<std::string>{"Login ok."});

    EXPECT_EQ(c->ReadReply({220}), 220);
    EXPECT_EQ(Lines(c->LastReply()), (std::vector<std::string>{"Welcome", "he server", "Ready"}));

    EXPECT_EQ(c->ReadReply({}), 257);
    EXPECT_EQ(Lines(c->LastReply()), std::vector<std::string>{"\"/\" is current"});

    // "2201" does not end the reply, a blank line is skipped, "220" alone ends it.
    EXPECT_EQ(c->ReadReply({}), 220);
    EXPECT_EQ(Lines(c->LastReply()), (std::vector<std::string>{"First", " not the end", ""}));

    EXPECT_EQ(c->ReadReply({}), 211);
    EXPECT_EQ(Lines(c->LastReply()), (std::vector<std::string>{"Features", "s", "end"}));

    EXPECT_THROW(c->ReadReply({200}), EIdProtocolReplyError);
    EXPECT_EQ(c->LastReply().NumericCode(), 0);
}

TEST(IdTCPConnection, SendCommandChecksCodes)
{
    std::string commands;
    LoopbackPeer peer([&](int fd) {
        LoopbackPeer::ReceiveAll(fd, 8);
        LoopbackPeer::SendAll(fd, "550-No such file\r\n550 really\r\n");
        LoopbackPeer::ReceiveAll(fd, 6);
        LoopbackPeer::SendAll(fd, "502 Not here.\r\n");
        LoopbackPeer::ReceiveAll(fd, 6);
        LoopbackPeer::SendAll(fd, "200 OK\r\n");
        commands = LoopbackPeer::ReceiveAll(fd);
    });
    auto c = ConnectTo(peer);
    try {
        c->SendCommand("CWD /x", 250);
        FAIL();
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode, 550);
        EXPECT_EQ(e.Message(), "No such file\r\nreally\r\n");
    }
    // The rejected reply stays readable.
    EXPECT_EQ(c->LastReply().NumericCode(), 550);
    EXPECT_EQ(c->SendCommand("SYST", -1), 502);
    EXPECT_EQ(c->SendCommand("NOOP", std::vector<int16_t>{200, 250}), 200);
}

TEST(IdTCPConnection, FailedReplyReadLeavesLastReply)
{
    LoopbackPeer peer([](int fd) { LoopbackPeer::SendAll(fd, "226 Done\r\n150-partial\r\n"); });
    auto c = ConnectTo(peer);
    EXPECT_EQ(c->ReadReply({226}), 226);
    EXPECT_THROW(c->ReadReply({}), EIdConnClosedGracefully);
    EXPECT_EQ(c->LastReply().NumericCode(), 226);
}
