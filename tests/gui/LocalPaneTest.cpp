// The local pane on a home folder of the test's own: where it starts, its folder commands, its
// order, and the pictures it hands to the preview.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "GuiSupport.h"
#include "app/MainForm.h"
#include "panes/LocalPane.h"
#include "platform/ShellFileOp.h"
#include "preview/ImagePreview.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, size_t bytes)
{
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
}

// The home folder (and so the Desktop) is a folder of the test's.
class LocalPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FOldHome = qgetenv("HOME");
        FOldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QByteArray::fromStdString(home.Path()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.Path() + "/.config"));
        fs::create_directory(Desktop());
    }
    void TearDown() override
    {
        qputenv("HOME", FOldHome);
        if (FOldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", FOldConfig);
        TLocalPane::PromptHook = nullptr;
        ShellFileOpConfirmHook = nullptr;
    }
    fs::path Desktop() const { return fs::path(home.Path()) / "Desktop"; }
    static QStringList Names(const TLocalPane& pane)
    {
        QStringList names;
        for (int i = 0; i < pane.RowCount(); ++i)
            names << QFileInfo(pane.PathAt(i)).fileName();
        return names;
    }
    static bool Shows(const TLocalPane& pane, int rows)
    {
        return WaitUntil([&] { return pane.RowCount() == rows; });
    }
    // Selects the named item; while the folder is still being read the model may renew its
    // rows, so the selection is made again until it holds.
    static void Select(TLocalPane& pane, const QString& name)
    {
        auto* view = pane.ShellListView1;
        view->setFocus();
        const bool held = WaitUntil([&] {
            const QModelIndex index =
                view->model()->index(static_cast<int>(Names(pane).indexOf(name)), 0, view->rootIndex());
            if (!index.isValid() || !(index.flags() & Qt::ItemIsEnabled))
                return false;
            if (pane.FirstSelectedPath().endsWith(QLatin1Char('/') + name) && view->currentIndex() == index)
                return true;
            view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
            return false;
        });
        ASSERT_TRUE(held) << name.toStdString();
    }
    TempDir app, tmp, home;

private:
    QByteArray FOldHome, FOldConfig;
};

} // namespace

TEST_F(LocalPaneTest, StartsAtTheDesktopAndMovesBetweenFolders)
{
    fs::create_directory(Desktop() / "inner");
    ProgramRun run(app.Path(), tmp.Path());
    TLocalPane& pane = *run.main().LocalPane;
    const QString desktop = QString::fromStdString(Desktop().string());
    EXPECT_EQ(pane.CurrentFolder(), desktop);
    EXPECT_EQ(pane.ShellComboBox1->currentData().toString(), desktop);

    Select(pane, QStringLiteral("inner"));
    QTest::keyClick(pane.ShellListView1, Qt::Key_Return);
    EXPECT_EQ(pane.CurrentFolder(), desktop + QStringLiteral("/inner"));
    EXPECT_EQ(pane.ShellComboBox1->currentData().toString(), pane.CurrentFolder());
    QTest::keyClick(pane.ShellListView1, Qt::Key_Backspace);
    EXPECT_EQ(pane.CurrentFolder(), desktop);
    pane.SpeedButton1->click();
    EXPECT_EQ(pane.CurrentFolder(), QString::fromStdString(home.Path()));

    // A place chosen in the box is shown in the list.
    const int root = pane.ShellComboBox1->findData(QStringLiteral("/"));
    ASSERT_GE(root, 0);
    emit pane.ShellComboBox1->activated(root);
    EXPECT_EQ(pane.CurrentFolder(), QStringLiteral("/"));
    EXPECT_TRUE(Shows(pane, static_cast<int>(QDir(QStringLiteral("/"))
                                                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                            QDir::Hidden | QDir::System)
                                                 .size())));
}

TEST_F(LocalPaneTest, NewFolderIsMadeOnceAndAnExistingNameIsRefused)
{
    ProgramRun run(app.Path(), tmp.Path());
    ScriptedAnswers answers;
    TLocalPane& pane = *run.main().LocalPane;
    QStringList prompts;
    TLocalPane::PromptHook = [&](const QString& title, const QString& label, QString& value) {
        prompts << title + QLatin1Char('/') + label;
        value = QStringLiteral("made");
        return true;
    };
    pane.ShellListView1->setFocus();
    QTest::keyClick(pane.ShellListView1, Qt::Key_F7);
    EXPECT_EQ(prompts, QStringList{QStringLiteral("Create Folder/Folder Name")});
    EXPECT_TRUE(fs::is_directory(Desktop() / "made"));
    EXPECT_TRUE(Shows(pane, 1));
    EXPECT_TRUE(answers.Messages.isEmpty());

    WriteFile(Desktop() / "made" / "kept", 3);
    pane.SpeedButton5->click();
    ASSERT_EQ(answers.Messages.size(), 1);
    EXPECT_TRUE(answers.Messages[0].contains(QStringLiteral("File exists")))
        << answers.Messages[0].toStdString();
    EXPECT_TRUE(fs::exists(Desktop() / "made" / "kept"));
}

TEST_F(LocalPaneTest, DeleteTakesOnlyTheFirstSelectedAfterItsQuestion)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        WriteFile(Desktop() / name, 5);
    ProgramRun run(app.Path(), tmp.Path());
    TLocalPane& pane = *run.main().LocalPane;
    ASSERT_TRUE(Shows(pane, 3));
    QStringList asked;
    bool answer = false;
    ShellFileOpConfirmHook = [&](const QString&, const QString& text) {
        asked << text;
        return answer;
    };
    pane.ShellListView1->setFocus();
    QTest::keyClick(pane.ShellListView1, Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(pane.SelectedPaths().size(), 3);
    QTest::keyClick(pane.ShellListView1, Qt::Key_Delete); // answered No
    EXPECT_TRUE(fs::exists(Desktop() / "a.txt"));

    answer = true;
    ASSERT_TRUE(Shows(pane, 3));
    QTest::keyClick(pane.ShellListView1, Qt::Key_A, Qt::ControlModifier);
    pane.SpeedButton6->click();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[1].contains(QStringLiteral("a.txt")));
    EXPECT_FALSE(fs::exists(Desktop() / "a.txt"));
    EXPECT_TRUE(fs::exists(Desktop() / "b.txt"));
    EXPECT_TRUE(fs::exists(Desktop() / "c.txt"));
    EXPECT_TRUE(Shows(pane, 2));
}

TEST_F(LocalPaneTest, RenameInPlaceRenamesTheFileAndRefusesAPath)
{
    WriteFile(Desktop() / "old.txt", 5);
    fs::create_directory(Desktop() / "sub");
    ProgramRun run(app.Path(), tmp.Path());
    ScriptedAnswers answers;
    TLocalPane& pane = *run.main().LocalPane;
    const auto renameTo = [&](const QString& name) {
        Select(pane, QStringLiteral("old.txt"));
        QTest::keyClick(pane.ShellListView1, Qt::Key_F2);
        auto* editor = pane.ShellListView1->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(pane.ShellListView1->Editing());
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the edit is committed by a queued call
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    renameTo(QStringLiteral("sub/moved.txt"));
    EXPECT_TRUE(WaitUntil([&] { return answers.Messages.size() == 1; }));
    EXPECT_FALSE(fs::exists(Desktop() / "sub" / "moved.txt"));
    renameTo(QStringLiteral("new.txt"));
    EXPECT_TRUE(WaitUntil([&] { return fs::exists(Desktop() / "new.txt"); }));
    EXPECT_FALSE(fs::exists(Desktop() / "old.txt"));
    EXPECT_TRUE(WaitUntil([&] { return Names(pane).contains(QStringLiteral("new.txt")); }));
}

TEST_F(LocalPaneTest, EveryColumnSortsWithFoldersFirstAndNeverDescending)
{
    fs::create_directory(Desktop() / "zdir");
    fs::create_directory(Desktop() / "adir");
    WriteFile(Desktop() / "big.txt", 300);
    WriteFile(Desktop() / "mid.bin", 100);
    WriteFile(Desktop() / "small.c", 10);
    ProgramRun run(app.Path(), tmp.Path());
    TLocalPane& pane = *run.main().LocalPane;
    ASSERT_TRUE(Shows(pane, 5));
    QHeaderView* header = pane.ShellListView1->header();
    const struct {
        int column;
        QStringList order;
    } cases[] = {
        {1, {"adir", "zdir", "small.c", "mid.bin", "big.txt"}},
        {1, {"adir", "zdir", "small.c", "mid.bin", "big.txt"}}, // a second click changes nothing
        {0, {"adir", "zdir", "big.txt", "mid.bin", "small.c"}},
    };
    for (const auto& c : cases) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(c.column) + 5, header->height() / 2));
        EXPECT_EQ(pane.ShellSortColumn(), c.column);
        EXPECT_TRUE(WaitUntil([&] { return Names(pane) == c.order; }))
            << c.column << ": " << Names(pane).join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(LocalPaneTest, SelectingAPictureShowsItAndOtherFilesLeaveThePreview)
{
    QImage(64, 48, QImage::Format_RGB32)
        .save(QString::fromStdString((Desktop() / "photo.jpg").string()), "JPG");
    WriteFile(Desktop() / "notes.txt", 5);
    WriteFile(Desktop() / "scan.tif", 50);
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    TImagePreview& preview = *w.ImagePreview;
    const struct {
        const char* name;
        const char* size;   // the dimensions shown afterwards
        bool previewShown;  // the preview page is the current tab afterwards
        const char* status; // status panel 0 afterwards
    } cases[] = {
        {"notes.txt", "", false, ""},
        {"photo.jpg", "64x48", true, ""},
        {"scan.tif", "64x48", false, "Picture can't be displayed"},
    };
    for (const auto& c : cases) {
        w.PageControl1->setCurrentIndex(0);
        Select(*w.LocalPane, QString::fromLatin1(c.name));
        EXPECT_EQ(preview.Label6->text(), QString::fromLatin1(c.size)) << c.name;
        EXPECT_EQ(w.PageControl1->currentWidget() == &preview, c.previewShown) << c.name;
        EXPECT_EQ(w.StatusPanel0->text(), QString::fromLatin1(c.status)) << c.name;
    }
    EXPECT_TRUE(preview.Picture.isNull()); // the failed load leaves an empty picture
    EXPECT_TRUE(preview.LabeledEdit1->text().endsWith(QStringLiteral("/photo.jpg")));
}

// Every key of the local list, each in the state a user meets it: what it set off, and that none
// acts while a name is being edited.
TEST_F(LocalPaneTest, EveryKeyOfTheListDoesItsCommand)
{
    fs::create_directory(Desktop() / "inner");
    WriteFile(Desktop() / "a.txt", 5);
    WriteFile(Desktop() / "b.txt", 5);
    ProgramRun run(app.Path(), tmp.Path());
    TLocalPane& pane = *run.main().LocalPane;
    ASSERT_TRUE(Shows(pane, 3));
    const QString desktop = QString::fromStdString(Desktop().string());
    QStringList did;
    ShellFileOpConfirmHook = [&](const QString&, const QString& text) {
        did << text; // answered No
        return false;
    };
    TLocalPane::PromptHook = [&](const QString& title, const QString&, QString&) {
        did << title;
        return false;
    };
    pane.OnUploadWithDialog = [&] { did << QStringLiteral("upload"); };
    QSignalSpy emptied(pane.ShellListView1->model(), &QAbstractItemModel::rowsRemoved);
    const auto happened = [&] {
        if (pane.ShellListView1->Editing()) {
            did << QStringLiteral("rename");
            QTest::keyClick(pane.ShellListView1->viewport()->findChild<QLineEdit*>(), Qt::Key_Escape);
        }
        if (pane.CurrentFolder() != desktop) {
            did << (pane.CurrentFolder() == QString::fromStdString(home.Path())
                        ? QStringLiteral("shows home")
                        : QStringLiteral("shows ") + QFileInfo(pane.CurrentFolder()).fileName());
            pane.SetFolder(desktop);
        } else if (!emptied.isEmpty()) {
            did << QStringLiteral("read again");
        }
        if (pane.SelectedPaths().size() == 3)
            did << QStringLiteral("all selected");
        if (auto* dialog = QApplication::activeModalWidget())
            dialog->close();
        return did.join(QLatin1Char('|'));
    };
    struct Case {
        const char* selected;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* expected;
    } const cases[] = {
        {"inner", Qt::Key_Return, {}, "shows inner"},
        {"inner", Qt::Key_Enter, {}, "shows inner"},
        {"a.txt", Qt::Key_Backspace, {}, "shows home"},
        {"a.txt", Qt::Key_Delete, {}, "Are you sure you want to delete 'a.txt'?|read again"},
        {"b.txt", Qt::Key_F8, {}, "Are you sure you want to delete 'b.txt'?|read again"},
        {"a.txt", Qt::Key_F2, {}, "rename"},
        {"a.txt", Qt::Key_F6, {}, "rename"},
        {"a.txt", Qt::Key_F5, {}, "upload"},
        {"a.txt", Qt::Key_F7, {}, "Create Folder"},
        {"a.txt", Qt::Key_A, Qt::ControlModifier, "all selected"},
        {"a.txt", Qt::Key_R, Qt::ControlModifier, "read again"},
        {"a.txt", Qt::Key_Return, Qt::AltModifier, "properties"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        Select(pane, QString::fromLatin1(c.selected));
        did.clear();
        emptied.clear();
        if (c.modifiers == Qt::AltModifier) // the properties box is modal: noted, then closed
            QTimer::singleShot(0, [&] {
                if (auto* dialog = QApplication::activeModalWidget()) {
                    did << QStringLiteral("properties");
                    dialog->close();
                }
            });
        QTest::keyClick(pane.ShellListView1, c.key, c.modifiers);
        EXPECT_EQ(happened(), QString::fromLatin1(c.expected));
        ASSERT_TRUE(Shows(pane, 3));
    }

    // While a name is edited the keys belong to the editor.
    Select(pane, QStringLiteral("a.txt"));
    QTest::keyClick(pane.ShellListView1, Qt::Key_F2);
    ASSERT_TRUE(pane.ShellListView1->Editing());
    auto* editor = pane.ShellListView1->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    did.clear();
    for (Qt::Key key : {Qt::Key_Delete, Qt::Key_F8, Qt::Key_F5, Qt::Key_F7, Qt::Key_Backspace})
        QTest::keyClick(editor, key);
    EXPECT_TRUE(did.isEmpty()) << did.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(pane.CurrentFolder(), desktop);
}

// A drag from the list ends, dropped or not, with the list read again (what was dragged may
// have gone elsewhere).
TEST_F(LocalPaneTest, ADragFromTheListEndsWithTheListReadAgain)
{
    WriteFile(Desktop() / "a.txt", 5);
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    TLocalPane& pane = *w.LocalPane;
    Select(pane, QStringLiteral("a.txt"));
    int refreshes = 0;
    w.Local.Refresh = [&] { ++refreshes; };
    // Should the platform run the drag's own loop, it ends here.
    QTimer::singleShot(2000, [] { QDrag::cancel(); });
    QWidget* viewport = pane.ShellListView1->viewport();
    const QPoint at = pane.ShellListView1->visualRect(pane.ShellListView1->model()->index(0, 0)).center();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at);
    for (int step = 1; step <= 4 && refreshes == 0; ++step) {
        const QPoint to = at + QPoint(step * 10, step * 10);
        QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
    }
    EXPECT_EQ(refreshes, 1);
}
