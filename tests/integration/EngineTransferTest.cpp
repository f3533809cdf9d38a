// Folder transfers level by level, overwrite and delete questions, against a real vsftpd.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "support/EngineHarness.h"
#include "support/FtpTestUser.h"
#include "support/VsftpdServer.h"

namespace fs = std::filesystem;

namespace {

// path relative to the root -> contents, for every file below root.
std::map<std::string, std::string> Snapshot(const std::string& root)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = ReadFileBytes(e.path().string());
    return files;
}

std::string Contents(int i)
{
    std::string s;
    for (int k = 0; k < 200 + i * 37; ++k)
        s += static_cast<char>((i * 131 + k * 7) & 0xFF);
    return s;
}

TFTPFileInfo Entry(const std::string& folder, const std::string& name, TFTPItemKind kind)
{
    TFTPFileInfo info;
    info.Name = name;
    info.Folder = folder;
    info.FullPath = JoinRemotePath(folder, name);
    info.Kind = kind;
    return info;
}

class EngineTransfer : public ::testing::Test {
protected:
    VsftpdServer server;
    EngineHarness h;
    void SetUp() override
    {
        ASSERT_TRUE(h.Connect("127.0.0.1", server.Port(), server.User(), server.Password(), true));
    }
    // A three-level tree of 54 files.
    void MakeTree()
    {
        for (int i = 0; i < 18; ++i) {
            server.PutFile("tree/f" + std::to_string(i) + ".bin", Contents(i));
            server.PutFile("tree/mid/m" + std::to_string(i) + ".txt", Contents(100 + i));
            server.PutFile("tree/mid/low/l" + std::to_string(i) + ".dat", Contents(200 + i));
        }
        server.PutFile("tree/empty.bin", "");
    }
};

} // namespace

TEST_F(EngineTransfer, FolderDownloadGoesLevelByLevelAndUploadsBackIdentically)
{
    MakeTree();
    const std::string local = h.Platform.Folder.Path() + "/down";
    h.Worker->AddList(); // a task already waiting: the folder's contents come after it
    const TFTPFileInfo tree = Entry("/", "tree", ikFolder);
    h.Worker->AddGet(&tree, local);
    h.Worker->AddList();
    ASSERT_TRUE(h.RunUntilIdle(std::chrono::seconds(120)));
    EXPECT_EQ(Snapshot(local), Snapshot(server.Root() + "/tree"));
    EXPECT_EQ(Snapshot(local).size(), 55u);

    // Rows: the folder's GET, the LIST queued behind it, then its 20 entries, then "mid"'s
    // entries only after all of those, then "low"'s.
    std::vector<const TaskRow*> gets;
    for (const TaskRow& r : h.Rows)
        if (r.Kind == "GET")
            gets.push_back(&r);
    ASSERT_EQ(gets.size(), 1u + 20 + 19 + 18);
    auto firstIndexIn = [&](const std::string& folder) {
        for (size_t i = 0; i < gets.size(); ++i)
            if (gets[i]->Source.rfind(folder, 0) == 0 &&
                gets[i]->Source.find('/', folder.size()) == std::string::npos)
                return i;
        return gets.size();
    };
    auto lastIndexIn = [&](const std::string& folder) {
        size_t last = 0;
        for (size_t i = 0; i < gets.size(); ++i)
            if (gets[i]->Source.rfind(folder, 0) == 0 &&
                gets[i]->Source.find('/', folder.size()) == std::string::npos)
                last = i;
        return last;
    };
    EXPECT_LT(lastIndexIn("/tree/"), firstIndexIn("/tree/mid/"));
    EXPECT_LT(lastIndexIn("/tree/mid/"), firstIndexIn("/tree/mid/low/"));
    for (size_t i = 1; i < h.Rows.size(); ++i)
        EXPECT_EQ(h.Rows[i].Id, h.Rows[i - 1].Id + 1);
    for (const TaskRow& r : h.Rows)
        EXPECT_EQ(r.FinalState, "Completed") << r.Kind << " " << r.Source;
    EXPECT_EQ(h.Worker->FCurrentDir, "/");

    h.Worker->AddPut(local, "/back", true);
    ASSERT_TRUE(h.RunUntilIdle(std::chrono::seconds(120)));
    EXPECT_EQ(Snapshot(server.Root() + "/back"), Snapshot(local));
    EXPECT_TRUE(h.Questions.empty());
}

TEST_F(EngineTransfer, OverwriteAnswersNoSkipsAndAllLastsUntilTheQueueRunsEmpty)
{
    server.PutFile("a.txt", "new-a");
    server.PutFile("b.txt", "new-b");
    server.PutFile("c.txt", "new-c");
    const std::string dir = h.Platform.Folder.Path();
    for (const char* n : {"a.txt", "b.txt", "c.txt"})
        WriteFileBytes(dir + "/" + n, "old");
    auto get = [&](const char* name) {
        const TFTPFileInfo info = Entry("/", name, ikFile);
        h.Worker->AddGet(&info, dir + "/" + name);
    };
    h.Answer = 'n';
    get("a.txt");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(ReadFileBytes(dir + "/a.txt"), "old");
    EXPECT_EQ(h.CountEvents("Downloaded"), 1);
    EXPECT_EQ(h.Rows.back().FinalState, "Completed");

    h.Answer = 'a';
    get("a.txt");
    get("b.txt");
    get("c.txt");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions.size(), 2u); // one for the No above, one answered All
    EXPECT_EQ(ReadFileBytes(dir + "/c.txt"), "new-c");

    // The queue ran empty: the next existing target is asked about again.
    h.Answer = 'n';
    WriteFileBytes(dir + "/b.txt", "old");
    get("b.txt");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions.size(), 3u);
    EXPECT_EQ(ReadFileBytes(dir + "/b.txt"), "old");
    EXPECT_EQ(h.Questions.back(), "File " + dir + "/b.txt already exits. Overwrite?");
}

TEST_F(EngineTransfer, UploadOverAnExistingFileAsksAndCaseCounts)
{
    server.PutFile("Up.txt", "remote");
    const std::string src = h.Platform.Folder.Path() + "/up.txt";
    WriteFileBytes(src, "local");
    h.Answer = 'n';
    h.Worker->AddPut(src, "/Up.txt", false);
    h.Worker->AddPut(src, "/up.txt", false); // another letter case: no question
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions.size(), 1u);
    EXPECT_EQ(ReadFileBytes(server.Root() + "/Up.txt"), "remote");
    EXPECT_EQ(ReadFileBytes(server.Root() + "/up.txt"), "local");

    // The open-file preset (All with No) keeps local copies but never silently replaces a
    // remote file: the upload still asks.
    h.Answer = 'y';
    h.Worker->FAnswerAll = true;
    h.Worker->FAnswerYes = false;
    h.Worker->AddPut(src, "/Up.txt", false);
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions.size(), 2u);
    EXPECT_EQ(ReadFileBytes(server.Root() + "/Up.txt"), "local");
}

// Inside a folder the batch made, the existence check needs no listing; a name sent twice is
// still asked about, and a task that changes the server otherwise makes the worker list again.
TEST_F(EngineTransfer, UploadIntoAFolderItMadeListsNothingYetStillAsks)
{
    const std::string local = h.Platform.Folder.Path() + "/up";
    for (const char* name : {"a.bin", "b.bin", "sub/c.bin", "sub/d.bin"}) {
        fs::create_directories(fs::path(local + "/" + name).parent_path());
        WriteFileBytes(local + "/" + name, name);
    }
    WriteFileBytes(h.Platform.Folder.Path() + "/other", "other");
    h.Answer = 'n';
    h.Worker->AddPut(local, "/up", true);
    // Runs before the folder's own files (they are queued when the folder's task runs).
    h.Worker->AddPut(h.Platform.Folder.Path() + "/other", "/up/a.bin", false);
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions, std::vector<std::string>{"File /up/a.bin already exits. Overwrite?"});
    EXPECT_EQ(ReadFileBytes(server.Root() + "/up/a.bin"), "other");
    EXPECT_EQ(ReadFileBytes(server.Root() + "/up/sub/d.bin"), "sub/d.bin");
    EXPECT_EQ(std::count(h.ProtocolLines.begin(), h.ProtocolLines.end(), ">> LIST"), 1); // for "/up" in "/"

    // A folder made by another task where a file is about to go: the upload lists and asks.
    h.Questions.clear();
    h.Worker->AddPut(local + "/sub", "/sub2", true);
    h.Worker->AddMakeDir("/sub2/c.bin");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions, std::vector<std::string>{"File /sub2/c.bin already exits. Overwrite?"});
    EXPECT_TRUE(fs::is_directory(server.Root() + "/sub2/c.bin"));
    for (const TaskRow& r : h.Rows)
        EXPECT_EQ(r.FinalState, "Completed") << r.Kind << " " << r.Destination;
}

TEST_F(EngineTransfer, DeleteAndRemoveTreeWithYesNoAndAll)
{
    server.PutFile("one.txt", "1");
    h.Answer = 'n';
    h.Worker->AddDelete("/one.txt");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_TRUE(fs::exists(server.Root() + "/one.txt"));
    EXPECT_EQ(h.Questions.back(), "Are you sure you want to delete /one.txt?");
    EXPECT_EQ(h.Rows.back().FinalState, "Completed");

    h.Answer = 'y';
    h.Worker->AddDelete("/one.txt");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_FALSE(fs::exists(server.Root() + "/one.txt"));

    // Yes for the folder still asks for every file inside.
    for (const char* f : {"d/x1", "d/x2", "d/sub/y1"})
        server.PutFile(f, "z");
    h.Questions.clear();
    h.Worker->AddRemoveDir("/d");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions.size(), 4u);
    EXPECT_FALSE(fs::exists(server.Root() + "/d"));

    // All asks once.
    for (const char* f : {"e/x1", "e/x2", "e/sub/y1"})
        server.PutFile(f, "z");
    h.Questions.clear();
    h.Answer = 'a';
    h.Worker->AddRemoveDir("/e");
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(h.Questions.size(), 1u);
    EXPECT_FALSE(fs::exists(server.Root() + "/e"));
}
