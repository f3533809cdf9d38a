#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "rtl/AppFolders.h"

TEST(AppFolders, ChoosesBesideTheProgramOnlyWhenItsSiteFileCanBeWritten)
{
    struct Case {
        bool hasSites, writable;
        std::string config, state, stateEnv;
        std::string wantConfig, wantState, wantSeed;
    };
    const Case cases[] = {
        // portable copy or build folder
        {true, true, "", "", "", "/opt/fs/", "/opt/fs/", ""},
        // installed, nothing beside it: XDG defaults
        {false, false, "", "", "", "/home/u/.config/ferrystar/", "/home/u/.local/state/ferrystar/", ""},
        // a writable folder without a site file is not a portable copy
        {false, true, "", "", "", "/home/u/.config/ferrystar/", "/home/u/.local/state/ferrystar/", ""},
        // read-only site file beside the program: seeds the per-user one
        {true, false, "/x/cfg", "", "/x/st/", "/x/cfg/ferrystar/", "/x/st/ferrystar/", "/opt/fs/servers.sit"},
        // relative XDG values are ignored
        {false, false, "cfg", "", "st", "/home/u/.config/ferrystar/", "/home/u/.local/state/ferrystar/", ""},
    };
    for (const Case& c : cases) {
        TAppFolderFacts facts{"/opt/fs", c.hasSites, c.writable, "/home/u", c.config, c.stateEnv};
        const TAppFolders got = ChooseAppFolders(facts);
        SCOPED_TRACE(c.wantConfig);
        EXPECT_EQ(got.Config, c.wantConfig);
        EXPECT_EQ(got.State, c.wantState);
        EXPECT_EQ(got.SeedSites, c.wantSeed);
    }
}

TEST(AppFolders, MakesPrivateFoldersAndCopiesAReadOnlySiteFileOnce)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("appfolders-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "exe");
    std::ofstream(root / "exe/servers.sit") << "seed";
    fs::permissions(root / "exe/servers.sit", fs::perms::owner_read);
    TAppFolderFacts facts = ReadAppFolderFacts((root / "exe").string());
    facts.ExeFolderWritable = false; // as installed: the test may run as root, who writes anything
    facts.XdgConfigHome = (root / "cfg").string();
    facts.XdgStateHome = (root / "state").string();
    const TAppFolders folders = ChooseAppFolders(facts);
    MakeAppFolders(folders);
    for (const char* made : {"cfg", "cfg/ferrystar", "state/ferrystar"}) {
        struct stat st {};
        ASSERT_EQ(::stat((root / made).c_str(), &st), 0) << made;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
    std::string text;
    std::ifstream(root / "cfg/ferrystar/servers.sit") >> text;
    EXPECT_EQ(text, "seed");
    // A later run keeps the user's own copy.
    std::ofstream(root / "cfg/ferrystar/servers.sit") << "mine";
    MakeAppFolders(folders);
    std::ifstream(root / "cfg/ferrystar/servers.sit") >> text;
    EXPECT_EQ(text, "mine");
    fs::remove_all(root);
}

TEST(AppFolders, FindsTheHelpPageBesideTheProgramOrInShare)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("helppage-" + std::to_string(::getpid()));
    fs::create_directories(root / "bin");
    fs::create_directories(root / "share/ferrystar");
    std::ofstream(root / "share/ferrystar/help.html") << "x";
    EXPECT_EQ(HelpPagePath((root / "bin").string()), (root / "share/ferrystar/help.html").string());
    std::ofstream(root / "bin/help.html") << "x";
    EXPECT_EQ(HelpPagePath((root / "bin").string()), (root / "bin/help.html").string());
    fs::remove_all(root);
}
