#pragma once
// Tests against real servers skip, with one line saying why, where a server cannot run: a program
// or module is missing, or vsftpd lacks root. With FERRYSTAR_REQUIRE_SERVERS=1 (CI) they fail instead,
// so that a broken set-up cannot pass as a row of skipped tests.
#include <gtest/gtest.h>

#include <string>

// Why the server cannot run here; "" when it can.
std::string WhyNoVsftpd();
std::string WhyNoPyftpd();
std::string WhyNoFtpProxy();
// For servers on ::1.
std::string WhyNoIPv6();
// For a vsftpd behind ftp-proxy, which must sit on port 21 of some 127.x.y.z.
std::string WhyNoProxyTarget();

// "" or the reason to skip; raises when servers are required.
std::string SkipReason(const std::string& why);
// For a server's constructor: true when it may start. Otherwise marks the running test skipped
// (as a fixture's member, this keeps SetUp and the body from running) and returns false; outside a
// test (benchmarks) raises.
bool ServerMayStart(const std::string& why);

// The first line of a test that builds a server in its body, e.g. SKIP_WITHOUT(WhyNoVsftpd()).
#define SKIP_WITHOUT(why)                                                                                    \
    if (const std::string skipReason_ = SkipReason(why); !skipReason_.empty())                               \
    GTEST_SKIP() << skipReason_
