// The client on IPv6: vsftpd and pyftpdlib on ::1, reached by a literal address, by the address in
// brackets as typed in a server box, and by names that resolve to ::1 (the stack's test table);
// data connections by EPSV and EPRT.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <tuple>

#include "FtpClientFixture.h"
#include "support/EngineHarness.h"
#include "support/PyftpdServer.h"
#include "support/ServerSkip.h"
#include "support/VsftpdServer.h"

namespace {

enum class Peer { Vsftpd, Pyftpd };

// Either server on ::1, behind one face.
struct IPv6Server {
    std::unique_ptr<VsftpdServer> Vsftpd;
    std::unique_ptr<PyftpdServer> Pyftpd;

    explicit IPv6Server(Peer peer)
    {
        if (peer == Peer::Vsftpd) {
            VsftpdOptions options;
            options.Address = "::1";
            Vsftpd = std::make_unique<VsftpdServer>(options);
        } else {
            Pyftpd = std::make_unique<PyftpdServer>("::1");
        }
    }
    int Port() const { return Vsftpd ? Vsftpd->Port() : Pyftpd->Port(); }
    std::string User() const { return Vsftpd ? Vsftpd->User() : Pyftpd->User(); }
    std::string Password() const { return Vsftpd ? Vsftpd->Password() : Pyftpd->Password(); }
    std::string Root() const { return Vsftpd ? Vsftpd->Root() : Pyftpd->Root(); }
    void PutFile(const std::string& name, const std::string& data)
    {
        if (Vsftpd)
            Vsftpd->PutFile(name, data);
        else
            WriteFile(Pyftpd->Root() + "/" + name, data);
    }
};

std::string WhyNot(Peer peer)
{
    const std::string why = WhyNoIPv6();
    return !why.empty() ? why : peer == Peer::Vsftpd ? WhyNoVsftpd() : WhyNoPyftpd();
}

// Names that lead to ::1 only, and to a refused 127.0.0.1 first (the servers listen on ::1 only).
struct TestNames {
    TestNames()
    {
        TIdStack::SetTestHostAddresses("ipv6-only.test", {"::1"});
        TIdStack::SetTestHostAddresses("v4-refuses.test", {"127.0.0.1", "::1"});
    }
    ~TestNames()
    {
        TIdStack::SetTestHostAddresses("ipv6-only.test", {});
        TIdStack::SetTestHostAddresses("v4-refuses.test", {});
    }
};

class FtpIPv6 : public ::testing::TestWithParam<std::tuple<Peer, bool>> {};

TEST_P(FtpIPv6, EveryHostFormListsAndTransfers)
{
    const auto [peer, passive] = GetParam();
    SKIP_WITHOUT(WhyNot(peer));
    IPv6Server server(peer);
    const std::string data = Pattern(1536 * 1024 + 3, 11);
    server.PutFile("data.bin", data);
    TestNames names;
    int round = 0;
    for (const char* host : {"::1", "[::1]", "ipv6-only.test", "v4-refuses.test"}) {
        SCOPED_TRACE(host);
        LoggedClient client(host, server.Port(), server.User(), server.Password(), passive);
        TIdFTP& ftp = client.Ftp;
        ASSERT_NO_THROW(ftp.ConnectAndLogin());
        EXPECT_EQ(ftp.PeerIP(), "::1");
        ftp.ListFolder(nullptr, "");
        ASSERT_NE(FindEntry(ftp.ParsedListing(), "data.bin"), nullptr) << ftp.ListingLines().Text();
        TStringStream down;
        ftp.DownloadToStream("data.bin", down);
        EXPECT_TRUE(down.DataString() == data);
        const std::string upName = "up" + std::to_string(++round) + ".bin";
        TStringStream up(data.substr(round));
        ftp.UploadFromStream(up, upName);
        EXPECT_TRUE(FileText(server.Root() + "/" + upName) == data.substr(round));
        if (passive) {
            EXPECT_NE(client.Sent.find("EPSV<EOL>"), std::string::npos) << client.Sent;
            EXPECT_EQ(client.Sent.find("PASV"), std::string::npos) << client.Sent;
        } else {
            EXPECT_NE(client.Sent.find("EPRT |2|::1|"), std::string::npos) << client.Sent;
            EXPECT_EQ(client.Sent.find("PORT "), std::string::npos) << client.Sent;
        }
        ftp.Disconnect();
    }
}

INSTANTIATE_TEST_SUITE_P(ServersAndModes, FtpIPv6,
                         ::testing::Combine(::testing::Values(Peer::Vsftpd, Peer::Pyftpd),
                                            ::testing::Values(true, false)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) == Peer::Vsftpd ? "Vsftpd"
                                                                                        : "Pyftpd") +
                                    (std::get<1>(info.param) ? "Passive" : "Active");
                         });

// The worker as the window drives it: the server box text "[::1]" connects, the Log page names
// the address reached, and a listing comes back.
TEST(EngineIPv6, BracketedAddressConnectsAndTheLogNamesTheAddress)
{
    SKIP_WITHOUT(WhyNot(Peer::Pyftpd));
    PyftpdServer server("::1");
    WriteFile(server.Root() + "/seen.txt", "x");
    EngineHarness h;
    ASSERT_TRUE(h.Connect("[::1]", server.Port(), server.User(), server.Password(), true));
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_NE(std::find(h.ProtocolLines.begin(), h.ProtocolLines.end(),
                        "Connected to ::1 port " + std::to_string(server.Port())),
              h.ProtocolLines.end());
    const auto names = h.CurrentNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "seen.txt"), names.end());
}

} // namespace
