// The window drives the session: connection bar, questions, status texts, the timer.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "GuiSupport.h"
#include "app/Forms.h"
#include "app/MainForm.h"
#include "engine/ui/TaskListView.h"
#include "ftp/IdFTP.h"
#include "sites/ui/Proxies.h"
#include "sites/ui/Servers.h"
#include "sites/ui/SiteBox.h"
#include "support/FtpTestUser.h"
#include "support/PyftpdServer.h"
#include "support/ServerSkip.h"
#include "support/SessionKiller.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

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

void Leave(TMainFrm& w)
{
    w.CheckBox1->setFocus(Qt::TabFocusReason);
}

// Picks an entry from the dropped-down server box, as a user does.
void ChooseSite(TMainFrm& w, int entry)
{
    w.ComboBox1->showPopup();
    w.ComboBox1->hidePopup();
    w.ComboBox1->setCurrentIndex(entry);
    emit w.ComboBox1->activated(entry);
}

bool LogHas(TMainFrm& w, const QString& line)
{
    return w.Log->toPlainText().split('\n').contains(line);
}

class SessionControl : public ::testing::Test {
protected:
    VsftpdServer server;
    TempDir app, tmp;
    ScriptedAnswers answers;

    // Types a new site on the bar and presses Connect.
    void ConnectByTyping(TMainFrm& w, const std::string& password)
    {
        Type(w.ComboBox1, "127.0.0.1");
        Type(w.LabeledEdit2, QString::fromStdString(server.User()));
        Type(w.LabeledEdit3, QString::fromStdString(password));
        Type(w.LabeledEdit4, QString::number(server.Port()));
        QTest::mouseClick(w.CheckBox1, Qt::LeftButton);
        QTest::mouseClick(w.Button1, Qt::LeftButton);
    }
    bool Connected(TMainFrm& w)
    {
        return WaitUntil(
            [&] { return w.StatusPanel1->text() == "Connected to 127.0.0.1" && w.Worker->IsIdle(); });
    }
    void SaveSites(std::initializer_list<std::string> hosts)
    {
        TSiteFileData data;
        for (const std::string& host : hosts) {
            SiteRecord r = SiteRecord::NewSite(host);
            r.LoginName.Assign(server.User());
            r.LoginPassword.Assign(server.Password());
            r.PortNumber = server.Port();
            r.PassiveMode = 1;
            data.Sites.Add(r);
        }
        ::SaveSites(app.Path() + "/servers.sit", data);
    }
};

} // namespace

TEST_F(SessionControl, TypedSiteConnectsAndTheLogShowsTheProtocol)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    ConnectByTyping(w, server.Password());
    ASSERT_TRUE(Connected(w)) << w.Log->toPlainText().toStdString();
    EXPECT_TRUE(LogHas(w, "Connecting to 127.0.0.1"));
    EXPECT_TRUE(LogHas(w, ">> PASS ***"));
    EXPECT_TRUE(LogHas(w, ">> USER " + QString::fromStdString(server.User())));
    EXPECT_FALSE(w.Log->toPlainText().contains(QString::fromStdString(server.Password())));
    EXPECT_TRUE(w.Log->toPlainText().contains("<< 230"));
    EXPECT_TRUE(w.Button2->isEnabled());
    EXPECT_TRUE(w.RemoteButtonsEnabled());
    // The typed site was stored with what was typed, and saved.
    ASSERT_EQ(w.SiteData.Sites.Count(), 1);
    EXPECT_EQ(w.SiteData.Sites.Get(0).PortNumber, server.Port());
    EXPECT_EQ(w.SiteData.Sites.Get(0).PassiveMode, 1);
    TSiteFileData saved;
    LoadSites(app.Path() + "/servers.sit", saved);
    EXPECT_EQ(saved.Sites.Count(), 1);
    // The first listing reached the remote list.
    EXPECT_TRUE(WaitUntil([&] { return w.ListView1->topLevelItemCount() > 0; }));
}

TEST_F(SessionControl, WrongPasswordShowsTheLoginText)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    ConnectByTyping(w, "not-the-password");
    ASSERT_TRUE(WaitUntil([&] { return !answers.Messages.isEmpty(); }));
    EXPECT_EQ(answers.Messages.front(), "Login incorrect. Check your username and password.");
    EXPECT_EQ(w.StatusPanel1->text(), "Not connected");
    EXPECT_TRUE(w.Button2->isEnabled());
    EXPECT_FALSE(w.RemoteButtonsEnabled());
}

TEST_F(SessionControl, ChoosingASavedSiteConnectsAtOnceAndDisconnectQuestions)
{
    SaveSites({"127.0.0.1", "localhost"});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    w.ComboBox1->showPopup();
    w.ComboBox1->hidePopup();
    ASSERT_EQ(w.ComboBox1->count(), 3);
    w.ComboBox1->setCurrentIndex(1);
    emit w.ComboBox1->activated(1);
    ASSERT_TRUE(Connected(w));
    EXPECT_EQ(w.LabeledEdit4->text(), QString::number(server.Port()));
    EXPECT_EQ(w.ConnectedItemIndex, 1);

    // Another site chosen while connected: the question names the connected host; No puts the
    // bar back on it.
    answers.Next = {mrNo};
    w.LabeledEdit2->setText("someone-else");
    w.ComboBox1->setCurrentIndex(2);
    emit w.ComboBox1->activated(2);
    ASSERT_EQ(answers.Asked.size(), 1);
    EXPECT_EQ(answers.Asked.front(), "You are connected to 127.0.0.1. Disconnect?");
    EXPECT_EQ(w.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(w.CurrentSite, 0);
    EXPECT_EQ(w.LabeledEdit2->text(), QString::fromStdString(server.User()));
    EXPECT_TRUE(w.Worker->IsConnected());

    // Disconnect with the connected host in the box asks nothing.
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(answers.Asked.size(), 1);
    EXPECT_TRUE(WaitUntil([&] { return w.StatusPanel1->text() == "Not connected"; }));
    EXPECT_FALSE(w.Worker->IsConnected());
    EXPECT_EQ(w.ListView1->topLevelItemCount(), 0);
    // With no session, Disconnect asks nothing either.
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    EXPECT_EQ(answers.Asked.size(), 1);
}

TEST_F(SessionControl, ConnectDuringATransferAsksAndYesAbortsEveryTask)
{
    const std::string big = server.Root() + "/big.bin";
    std::ofstream(big, std::ios::binary).close();
    fs::resize_file(big, 1ll << 30);
    GiveToFtpTestUser(big.c_str());
    SaveSites({"127.0.0.1"});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    ChooseSite(w, 1);
    ASSERT_TRUE(Connected(w));
    TFTPFileInfo info;
    info.Name = "big.bin";
    info.Folder = "/";
    info.FullPath = "/big.bin";
    w.Worker->AddGet(&info, tmp.Path() + "/big.bin");
    w.Worker->AddList();
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->FProgress > 0.01f; }));
    answers.Next = {mrNo};
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    ASSERT_EQ(answers.Asked.size(), 1);
    EXPECT_EQ(answers.Asked.front(), "A task is currently being performed. Disconnect anyway?");
    EXPECT_FALSE(w.Worker->IsIdle()); // No keeps everything

    answers.Next = {mrYes};
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    EXPECT_EQ(answers.Asked.size(), 2);
    // Every task ends; the new connection follows and logs in again.
    ASSERT_TRUE(
        WaitUntil([&] { return w.Worker->IsIdle() && w.StatusPanel1->text().startsWith("Connected"); }, 20s))
        << w.StatusPanel1->text().toStdString() << " " << answers.Messages.join("|").toStdString();
    QStringList states;
    for (int i = 0; i < w.ListView2->topLevelItemCount(); ++i)
        states << w.ListView2->topLevelItem(i)->text(0) + " " + w.ListView2->topLevelItem(i)->text(1);
    EXPECT_TRUE(states.contains("GET Aborted") || states.contains("GET Failed"))
        << states.join(", ").toStdString();
}

TEST_F(SessionControl, ADroppedIdleSessionIsNoticedOnceAndReconnectReturnsToTheFolder)
{
    server.PutFolder("inner");
    SaveSites({"127.0.0.1"});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    ChooseSite(w, 1);
    ASSERT_TRUE(Connected(w));
    w.Worker->AddChangeDir("inner");
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->FCurrentDir == "/inner" && w.Worker->IsIdle(); }));
    KillFtpSessions();
    // The sleeping worker notices the closed connection by itself.
    ASSERT_TRUE(WaitUntil([&] { return !w.Worker->IsConnected(); }));
    answers.Next = {mrNo};
    w.Timer1Timer();
    EXPECT_EQ(w.StatusPanel1->text(), "Not connected");
    w.Timer1Timer();
    w.Timer1Timer();
    EXPECT_EQ(answers.Asked, QStringList{"Connection timeout. You've been disconnected. Reconnect?"});

    // After a new login the question may come once more; Yes brings the session back to the folder.
    w.Worker->Reconnect();
    ASSERT_TRUE(
        WaitUntil([&] { return w.StatusPanel1->text().startsWith("Connected") && w.Worker->IsIdle(); }));
    EXPECT_EQ(w.Worker->FCurrentDir, "/inner");
    KillFtpSessions();
    ASSERT_TRUE(WaitUntil([&] { return !w.Worker->IsConnected(); }));
    answers.Next = {mrYes};
    w.Timer1Timer();
    EXPECT_EQ(answers.Asked.size(), 2);
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->IsIdle() && w.Worker->IsConnected(); }));
    EXPECT_EQ(w.Worker->FCurrentDir, "/inner");
}

TEST_F(SessionControl, FinishedRowsGoAtTheNextTickPendingOnesStay)
{
    SaveSites({"127.0.0.1"});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    ChooseSite(w, 1);
    ASSERT_TRUE(Connected(w));
    ASSERT_TRUE(WaitUntil([&] { return w.ListView2->topLevelItemCount() >= 2; }));
    w.Worker->AddShellOpen(tmp.Path() + "/nothing.txt"); // a shell-open row never goes
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->IsIdle(); }));
    w.Timer1Timer();
    ASSERT_EQ(w.ListView2->topLevelItemCount(), 1);
    EXPECT_EQ(w.ListView2->topLevelItem(0)->text(0), "SHELL OPEN");
}

TEST_F(SessionControl, SiteBoxNewNamesCaseAndDelete)
{
    SaveSites({"Alpha"});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    // "<new>" clears the bar; typing a user changes no site; leaving an empty box asks for a name.
    w.ComboBox1->showPopup();
    w.ComboBox1->hidePopup();
    w.ComboBox1->setCurrentIndex(0);
    emit w.ComboBox1->activated(0);
    EXPECT_EQ(w.CurrentSite, -1);
    EXPECT_FALSE(w.Button1->isEnabled());
    Type(w.LabeledEdit2, "nobody");
    Leave(w);
    EXPECT_EQ(w.SiteData.Sites.Get(0).LoginName.Str(), server.User());
    Type(w.ComboBox1, "x");
    w.ComboBox1->lineEdit()->clear();
    emit w.ComboBox1->lineEdit()->textEdited(QString());
    Leave(w);
    EXPECT_EQ(answers.Messages, QStringList{"Please specify a name"});

    // A name differing only in letter case is a new site; the exact name selects the old one.
    Type(w.ComboBox1, "alpha");
    EXPECT_TRUE(w.Button1->isEnabled());
    Leave(w);
    ASSERT_EQ(w.SiteData.Sites.Count(), 2);
    EXPECT_EQ(w.CurrentSite, 1);
    EXPECT_EQ(w.SiteData.Sites.Get(1).PortNumber, 21);
    Type(w.ComboBox1, "Alpha");
    Leave(w);
    EXPECT_EQ(w.CurrentSite, 0);
    EXPECT_EQ(w.SiteData.Sites.Count(), 2);

    // Delete in the dropped-down list asks, removes, saves.
    w.ComboBox1->showPopup();
    ASSERT_EQ(w.ComboBox1->count(), 3);
    answers.Next = {mrYes};
    w.ComboBox1->OnDeleteKey(2);
    w.ComboBox1->hidePopup();
    EXPECT_EQ(answers.Asked.back(), "Are you sure you want to delete alpha?");
    EXPECT_EQ(w.CurrentSite, -1);
    TSiteFileData saved;
    LoadSites(app.Path() + "/servers.sit", saved);
    ASSERT_EQ(saved.Sites.Count(), 1);
    EXPECT_EQ(saved.Sites.Get(0).HostName.Str(), "Alpha");
    // Typing in User now changes no site.
    Type(w.LabeledEdit2, "ghost");
    Leave(w);
    EXPECT_EQ(w.SiteData.Sites.Get(0).LoginName.Str(), server.User());
}

TEST_F(SessionControl, TransferTypeWithNoSessionIsATaskThatOnlySetsTheClientsType)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    EXPECT_EQ(w.CurrentSite, -1);
    for (const int choice : {1, 2}) {
        w.ComboBox2->setCurrentIndex(choice);
        emit w.ComboBox2->activated(choice);
    }
    // Both run in order without a session (no reconnection) and show as rows.
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->IsIdle(); }));
    EXPECT_EQ(w.Worker->FFTP->TransferType(), ftBinary);
    EXPECT_FALSE(w.Worker->FAutoType);
    QStringList rows;
    for (int i = 0; i < w.ListView2->topLevelItemCount(); ++i)
        rows << w.ListView2->topLevelItem(i)->text(0) + " " + w.ListView2->topLevelItem(i)->text(1) + " " +
                    w.ListView2->topLevelItem(i)->text(3);
    EXPECT_EQ(rows, (QStringList{"TYPE Completed ASCII", "TYPE Completed Binary"}));
    w.ComboBox2->setCurrentIndex(0);
    emit w.ComboBox2->activated(0);
    ASSERT_TRUE(WaitUntil([&] { return w.Worker->IsIdle() && w.Worker->FAutoType; }));
    EXPECT_TRUE(answers.Messages.isEmpty());
}

TEST_F(SessionControl, PortThatIsNotANumberKeepsTheStoredPort)
{
    SaveSites({"127.0.0.1"});
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    Type(w.ComboBox1, "127.0.0.1");
    Leave(w);
    ASSERT_EQ(w.CurrentSite, 0);
    Type(w.LabeledEdit4, "2x1");
    Leave(w);
    EXPECT_EQ(answers.Messages.back(), "'2x1' is not a valid integer value");
    EXPECT_EQ(w.SiteData.Sites.Get(0).PortNumber, server.Port());
    EXPECT_TRUE(w.FieldEdited);
    Type(w.LabeledEdit4, "990");
    Leave(w);
    EXPECT_EQ(w.SiteData.Sites.Get(0).PortNumber, 990);
    EXPECT_FALSE(w.FieldEdited);
}

TEST_F(SessionControl, ServersCommandSavesOnCloseAndConnectsOnConnect)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    TForm4* dialog = Forms::Servers();
    // "Add", then "Close": the new site reaches the file although nothing was connected.
    QTimer::singleShot(0, dialog, [dialog] {
        QTest::mouseClick(dialog->AddButton, Qt::LeftButton);
        QTest::mouseClick(dialog->CloseButton, Qt::LeftButton);
    });
    w.Servers1->trigger();
    TSiteFileData saved;
    LoadSites(app.Path() + "/servers.sit", saved);
    ASSERT_EQ(saved.Sites.Count(), 1);
    EXPECT_EQ(saved.Sites.Get(0).HostName.Str(), "New Server");
    EXPECT_EQ(w.CurrentSite, -1);

    // Edit that site into our server and press "Connect": the bar selects it and connects.
    SiteRecord& r = w.SiteData.Sites.Get(0);
    r.HostName.Assign("127.0.0.1");
    r.LoginName.Assign(server.User());
    r.LoginPassword.Assign(server.Password());
    r.PortNumber = server.Port();
    r.PassiveMode = 1;
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->ListView1->setCurrentItem(dialog->ListView1->topLevelItem(0));
        QTest::mouseClick(dialog->ConnectButton, Qt::LeftButton);
    });
    w.Servers1->trigger();
    EXPECT_EQ(w.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(w.CurrentSite, 0);
    ASSERT_TRUE(Connected(w));
}

TEST_F(SessionControl, ProxySetupChangesTheValuesWithoutWritingTheFile)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    TForm5* dialog = Forms::Proxies();
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->HostEdit->setText("proxy.local");
        dialog->PortEdit->setText("2121");
        QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
    });
    w.ProxySetup1->trigger();
    EXPECT_EQ(w.SiteData.Proxy.ProxyHost.Str(), "proxy.local");
    EXPECT_EQ(w.SiteData.Proxy.ProxyPort, 2121);
    EXPECT_FALSE(fs::exists(app.Path() + "/servers.sit"));
}

// An IPv6 address typed in brackets in the server box connects; the Log names the address reached.
TEST(SessionControlIPv6, BracketedAddressTypedInTheBarConnects)
{
    SKIP_WITHOUT(WhyNoIPv6());
    SKIP_WITHOUT(WhyNoPyftpd());
    PyftpdServer server("::1");
    std::ofstream(server.Root() + "/seen.txt") << "x";
    TempDir app, tmp;
    ScriptedAnswers answers;
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    Type(w.ComboBox1, "[::1]");
    Type(w.LabeledEdit2, QString::fromStdString(server.User()));
    Type(w.LabeledEdit3, QString::fromStdString(server.Password()));
    Type(w.LabeledEdit4, QString::number(server.Port()));
    QTest::mouseClick(w.Button1, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] {
        return w.StatusPanel1->text() == "Connected to [::1]" && w.Worker->IsIdle();
    })) << w.Log->toPlainText().toStdString();
    EXPECT_TRUE(LogHas(w, "Connecting to [::1]"));
    EXPECT_TRUE(LogHas(w, "Connected to ::1 port " + QString::number(server.Port())));
    EXPECT_TRUE(WaitUntil([&] { return w.ListView1->topLevelItemCount() > 0; }));
}
