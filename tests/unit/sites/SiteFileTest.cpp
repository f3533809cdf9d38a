#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

#include "rtl/Exception.h"
#include "rtl/Streams.h"
#include "sites/SiteList.h"
#include "support/TempDir.h"

namespace {

std::string ReadAll(const std::string& path)
{
    TMemoryStream m;
    m.LoadFromFile(path);
    return std::string(m.Memory(), static_cast<size_t>(m.Size()));
}

int32_t Int32At(const std::string& b, size_t off)
{
    return static_cast<int32_t>(static_cast<uint8_t>(b[off]) | static_cast<uint8_t>(b[off + 1]) << 8 |
                                static_cast<uint8_t>(b[off + 2]) << 16 |
                                static_cast<uint32_t>(static_cast<uint8_t>(b[off + 3])) << 24);
}

std::string ShortAt(const std::string& b, size_t off)
{
    return b.substr(off + 1, static_cast<uint8_t>(b[off]));
}

TSiteFileData ThreeSites()
{
    TSiteFileData d;
    d.LocalPanelWidth = 420;
    d.ReportPanelHeight = -3;
    d.Proxy.ProxyHost.Assign("proxy.local");
    d.Proxy.ProxyUser.Assign("pu");
    d.Proxy.ProxyPassword.Assign("pp");
    d.Proxy.ProxyPort = 2121;
    for (int i = 0; i < 3; ++i) {
        SiteRecord r = SiteRecord::NewSite("host" + std::to_string(i));
        r.LoginName.Assign("user" + std::to_string(i));
        r.LoginPassword.Assign("pw" + std::to_string(i));
        r.InitialFolder.Assign("/pub/" + std::to_string(i));
        r.PortNumber = 2100 + i;
        r.PassiveMode = static_cast<uint8_t>(i % 2);
        r.TransferMode = i;
        r.SetEncryption(static_cast<TTlsMode>(i));
        d.Sites.Add(r);
    }
    return d;
}

} // namespace

TEST(SiteFile, ThreeSitesGiveTheExactByteLayout)
{
    TempDir dir;
    const std::string path = SiteFilePath(dir.Path());
    SaveSites(path, ThreeSites());
    const std::string b = ReadAll(path);
    ASSERT_EQ(b.size(), 3892u);
    EXPECT_EQ(Int32At(b, 0), 420);
    EXPECT_EQ(Int32At(b, 4), -3);
    EXPECT_EQ(ShortAt(b, 8), "proxy.local");
    EXPECT_EQ(ShortAt(b, 8 + 256), "pu");
    EXPECT_EQ(ShortAt(b, 8 + 512), "pp");
    EXPECT_EQ(Int32At(b, 8 + 768), 2121);
    EXPECT_EQ(Int32At(b, 780), 3);
    for (size_t i = 0; i < 3; ++i) {
        const size_t r = 784 + i * 1036;
        const std::string n = std::to_string(i);
        EXPECT_EQ(ShortAt(b, r), "host" + n);
        EXPECT_EQ(ShortAt(b, r + 256), "user" + n);
        EXPECT_EQ(ShortAt(b, r + 512), "pw" + n);
        EXPECT_EQ(ShortAt(b, r + 768), "/pub/" + n);
        EXPECT_EQ(Int32At(b, r + 1024), static_cast<int32_t>(2100 + i));
        EXPECT_EQ(b[r + 1028], static_cast<char>(i % 2));
        EXPECT_EQ(b[r + 1029], static_cast<char>(i)); // the encryption choice, checked, marked
        EXPECT_EQ(b[r + 1030], static_cast<char>(i ^ 0xA5));
        EXPECT_EQ(b[r + 1031], '\x54');
        EXPECT_EQ(Int32At(b, r + 1032), static_cast<int32_t>(i));
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    TSiteFileData back;
    ASSERT_TRUE(LoadSites(path, back));
    ASSERT_EQ(back.Sites.Count(), 3);
    EXPECT_EQ(back.Sites.Get(2).HostName.Str(), "host2");
    EXPECT_EQ(back.Sites.Get(1).PassiveMode, 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(back.Sites.Get(i).Encryption(), static_cast<TTlsMode>(i));
    EXPECT_EQ(back.Proxy.ProxyPort, 2121);
    EXPECT_EQ(back.LocalPanelWidth, 420);
    EXPECT_EQ(EncodeSiteRecord(back.Sites.Get(0)), EncodeSiteRecord(ThreeSites().Sites.Get(0)));
}

TEST(SiteFile, NoSitesAndNoFile)
{
    TempDir dir;
    const std::string path = SiteFilePath(dir.Path() + "/");
    TSiteFileData d;
    EXPECT_FALSE(LoadSites(path, d));
    EXPECT_EQ(d.Sites.Count(), 0);
    SaveSites(path, d);
    EXPECT_EQ(ReadAll(path).size(), 784u);
    EXPECT_EQ(path, dir.Path() + "/servers.sit");
}

TEST(SiteFile, LongTextIsCutAndShorterValuesLeaveNoOldBytes)
{
    SiteRecord r = SiteRecord::NewSite(std::string(300, 'h'));
    EXPECT_EQ(r.HostName.Str(), std::string(255, 'h'));
    r.LoginPassword.Assign("a-long-secret");
    r.LoginPassword.Assign("abc");
    const std::string b = EncodeSiteRecord(r);
    ASSERT_EQ(b.size(), 1036u);
    EXPECT_EQ(b[0], static_cast<char>(255));
    EXPECT_EQ(b.substr(512, 4), std::string("\x03"
                                            "abc"));
    EXPECT_EQ(b.find("secret"), std::string::npos);
    EXPECT_EQ(Int32At(b, 1024), 21);
}

TEST(SiteFile, TruncatedFileKeepsMissingHeaderValuesAndWholeRecordsOnly)
{
    TempDir dir;
    const std::string path = SiteFilePath(dir.Path());
    SaveSites(path, ThreeSites());
    const std::string full = ReadAll(path);
    auto loadPrefix = [&](size_t n) {
        TFileStream f(path, fmCreate);
        f.WriteBuffer(full.data(), static_cast<int64_t>(n));
        TSiteFileData d;
        d.ReportPanelHeight = 77;
        d.Proxy.ProxyPort = 9;
        EXPECT_TRUE(LoadSites(path, d));
        return d;
    };
    TSiteFileData two = loadPrefix(784 + 2 * 1036 + 1035);
    EXPECT_EQ(two.Sites.Count(), 2);
    EXPECT_EQ(two.Sites.Get(1).HostName.Str(), "host1");
    TSiteFileData headerOnly = loadPrefix(6);
    EXPECT_EQ(headerOnly.LocalPanelWidth, 420);
    EXPECT_EQ(headerOnly.ReportPanelHeight, 77);
    EXPECT_EQ(headerOnly.Proxy.ProxyPort, 9);
    EXPECT_EQ(headerOnly.Sites.Count(), 0);
    TSiteFileData empty = loadPrefix(0);
    EXPECT_EQ(empty.Sites.Count(), 0);
}

TEST(SiteFile, NegativeOrHugeCountsReadOnlyWhatIsThere)
{
    TempDir dir;
    const std::string path = SiteFilePath(dir.Path());
    SaveSites(path, ThreeSites());
    std::string b = ReadAll(path);
    for (int32_t count : {-5, 0, 1000000}) {
        for (int i = 0; i < 4; ++i)
            b[780 + i] = static_cast<char>((static_cast<uint32_t>(count) >> (8 * i)) & 0xFF);
        {
            TFileStream f(path, fmCreate);
            f.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
        }
        TSiteFileData d;
        LoadSites(path, d);
        EXPECT_EQ(d.Sites.Count(), count > 0 ? 3 : 0);
    }
}

TEST(SiteFile, FailedSaveLeavesThePreviousFileAndNamesTheFile)
{
    TempDir dir;
    const std::string path = SiteFilePath(dir.Path());
    SaveSites(path, ThreeSites());
    const std::string before = ReadAll(path);

    TSiteFileData big = ThreeSites();
    for (int i = 0; i < 40; ++i)
        big.Sites.Add(SiteRecord::NewSite("more"));
    // A full disk, as the save sees it: writes past 8 KiB fail.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 8192;
    ::setrlimit(RLIMIT_FSIZE, &small);
    std::string message;
    try {
        SaveSites(path, big);
    } catch (const EFileStreamError& e) {
        message = e.Message();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_EQ(ReadAll(path), before);
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1); // no temporary file left behind
    EXPECT_THROW(SaveSites(dir.Path() + "/missing/servers.sit", big), EFCreateError);
}

// Older versions wrote the three bytes after the passive flag as they found them in memory: they
// must read as plain FTP (no silent change of behaviour), and be written back untouched.
TEST(SiteFile, OlderFilesPaddingReadsAsPlainFtpAndIsKeptAsFound)
{
    struct Case {
        const char* what;
        char padding[4];
        TTlsMode mode;
    };
    const Case cases[] = {
        {"zeros of an earlier version", "\0\0\0", TTlsMode::PlainOnly},
        {"memory garbage", "\x01\x02\x03", TTlsMode::PlainOnly},
        {"check without marker", "\x01\xA4\x00", TTlsMode::PlainOnly},
        {"marker with a wrong check", "\x01\xA5\x54", TTlsMode::PlainOnly},
        {"a mode beyond the known ones", "\x03\xA6\x54", TTlsMode::PlainOnly},
        {"require", "\x01\xA4\x54", TTlsMode::Require},
        {"if available", "\x02\xA7\x54", TTlsMode::IfAvailable},
        {"plain, chosen", "\x00\xA5\x54", TTlsMode::PlainOnly},
    };
    TempDir dir;
    const std::string path = SiteFilePath(dir.Path());
    SaveSites(path, ThreeSites());
    std::string b = ReadAll(path);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        b.replace(784 + 1029, 3, std::string(c.padding, 3));
        {
            TFileStream f(path, fmCreate);
            f.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
        }
        TSiteFileData d;
        ASSERT_TRUE(LoadSites(path, d));
        EXPECT_EQ(d.Sites.Get(0).Encryption(), c.mode);
        EXPECT_EQ(d.Sites.Get(0).HostName.Str(), "host0");
        EXPECT_EQ(d.Sites.Get(0).TransferMode, 0);
        SaveSites(path, d);
        EXPECT_EQ(ReadAll(path), b);
    }
    SiteRecord fresh = SiteRecord::NewSite("new");
    EXPECT_EQ(fresh.Encryption(), TTlsMode::PlainOnly);
    fresh.SetEncryption(TTlsMode::Require);
    EXPECT_EQ(fresh.Encryption(), TTlsMode::Require);
    EXPECT_EQ(EncodeSiteRecord(fresh).substr(1028, 8), std::string("\x00\x01\xA4\x54\x00\x00\x00\x00", 8));
}

TEST(SiteList, AddGetRemoveKeepOrder)
{
    TSiteList l;
    EXPECT_EQ(l.Add(SiteRecord::NewSite("a")), 0);
    EXPECT_EQ(l.Add(SiteRecord::NewSite("b")), 1);
    EXPECT_EQ(l.Add(SiteRecord::NewSite("c")), 2);
    l.Remove(1);
    ASSERT_EQ(l.Count(), 2);
    EXPECT_EQ(l.Get(1).HostName.Str(), "c");
    EXPECT_THROW(l.Get(2), EListError);
    EXPECT_THROW(l.Remove(-1), EListError);
}
