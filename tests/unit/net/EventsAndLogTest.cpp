#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/LoopbackPorts.h"
#include "net/IdLogEvent.h"
#include "net/IdTCPClient.h"

TEST(IdComponent, WorkBracketsNestAndCountFromTheOutermostBegin)
{
    TIdTCPClient c;
    std::vector<std::string> events;
    c.OnWorkBegin = [&](TIdBaseComponent*, TWorkMode, int64_t max) {
        events.push_back("begin " + std::to_string(max));
    };
    c.OnWork = [&](TIdBaseComponent*, TWorkMode, int64_t n) {
        events.push_back("work " + std::to_string(n));
    };
    c.OnWorkEnd = [&](TIdBaseComponent*, TWorkMode) { events.push_back("end"); };
    c.ReportWork(wmRead, 5);
    EXPECT_EQ(c.WorkPosition(wmRead), 0);
    c.StartWork(wmRead, 100);
    c.StartWork(wmRead, 7);
    c.ReportWork(wmRead, 10);
    c.ReportWork(wmWrite, 3); // other mode, no bracket
    c.ReportWork(wmRead, 20);
    c.FinishWork(wmRead);
    c.FinishWork(wmRead);
    c.FinishWork(wmRead); // unbalanced: no event, no negative level
    EXPECT_EQ(events, (std::vector<std::string>{"begin 100", "work 10", "work 30", "end"}));
    EXPECT_EQ(c.WorkLevel(wmRead), 0);
}

TEST(IdComponent, StatusTextsAreFilledOnlyWhenHandled)
{
    TIdTCPClient c;
    c.DoStatus(hsResolving, "x"); // no handler: nothing happens
    std::vector<std::string> texts;
    c.OnStatus = [&](TIdBaseComponent*, TIdStatus, const std::string& t) { texts.push_back(t); };
    c.DoStatus(hsResolving, "ftp.test");
    c.DoStatus(hsConnecting, "10.1.2.3");
    c.DoStatus(hsStatusText, "free text");
    c.DoStatus(ftpReady);
    EXPECT_EQ(texts, (std::vector<std::string>{"Resolving hostname ftp.test.", "Connecting to 10.1.2.3.",
                                               "free text", ""}));
}

TEST(IdLogBase, ReplacesLineEndsInOrder)
{
    EXPECT_EQ(TIdLogBase::ReplaceLineEnds("a\r\nb\r\n"), "a<EOL>b<EOL>");
    EXPECT_EQ(TIdLogBase::ReplaceLineEnds("x\ry\nz\n\r\r\n"), "x<CR>y<LF>z<LF><CR><EOL>");
}

namespace {
struct LogRecord {
    std::vector<std::string> Received, Sent, Statuses, Times;
    void Attach(TIdLogEvent& log)
    {
        log.OnReceived = [this](TIdBaseComponent*, const std::string& t, const std::string& d) {
            Times.push_back(t);
            Received.push_back(d);
        };
        log.OnSent = [this](TIdBaseComponent*, const std::string& t, const std::string& d) {
            Times.push_back(t);
            Sent.push_back(d);
        };
        log.OnStatus = [this](TIdBaseComponent*, const std::string& t) { Statuses.push_back(t); };
    }
};
} // namespace

TEST(IdLogEvent, LogsBlocksOfAnAttachedConnection)
{
    LoopbackPeer peer([](int fd) {
        LoopbackPeer::ReceiveAll(fd, 6);
        LoopbackPeer::SendAll(fd, "200-a\r\n200 b\r\n");
        LoopbackPeer::ReceiveAll(fd);
    });
    TIdLogEvent log;
    LogRecord rec;
    rec.Attach(log);
    log.SetActive(true);
    log.LogTime = false;
    TIdTCPClient c;
    c.SetIntercept(&log);
    c.SetHost("127.0.0.1");
    c.SetPort(peer.Port());
    c.Connect();
    EXPECT_EQ(c.SendCommand("NOOP", 200), 200);
    c.Disconnect();
    EXPECT_EQ(rec.Sent, std::vector<std::string>{"NOOP<EOL>"});
    std::string received;
    for (const auto& block : rec.Received)
        received += block;
    EXPECT_EQ(received, "200-a<EOL>200 b<EOL>");
    for (const auto& t : rec.Times)
        EXPECT_EQ(t, "");
    EXPECT_EQ(rec.Statuses, (std::vector<std::string>{"Connected.", "Disconnected."}));
}

TEST(IdLogEvent, TimeTextRawDataAndInactiveLog)
{
    LoopbackPeer peer([](int fd) { LoopbackPeer::ReceiveAll(fd); });
    auto log = std::make_unique<TIdLogEvent>();
    LogRecord rec;
    rec.Attach(*log);
    log->ReplaceCRLF = false;
    TIdTCPClient c;
    c.SetIntercept(log.get());
    c.SetHost("127.0.0.1");
    c.SetPort(peer.Port());
    c.Connect();
    c.WriteLine("inactive");
    EXPECT_TRUE(rec.Sent.empty());
    log->SetActive(true);
    c.WriteLine("PASS x");
    ASSERT_EQ(rec.Sent, std::vector<std::string>{"PASS x\r\n"});
    ASSERT_EQ(rec.Times.size(), 1u);
    EXPECT_EQ(rec.Times[0].size(), 19u); // "yyyy-mm-dd hh:nn:ss"
    // A log freed while attached is dropped by the connection.
    log.reset();
    EXPECT_EQ(c.Intercept(), nullptr);
    c.WriteLine("after");
}

TEST(IdConnectionIntercept, NestedInterceptorsSeeDataInOrder)
{
    std::vector<std::string> order;
    TIdConnectionIntercept outer;
    TIdConnectionIntercept inner;
    outer.SetIntercept(&inner);
    outer.OnReceive = [&](TIdBaseComponent*, TStream&) { order.push_back("outer receive"); };
    inner.OnReceive = [&](TIdBaseComponent*, TStream&) { order.push_back("inner receive"); };
    outer.OnSend = [&](TIdBaseComponent*, TStream&) { order.push_back("outer send"); };
    inner.OnSend = [&](TIdBaseComponent*, TStream&) { order.push_back("inner send"); };
    TStringStream block("data");
    outer.Receive(block);
    outer.Send(block);
    EXPECT_EQ(order,
              (std::vector<std::string>{"inner receive", "outer receive", "outer send", "inner send"}));
}
