#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "rtl/Exception.h"
#include "rtl/TempFolder.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

TEST(TempFolder, CreatesPrivateFolderAndRefusesLinksAndFiles)
{
    TempDir dir;
    const std::string own = dir.Path() + "/own";
    EnsurePrivateFolder(own);
    struct stat st {};
    ASSERT_EQ(::stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(own.c_str(), 0777);
    EnsurePrivateFolder(own); // an existing folder of ours is tightened
    ::stat(own.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const std::string link = dir.Path() + "/link";
    fs::create_directory_symlink(own, link);
    EXPECT_THROW(EnsurePrivateFolder(link), EInOutError);
    const std::string file = dir.Path() + "/file";
    std::ofstream(file) << "x";
    EXPECT_THROW(EnsurePrivateFolder(file), EInOutError);
}

TEST(TempFolder, PrepareMakesFtpTempCurrentAndDeleteNeverFollowsLinks)
{
    TempDir dir;
    const std::string saved = fs::current_path().string();
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    const std::string temp = PrepareTempFolder();
    ::unsetenv("TMPDIR");
    EXPECT_EQ(fs::path(temp).filename(), "FTPtemp");
    EXPECT_EQ(fs::current_path().string(), temp);
    fs::current_path(saved);

    const std::string outside = dir.Path() + "/outside";
    fs::create_directory(outside);
    std::ofstream(outside + "/keep.txt") << "keep";
    fs::create_directory(temp + "/sub");
    std::ofstream(temp + "/sub/a.bin") << "a";
    fs::create_directory_symlink(outside, temp + "/sub/escape");
    DeleteFolderTree(temp);
    EXPECT_FALSE(fs::exists(temp));
    EXPECT_TRUE(fs::exists(outside + "/keep.txt"));
}
