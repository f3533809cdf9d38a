// The remote pane: texts of a listing, the order of its rows, and its commands against vsftpd.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "GuiSupport.h"
#include "app/Forms.h"
#include "app/MainForm.h"
#include "panes/RemotePane.h"
#include "panes/RemoteText.h"
#include "panes/Unit3.h"
#include "platform/FileIcons.h"
#include "sites/ui/SiteBox.h"
#include "support/FtpTestUser.h"
#include "support/PyftpdServer.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace fs = std::filesystem;

namespace {

// Texts in the locale the expectations are written in.
class UsLocale {
public:
    UsLocale() : FOld(QLocale()) { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    ~UsLocale() { QLocale::setDefault(FOld); }

private:
    QLocale FOld;
};

// Catches what the worker hands to the desktop to open.
class OpenedFiles : public QObject {
    Q_OBJECT
public:
    OpenedFiles() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~OpenedFiles() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& url) { Urls << url; }
};

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int ms = 0)
{
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, 0, ms);
}

} // namespace

TEST(RemoteText, SizesDatesAndNamesAsShown)
{
    UsLocale us;
    const std::pair<int64_t, const char*> sizes[] = {{0, "0 B"},
                                                     {1024, "1024 B"},
                                                     {1025, "1.00 KB"},
                                                     {1536, "1.50 KB"},
                                                     {2048, "2 KB"},
                                                     {1048576, "1024 KB"},
                                                     {1048577, "1,024.00 KB"},
                                                     {3000000000, "2.79 GB"},
                                                     {5, "5 B"},
                                                     {int64_t{1} << 50, "1024 TB"},
                                                     {-7, "-7 B"}};
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(FormatFileSize(size), QString::fromLatin1(text)) << size;

    const std::pair<TDateTime, const char*> dates[] = {
        {At(2003, 4, 5, 0, 0, 999), "4/5/03"},                 // a listing's year: no time
        {At(2026, 1, 15, 10, 30, 999), "1/15/26 10:30:00 AM"}, // a listing's time
        {At(2026, 1, 15, 23, 59, 999) + EncodeTime(0, 0, 59, 0), "1/15/26 11:59:59 PM"},
        {0, "12/30/99"},
        {At(1601, 1, 1, 0, 0, 999), "1/1/01"}, // before 1899 still the moment it encodes
        {At(1899, 12, 29, 6, 0), "12/29/99 6:00:00 AM"}};
    for (const auto& [moment, text] : dates)
        EXPECT_EQ(FormatModified(moment), QString::fromLatin1(text)) << moment;

    EXPECT_EQ(DisplayName("na\xc3\xafve"), QString::fromUtf8("na\xc3\xafve"));
    EXPECT_EQ(DisplayName("gr\xfc\xdf"), QString::fromUtf8("gr\xc3\xbc\xc3\x9f")); // Latin-1
    EXPECT_EQ(TypedName(QString::fromUtf8("gr\xc3\xbc\xc3\x9f")), "gr\xc3\xbc\xc3\x9f");
}

namespace {

class RemoteRows : public ::testing::Test {
protected:
    TempDir app, tmp;
    ScriptedAnswers answers;

    static void AddRow(TMainFrm& w, const char* name, TFTPItemKind kind, int64_t size, TDateTime modified)
    {
        auto* row = new TRemoteRow;
        row->Info = std::make_unique<TFTPFileInfo>();
        row->Info->Name = name;
        row->Info->Kind = kind;
        row->Info->Size = size;
        row->Info->Modified = modified;
        row->setText(0, QString::fromLatin1(name));
        if (kind == ikFile)
            row->setText(1, FormatFileSize(size));
        w.ListView1->addTopLevelItem(row);
    }
    static QStringList Names(TMainFrm& w)
    {
        QStringList names;
        for (int i = 0; i < w.ListView1->topLevelItemCount(); ++i)
            names << w.ListView1->topLevelItem(i)->text(0);
        return names;
    }
};

} // namespace

TEST_F(RemoteRows, EverySortRule)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    TRemotePane& pane = *w.RemotePane;
    auto* parent = new TRemoteRow;
    parent->setText(0, "..");
    w.ListView1->addTopLevelItem(parent);
    AddRow(w, "small.dat", ikFile, 5, At(2020, 1, 3));
    AddRow(w, "Zeta", ikFolder, 0, At(2020, 1, 1));
    AddRow(w, "big.iso", ikFile, 3000000000, At(2020, 1, 2));
    AddRow(w, "README", ikFile, 100, At(2020, 1, 5));
    AddRow(w, "alpha", ikLink, 0, At(2020, 1, 4));
    AddRow(w, "notes.txt", ikFile, 50, At(2020, 1, 6));

    // Steps: 0..4 header clicks, 10 + k the "Sort by" item k. Each case starts by name, ascending.
    struct Case {
        std::vector<int> steps;
        QStringList order;
    };
    const Case cases[] = {
        {{}, {"..", "alpha", "Zeta", "big.iso", "notes.txt", "README", "small.dat"}},
        {{0}, {"..", "Zeta", "alpha", "small.dat", "README", "notes.txt", "big.iso"}},
        {{1}, {"..", "alpha", "Zeta", "small.dat", "notes.txt", "README", "big.iso"}},
        {{1, 1}, {"..", "Zeta", "alpha", "big.iso", "README", "notes.txt", "small.dat"}},
        {{1, 1, 0}, {"..", "Zeta", "alpha", "small.dat", "README", "notes.txt", "big.iso"}},
        {{2}, {"..", "alpha", "Zeta", "README", "small.dat", "big.iso", "notes.txt"}},
        {{3}, {"..", "Zeta", "alpha", "big.iso", "small.dat", "README", "notes.txt"}},
        {{3, 3}, {"..", "alpha", "Zeta", "notes.txt", "README", "small.dat", "big.iso"}},
        {{4}, {"..", "alpha", "Zeta", "big.iso", "notes.txt", "README", "small.dat"}},
        {{0, 11}, {"..", "Zeta", "alpha", "big.iso", "README", "notes.txt", "small.dat"}},
        {{1, 13}, {"..", "Zeta", "alpha", "big.iso", "small.dat", "README", "notes.txt"}},
    };
    for (const Case& c : cases) {
        w.SortKey = 0;
        w.SortDescending = false;
        pane.SortRows();
        for (int step : c.steps) {
            if (step >= 10)
                pane.SortBy(step - 10);
            else
                emit w.ListView1->header()->sectionClicked(step);
        }
        EXPECT_EQ(Names(w), c.order) << "steps " << ::testing::PrintToString(c.steps);
    }

    // Dates less than a millisecond apart are equal; the selection survives a new order.
    TRemoteRow& a = *static_cast<TRemoteRow*>(w.ListView1->topLevelItem(1));
    TRemoteRow& b = *static_cast<TRemoteRow*>(w.ListView1->topLevelItem(2));
    w.SortKey = 3;
    b.Info->Modified = a.Info->Modified + 0.5 / 86400000.0;
    EXPECT_EQ(pane.ListView1Compare(a, b), 0);
    b.Info->Modified = a.Info->Modified + 2.0 / 86400000.0;
    EXPECT_LT(pane.ListView1Compare(a, b), 0);
    b.setSelected(true);
    emit w.ListView1->header()->sectionClicked(0);
    EXPECT_EQ(w.ListView1->selectedItems(), QList<QTreeWidgetItem*>{&b});
}

TEST_F(RemoteRows, OpeningANameThatIsNotAPlainNameIsRefused)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    for (const char* name : {"../escape.txt", "..", "."}) {
        w.ListView1->clear();
        AddRow(w, name, ikFile, 1, 0);
        w.ListView1->topLevelItem(0)->setSelected(true);
        const int32_t before = w.Worker->FNextId;
        w.RemotePane->OpenRemoteEntry();
        EXPECT_EQ(w.Worker->FNextId, before) << name;
    }
    ASSERT_EQ(answers.Messages.size(), 3);
    EXPECT_TRUE(answers.Messages.front().contains("not a plain file name"));
}

namespace {

// Seconds since 1970 of a moment given in UTC, the time vsftpd lists in.
time_t Utc(int y, int mo, int d, int h, int mi)
{
    return static_cast<time_t>(QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC).toSecsSinceEpoch());
}

void SetTimes(const std::string& path, time_t when)
{
    const timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// The window connected to a real server: vsftpd, or pyftpdlib.
template <typename Server> class RemotePaneOn : public ::testing::Test {
protected:
    Server server;
    TempDir app, tmp;
    ScriptedAnswers answers;
    UsLocale us;
    std::unique_ptr<ProgramRun> run;
    QStringList prompts;
    QStringList promptAnswers;

    void SetUp() override
    {
        TRemotePane::PromptHook = [this](const QString& title, const QString& label, QString& value) {
            prompts << title + "|" + label;
            if (promptAnswers.isEmpty())
                return false;
            value = promptAnswers.takeFirst();
            return true;
        };
    }
    void TearDown() override { TRemotePane::PromptHook = nullptr; }

    TMainFrm& Connect()
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
        w.ComboBox1->setCurrentIndex(1);
        w.ChooseEntry(1);
        EXPECT_TRUE(Shows(w, "/"));
        return w;
    }
    // The list shows the folder and the worker has nothing left to do.
    static bool Shows(TMainFrm& w, const QString& folder)
    {
        return WaitUntil([&] {
            return w.Worker->IsIdle() && w.RemotePane->ComboBoxEx1->currentText() == folder &&
                   w.ListView1->topLevelItemCount() > 0;
        });
    }
    static TRemoteRow* Row(TMainFrm& w, const QString& name)
    {
        for (int i = 0; i < w.ListView1->topLevelItemCount(); ++i)
            if (w.ListView1->topLevelItem(i)->text(0) == name)
                return static_cast<TRemoteRow*>(w.ListView1->topLevelItem(i));
        return nullptr;
    }
    static void Select(TMainFrm& w, const QStringList& names)
    {
        w.ListView1->clearSelection();
        for (const QString& name : names) {
            TRemoteRow* row = Row(w, name);
            ASSERT_NE(row, nullptr) << name.toStdString();
            row->setSelected(true);
            w.ListView1->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
        }
        w.ListView1->setFocus();
    }
    static void Key(TMainFrm& w, Qt::Key key) { QTest::keyClick(w.ListView1, key); }
    static void DoubleClick(TMainFrm& w, const QString& name)
    {
        TRemoteRow* row = Row(w, name);
        ASSERT_NE(row, nullptr) << name.toStdString();
        const QRect r = w.ListView1->visualItemRect(row);
        QTest::mouseClick(w.ListView1->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(w.ListView1->viewport(), Qt::LeftButton, {}, r.center());
    }
    // Edits the first selected name in place and confirms it with Enter.
    static void RenameTo(TMainFrm& w, const QString& name)
    {
        Key(w, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->setText(name); // typing knows only ASCII keys
        QTest::keyClick(editor, Qt::Key_Return);
    }
    static int LogCount(TMainFrm& w, const QString& start)
    {
        int n = 0;
        for (const QString& line : w.Log->toPlainText().split('\n'))
            n += line.startsWith(start) ? 1 : 0;
        return n;
    }
};
using RemotePaneVsftpd = RemotePaneOn<VsftpdServer>;
using RemotePanePyftpd = RemotePaneOn<PyftpdServer>;

} // namespace

TEST_F(RemotePaneVsftpd, AListingShowsEveryKindOfEntry)
{
    server.PutFile("readme.txt", "hello");
    server.PutFile("two words.txt", std::string(1536, 'x'));
    server.PutFolder("pub");
    server.PutFile("na\xc3\xafve.txt", "u");
    server.PutFile("gr\xfc\xdf.bin", "l");
    server.PutSymlink("tofile", "readme.txt");
    server.PutSymlink("todir", "pub");
    server.PutSymlink("broken", "nowhere");
    const std::string big = server.Root() + "/big.iso";
    std::ofstream(big).close();
    fs::resize_file(big, 3000000000); // sparse
    GiveToFtpTestUser(big.c_str());
    SetTimes(server.Root() + "/readme.txt", Utc(2003, 4, 5, 12, 0));
    const QDate recent = QDateTime::currentDateTimeUtc().date().addDays(-3);
    SetTimes(server.Root() + "/two words.txt", Utc(recent.year(), recent.month(), recent.day(), 10, 30));
    ::chmod((server.Root() + "/readme.txt").c_str(), 0640);

    TMainFrm& w = Connect();
    // name, size, type, modified (empty: not checked), permissions (empty: not checked), folder icon
    struct Expect {
        const char* name;
        const char* size;
        const char* type;
        QString modified;
        const char* rights;
        bool folderIcon;
    };
    const Expect rows[] = {
        {"..", "", "", "", "", true},
        {"broken", "", "Symbolic Link", {}, "rwxrwxrwx", false},
        {"pub", "", "Folder", {}, "rwxr-xr-x", true},
        {"todir", "", "Symbolic Link", {}, "rwxrwxrwx", true},
        {"tofile", "", "Symbolic Link", {}, "rwxrwxrwx", false},
        {"big.iso", "2.79 GB", "File", {}, "rw-r--r--", false},
        {"gr\xc3\xbc\xc3\x9f.bin", "1 B", "File", {}, "rw-r--r--", false},
        {"na\xc3\xafve.txt", "1 B", "File", {}, "rw-r--r--", false},
        {"readme.txt", "5 B", "File", "4/5/03", "rw-r-----", false},
        {"two words.txt", "1.50 KB", "File", QLocale().toString(recent, "M/d/yy") + " 10:30:00 AM",
         "rw-r--r--", false},
    };
    ASSERT_EQ(w.ListView1->topLevelItemCount(), static_cast<int>(std::size(rows)));
    for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
        const Expect& e = rows[i];
        const QTreeWidgetItem* row = w.ListView1->topLevelItem(i);
        SCOPED_TRACE(e.name);
        EXPECT_EQ(row->text(0), QString::fromUtf8(e.name));
        EXPECT_EQ(row->text(1), QString::fromLatin1(e.size));
        EXPECT_EQ(row->text(2), QString::fromLatin1(e.type));
        if (!e.modified.isNull()) {
            EXPECT_EQ(row->text(3), e.modified);
        }
        if (*e.rights) {
            EXPECT_EQ(row->text(4), QString::fromLatin1(e.rights));
        }
        const QIcon expected = e.folderIcon ? FolderIcon() : FileIconForName(row->text(0));
        EXPECT_EQ(row->icon(0).name(), expected.name());
    }
    EXPECT_NE(Row(w, "todir")->icon(0).name(), Row(w, "tofile")->icon(0).name());
    // The record keeps the bytes the server sent; links know their targets.
    EXPECT_EQ(Row(w, QString::fromUtf8("gr\xc3\xbc\xc3\x9f.bin"))->Info->Name, "gr\xfc\xdf.bin");
    EXPECT_EQ(Row(w, "big.iso")->Info->Size, 3000000000);
    EXPECT_EQ(Row(w, "tofile")->Info->LinkTarget->Name, "readme.txt");
    EXPECT_EQ(Row(w, "todir")->Info->LinkTarget->Kind, ikFolder);
    EXPECT_FALSE(Row(w, "broken")->Info->LinkTarget);
    EXPECT_EQ(w.RemotePane->ComboBoxEx1->count(), 1);
}

TEST_F(RemotePaneVsftpd, BrowsingByClicksKeysHistoryAndPrompts)
{
    server.PutFile("pub/inner.txt", "i");
    server.PutFolder("deep/er");
    server.PutSymlink("todeep", "deep/er");
    TMainFrm& w = Connect();
    EXPECT_TRUE(w.RemotePane->SpeedButton2->isEnabled());
    EXPECT_FALSE(w.RemotePane->SpeedButton7->isEnabled()); // nothing selected

    DoubleClick(w, "pub");
    ASSERT_TRUE(Shows(w, "/pub"));
    EXPECT_NE(Row(w, "inner.txt"), nullptr);
    DoubleClick(w, "..");
    ASSERT_TRUE(Shows(w, "/"));
    Select(w, {"pub"});
    EXPECT_TRUE(w.RemotePane->SpeedButton7->isEnabled());
    Key(w, Qt::Key_Return);
    ASSERT_TRUE(Shows(w, "/pub"));
    Key(w, Qt::Key_Backspace);
    ASSERT_TRUE(Shows(w, "/"));
    // A link to a folder elsewhere lands in its target.
    Select(w, {"todeep"});
    Key(w, Qt::Key_Return);
    ASSERT_TRUE(Shows(w, "/deep/er"));

    // The folder box keeps every folder once; choosing one goes there.
    QComboBox* box = w.RemotePane->ComboBoxEx1;
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(1), "/pub");
    box->setCurrentIndex(1);
    emit box->activated(1);
    ASSERT_TRUE(Shows(w, "/pub"));
    EXPECT_EQ(box->count(), 3);

    server.PutFile("pub/later.txt", "l");
    QTest::mouseClick(w.RemotePane->SpeedButton10, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "later.txt") != nullptr && w.Worker->IsIdle(); }));

    promptAnswers = {"made here"};
    QTest::mouseClick(w.RemotePane->SpeedButton3, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "made here") != nullptr && w.Worker->IsIdle(); }));
    EXPECT_TRUE(fs::is_directory(server.Root() + "/pub/made here"));
    QTest::mouseClick(w.RemotePane->SpeedButton3, Qt::LeftButton); // cancelled: nothing
    promptAnswers = {"/deep"};
    w.RemotePane->ChangeFolder();
    ASSERT_TRUE(Shows(w, "/deep"));
    EXPECT_EQ(prompts, QStringList({"Create folder|Folder name", "Create folder|Folder name",
                                    "Change folder|Folder"}));

    // The rest of the list's keys, and the context menu on "..".
    Key(w, Qt::Key_F7);
    EXPECT_EQ(prompts.last(), "Create folder|Folder name");
    QTest::keyClick(w.ListView1, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w.ListView1->selectedItems().size(), w.ListView1->topLevelItemCount());
    const int lists = LogCount(w, ">> LIST");
    QTest::keyClick(w.ListView1, Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return LogCount(w, ">> LIST") > lists && w.Worker->IsIdle(); }));
    Select(w, {".."});
    TRemotePane& pane = *w.RemotePane;
    pane.PopupMenu1Popup();
    for (QAction* a : {pane.Open1, pane.Delete1, pane.Rename2, pane.Permissions1, pane.Download2})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(pane.Refresh2->isEnabled() && pane.SortBy1->isEnabled());
    Key(w, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "ShellListView1");
    // Disconnected: the menu offers nothing, the buttons are off.
    QTest::mouseClick(w.Button2, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !w.Worker->IsConnected(); }));
    pane.PopupMenu1Popup();
    EXPECT_FALSE(pane.Refresh2->isEnabled() || pane.SortBy1->isEnabled());
    EXPECT_TRUE(WaitUntil([&] { return !pane.SpeedButton10->isEnabled(); }));
}

TEST_F(RemotePaneVsftpd, RenameInPlaceAndDeleteAskPerFile)
{
    server.PutFile("readme.txt", "r");
    server.PutFile("a.txt", "a");
    server.PutFile("b.txt", "b");
    TMainFrm& w = Connect();
    Select(w, {"readme.txt"});
    RenameTo(w, "renamed.txt");
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "renamed.txt") != nullptr && w.Worker->IsIdle(); }));
    EXPECT_TRUE(fs::exists(server.Root() + "/renamed.txt"));

    // An empty name renames nothing and lists again.
    const int lists = LogCount(w, ">> LIST");
    Select(w, {"renamed.txt"});
    RenameTo(w, "");
    ASSERT_TRUE(WaitUntil([&] { return LogCount(w, ">> LIST") > lists && w.Worker->IsIdle(); }));
    EXPECT_EQ(LogCount(w, ">> RNFR"), 1);

    // A refusal shows the server's text, and no listing follows.
    Select(w, {"renamed.txt"});
    const int listsBefore = LogCount(w, ">> LIST");
    RenameTo(w, "no/such/folder.txt");
    ASSERT_TRUE(WaitUntil([&] { return !answers.Messages.isEmpty(); }));
    EXPECT_TRUE(answers.Messages.front().startsWith("Rename failed") ||
                answers.Messages.front().contains("550"))
        << answers.Messages.front().toStdString();
    EXPECT_EQ(LogCount(w, ">> LIST"), listsBefore);
    EXPECT_NE(Row(w, "renamed.txt"), nullptr);

    Select(w, {"..", "a.txt", "b.txt"});
    Key(w, Qt::Key_Delete);
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "a.txt") == nullptr && w.Worker->IsIdle(); }));
    EXPECT_EQ(answers.Asked, QStringList({"Are you sure you want to delete a.txt?",
                                          "Are you sure you want to delete b.txt?"}));
    EXPECT_FALSE(fs::exists(server.Root() + "/a.txt"));
    EXPECT_FALSE(fs::exists(server.Root() + "/b.txt"));
}

TEST_F(RemotePaneVsftpd, PermissionsDialogSendsTheModeOrNothing)
{
    server.PutFile("script.sh", "#!/bin/sh\n");
    server.PutFile("setuid.bin", "s");
    ::chmod((server.Root() + "/script.sh").c_str(), 0750);
    ::chmod((server.Root() + "/setuid.bin").c_str(), 04755);
    TMainFrm& w = Connect();
    TForm3* form = Forms::Permissions();
    ASSERT_EQ(Row(w, "script.sh")->text(4), "rwxr-x---");
    ASSERT_EQ(Row(w, "setuid.bin")->text(4), "rwsr-xr-x");

    QStringList seen;
    auto inspectThen = [&](std::function<void()> act) {
        QTimer::singleShot(0, form, [&, act] {
            seen << form->LabeledEdit1->text() + " " + form->LabeledEdit2->text();
            QString boxes;
            for (QCheckBox* b :
                 {form->CheckBox7, form->CheckBox8, form->CheckBox9, form->CheckBox4, form->CheckBox5,
                  form->CheckBox6, form->CheckBox1, form->CheckBox2, form->CheckBox3})
                boxes += b->isChecked() ? 'X' : '.';
            seen << boxes;
            act();
        });
    };
    Select(w, {"script.sh"});
    inspectThen([&] {
        QTest::mouseClick(form->CheckBox8, Qt::LeftButton, {}, QPoint(4, 8));
        seen << form->LabeledEdit2->text();
        QTest::mouseClick(form->Button1, Qt::LeftButton);
    });
    QTest::mouseClick(w.RemotePane->SpeedButton8, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "script.sh")->text(4) == "r-xr-x---" && w.Worker->IsIdle(); }));
    EXPECT_EQ(seen, QStringList({"/script.sh 750", "XXXX.X...", "550"}));
    struct stat st {};
    ::stat((server.Root() + "/script.sh").c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0550u);
    EXPECT_EQ(LogCount(w, "chmod 550 script.sh"), 1);
    EXPECT_EQ(LogCount(w, ">> SITE chmod 550 script.sh"), 1);

    // Set-user-ID shows as "s", which is no execute right. Cancel sends and queues nothing.
    seen.clear();
    Select(w, {"setuid.bin"});
    const int32_t tasks = w.Worker->FNextId;
    inspectThen([&] { QTest::mouseClick(form->Button2, Qt::LeftButton); });
    w.RemotePane->Permissions1Click();
    EXPECT_EQ(seen, QStringList({"/setuid.bin 655", "XX.X.XX.X"}));
    EXPECT_EQ(w.Worker->FNextId, tasks);
    EXPECT_EQ(LogCount(w, ">> SITE"), 1);
}

TEST_F(RemotePaneVsftpd, ANameThatIsNotUtf8GoesBackAsReceived)
{
    const std::string latin = "gr\xfc\xdf.bin", other = "\xe9t\xe9.txt";
    server.PutFile(latin, "latin one");
    server.PutFile(other, "latin two");
    TMainFrm& w = Connect();
    const QString shown = QString::fromUtf8("gr\xc3\xbc\xc3\x9f.bin");
    // Downloaded and opened: the temporary copy is named as shown, for the desktop's opener.
    OpenedFiles opened;
    Select(w, {shown});
    Key(w, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return !opened.Urls.isEmpty(); }));
    const std::string copy = w.TempFolder + "/" + shown.toStdString();
    EXPECT_EQ(opened.Urls.front().toLocalFile().toLocal8Bit().toStdString(), copy);
    std::ifstream in(copy, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "latin one");

    // Confirmed unchanged, the name is not sent back re-encoded.
    RenameTo(w, shown);
    const int lists = LogCount(w, ">> LIST");
    w.RemotePane->Refresh(); // a rename would have been queued in front of it
    ASSERT_TRUE(WaitUntil([&] { return LogCount(w, ">> LIST") > lists && w.Worker->IsIdle(); }));
    EXPECT_EQ(LogCount(w, ">> RNFR"), 0);
    Select(w, {shown});
    RenameTo(w, "plain.bin");
    ASSERT_TRUE(WaitUntil([&] { return Row(w, "plain.bin") != nullptr && w.Worker->IsIdle(); }));
    EXPECT_FALSE(fs::exists(server.Root() + "/" + latin));

    Select(w, {QString::fromLatin1("\xe9t\xe9.txt")});
    Key(w, Qt::Key_F8);
    ASSERT_TRUE(WaitUntil([&] { return !fs::exists(server.Root() + "/" + other) && w.Worker->IsIdle(); }));
    EXPECT_EQ(Row(w, QString::fromLatin1("\xe9t\xe9.txt")), nullptr);
}

// Names in several scripts and one that is not UTF-8: shown readable, and downloaded, renamed
// and deleted with the server's own bytes; a typed name goes out as UTF-8.
TEST_F(RemotePanePyftpd, NamesInAnyScriptGoBackAsTheServerSentThem)
{
    struct Case {
        std::string raw;     // the name's bytes on the server's disk
        QString shown;       // as the list shows it
        QString typed;       // the new name the user types
        std::string renamed; // its bytes on disk afterwards
    };
    const Case cases[] = {
        {"\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82.txt",
         QString::fromUtf8("\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82.txt"),
         QString::fromUtf8("\xd0\xbd\xd0\xbe\xd0\xb2\xd1\x8b\xd0\xb9.txt"),
         "\xd0\xbd\xd0\xbe\xd0\xb2\xd1\x8b\xd0\xb9.txt"},
        {"\xe6\x96\x87\xe4\xbb\xb6.txt", QString::fromUtf8("\xe6\x96\x87\xe4\xbb\xb6.txt"),
         QString::fromUtf8("\xe6\x96\xb0.txt"), "\xe6\x96\xb0.txt"},
        {"\xf0\x9f\x98\x80.txt", QString::fromUtf8("\xf0\x9f\x98\x80.txt"),
         QString::fromUtf8("\xf0\x9f\x8e\x89.txt"), "\xf0\x9f\x8e\x89.txt"},
        {"caf\xe9.txt", QString::fromUtf8("caf\xc3\xa9.txt"), QString::fromUtf8("th\xc3\xa9.txt"),
         "th\xc3\xa9.txt"},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        std::ofstream(server.Root() + "/" + cases[i].raw, std::ios::binary) << "contents " << i;
    TMainFrm& w = Connect();
    TempDir downloads;
    const std::string local = downloads.Path();
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& k = cases[i];
        SCOPED_TRACE(k.shown.toStdString());
        TRemoteRow* row = Row(w, k.shown);
        ASSERT_NE(row, nullptr);
        ASSERT_EQ(row->Info->Name, k.raw);
        const std::string copy = local + "/" + std::to_string(i);
        w.Worker->AddGet(row->Info.get(), copy);
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(copy) && w.Worker->IsIdle(); }));
        std::ifstream in(copy, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "contents " + std::to_string(i));

        Select(w, {k.shown});
        RenameTo(w, k.typed);
        ASSERT_TRUE(WaitUntil([&] { return Row(w, k.typed) != nullptr && w.Worker->IsIdle(); }));
        EXPECT_FALSE(fs::exists(server.Root() + "/" + k.raw));
        EXPECT_TRUE(fs::exists(server.Root() + "/" + k.renamed));

        Select(w, {k.typed});
        Key(w, Qt::Key_F8);
        ASSERT_TRUE(
            WaitUntil([&] { return !fs::exists(server.Root() + "/" + k.renamed) && w.Worker->IsIdle(); }));
    }
    // A typed folder name goes out as UTF-8 too.
    promptAnswers << QString::fromUtf8("\xd0\xbf\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0");
    Key(w, Qt::Key_F7);
    EXPECT_TRUE(WaitUntil([&] {
        return fs::is_directory(server.Root() + "/\xd0\xbf\xd0\xb0\xd0\xbf\xd0\xba\xd0\xb0") &&
               w.Worker->IsIdle();
    }));
}

#include "RemotePaneTest.moc"
