// A tree of 2,000 small files (20 folders of 100 files, 1-8 KiB) moved up and down through the
// real window, as a user drops it on the remote list and drops the remote folder back on the local
// list, against lftp's `mirror -R` and `mirror` on the same vsftpd in the same run: interleaved
// rounds, best of each, ratios printed. Every copy is compared with the original.
#include <QApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "WindowBench.h"
#include "panes/LocalPane.h"
#include "platform/QtSynchronize.h"
#include "support/FtpTestUser.h"

namespace fs = std::filesystem;
using bench::Clock;

namespace {

constexpr int kFolders = 20;
constexpr int kFilesPerFolder = 100;

// Returns the bytes written.
int64_t MakeTree(const fs::path& root)
{
    std::mt19937 random(2000);
    int64_t total = 0;
    for (int f = 0; f < kFolders; ++f) {
        const fs::path folder = root / ("folder" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            std::string bytes(1024 + random() % (7 * 1024 + 1), '\0');
            for (char& c : bytes)
                c = static_cast<char>(random());
            std::ofstream(folder / ("file" + std::to_string(i) + ".bin"), std::ios::binary) << bytes;
            total += static_cast<int64_t>(bytes.size());
        }
    }
    return total;
}

std::string Contents(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Same files with the same bytes, nothing more.
bool SameTree(const fs::path& a, const fs::path& b)
{
    int files = 0;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(a, ec)) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        if (Contents(entry.path()) != Contents(b / fs::relative(entry.path(), a)))
            return false;
    }
    int copies = 0;
    for (const auto& entry : fs::recursive_directory_iterator(b, ec))
        copies += entry.is_regular_file() ? 1 : 0;
    return files == kFolders * kFilesPerFolder && copies == files;
}

struct Round {
    double Up = -1, Down = -1;
};

class TreeBench {
public:
    TreeBench(VsftpdServer& server, TMainFrm& w, const fs::path& work)
        : Server(server), W(w), Work(work), Tree(work / "tree")
    {
    }

    Round Lftp()
    {
        Round r;
        const fs::path down = Work / "down-lftp";
        r.Up = Timed([&] { return Run("mirror -R " + Tree.string() + " /lftp-tree"); });
        if (r.Up >= 0 && !SameTree(Tree, Server.Root() + "/lftp-tree"))
            r.Up = -1;
        r.Down = Timed([&] { return Run("mirror /lftp-tree " + down.string()); });
        if (r.Down >= 0 && !SameTree(Tree, down))
            r.Down = -1;
        fs::remove_all(Server.Root() + "/lftp-tree");
        fs::remove_all(down);
        return r;
    }

    // Up by dropping the local folder on the remote list's empty space; down by dropping the
    // remote folder's row on an empty local folder.
    Round Window()
    {
        Round r;
        W.Log->clear();
        const fs::path down = Work / "down-window";
        fs::create_directories(down);
        W.LocalPane->SetFolder(QString::fromStdString(down.string()));
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(QString::fromStdString(Tree.string()))});
        QWidget* remote = W.ListView1->viewport();
        const QPoint below(5, remote->height() - 3);
        r.Up = Timed([&] {
            W.ListView1DragDrop(files, below);
            return WaitIdle() && SelectRemote("tree");
        });
        if (r.Up >= 0 && !SameTree(Tree, Server.Root() + "/tree"))
            r.Up = -1;
        const int sentUp = Sent();
        std::unique_ptr<QMimeData> rows(
            W.ListView1->model()->mimeData(W.ListView1->selectionModel()->selectedRows()));
        r.Down = Timed([&] {
            W.ShellListView1DragDrop(*rows, QPoint(3, 3), false);
            return WaitIdle();
        });
        if (r.Down >= 0 && !SameTree(Tree, down / "tree"))
            r.Down = -1;
        CommandsUp = static_cast<double>(sentUp) / (kFolders * kFilesPerFolder);
        CommandsDown = static_cast<double>(Sent() - sentUp) / (kFolders * kFilesPerFolder);
        fs::remove_all(Server.Root() + "/tree");
        fs::remove_all(down / "tree");
        return r;
    }

    double CommandsUp = 0, CommandsDown = 0; // per file, in the last round

private:
    // Commands the window's worker sent, as its Log page shows them.
    int Sent() const { return static_cast<int>(W.Log->toPlainText().count(QStringLiteral("\n>> "))); }
    static double Timed(const std::function<bool()>& run)
    {
        const auto start = Clock::now();
        const bool ok = run();
        return ok ? bench::Seconds(Clock::now() - start) : -1;
    }
    bool Run(const std::string& command)
    {
        const std::string line =
            "lftp -u '" + Server.User() + "," + Server.Password() + "' -p " + std::to_string(Server.Port()) +
            " -e 'set cmd:fail-exit yes; set net:max-retries 1; set ftp:passive-mode on; "
            "set ftp:ssl-allow no; " +
            command + "; bye' 127.0.0.1 >/dev/null";
        return std::system(line.c_str()) == 0;
    }
    bool WaitIdle()
    {
        return bench::Serve([&] { return W.Worker->IsIdle(); }, 600);
    }
    bool SelectRemote(const char* name)
    {
        W.ListView1->clearSelection();
        const auto rows = W.ListView1->findItems(QString::fromLatin1(name), Qt::MatchExactly);
        if (rows.isEmpty())
            return false;
        rows.front()->setSelected(true);
        return true;
    }

    VsftpdServer& Server;
    TMainFrm& W;
    fs::path Work, Tree;
};

void Report(const char* what, double lftp, double window)
{
    const double ratio = window / lftp;
    std::printf("%-9s lftp %6.2f s   window %6.2f s   window/lftp %.2f (%s, target <= 2)\n", what, lftp,
                window, ratio, ratio <= 2 ? "ok" : "ABOVE TARGET");
}

} // namespace

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallQtSynchronize();
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each round shows as it ends
    const int rounds = std::max(1, std::atoi(qgetenv("FERRYSTAR_TREE_ROUNDS").isEmpty()
                                                 ? "3"
                                                 : qgetenv("FERRYSTAR_TREE_ROUNDS").constData()));
    VsftpdServer server;
    TempDir appFolder, tmp, work;
    const int64_t bytes = MakeTree(fs::path(work.Path()) / "tree");
    TMainFrm& w = bench::OpenWindow(server, appFolder, tmp);
    if (!bench::Connected(w)) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    TreeBench tree(server, w, work.Path());
    Round best{1e9, 1e9}, bestLftp{1e9, 1e9};
    for (int round = 0; round < rounds; ++round) {
        const Round l = tree.Lftp();
        const Round s = tree.Window();
        std::printf("round %d: lftp up %.2f s down %.2f s, window up %.2f s down %.2f s\n", round + 1, l.Up,
                    l.Down, s.Up, s.Down);
        if (l.Up < 0 || l.Down < 0 || s.Up < 0 || s.Down < 0) {
            std::fprintf(stderr, "a transfer failed or its copy differs from the original\n");
            return 1;
        }
        bestLftp = {std::min(bestLftp.Up, l.Up), std::min(bestLftp.Down, l.Down)};
        best = {std::min(best.Up, s.Up), std::min(best.Down, s.Down)};
    }
    std::printf("commands sent by the window per file: up %.1f, down %.1f\n", tree.CommandsUp,
                tree.CommandsDown);
    std::printf("%d files in %d folders, %.1f MiB, on loopback; best of %d interleaved rounds\n",
                kFolders * kFilesPerFolder, kFolders, static_cast<double>(bytes) / (1 << 20), rounds);
    Report("upload", bestLftp.Up, best.Up);
    Report("download", bestLftp.Down, best.Down);
    w.close();
    Forms::DestroyAll();
    return 0;
}
