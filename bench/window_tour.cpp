// A whole user session through the real window against the demo server, one step at a time:
// connect from the saved site, browse, preview a picture, download the 200 MB file, make a folder,
// upload a tree, download it elsewhere, preview it locally, rename, change permissions, delete,
// disconnect. Run it through scripts/demo.py, which starts the server and puts the saved site
// beside this program. With --shots FOLDER (under Xvfb) it saves the screen at every step; without
// it, it pauses at every step so that a person can watch. scripts/screenshots.sh runs both ways.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

#include "app/Forms.h"
#include "app/MainForm.h"
#include "app/Xload.h"
#include "engine/ui/TaskListView.h"
#include "panes/LocalPane.h"
#include "panes/RemotePane.h"
#include "panes/Unit3.h"
#include "platform/QtSynchronize.h"
#include "rtl/AppFolders.h"
#include "rtl/TempFolder.h"
#include "sites/ui/Servers.h"
#include "sites/ui/SiteBox.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Why a step could not be taken; ends the tour with a message.
struct TourFailure {
    std::string what;
};

void Serve(int ms)
{
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// Set when a dialog could not be answered (nothing may be thrown through the event loop).
std::string gDialogFailure;

void Until(const std::function<bool()>& done, const char* what, int seconds = 30)
{
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (!gDialogFailure.empty())
            throw TourFailure{gDialogFailure};
        if (Clock::now() > end)
            throw TourFailure{std::string("timed out waiting until ") + what};
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// Saves the screen (or pauses for the watcher) under a step's name.
class Camera {
public:
    explicit Camera(QString folder) : FFolder(std::move(folder)) {}
    void Shot(const QString& name, const char* caption)
    {
        std::printf("%-28s %s\n", qPrintable(name), caption);
        std::fflush(stdout);
        Serve(FFolder.isEmpty() ? 1500 : 400); // painted, and seen
        if (FFolder.isEmpty())
            return;
        const QString path = FFolder + "/" + name + ".png";
        if (!QGuiApplication::primaryScreen()->grabWindow(0).save(path))
            throw TourFailure{"could not save " + path.toStdString()};
    }

private:
    QString FFolder;
};

// Answers the modal dialogs as they appear, from a queue of answers; a Yes/No box with no answer
// queued is answered Yes. A dialog is first left on screen for a moment so it is painted.
class DialogAnswers : public QObject {
public:
    using TAnswer = std::function<void(QWidget*)>;
    DialogAnswers()
    {
        connect(&FTimer, &QTimer::timeout, this, [this] { Tick(); });
        FTimer.start(30);
    }
    void Then(TAnswer answer) { FQueue.push_back(std::move(answer)); }
    bool Pending() const { return !FQueue.empty(); }
    static void Click(QWidget* dialog, const QString& text)
    {
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text().remove('&') == text) {
                b->click();
                return;
            }
        throw TourFailure{"no button " + text.toStdString() + " on " + dialog->windowTitle().toStdString()};
    }

private:
    void Tick()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || modal == FAnswered) {
            FSeen = nullptr;
            return;
        }
        if (modal != FSeen) {
            FSeen = modal;
            FSince = Clock::now();
            return;
        }
        if (Clock::now() - FSince < std::chrono::milliseconds(300) || FBusy)
            return;
        FBusy = true;
        FAnswered = modal;
        try {
            Answer(modal);
        } catch (const TourFailure& failure) {
            gDialogFailure = failure.what;
            modal->close();
        }
        FBusy = false;
    }
    void Answer(QWidget* modal)
    {
        if (!FQueue.empty()) {
            TAnswer answer = std::move(FQueue.front());
            FQueue.pop_front();
            answer(modal);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            std::printf("  answered Yes: %s\n", qPrintable(box->text()));
            Click(box, "Yes");
        } else {
            throw TourFailure{"an unexpected dialog: " + modal->windowTitle().toStdString()};
        }
    }
    QTimer FTimer;
    std::deque<TAnswer> FQueue;
    QPointer<QWidget> FSeen, FAnswered;
    Clock::time_point FSince;
    bool FBusy = false;
};

// A key pressed and released in the widget, as the keyboard would.
void Key(QWidget* widget, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The local tree to upload: notes, a sub-folder and a picture drawn here.
void MakeVoyage(const fs::path& folder)
{
    WriteFile(folder / "Day 1.txt", "Left the harbour at dawn. Wind from the west.\n");
    WriteFile(folder / "Day 2.txt", "Passed the lighthouse. Calm sea.\n");
    WriteFile(folder / "Crew/Roster.txt", "Captain\nMate\nCook\n");
    QImage picture(320, 200, QImage::Format_RGB32);
    picture.fill(QColor(0x7f, 0xb8, 0xe6));
    QPainter p(&picture);
    p.fillRect(0, 130, 320, 70, QColor(0x1f, 0x5f, 0x8b));
    p.setBrush(QColor(0xf4, 0xf4, 0xf4));
    p.drawPolygon(QPolygon({QPoint(90, 125), QPoint(230, 125), QPoint(210, 150), QPoint(110, 150)}));
    p.fillRect(150, 95, 20, 30, QColor(0xc0, 0x39, 0x2b));
    p.end();
    picture.save(QString::fromStdString((folder / "Deck plan.bmp").string()), "BMP");
}

class Tour {
public:
    Tour(TMainFrm& w, Camera& camera, const fs::path& local) : w(w), FCamera(camera), FLocal(local) {}

    void Run()
    {
        Connect();
        Browse();
        PreviewRemotePicture();
        DownloadBigFile();
        MakeFolder();
        UploadTree();
        DownloadTreeElsewhere();
        Rename();
        Permissions();
        Delete();
        Disconnect();
    }

private:
    TMainFrm& w;
    Camera& FCamera;
    fs::path FLocal;
    DialogAnswers FAnswers;

    void Shot(const char* name, const char* caption) { FCamera.Shot(QString::fromLatin1(name), caption); }
    bool Idle() const { return w.Worker->IsIdle() && !FAnswers.Pending(); }
    QTreeWidgetItem* Row(const QString& name) const
    {
        for (int i = 0; i < w.ListView1->topLevelItemCount(); ++i)
            if (w.ListView1->topLevelItem(i)->text(0) == name)
                return w.ListView1->topLevelItem(i);
        return nullptr;
    }
    void SelectRemote(const QString& name)
    {
        Until([&] { return Row(name) != nullptr; }, "the remote list shows the name");
        w.ListView1->clearSelection();
        w.ListView1->setCurrentItem(Row(name));
        w.ListView1->setFocus();
    }
    void ShowsRemote(const QString& folder)
    {
        Until(
            [&] {
                return Idle() && w.RemoteFolderBox->currentText() == folder &&
                       w.ListView1->topLevelItemCount() > 0;
            },
            "the remote folder is shown");
    }
    void OpenRemote(const QString& name, const QString& folder)
    {
        SelectRemote(name);
        Key(w.ListView1, Qt::Key_Return);
        ShowsRemote(folder);
    }
    void RemoteKey(Qt::Key key) { Key(w.ListView1, key); }
    void SelectLocal(const QString& name)
    {
        auto* view = w.LocalPane->ShellListView1;
        Until(
            [&] {
                for (int row = 0; row < w.LocalPane->RowCount(); ++row)
                    if (w.LocalPane->PathAt(row).endsWith("/" + name)) {
                        view->setFocus();
                        const QModelIndex index = view->model()->index(row, 0, view->rootIndex());
                        view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                           QItemSelectionModel::Rows);
                        return w.LocalPane->FirstSelectedPath().endsWith("/" + name);
                    }
                return false;
            },
            "the local list shows the name");
    }
    void ShowTab(const QString& text)
    {
        for (int i = 0; i < w.PageControl1->count(); ++i)
            if (w.PageControl1->tabText(i) == text)
                w.PageControl1->setCurrentIndex(i);
    }

    void Connect()
    {
        w.LocalPane->SetFolder(QString::fromStdString(FLocal.string()));
        // A taller report panel than the first run's, as a user would drag it, for the preview.
        const int height = w.Splitter2->height();
        w.Splitter2->setSizes({height - 250, 250});
        FAnswers.Then([this](QWidget* dialog) {
            auto* servers = static_cast<TForm4*>(dialog);
            servers->ListView1->setCurrentItem(servers->ListView1->topLevelItem(0));
            Shot("step-01-servers", "File > Servers: the saved site");
            servers->CloseButton->click();
        });
        w.Servers1Click();
        w.ComboBox1->showPopup();
        Shot("step-02-saved-site", "the saved site in the Server box");
        w.ComboBox1->hidePopup();
        w.ComboBox1->setCurrentIndex(1);
        w.ChooseEntry(1);
        Until([&] { return w.StatusPanel1->text().startsWith("Connected") && Idle(); }, "connected");
        ShowsRemote("/");
        Shot("step-03-connected", "connected: the remote folder on the right, the Log below");
    }
    void Browse()
    {
        OpenRemote("Documents", "/Documents");
        OpenRemote("Notes", "/Documents/Notes");
        Shot("step-04-browse", "browsing: names with spaces and non-ASCII letters");
        RemoteKey(Qt::Key_Backspace);
        ShowsRemote("/Documents");
        RemoteKey(Qt::Key_Backspace);
        ShowsRemote("/");
    }
    void PreviewRemotePicture()
    {
        OpenRemote("Pictures", "/Pictures");
        SelectRemote("harbour.jpg");
        w.Actions1Click();
        w.ImagePreview2->trigger();
        Until(
            [&] {
                return Idle() && w.PageControl1->tabText(w.PageControl1->currentIndex()) == "Image Preview";
            },
            "the picture is shown");
        Shot("connected-preview", "a remote picture in the Image Preview");
        RemoteKey(Qt::Key_Backspace);
        ShowsRemote("/");
    }
    void DownloadBigFile()
    {
        w.LocalPane->SetFolder(QString::fromStdString((FLocal / "Inbox").string()));
        OpenRemote("Downloads", "/Downloads");
        OpenRemote("Big", "/Downloads/Big");
        SelectRemote("ferry-200MB.bin");
        w.RemoveFinishedTaskRows(); // as the window's timer does, so the new row is at the top
        w.Download2Click();
        ShowTab("Tasks");
        Until(
            [&] {
                QTreeWidgetItem* row = w.ListView2->topLevelItem(w.ListView2->topLevelItemCount() - 1);
                return row != nullptr && row->text(1).endsWith('%') && w.Worker->FProgress > 0.25f;
            },
            "the download is under way");
        Shot("transfer-running", "the 200 MB download in the task list");
        Until([&] { return Idle(); }, "the download ended", 120);
        fs::remove(FLocal / "Inbox/ferry-200MB.bin");
        ShowTab("Log");
        RemoteKey(Qt::Key_Backspace);
        ShowsRemote("/Downloads");
        RemoteKey(Qt::Key_Backspace);
        ShowsRemote("/");
    }
    void MakeFolder()
    {
        FAnswers.Then([this](QWidget* dialog) {
            QLineEdit* name = dialog->findChild<QLineEdit*>();
            name->setText("Logbook");
            Shot("step-05-make-folder", "Make Folder (F7) asks for the name");
            DialogAnswers::Click(dialog, "OK");
        });
        RemoteKey(Qt::Key_F7);
        Until([&] { return Row("Logbook") != nullptr && Idle(); }, "the new folder is listed");
        OpenRemote("Logbook", "/Logbook");
    }
    void UploadTree()
    {
        w.LocalPane->SetFolder(QString::fromStdString((FLocal / "Outbox").string()));
        SelectLocal("Voyage");
        FAnswers.Then([this](QWidget* dialog) {
            Shot("step-06-upload", "Upload (F5 in the local list): the destination folder");
            DialogAnswers::Click(dialog, "OK");
        });
        Key(w.LocalPane->ShellListView1, Qt::Key_F5);
        Until([&] { return Idle(); }, "the upload ended", 60);
        Until([&] { return Row("Voyage") != nullptr && Idle(); }, "the uploaded tree is listed");
        OpenRemote("Voyage", "/Logbook/Voyage");
        Shot("step-07-uploaded", "the uploaded tree on the server");
        RemoteKey(Qt::Key_Backspace);
        ShowsRemote("/Logbook");
    }
    void DownloadTreeElsewhere()
    {
        const fs::path inbox = FLocal / "Inbox";
        w.LocalPane->SetFolder(QString::fromStdString(inbox.string()));
        SelectRemote("Voyage");
        FAnswers.Then([this](QWidget* dialog) {
            Shot("step-08-download", "Download (F5 in the remote list): the destination folder");
            DialogAnswers::Click(dialog, "OK");
        });
        RemoteKey(Qt::Key_F5);
        Until([&] { return fs::exists(inbox / "Voyage/Deck plan.bmp") && Idle(); }, "the tree came down", 60);
        w.LocalPane->SetFolder(QString::fromStdString((inbox / "Voyage").string()));
        SelectLocal("Deck plan.bmp");
        Until([&] { return w.PageControl1->tabText(w.PageControl1->currentIndex()) == "Image Preview"; },
              "the local picture is shown");
        Shot("preview", "the downloaded copy, a picture selected in the local list and previewed");
        ShowTab("Log");
    }
    void Rename()
    {
        SelectRemote("Voyage");
        RemoteKey(Qt::Key_F2);
        QLineEdit* editor = nullptr;
        Until(
            [&] {
                for (QLineEdit* e : w.ListView1->findChildren<QLineEdit*>())
                    if (e->isVisible())
                        editor = e;
                return editor != nullptr;
            },
            "the name can be edited");
        editor->setText("Voyage 2026");
        Shot("step-09-rename", "Rename (F2) in place");
        Key(editor, Qt::Key_Return);
        Until([&] { return Row("Voyage 2026") != nullptr && Idle(); }, "the new name is listed");
    }
    void Permissions()
    {
        SelectRemote("Voyage 2026");
        FAnswers.Then([this](QWidget* dialog) {
            auto* form = static_cast<TForm3*>(dialog);
            form->CheckBox1->click(); // others may not list the folder or enter it
            form->CheckBox3->click();
            Shot("step-10-permissions", "Permissions of the folder");
            form->Button1->click();
        });
        w.Actions1Click();
        w.Permissions2->trigger();
        Until([&] { return Idle(); }, "the permissions were changed");
    }
    void Delete()
    {
        SelectRemote("Voyage 2026");
        FAnswers.Then([this](QWidget* dialog) {
            Shot("step-11-delete", "Delete asks first; All answers for everything inside");
            DialogAnswers::Click(dialog, "All");
        });
        RemoteKey(Qt::Key_Delete);
        Until([&] { return Row("Voyage 2026") == nullptr && Idle(); }, "the tree is gone", 60);
        RemoteKey(Qt::Key_Backspace);
        ShowsRemote("/");
    }
    void Disconnect()
    {
        ShowTab("Log");
        w.Button2Click();
        Until([&] { return !w.Worker->IsConnected() && Idle(); }, "disconnected");
        Shot("step-12-disconnected", "disconnected");
    }
};

} // namespace

int main(int argc, char** argv)
{
    QString shots;
    for (int i = 1; i + 1 < argc; ++i)
        if (QString::fromLatin1(argv[i]) == "--shots")
            shots = QDir(QString::fromLocal8Bit(argv[i + 1])).absolutePath();
    QApplication app(argc, argv);
    InstallQtSynchronize();
    const fs::path local =
        fs::path(QDir::tempPath().toStdString()) / "ferrystar-tour" / QString::number(getpid()).toStdString();
    fs::create_directories(local / "Inbox");
    MakeVoyage(local / "Outbox/Voyage");

    const TAppFolders folders = PrepareAppFolders(ExecutableFolder());
    Forms::CreateAll(folders.Config, folders.State);
    TMainFrm& w = *Forms::Main();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w.setGeometry(screen->availableGeometry());
    w.showMaximized();
    w.activateWindow();
    int code = 0;
    try {
        Camera camera(shots);
        Serve(500);
        Tour(w, camera, local).Run();
    } catch (const TourFailure& failure) {
        std::fprintf(stderr, "the tour stopped: %s\n", failure.what.c_str());
        code = 1;
    }
    w.close();
    Forms::DestroyAll();
    fs::remove_all(local);
    return code;
}
