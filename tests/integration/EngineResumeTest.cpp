// Downloads resumed against vsftpd, which lists REST STREAM.
#include <gtest/gtest.h>

#include <algorithm>

#include "ftp/IdFTP.h"
#include "support/EngineHarness.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace {

constexpr int64_t kMiB = 1 << 20;

std::string Pattern(int64_t size)
{
    std::string data(static_cast<size_t>(size), '\0');
    for (int64_t i = 0; i < size; ++i)
        data[static_cast<size_t>(i)] = static_cast<char>((i * 131 + i / 4099) & 0xFF);
    return data;
}

} // namespace

TEST(EngineResume, AHundredMiBDownloadCutAt40MiBIsResumedByteForByte)
{
    SKIP_WITHOUT(WhyNoVsftpd());
    VsftpdServer server;
    const std::string data = Pattern(100 * kMiB);
    server.PutFile("big.bin", data);
    TempDir local;
    const std::string path = local.Path() + "/big.bin";
    EngineHarness h;
    ASSERT_TRUE(h.Connect("127.0.0.1", server.Port(), server.User(), server.Password(), true));
    EXPECT_TRUE(h.Worker->FFTP->Supports("REST STREAM"));
    TFTPFileInfo info;
    info.Name = "big.bin";
    info.Folder = "/";
    info.FullPath = "/big.bin";
    info.Kind = ikFile;

    // Resume is offered for a shorter local file only; No keeps it as it was.
    struct Offer {
        int64_t localSize;
        bool offered;
    };
    for (const Offer& k : {Offer{100 * kMiB, false}, Offer{101 * kMiB, false}, Offer{40 * kMiB, true}}) {
        WriteFileBytes(
            path, data.substr(0, static_cast<size_t>(std::min(k.localSize, 100 * kMiB))) +
                      std::string(static_cast<size_t>(std::max<int64_t>(k.localSize - 100 * kMiB, 0)), 'x'));
        h.ResumeOffers.clear();
        h.Answer = 'n';
        h.Worker->AddGet(&info, path);
        ASSERT_TRUE(h.RunUntilIdle());
        EXPECT_EQ(h.ResumeOffers, std::vector<bool>{k.offered}) << k.localSize;
        EXPECT_EQ(static_cast<int64_t>(ReadFileBytes(path).size()), k.localSize);
    }

    h.Answer = 'r';
    h.Worker->AddGet(&info, path);
    ASSERT_TRUE(h.RunUntilIdle(std::chrono::seconds(120)));
    const std::string got = ReadFileBytes(path);
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data);
    EXPECT_NE(std::find(h.ProtocolLines.begin(), h.ProtocolLines.end(), ">> REST 41943040"),
              h.ProtocolLines.end());
    EXPECT_EQ(h.Rows.back().FinalState, "Completed");
}
