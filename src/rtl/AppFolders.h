#pragma once
// Where servers.sit, log.txt and err.txt live: beside the executable for a portable copy or a
// build folder, otherwise in the user's XDG folders.
#include <string>

// What the choice depends on, read from the environment and the file system.
struct TAppFolderFacts {
    std::string ExeFolder;          // with a trailing "/"
    bool ExeHasSites = false;       // a servers.sit lies beside the executable
    bool ExeFolderWritable = false; // that file and its folder can both be written
    std::string Home;
    std::string XdgConfigHome; // as set; empty or relative values are ignored
    std::string XdgStateHome;
};

struct TAppFolders {
    std::string Config; // servers.sit; with a trailing "/"
    std::string State;  // log.txt and err.txt; with a trailing "/"
    // A servers.sit to copy into Config when Config holds none yet; empty for none.
    std::string SeedSites;
    bool Portable = false;
};

TAppFolders ChooseAppFolders(const TAppFolderFacts& facts);
TAppFolderFacts ReadAppFolderFacts(const std::string& exeFolder);
// Makes the per-user folders (0700) and copies the seed servers.sit when Config holds none.
void MakeAppFolders(const TAppFolders& folders);
// Chooses, makes the per-user folders (0700) and copies a read-only seed servers.sit once.
// Never throws: a folder that cannot be made shows later, when a save fails with its reason.
TAppFolders PrepareAppFolders(const std::string& exeFolder);
// The help page beside the executable (a build folder) or in ../share/ferrystar (installed);
// the first of them when neither exists.
std::string HelpPagePath(const std::string& exeFolder);
