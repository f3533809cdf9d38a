#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QByteArray>
#include <filesystem>

#include "GuiSupport.h"
#include "rtl/AppFolders.h"
#include "sites/SiteList.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

unsigned ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}

} // namespace

// The window saves where the folder choice says: the user's XDG folders for an installed
// program, the folder beside the executable for a build folder holding its own servers.sit.
TEST(AppFoldersWindow, SavesSitesLogAndErrorsInTheChosenFolders)
{
    struct Case {
        bool sitesBeside;
        std::string sites, log;
    };
    const Case cases[] = {
        {false, "home/.config/ferrystar/servers.sit", "home/.local/state/ferrystar/log.txt"},
        {true, "exe/servers.sit", "exe/log.txt"},
    };
    const QByteArray oldHome = qgetenv("HOME");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sites);
        TempDir root;
        TempDir tmp;
        const std::string r = root.Path() + "/";
        fs::create_directories(r + "exe");
        fs::create_directories(r + "home");
        if (c.sitesBeside)
            SaveSites(r + "exe/servers.sit", TSiteFileData{});
        qputenv("HOME", QByteArray::fromStdString(r + "home"));
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_STATE_HOME");
        const TAppFolders folders = PrepareAppFolders(r + "exe");
        {
            ProgramRun run(folders.Config, tmp.Path(), folders.State);
            run.Close();
        }
        EXPECT_EQ(ModeOf(r + c.sites), 0600u);
        EXPECT_TRUE(fs::exists(r + c.log));
        EXPECT_TRUE(fs::exists(fs::path(r + c.log).parent_path() / "err.txt"));
        if (!c.sitesBeside) {
            EXPECT_EQ(ModeOf(r + "home/.config/ferrystar"), 0700u);
            EXPECT_EQ(ModeOf(r + "home/.local/state/ferrystar"), 0700u);
            EXPECT_FALSE(fs::exists(r + "exe/servers.sit"));
        }
    }
    qputenv("HOME", oldHome);
}
