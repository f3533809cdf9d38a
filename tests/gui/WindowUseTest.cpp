// The window as a user meets it: the server box, closing, failed connections, look and feel.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "GuiSupport.h"
#include "app/About_Form.h"
#include "app/Forms.h"
#include "app/MainForm.h"
#include "engine/ui/TaskListView.h"
#include "platform/FileIcons.h"
#include "rtl/TempFolder.h"
#include "sites/ui/Servers.h"
#include "sites/ui/SiteBox.h"
#include "support/LoopbackPorts.h"
#include "support/PyftpdServer.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

void Type(QWidget* field, const QString& text)
{
    field->setFocus(Qt::MouseFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->clear();
    if (auto* box = qobject_cast<QComboBox*>(field))
        box->lineEdit()->clear();
    QTest::keyClicks(field, text);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class WindowUse : public ::testing::Test {
protected:
    TempDir app, tmp;
    ScriptedAnswers answers;

    void SaveSites(const std::vector<SiteRecord>& sites)
    {
        TSiteFileData data;
        for (const SiteRecord& r : sites)
            data.Sites.Add(r);
        ::SaveSites(app.Path() + "/servers.sit", data);
    }
    static SiteRecord Site(const std::string& host, const std::string& user, const std::string& password,
                           int port)
    {
        SiteRecord r = SiteRecord::NewSite(host);
        r.LoginName.Assign(user);
        r.LoginPassword.Assign(password);
        r.PortNumber = port;
        r.PassiveMode = 1;
        return r;
    }
};

} // namespace

// Typing a saved site's name and leaving the box (Tab or Enter) only makes it current.
TEST_F(WindowUse, LeavingTheServerBoxWithASavedNameDoesNotConnect)
{
    SaveSites({Site("127.0.0.1", "u", "p", 2121), Site("other.test", "v", "q", 21)});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) {
        SCOPED_TRACE(key == Qt::Key_Tab ? "Tab" : "Enter");
        Type(w.LabeledEdit2, "x"); // the bar starts elsewhere
        Type(w.ComboBox1, "127.0.0.1");
        QTest::keyClick(w.ComboBox1, key);
        QCoreApplication::processEvents();
        EXPECT_EQ(w.CurrentSite, 0);
        EXPECT_FALSE(w.Log->toPlainText().contains("Connecting to"));
        EXPECT_EQ(w.ListView2->topLevelItemCount(), 0);
        // The focus stays where the key sends it: Tab to User, Enter nowhere.
        EXPECT_TRUE(key == Qt::Key_Tab ? w.LabeledEdit2->hasFocus() : w.ComboBox1->hasFocus());
    }
}

TEST_F(WindowUse, ClosingTheWindowWhileTheAboutBoxIsShownEndsTheProgram)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    w.About1->trigger();
    ASSERT_TRUE(Forms::About()->isVisible());
    ASSERT_FALSE(w.isEnabled());
    run.Close();
    QStringList shown;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible())
            shown << top->objectName();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(", ").toStdString();
}

// Two programs never share a temporary folder; a starting program removes only what no running
// program owns, and a closing one only its own.
TEST_F(WindowUse, EachProgramHasItsOwnTemporaryFolder)
{
    const std::string base = tmp.Path() + "/ferrystar-" + std::to_string(::geteuid());
    EnsurePrivateFolder(base);
    TRunFolder other(base); // a second running program ...
    fs::create_directories(other.Path() + "/FTPtemp");
    std::ofstream(other.Path() + "/FTPtemp/opened.txt") << "in use";
    std::string crashedPath;
    {
        TRunFolder crashed(base); // ... and the leftovers of one that crashed
        crashedPath = crashed.Path();
        crashed.Abandon();
    }
    std::string own;
    {
        ProgramRun run(app.Path(), tmp.Path());
        own = run.main().TempFolder;
        EXPECT_EQ(fs::path(own).parent_path().parent_path(), base);
        EXPECT_NE(fs::path(own).parent_path(), other.Path());
        EXPECT_FALSE(fs::exists(crashedPath));
        run.Close();
    }
    EXPECT_FALSE(fs::exists(fs::path(own).parent_path()));
    EXPECT_EQ(ReadFile(other.Path() + "/FTPtemp/opened.txt"), "in use");
}

namespace {
struct FailedConnect {
    const char* name;
    std::function<void(SiteRecord&, const PyftpdServer&)> site;
    const char* box;     // the message box's text
    const char* logLine; // a line the Log page must hold
    std::string errLine; // err.txt's last line
};
} // namespace

// One shape: connect to a site that fails; the row is "Failed" before the box shows, the box
// says what failed and why, the Log page holds the reason, err.txt holds it on one line.
TEST_F(WindowUse, FailedConnectionsSayWhy)
{
    PyftpdServer server;
    const int closedPort = PickFreePorts(1);
    const std::vector<FailedConnect> cases = {
        {"wrong password",
         [](SiteRecord& r, const PyftpdServer& s) { r = Site("127.0.0.1", s.User(), "wrong", s.Port()); },
         "Login incorrect. Check your username and password.", "Connect failed: Authentication failed.",
         "Authentication failed."},
        {"anonymous refused",
         [](SiteRecord& r, const PyftpdServer& s) { r = Site("127.0.0.1", "", "", s.Port()); },
         "Login incorrect. Check your username and password.", nullptr, ""},
        {"refused port",
         [closedPort](SiteRecord& r, const PyftpdServer&) { r = Site("127.0.0.1", "u", "p", closedPort); },
         "Connect failed. Check if the server address was written correctly.\nConnection refused.",
         "Connect failed: Connection refused.", "Socket Error # 10061 Connection refused."},
        // A blank name is looked up nowhere, so the test sends nothing beyond this machine.
        {"unknown host", [](SiteRecord& r, const PyftpdServer&) { r = Site("  ", "u", "p", 21); },
         "Connect failed. Check if the server address was written correctly.\nHost not found.",
         "Connect failed: Host not found.", "Socket Error # 11001 Host not found."},
    };
    for (const FailedConnect& c : cases) {
        SCOPED_TRACE(c.name);
        SiteRecord site;
        c.site(site, server);
        SaveSites({site});
        QStringList boxes, rowsWhenShown;
        {
            ProgramRun run(app.Path(), tmp.Path());
            TMainFrm& w = run.main();
            Questions::MessageHook = [&](const QString& text) {
                boxes << text;
                for (int i = 0; i < w.ListView2->topLevelItemCount(); ++i)
                    rowsWhenShown << w.ListView2->topLevelItem(i)->text(0) + " " +
                                         w.ListView2->topLevelItem(i)->text(1);
            };
            w.ComboBox1->showPopup();
            w.ComboBox1->hidePopup();
            w.ComboBox1->setCurrentIndex(1);
            emit w.ComboBox1->activated(1);
            ASSERT_TRUE(WaitUntil([&] { return !boxes.isEmpty() && w.Worker->IsIdle(); }));
            EXPECT_EQ(boxes, QStringList{QString::fromLatin1(c.box)});
            EXPECT_EQ(rowsWhenShown, QStringList{"CONNECT Failed"});
            if (c.logLine != nullptr) {
                EXPECT_TRUE(w.Log->toPlainText().split('\n').contains(QString::fromLatin1(c.logLine)))
                    << w.Log->toPlainText().toStdString();
            }
            run.Close();
        }
        Questions::MessageHook = nullptr;
        const std::string err = ReadFile(app.Path() + "/err.txt");
        EXPECT_EQ(err.find('\r'), std::string::npos);
        EXPECT_EQ(err.find("\n\n"), std::string::npos);
        ASSERT_FALSE(err.empty());
        EXPECT_EQ(err.back(), '\n');
        if (!c.errLine.empty()) {
            const size_t last = err.rfind('\n', err.size() - 2);
            EXPECT_EQ(err.substr(last == std::string::npos ? 0 : last + 1), c.errLine + "\n") << err;
        }
    }
}

// The bar returns to the connected site when the user declines to leave it, also when that site
// was typed rather than picked.
TEST_F(WindowUse, DecliningToDisconnectPutsTheBarBackOnATypedSite)
{
    PyftpdServer server;
    SaveSites({Site("localhost", "someone", "else", 2100)});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    Type(w.ComboBox1, "127.0.0.1"); // a new site, named by typing
    Type(w.LabeledEdit2, QString::fromStdString(server.User()));
    Type(w.LabeledEdit3, QString::fromStdString(server.Password()));
    Type(w.LabeledEdit4, QString::number(server.Port()));
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] {
        return w.StatusPanel1->text() == "Connected to 127.0.0.1" && w.Worker->IsIdle();
    })) << answers.Messages.join("|").toStdString();
    answers.Next = {mrNo};
    w.ComboBox1->showPopup();
    w.ComboBox1->hidePopup();
    w.ComboBox1->setCurrentIndex(1);
    emit w.ComboBox1->activated(1);
    ASSERT_EQ(answers.Asked, QStringList{"You are connected to 127.0.0.1. Disconnect?"});
    EXPECT_EQ(w.ComboBox1->currentText(), "127.0.0.1");
    EXPECT_EQ(w.CurrentSite, 1);
    EXPECT_EQ(w.LabeledEdit2->text(), QString::fromStdString(server.User()));
    EXPECT_EQ(w.LabeledEdit4->text(), QString::number(server.Port()));
    EXPECT_TRUE(w.CheckBox1->isChecked());
    EXPECT_TRUE(w.Worker->IsConnected());
}

TEST_F(WindowUse, ServersCommandWithNothingSelectedLeavesTheBarAlone)
{
    SaveSites({Site("alpha.test", "ann", "pw", 21)});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    Type(w.ComboBox1, "kept.test");
    bool connectEnabled = true, deleteEnabled = true;
    QTimer::singleShot(0, Forms::Servers(), [&] {
        TForm4* d = Forms::Servers();
        connectEnabled = d->ConnectButton->isEnabled();
        deleteEnabled = d->DeleteButton->isEnabled();
        d->ConnectButton->click();
        if (d->isVisible())
            d->reject();
    });
    w.Servers1->trigger();
    EXPECT_FALSE(connectEnabled);
    EXPECT_FALSE(deleteEnabled);
    EXPECT_EQ(w.ComboBox1->currentText(), "kept.test");
    EXPECT_FALSE(w.Log->toPlainText().contains("Connecting to"));
}

TEST_F(WindowUse, OnlineHelpThatCannotBeOpenedSaysWhichPage)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    const std::string page = ExecutableFolder() + "help.html";
    ASSERT_FALSE(fs::exists(page)); // the tests' folder has no help page
    w.OnlineHelp1->trigger();
    ASSERT_EQ(answers.Messages.size(), 1);
    EXPECT_TRUE(answers.Messages.front().contains(QString::fromStdString(page)))
        << answers.Messages.front().toStdString();
}

// A failed write of log.txt is reported, not dropped.
TEST_F(WindowUse, ALogThatCannotBeWrittenIsReported)
{
    fs::create_symlink("/dev/full", app.Path() + "/log.txt");
    ProgramRun run(app.Path(), tmp.Path());
    run.main().AppendLog("a line that finds no room");
    run.Close();
    ASSERT_EQ(answers.Messages.size(), 1);
    EXPECT_TRUE(answers.Messages.front().startsWith("Cannot write file"))
        << answers.Messages.front().toStdString();
    EXPECT_TRUE(answers.Messages.front().contains("log.txt"));
}

// Nothing on the connection bar is clipped or overlaps, with the usual font and a large one.
TEST_F(WindowUse, ConnectionBarFitsItsFont)
{
    const QFont usual = QApplication::font();
    for (const int points : {0, 11, 16}) {
        SCOPED_TRACE(points);
        QFont font = usual;
        if (points > 0)
            font.setPointSize(points);
        QApplication::setFont(font);
        ProgramRun run(app.Path(), tmp.Path());
        TMainFrm& w = run.main();
        w.showNormal();
        w.resize(1600, 900);
        w.LabeledEdit4->setText("65535");
        QCoreApplication::processEvents();
        const QList<QWidget*> controls = w.ConnectPanel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* c : controls) {
            if (!c->isVisible())
                continue;
            const QSize need = c->minimumSizeHint();
            EXPECT_GE(c->width(), need.width()) << c->objectName().toStdString();
            EXPECT_GE(c->height(), need.height()) << c->objectName().toStdString();
            for (QWidget* d : controls) {
                if (d != c && d->isVisible()) {
                    EXPECT_FALSE(c->geometry().intersects(d->geometry()))
                        << c->objectName().toStdString() << " / " << d->objectName().toStdString();
                }
            }
        }
        const QLineEdit* port = w.LabeledEdit4;
        const int frame = port->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, port);
        EXPECT_GE(port->width(), port->fontMetrics().horizontalAdvance("65535") + 2 * frame + 4);
        EXPECT_LT(w.CheckBox1->geometry().right(), w.ComboBox2->geometry().left() - 2);
        const QLabel* title = w.Panel1->findChild<QLabel*>("Label1");
        EXPECT_GE(title->height(), title->sizeHint().height());
        run.Close();
    }
    QApplication::setFont(usual);
}

TEST_F(WindowUse, MenusOpenWithAltAndCarryThemeIcons)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    for (QAction* top : w.menuBar()->actions())
        for (QAction* a : top->menu()->actions())
            EXPECT_TRUE(a->isSeparator() || !a->icon().isNull()) << a->text().toStdString();
    EXPECT_FALSE(w.Servers1->icon().name().isEmpty()); // from the desktop's theme
    const std::pair<Qt::Key, QString> menus[] = {
        {Qt::Key_F, "File1"}, {Qt::Key_A, "Actions1"}, {Qt::Key_H, "Help1"}};
    for (const auto& [key, name] : menus) {
        QTest::keyClick(w.windowHandle(), key, Qt::AltModifier);
        ASSERT_TRUE(WaitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 5s));
        EXPECT_EQ(QApplication::activePopupWidget()->objectName(), name);
        QApplication::activePopupWidget()->close();
        QCoreApplication::processEvents();
    }
}

// File icons come from the name alone: no file of that name exists anywhere here.
TEST_F(WindowUse, FileIconsByNameFollowTheType)
{
    ProgramRun run(app.Path(), tmp.Path());
    const QIcon folder = FolderIcon();
    const QIcon picture = FileIconForName("/nowhere/holiday.jpg");
    const QIcon text = FileIconForName("/nowhere/readme.txt");
    const QIcon unknown = FileIconForName("/nowhere/blob.zzqq");
    for (const QIcon& icon : {folder, picture, text, unknown})
        EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(folder.name(), "folder");
    EXPECT_NE(picture.name(), text.name());
    EXPECT_FALSE(picture.name().isEmpty());
}

TEST_F(WindowUse, SiteListDropsDownWideEnoughForItsLongestName)
{
    const std::string longName = "a-rather-long-server-name.department.example-university.test";
    SaveSites({Site("short.test", "", "", 21), Site(longName, "", "", 21)});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    w.ComboBox1->showPopup();
    const QAbstractItemView* list = w.ComboBox1->view();
    EXPECT_GE(list->viewport()->width(),
              list->fontMetrics().horizontalAdvance(QString::fromStdString(longName)));
    w.ComboBox1->hidePopup();
}
