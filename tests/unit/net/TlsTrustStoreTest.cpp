// The trusted-certificates file: keys per host and port, hand-edited lines that do not parse,
// replacement of a changed certificate, private mode, and a folder that cannot be written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "net/TlsTrustStore.h"
#include "rtl/Exception.h"
#include "support/TempDir.h"

TEST(TlsTrustStore, KeepsOneCertificatePerHostAndPort)
{
    TempDir dir;
    const std::string path = dir.Path() + "/trusted-certs";
    std::ofstream(path) << "# comment\nbroken-line\nftp.example.org:21 AA:BB\n\n";
    TTlsTrustStore store(path);
    EXPECT_EQ(store.Find("FTP.example.org", 21), "AA:BB"); // host names in any case
    EXPECT_EQ(store.Find("ftp.example.org", 990), "");
    store.Trust("ftp.example.org", 21, "CC:DD");
    store.Trust("::1", 2121, "EE:FF");
    // A second reader (another running copy) sees the file as written.
    TTlsTrustStore other(path);
    EXPECT_EQ(other.Find("ftp.example.org", 21), "CC:DD");
    EXPECT_EQ(other.Find("::1", 2121), "EE:FF");
    EXPECT_EQ(TTlsTrustStore::Key("::1", 2121), "[::1]:2121");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(TlsTrustStore, UnwritableFolderRaisesAndKeepsTheEntryForTheRun)
{
    TempDir dir;
    const std::string path = dir.Path() + "/missing-folder/trusted-certs";
    TTlsTrustStore store(path);
    EXPECT_THROW(store.Trust("127.0.0.1", 21, "AA:BB"), EWriteError);
    EXPECT_EQ(store.Find("127.0.0.1", 21), "AA:BB");
    TTlsTrustStore memoryOnly("");
    memoryOnly.Trust("127.0.0.1", 21, "AA:BB");
    EXPECT_EQ(memoryOnly.Find("127.0.0.1", 21), "AA:BB");
}
