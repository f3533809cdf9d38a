// Moving files between the panes through the real window against vsftpd: the Upload and Download
// commands, drops on both lists, moves by drop, the overwrite question, menus and focus.
//
// Drags are delivered as the drag-move and drop events a drag hands to the target's viewport,
// carrying the data the source list makes: offscreen a real drag's nested loop never ends.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragMoveEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "GuiSupport.h"
#include "app/Forms.h"
#include "app/MainForm.h"
#include "app/Xload.h"
#include "panes/LocalPane.h"
#include "panes/RemotePane.h"
#include "panes/Unit3.h"
#include "platform/ShellFileOp.h"
#include "sites/ui/SiteBox.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& contents)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << contents;
}

class Transfers : public ::testing::Test {
protected:
    VsftpdServer server;
    TempDir app, tmp, local;
    ScriptedAnswers answers;
    std::unique_ptr<ProgramRun> run;
    QStringList dialogs; // caption|folder|name of every destination dialog
    QString dialogFolder;
    bool dialogOk = true;

    void SetUp() override
    {
        TXloadForm::RunHook = [this](TXloadForm& form) {
            dialogs << form.windowTitle() + "|" + form.Folder->text() + "|" + form.Name->text();
            if (!dialogFolder.isEmpty())
                form.Folder->setText(dialogFolder);
            return dialogOk;
        };
    }
    void TearDown() override { TXloadForm::RunHook = nullptr; }

    TMainFrm& Start()
    {
        TSiteFileData data;
        SiteRecord r = SiteRecord::NewSite("127.0.0.1");
        r.LoginName.Assign(server.User());
        r.LoginPassword.Assign(server.Password());
        r.PortNumber = server.Port();
        r.PassiveMode = 1;
        data.Sites.Add(r);
        SaveSites(app.Path() + "/servers.sit", data);
        run = std::make_unique<ProgramRun>(app.Path(), tmp.Path());
        TMainFrm& w = run->main();
        w.LocalPane->SetFolder(QString::fromStdString(local.Path()));
        return w;
    }
    TMainFrm& Connect()
    {
        TMainFrm& w = Start();
        w.ComboBox1->setCurrentIndex(1);
        w.ChooseEntry(1);
        EXPECT_TRUE(Shows(w, "/"));
        return w;
    }
    static bool Shows(TMainFrm& w, const QString& folder)
    {
        return WaitUntil([&] {
            return w.Worker->IsIdle() && w.RemotePane->ComboBoxEx1->currentText() == folder &&
                   w.ListView1->topLevelItemCount() > 0;
        });
    }
    static QTreeWidgetItem* Row(TMainFrm& w, const QString& name)
    {
        for (int i = 0; i < w.ListView1->topLevelItemCount(); ++i)
            if (w.ListView1->topLevelItem(i)->text(0) == name)
                return w.ListView1->topLevelItem(i);
        return nullptr;
    }
    static void Select(TMainFrm& w, const QStringList& names)
    {
        w.ListView1->clearSelection();
        for (const QString& name : names) {
            QTreeWidgetItem* row = Row(w, name);
            ASSERT_NE(row, nullptr) << name.toStdString();
            row->setSelected(true);
        }
        w.ListView1->setFocus();
    }
    static QPoint At(TMainFrm& w, const QString& name)
    {
        if (name.isEmpty()) // empty space below the rows
            return QPoint(5, w.ListView1->viewport()->height() - 3);
        return w.ListView1->visualItemRect(Row(w, name)).center();
    }
    // Drags over the target to the point and drops when it is taken; says whether it was.
    static bool Drop(QWidget* viewport, const QMimeData& data, const QPoint& at)
    {
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
        if (!move.isAccepted())
            return false;
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
        return drop.isAccepted();
    }
    static std::unique_ptr<QMimeData> RemoteDrag(TMainFrm& w)
    {
        return std::unique_ptr<QMimeData>(
            w.ListView1->model()->mimeData(w.ListView1->selectionModel()->selectedRows()));
    }
    static std::unique_ptr<QMimeData> FileDrag(const std::vector<std::string>& paths)
    {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const std::string& p : paths)
            urls << QUrl::fromLocalFile(QString::fromStdString(p));
        data->setUrls(urls);
        return data;
    }
};

} // namespace

TEST_F(Transfers, F5DownloadsTheFirstRowThePopupAll)
{
    server.PutFile("a.txt", "alpha");
    server.PutFile("b.txt", "bravo");
    server.PutFile("c.txt", "charlie");
    TMainFrm& w = Connect();
    Select(w, {"a.txt", "b.txt", "c.txt"});
    QTest::keyClick(w.ListView1, Qt::Key_F5);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(local.Path() + "/a.txt") && w.Worker->IsIdle(); }));
    EXPECT_EQ(dialogs, QStringList({"Download|" + QString::fromStdString(local.Path()) + "|a.txt"}));
    EXPECT_FALSE(fs::exists(local.Path() + "/b.txt"));

    // Cancel queues nothing.
    dialogOk = false;
    fs::remove(local.Path() + "/a.txt");
    w.Download1Click();
    EXPECT_TRUE(w.Worker->IsIdle());
    EXPECT_FALSE(fs::exists(local.Path() + "/a.txt"));

    Select(w, {"a.txt", "b.txt", "c.txt"});
    w.RemotePane->PopupMenu1Popup();
    ASSERT_TRUE(w.RemotePane->Download2->isEnabled());
    w.RemotePane->Download2->trigger();
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(local.Path() + "/c.txt") && w.Worker->IsIdle(); }));
    EXPECT_EQ(ReadFile(local.Path() + "/a.txt"), "alpha");
    EXPECT_EQ(ReadFile(local.Path() + "/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(local.Path() + "/c.txt"), "charlie");

    // A name from the server that would leave the chosen folder is refused, by every way in.
    answers.Messages.clear();
    auto* row = static_cast<TRemoteRow*>(Row(w, "b.txt"));
    row->Info->Name = "../escape.txt";
    w.ListView1->clearSelection();
    row->setSelected(true);
    w.Download2Click();
    dialogOk = true;
    w.Download1Click();
    fs::create_directories(local.Path() + "/into");
    QWidget* localView = w.Local.List->viewport();
    EXPECT_TRUE(Drop(localView, *RemoteDrag(w), QPoint(3, localView->height() - 3)));
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->IsIdle(); }));
    EXPECT_EQ(answers.Messages.size(), 3);
    EXPECT_TRUE(answers.Messages.value(0).contains("not a plain file name"))
        << answers.Messages.value(0).toStdString();
    EXPECT_FALSE(fs::exists(fs::path(local.Path()).parent_path() / "escape.txt"));
}

TEST_F(Transfers, OverwriteAllLastsForTheBatch)
{
    for (const char* n : {"a.txt", "b.txt", "c.txt"}) {
        server.PutFile(n, std::string("new ") + n);
        WriteFile(local.Path() + "/" + n, "old");
    }
    TMainFrm& w = Connect();
    Select(w, {"a.txt", "b.txt", "c.txt"});
    answers.Next = {mrAll};
    w.Download2Click();
    ASSERT_TRUE(
        WaitUntil([&] { return ReadFile(local.Path() + "/c.txt") == "new c.txt" && w.Worker->IsIdle(); }));
    EXPECT_EQ(answers.Asked, QStringList({"File " + QString::fromStdString(local.Path()) +
                                          "/a.txt already exits. Overwrite?"}));
    EXPECT_EQ(ReadFile(local.Path() + "/b.txt"), "new b.txt");

    // A new batch asks again; No keeps the file.
    WriteFile(local.Path() + "/b.txt", "kept");
    Select(w, {"b.txt"});
    answers.Next = {mrNo};
    w.Download2Click();
    ASSERT_TRUE(WaitUntil([&] { return answers.Asked.size() == 2 && w.Worker->IsIdle(); }));
    EXPECT_EQ(ReadFile(local.Path() + "/b.txt"), "kept");
}

TEST_F(Transfers, DropsOnTheRemoteList)
{
    server.PutFolder("sub");
    server.PutFolder("dest");
    server.PutFile("m1.txt", "one");
    server.PutFile("m2.txt", "two");
    server.PutFile("plain.txt", "p");
    WriteFile(local.Path() + "/up.bin", std::string("\0\1\2\xff binary", 11));
    WriteFile(local.Path() + "/tree/x.txt", "x");
    WriteFile(local.Path() + "/tree/deep/y.txt", "y");
    WriteFile(local.Path() + "/pack.zip", "PK zip");
    TMainFrm& w = Connect();
    QWidget* target = w.ListView1->viewport();

    // Local files and a folder tree onto empty space upload into the current folder.
    auto files = FileDrag({local.Path() + "/up.bin", local.Path() + "/tree"});
    ASSERT_TRUE(Drop(target, *files, At(w, "")));
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "tree") != nullptr && w.Worker->IsIdle(); }))
        << w.Log->toPlainText().toStdString();
    EXPECT_EQ(ReadFile(server.Root() + "/up.bin"), ReadFile(local.Path() + "/up.bin"));
    EXPECT_EQ(ReadFile(server.Root() + "/tree/deep/y.txt"), "y");

    // Onto a file row: refused. From another program onto a folder row: into it, and shown.
    auto zip = FileDrag({local.Path() + "/pack.zip"});
    EXPECT_FALSE(Drop(target, *zip, At(w, "plain.txt")));
    ASSERT_TRUE(Drop(target, *zip, At(w, "sub")));
    ASSERT_TRUE(Shows(w, "/sub"));
    EXPECT_NE(Row(w, "pack.zip"), nullptr);
    EXPECT_EQ(ReadFile(server.Root() + "/sub/pack.zip"), "PK zip");

    // Remote rows onto a folder row are moved by rename; onto "..", into the parent.
    w.RemotePane->UpOneFolder();
    ASSERT_TRUE(Shows(w, "/"));
    Select(w, {"m1.txt", "m2.txt"});
    auto rows = RemoteDrag(w);
    EXPECT_FALSE(Drop(target, *rows, At(w, "plain.txt")));
    EXPECT_FALSE(Drop(target, *rows, At(w, "")));
    ASSERT_TRUE(Drop(target, *rows, At(w, "dest")));
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "m2.txt") == nullptr && w.Worker->IsIdle(); }));
    EXPECT_EQ(ReadFile(server.Root() + "/dest/m1.txt"), "one");
    EXPECT_EQ(ReadFile(server.Root() + "/dest/m2.txt"), "two");
    w.Worker->AddChangeDir("/dest");
    ASSERT_TRUE(Shows(w, "/dest"));
    Select(w, {"m1.txt"});
    rows = RemoteDrag(w);
    ASSERT_TRUE(Drop(target, *rows, At(w, "..")));
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(server.Root() + "/m1.txt") && w.Worker->IsIdle(); }));
    EXPECT_EQ(answers.Messages, QStringList());

    // Disconnected: the remote list takes no files.
    w.CheckDisconnect();
    ASSERT_TRUE(WaitUntil([&] { return !w.Worker->IsConnected(); }));
    EXPECT_FALSE(w.ListView1DragOver(*files, QPoint(5, 5)));
}

TEST_F(Transfers, RemoteRowsDroppedOnTheLocalList)
{
    server.PutFile("a.txt", "a");
    server.PutFile("b.txt", "b");
    fs::create_directories(local.Path() + "/into");
    WriteFile(local.Path() + "/file.txt", "f");
    TMainFrm& w = Connect();
    QAbstractItemView* list = w.Local.List;
    ASSERT_TRUE(WaitUntil([&] { return w.LocalPane->RowCount() == 2; }));
    ASSERT_TRUE(w.LocalPane->PathAt(0).endsWith("/into")); // folders first
    Select(w, {"..", "a.txt", "b.txt"});
    auto rows = RemoteDrag(w);
    const auto at = [&](int i) {
        return list->visualRect(list->model()->index(i, 0, list->rootIndex())).center();
    };
    EXPECT_FALSE(Drop(list->viewport(), *rows, at(1)));
    auto files = FileDrag({local.Path() + "/file.txt"});
    EXPECT_FALSE(Drop(list->viewport(), *files, at(0)));
    ASSERT_TRUE(Drop(list->viewport(), *rows, at(0)));
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(local.Path() + "/into/b.txt") && w.Worker->IsIdle(); }));
    EXPECT_EQ(ReadFile(local.Path() + "/into/a.txt"), "a");

    // Disconnected the local list still takes remote rows (the downloads then wait).
    w.CheckDisconnect();
    ASSERT_TRUE(WaitUntil([&] { return !w.Worker->IsConnected(); }));
    EXPECT_TRUE(w.ShellListView1DragOver(*rows, QPoint(2, list->viewport()->height() - 2), false));

    // Within the local list: onto a folder the first selected item moves there, after asking.
    list->selectionModel()->select(list->model()->index(1, 0, list->rootIndex()),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QStringList asked;
    ShellFileOpConfirmHook = [&](const QString&, const QString& text) {
        asked << text;
        return true;
    };
    EXPECT_FALSE(w.ShellListView1DragOver(*files, QPoint(2, list->viewport()->height() - 2), true));
    EXPECT_FALSE(w.ShellListView1DragOver(*files, at(0), false)); // another program's files
    EXPECT_FALSE(w.ShellListView1DragOver(*files, at(1), true));  // onto a file
    ASSERT_TRUE(w.ShellListView1DragOver(*files, at(0), true));
    w.ShellListView1DragDrop(*files, at(0), true);
    ShellFileOpConfirmHook = nullptr;
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(ReadFile(local.Path() + "/into/file.txt"), "f");
}

TEST_F(Transfers, MenusFocusAndTab)
{
    server.PutFile("pic.jpg", "p");
    server.PutFile("doc.txt", "d");
    TMainFrm& w = Connect();
    QAbstractItemView* list = w.Local.List;
    QStringList localCalls;
    w.Local.Delete = [&] { localCalls << "delete"; };
    w.Local.NewFolder = [&] { localCalls << "newfolder"; };
    QMenu* actions = w.findChild<QMenu*>("Actions1");
    auto enabled = [&](std::initializer_list<QAction*> items) {
        emit actions->aboutToShow();
        QString bits;
        for (QAction* a : items)
            bits += a->isEnabled() ? '1' : '0';
        return bits;
    };
    auto popup = [&] {
        w.RemotePane->PopupMenu1Popup();
        QString bits;
        for (QAction* a : {w.RemotePane->Download2, w.RemotePane->Open1, w.RemotePane->Delete1,
                           w.RemotePane->ImagePreview1, w.RemotePane->Permissions1, w.RemotePane->Rename2,
                           w.RemotePane->SortBy1, w.RemotePane->Refresh2})
            bits += a->isEnabled() ? '1' : '0';
        return bits;
    };
    struct Case {
        const char* what;
        QStringList remote;
        bool connected;
        QString actionsBits; // Upload Download Open Permissions ChangeFolder ImagePreview UpOne MakeFolder
        QString popupBits;   // Download Open Delete Image Permissions Rename SortBy Refresh
    };
    const Case cases[] = {
        {"nothing selected", {}, true, "00000011", "00000011"},
        {"an image row", {"pic.jpg"}, true, "01111111", "11111111"},
        {"a text row", {"doc.txt"}, true, "01111011", "11101111"},
        {"the parent row", {".."}, true, "01111011", "00000011"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Select(w, c.remote);
        EXPECT_EQ(enabled({w.Upload2, w.Download1, w.Open3, w.Permissions2, w.Changefolder1, w.ImagePreview2,
                           w.UpOneFolder1, w.MakeFolder1}),
                  c.actionsBits);
        EXPECT_EQ(popup(), c.popupBits);
    }

    // Focus in the local list: Delete and Make Folder act there, never on the remote row.
    Select(w, {"doc.txt"});
    list->setFocus();
    w.Delete4->trigger();
    w.MakeFolder1->trigger();
    EXPECT_EQ(localCalls, QStringList({"delete", "newfolder"}));
    EXPECT_TRUE(answers.Asked.isEmpty());

    // Tab from the remote list into the empty local folder moves the focus and selects nothing;
    // Tab back selects the first remote row and keeps the others.
    w.ListView1->setFocus();
    QTest::keyClick(w.ListView1, Qt::Key_Tab);
    EXPECT_TRUE(list->hasFocus());
    EXPECT_TRUE(list->selectionModel()->selectedRows().isEmpty());
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_TRUE(w.ListView1->hasFocus());
    EXPECT_TRUE(w.ListView1->topLevelItem(0)->isSelected());
    EXPECT_TRUE(Row(w, "doc.txt")->isSelected());

    // Disconnected the popup offers nothing.
    w.CheckDisconnect();
    ASSERT_TRUE(WaitUntil([&] { return !w.Worker->IsConnected(); }));
    EXPECT_EQ(popup(), "00000000");
}

// A whole session as a user has it, through the window only.
TEST_F(Transfers, AUserSessionFromConnectToClose)
{
    server.PutFolder("docs");
    server.PutFile("docs/read.me", "hello");
    WriteFile(local.Path() + "/tree/a.txt", "first file");
    WriteFile(local.Path() + "/tree/sub/b.bin", std::string("\0\1binary\xfe", 10));
    TempDir other;
    TRemotePane::PromptHook = [](const QString&, const QString&, QString& value) {
        value = "work";
        return true;
    };
    TMainFrm& w = Connect();
    auto key = [&](Qt::Key k) { QTest::keyClick(w.ListView1, k); };

    // Browse into a folder and back.
    Select(w, {"docs"});
    key(Qt::Key_Return);
    ASSERT_TRUE(Shows(w, "/docs"));
    EXPECT_NE(Row(w, "read.me"), nullptr);
    key(Qt::Key_Backspace);
    ASSERT_TRUE(Shows(w, "/"));

    // A new folder, and the tree dropped onto it goes inside and is shown there.
    key(Qt::Key_F7);
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "work") != nullptr && w.Worker->IsIdle(); }));
    auto tree = FileDrag({local.Path() + "/tree"});
    ASSERT_TRUE(Drop(w.ListView1->viewport(), *tree, At(w, "work")));
    ASSERT_TRUE(Shows(w, "/work"));
    ASSERT_NE(Row(w, "tree"), nullptr);

    // Down into another local folder, byte for byte.
    w.LocalPane->SetFolder(QString::fromStdString(other.Path()));
    Select(w, {"tree"});
    QWidget* localView = w.Local.List->viewport();
    ASSERT_TRUE(Drop(localView, *RemoteDrag(w), QPoint(3, localView->height() - 3)));
    ASSERT_TRUE(
        WaitUntil([&] { return fs::exists(other.Path() + "/tree/sub/b.bin") && w.Worker->IsIdle(); }));
    EXPECT_EQ(ReadFile(other.Path() + "/tree/a.txt"), ReadFile(local.Path() + "/tree/a.txt"));
    EXPECT_EQ(ReadFile(other.Path() + "/tree/sub/b.bin"), ReadFile(local.Path() + "/tree/sub/b.bin"));

    // Rename in place, then a permission change through the dialog.
    Select(w, {"tree"});
    key(Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    editor->setText("kept");
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "kept") != nullptr && w.Worker->IsIdle(); }));
    Select(w, {"kept"});
    TForm3* form = Forms::Permissions();
    QTimer::singleShot(0, form, [form] {
        QTest::mouseClick(form->CheckBox3, Qt::LeftButton, {}, QPoint(4, 8));
        QTest::mouseClick(form->Button1, Qt::LeftButton);
    });
    w.Actions1Click(); // the menu opens
    w.Permissions2->trigger();
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->IsIdle(); }));
    const int chmods = static_cast<int>(w.Log->toPlainText().count(">> SITE chmod"));
    EXPECT_EQ(chmods, 1);

    // Delete the tree (every question answered Yes), disconnect and close.
    Select(w, {"kept"});
    key(Qt::Key_Delete);
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "kept") == nullptr && w.Worker->IsIdle(); }));
    EXPECT_FALSE(fs::exists(server.Root() + "/work/kept"));
    w.Button2Click();
    ASSERT_TRUE(WaitUntil([&] { return !w.Worker->IsConnected(); }));
    const QString shown = w.Log->toPlainText();
    run->Close();
    TRemotePane::PromptHook = nullptr;

    EXPECT_EQ(QString::fromStdString(ReadFile(app.Path() + "/log.txt")).trimmed(), shown.trimmed());
    for (const char* sent : {">> MKD /work", ">> STOR", ">> RETR", ">> RNFR", ">> SITE chmod", ">> RMD"})
        EXPECT_TRUE(shown.contains(sent)) << sent;
    TSiteFileData saved;
    ASSERT_TRUE(LoadSites(app.Path() + "/servers.sit", saved));
    ASSERT_EQ(saved.Sites.Count(), 1);
    EXPECT_EQ(saved.Sites.Get(0).PortNumber, server.Port());
    EXPECT_TRUE(answers.Messages.isEmpty()) << answers.Messages.join('|').toStdString();
}

// The real box: Resume is a fourth button only for a local file shorter than the server's
// (vsftpd lists REST STREAM), and it appends the rest.
TEST_F(Transfers, TheOverwriteQuestionOffersResumeForAShorterFile)
{
    const std::string remote = "0123456789";
    server.PutFile("r.bin", remote);
    TMainFrm& w = Connect();
    Questions::AskHook = nullptr; // the box itself is under test
    struct Case {
        std::string local;
        QStringList buttons;
        QString click;
        std::string after;
    };
    const Case cases[] = {
        {"0123", {"Yes", "No", "All", "Resume"}, "Resume", remote},
        {"abcdefghij", {"Yes", "No", "All"}, "No", "abcdefghij"},
        {"abcdefghijkl", {"Yes", "No", "All"}, "No", "abcdefghijkl"},
    };
    for (const Case& k : cases) {
        WriteFile(local.Path() + "/r.bin", k.local);
        QStringList shown;
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !shown.isEmpty())
                return;
            for (QAbstractButton* b : box->buttons())
                shown << b->text().remove('&');
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove('&') == k.click)
                    b->click();
        });
        clicker.start(20);
        Select(w, {"r.bin"});
        w.Download2Click();
        ASSERT_TRUE(WaitUntil([&] { return !shown.isEmpty() && w.Worker->IsIdle(); }));
        std::sort(shown.begin(), shown.end());
        QStringList expected = k.buttons;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(shown, expected) << k.local;
        EXPECT_EQ(ReadFile(local.Path() + "/r.bin"), k.after) << k.local;
    }
}
