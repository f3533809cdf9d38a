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
    const std::string run = fs::path(temp).parent_path().filename().string();
    EXPECT_EQ(run.rfind("run-" + std::to_string(::getpid()) + "-", 0), 0u) << run;
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
    ReleaseTempFolder();
    EXPECT_FALSE(fs::exists(fs::path(temp).parent_path()));
}

// Two running programs never share a folder, and a starting program clears only what no running
// program owns.
TEST(TempFolder, RunFoldersAreOwnedUntilTheirProgramEnds)
{
    TempDir base;
    auto first = std::make_unique<TRunFolder>(base.Path());
    auto crashed = std::make_unique<TRunFolder>(base.Path());
    ASSERT_NE(first->Path(), crashed->Path());
    struct stat st {};
    ASSERT_EQ(::stat(first->Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::ofstream(first->Path() + "/open.txt") << "in use";
    std::ofstream(crashed->Path() + "/left.txt") << "left behind";
    const std::string crashedPath = crashed->Path();
    crashed->Abandon();
    const std::string making = base.Path() + "/run-1-making"; // no lock file yet
    fs::create_directory(making);
    const std::string other = base.Path() + "/not-ours";
    fs::create_directory(other);

    TRunFolder second(base.Path());
    EXPECT_TRUE(fs::exists(first->Path() + "/open.txt"));
    EXPECT_FALSE(fs::exists(crashedPath));
    EXPECT_TRUE(fs::exists(making));
    EXPECT_TRUE(fs::exists(other));

    const std::string firstPath = first->Path();
    first.reset(); // the program closes: its folder goes with it
    EXPECT_FALSE(fs::exists(firstPath));
    EXPECT_TRUE(fs::exists(second.Path()));
}
