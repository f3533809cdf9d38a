#include <gtest/gtest.h>

#include "net/IdStackPosix.h"
#include "net/IdTCPClient.h"
#include "support/LoopbackPorts.h"

namespace {
// Counts name lookups instead of doing them.
class CountingStack : public TIdStackPosix {
public:
    std::string WSGetHostByName(const std::string& name) override
    {
        ++Lookups;
        return TIdStackPosix::WSGetHostByName(name);
    }
    std::vector<std::string> WSGetHostAddresses(const std::string& name) override
    {
        ++Lookups;
        return TIdStackPosix::WSGetHostAddresses(name);
    }
    int Lookups = 0;
};

// A name that fails before any query leaves the machine: its first label is over 63 bytes.
std::string UnresolvableName()
{
    return std::string(70, 'x') + ".invalid";
}
} // namespace

TEST(IdStack, DottedAddressCases)
{
    EXPECT_TRUE(TIdStack::IsDottedAddress("0.0.0.0"));
    EXPECT_TRUE(TIdStack::IsDottedAddress("255.255.255.255"));
    EXPECT_TRUE(TIdStack::IsDottedAddress("127.0.0.1"));
    EXPECT_FALSE(TIdStack::IsDottedAddress("256.1.1.1"));
    EXPECT_FALSE(TIdStack::IsDottedAddress("1.2.3"));
    EXPECT_FALSE(TIdStack::IsDottedAddress("1.2.3.4.5"));
    EXPECT_FALSE(TIdStack::IsDottedAddress("ftp.example.com"));
    EXPECT_FALSE(TIdStack::IsDottedAddress("1..2.3"));
    EXPECT_FALSE(TIdStack::IsDottedAddress(""));
}

TEST(IdStack, AddressFormsOfBothFamilies)
{
    struct Row {
        std::string Text;
        bool IPv6;
        std::string Stripped;
    };
    const std::vector<Row> rows = {
        {"::1", true, "::1"},
        {"[::1]", false, "::1"},
        {"fe80::1%lo", true, "fe80::1%lo"},
        {"2001:db8::7:1", true, "2001:db8::7:1"},
        {"127.0.0.1", false, "127.0.0.1"},
        {"[127.0.0.1]", false, "[127.0.0.1]"},
        {"[::1]:2121", false, "[::1]:2121"},
        {"::1%", false, "::1%"},
        {"1:2:3", false, "1:2:3"},
        {"ftp.example.com", false, "ftp.example.com"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TIdStack::IsIPv6Address(row.Text), row.IPv6) << row.Text;
        EXPECT_EQ(TIdStack::StripBrackets(row.Text), row.Stripped) << row.Text;
    }
    EXPECT_EQ(TIdStack::AddressVersion("::1"), Id_IPv6);
    EXPECT_EQ(TIdStack::AddressVersion("127.0.0.1"), Id_IPv4);
}

TEST(IdStack, TheTestTableComesBeforeAnyLookup)
{
    TIdTCPClient keepStack;
    TIdStack* saved = GStack;
    CountingStack counting;
    GStack = &counting;
    TIdStack::SetTestHostAddresses("Twice.Test", {"::1", "127.0.0.1"});
    EXPECT_EQ(GStack->LookupHostAddresses("twice.test"), (std::vector<std::string>{"::1", "127.0.0.1"}));
    TIdStack::SetTestHostAddresses("twice.test", {});
    EXPECT_EQ(GStack->LookupHostAddresses("[::1]"), std::vector<std::string>{"::1"});
    EXPECT_EQ(GStack->LookupHostAddresses("localhost"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_EQ(counting.Lookups, 0);
    GStack = saved;
    EXPECT_THROW(GStack->LookupHostAddresses("twice.test" + std::string(70, 'z') + ".invalid"),
                 EIdSocketError);
}

TEST(IdStack, AddressTextConversions)
{
    const TIdInAddr a = TIdStack::TranslateStringToTInAddr("10.0.200.7");
    EXPECT_EQ(TIdStack::TInAddrToString(a), "10.0.200.7");
    EXPECT_THROW(TIdStack::TranslateStringToTInAddr("10.x.0.1"), EConvertError);
}

TEST(IdStack, ErrorMessagesComeFromTheTable)
{
    TIdTCPClient keepStack;
    try {
        GStack->RaiseSocketError(10035);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.SocketErrorCode, 10035);
        EXPECT_EQ(e.Message(), "Socket Error # 10035\r\nOperation would block. ");
    }
    try {
        GStack->RaiseSocketError(12345);
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.Message(), "Socket Error # 12345\r\n");
    }
    EXPECT_EQ(GStack->WSTranslateSocketErrorMsg(10066), "Directory not empty");
}

TEST(IdStack, ErrorTestToleratesOnlyListedCodes)
{
    TIdTCPClient keepStack;
    EXPECT_FALSE(GStack->CheckForSocketError(0));
    errno = ECONNRESET;
    EXPECT_TRUE(GStack->CheckForSocketError(-1, {10053, 10054}));
    EXPECT_EQ(GStack->LastError(), 10054);
    errno = ECONNRESET;
    EXPECT_THROW(GStack->CheckForSocketError(-1), EIdSocketError);
}

TEST(IdStack, LocalhostNeedsNoLookupInAnyCase)
{
    TIdTCPClient keepStack;
    TIdStack* saved = GStack;
    CountingStack counting;
    GStack = &counting;
    EXPECT_EQ(GStack->LookupHost("LOCALHOST"), "127.0.0.1");
    EXPECT_EQ(GStack->LookupHost("LocalHost"), "127.0.0.1");
    EXPECT_EQ(GStack->LookupHost("127.0.0.2"), "127.0.0.2");
    EXPECT_EQ(counting.Lookups, 0);
    GStack = saved;
}

TEST(IdStack, FailedLookupIsHostNotFound)
{
    TIdTCPClient keepStack;
    try {
        GStack->LookupHost(UnresolvableName());
        FAIL();
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.SocketErrorCode, 11001);
        EXPECT_EQ(e.Message(), "Socket Error # 11001\r\nHost not found.");
    }
}

TEST(IdStack, StackLivesAsLongAsAnyComponent)
{
    ASSERT_EQ(TIdComponent::InstanceCount(), 0);
    EXPECT_EQ(GStack, nullptr);
    {
        TIdTCPClient a;
        TIdStack* first = GStack;
        ASSERT_NE(first, nullptr);
        TIdTCPClient b;
        EXPECT_EQ(GStack, first);
    }
    EXPECT_EQ(GStack, nullptr);
}
