#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "sites/SiteList.h"
#include "sites/ui/DialogFields.h"
#include "sites/ui/Proxies.h"
#include "sites/ui/Servers.h"
#include "support/TempDir.h"

namespace {

SiteRecord Site(const char* host, const char* user, int port, uint8_t passive, int mode, const char* folder)
{
    SiteRecord r = SiteRecord::NewSite(host);
    r.LoginName.Assign(user);
    r.LoginPassword.Assign(std::string(user) + "-pw");
    r.InitialFolder.Assign(folder);
    r.PortNumber = port;
    r.PassiveMode = passive;
    r.TransferMode = mode;
    return r;
}

class ServersDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        FOldMessage = TForm4::ShowMessage;
        TForm4::ShowMessage = [this](QWidget*, const QString& text) { messages.push_back(text); };
        dialog.SetData(&data, &proxies);
    }
    void TearDown() override
    {
        dialog.hide();
        TForm4::ShowMessage = FOldMessage;
    }

    void Show()
    {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
    void Reshow()
    {
        dialog.hide();
        Show();
    }

    QStringList Rows() const
    {
        QStringList rows;
        for (int i = 0; i < dialog.ListView1->topLevelItemCount(); ++i)
            rows << dialog.ListView1->topLevelItem(i)->text(0);
        return rows;
    }
    void ClickRow(int row)
    {
        QTreeWidgetItem* item = dialog.ListView1->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(dialog.ListView1->viewport(), Qt::LeftButton, {},
                          dialog.ListView1->visualItemRect(item).center());
    }
    // Types into a field the way a user does: focus it, replace its text, and Tab away.
    void Type(QLineEdit* edit, const QString& text, bool leave = true)
    {
        edit->setFocus(Qt::MouseFocusReason);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        if (leave)
            QTest::keyClick(edit, Qt::Key_Tab);
    }
    void Click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // The space key toggles a check box as a click on its box does.
    void Toggle(QCheckBox* check)
    {
        const bool was = check->isChecked();
        check->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(check, Qt::Key_Space);
        EXPECT_NE(check->isChecked(), was);
    }

    TSiteFileData data;
    TForm5 proxies;
    TForm4 dialog;
    std::vector<QString> messages;

private:
    std::function<void(QWidget*, const QString&)> FOldMessage;
};

} // namespace

TEST_F(ServersDialog, WithNoSitesAddCreatesANewServerAndLeavingHostRenamesIt)
{
    Show();
    EXPECT_TRUE(Rows().isEmpty());
    EXPECT_FALSE(dialog.DeleteButton->isEnabled());
    EXPECT_EQ(dialog.CurrentIndex, -1);

    Click(dialog.AddButton);
    EXPECT_EQ(Rows(), QStringList{"New Server"});
    ASSERT_EQ(data.Sites.Count(), 1);
    const SiteRecord& site = data.Sites.Get(0);
    EXPECT_EQ(site.HostName.Str(), "New Server");
    EXPECT_EQ(site.PortNumber, 21);
    EXPECT_EQ(site.PassiveMode, 0);
    EXPECT_EQ(site.TransferMode, 0);
    EXPECT_EQ(dialog.CurrentIndex, 0);
    EXPECT_EQ(dialog.HostEdit->text(), "New Server");
    EXPECT_EQ(dialog.PortEdit->text(), "21");
    EXPECT_FALSE(dialog.PassiveCheck->isChecked());
    // The new row is selected, so Connect and Delete act on the site the fields show.
    ASSERT_EQ(dialog.ListView1->selectedItems().size(), 1);
    EXPECT_EQ(dialog.ListView1->indexOfTopLevelItem(dialog.ListView1->selectedItems().first()), 0);
    EXPECT_TRUE(dialog.ConnectButton->isEnabled());
    EXPECT_TRUE(dialog.DeleteButton->isEnabled());

    Type(dialog.HostEdit, "ftp.example.test");
    EXPECT_EQ(Rows(), QStringList{"ftp.example.test"});
    EXPECT_EQ(site.HostName.Str(), "ftp.example.test");
    EXPECT_FALSE(dialog.FieldEdited);

    Click(dialog.AddButton); // a second site gets the next index
    EXPECT_EQ(dialog.CurrentIndex, 1);
    EXPECT_EQ(Rows(), (QStringList{"ftp.example.test", "New Server"}));
    EXPECT_TRUE(messages.empty());
}

// The choice is saved with the site, comes back from servers.sit, and a site of an older file
// (its padding bytes as they were) shows plain FTP.
TEST_F(ServersDialog, EncryptionChoiceIsSavedWithTheSiteAndShownAgain)
{
    const QStringList choices{"Require explicit FTP over TLS", "Use explicit FTP over TLS if available",
                              "Only use plain FTP (insecure)"};
    const TTlsMode modes[] = {TTlsMode::Require, TTlsMode::IfAvailable, TTlsMode::PlainOnly};
    data.Sites.Add(Site("old.test", "ann", 21, 0, 0, "")); // as an older version left it
    Show();
    QStringList shown;
    for (int i = 0; i < dialog.EncryptionBox->count(); ++i)
        shown << dialog.EncryptionBox->itemText(i);
    EXPECT_EQ(shown, choices);
    ClickRow(0);
    EXPECT_EQ(dialog.EncryptionBox->currentText(), choices[2]);

    for (int pick = 0; pick < 3; ++pick) {
        Click(dialog.AddButton);
        EXPECT_EQ(dialog.EncryptionBox->currentText(), choices[0]); // a new site requires TLS
        EXPECT_EQ(data.Sites.Get(dialog.CurrentIndex).Encryption(), TTlsMode::Require);
        dialog.EncryptionBox->setFocus();
        QTest::keyClick(dialog.EncryptionBox, Qt::Key_Home);
        for (int step = 0; step < pick; ++step)
            QTest::keyClick(dialog.EncryptionBox, Qt::Key_Down);
        EXPECT_EQ(data.Sites.Get(dialog.CurrentIndex).Encryption(), modes[pick]);
    }
    EXPECT_EQ(data.Sites.Get(0).Encryption(), TTlsMode::PlainOnly); // the others are untouched
    Click(dialog.CloseButton);

    TempDir dir;
    const std::string path = SiteFilePath(dir.Path());
    SaveSites(path, data);
    TSiteFileData loaded;
    ASSERT_TRUE(LoadSites(path, loaded));
    TForm4 again;
    again.SetData(&loaded);
    again.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        QTreeWidgetItem* item = again.ListView1->topLevelItem(row);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(again.ListView1->viewport(), Qt::LeftButton, {},
                          again.ListView1->visualItemRect(item).center());
        EXPECT_EQ(again.EncryptionBox->currentText(), row == 0 ? choices[2] : choices[row - 1]);
    }
}

TEST_F(ServersDialog, SelectingARowShowsItsStoredValues)
{
    data.Sites.Add(Site("alpha.test", "ann", 2100, 1, 2, "/pub"));
    data.Sites.Add(Site("beta.test", "bob", 21, 0, 1, "/home/bob"));
    Show();
    EXPECT_EQ(Rows(), (QStringList{"alpha.test", "beta.test"}));
    EXPECT_TRUE(dialog.ListView1->selectedItems().isEmpty());

    ClickRow(0);
    EXPECT_EQ(dialog.CurrentIndex, 0);
    EXPECT_EQ(dialog.HostEdit->text(), "alpha.test");
    EXPECT_EQ(dialog.UserEdit->text(), "ann");
    EXPECT_EQ(dialog.PasswordEdit->text(), "ann-pw");
    EXPECT_EQ(dialog.PortEdit->text(), "2100");
    EXPECT_TRUE(dialog.PassiveCheck->isChecked());
    EXPECT_EQ(dialog.TransferTypeBox->currentText(), "Binary");
    EXPECT_EQ(dialog.InitialFolderEdit->text(), "/pub");
    EXPECT_EQ(dialog.PendingPort, 2100);
    EXPECT_TRUE(dialog.DeleteButton->isEnabled());
    EXPECT_TRUE(dialog.ConnectButton->isEnabled());

    ClickRow(1);
    EXPECT_EQ(dialog.CurrentIndex, 1);
    EXPECT_EQ(dialog.HostEdit->text(), "beta.test");
    EXPECT_FALSE(dialog.PassiveCheck->isChecked());
    EXPECT_EQ(dialog.TransferTypeBox->currentText(), "ASCII");
    EXPECT_EQ(dialog.InitialFolderEdit->text(), "/home/bob");

    // Losing the selection keeps that row current, but with nothing selected there is nothing to
    // connect to or delete.
    QTest::mouseClick(dialog.ListView1->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      dialog.ListView1->visualItemRect(dialog.ListView1->topLevelItem(1)).center());
    EXPECT_TRUE(dialog.ListView1->selectedItems().isEmpty());
    EXPECT_EQ(dialog.CurrentIndex, 1);
    EXPECT_FALSE(dialog.DeleteButton->isEnabled());
    EXPECT_FALSE(dialog.ConnectButton->isEnabled());
}

TEST_F(ServersDialog, FieldsAreWrittenWhenLeftAndCheckAndTypeAtOnce)
{
    data.Sites.Add(Site("alpha.test", "ann", 21, 0, 0, ""));
    data.Sites.Add(Site("beta.test", "bob", 21, 0, 0, ""));
    Show();
    ClickRow(1);
    Type(dialog.UserEdit, "carol", false);
    EXPECT_EQ(data.Sites.Get(1).LoginName.Str(), "bob"); // not yet left
    QTest::keyClick(dialog.UserEdit, Qt::Key_Tab);
    EXPECT_EQ(data.Sites.Get(1).LoginName.Str(), "carol");
    Type(dialog.PasswordEdit, "pw2");
    Type(dialog.InitialFolderEdit, "/incoming");
    Toggle(dialog.PassiveCheck);
    dialog.TransferTypeBox->setFocus();
    QTest::keyClick(dialog.TransferTypeBox, Qt::Key_Down);
    QTest::keyClick(dialog.TransferTypeBox, Qt::Key_Down);

    const SiteRecord& site = data.Sites.Get(1);
    EXPECT_EQ(site.LoginPassword.Str(), "pw2");
    EXPECT_EQ(site.InitialFolder.Str(), "/incoming");
    EXPECT_EQ(site.PassiveMode, 1);
    EXPECT_EQ(site.TransferMode, 2);
    EXPECT_EQ(data.Sites.Get(0).LoginName.Str(), "ann"); // the other site is untouched
    EXPECT_EQ(data.Sites.Get(0).TransferMode, 0);

    // Typing and then picking another row writes into the site that was current.
    Type(dialog.HostEdit, "gamma.test", false);
    ClickRow(0);
    EXPECT_EQ(data.Sites.Get(1).HostName.Str(), "gamma.test");
    EXPECT_EQ(Rows(), (QStringList{"alpha.test", "gamma.test"}));
    EXPECT_EQ(dialog.HostEdit->text(), "alpha.test");
}

TEST_F(ServersDialog, PortThatIsNotANumberWarnsAndTheSiteKeepsItsPort)
{
    data.Sites.Add(Site("alpha.test", "ann", 21, 0, 0, ""));
    Show();
    ClickRow(0);
    dialog.PortEdit->setFocus(Qt::MouseFocusReason);
    dialog.PortEdit->end(false);
    QTest::keyClicks(dialog.PortEdit, "x");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Please enter a number");
    QTest::keyClick(dialog.PortEdit, Qt::Key_Tab);
    EXPECT_EQ(data.Sites.Get(0).PortNumber, 21);

    messages.clear();
    Type(dialog.PortEdit, "990", false);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dialog.PendingPort, 990);
    EXPECT_EQ(data.Sites.Get(0).PortNumber, 21);
    QTest::keyClick(dialog.PortEdit, Qt::Key_Tab);
    EXPECT_EQ(data.Sites.Get(0).PortNumber, 990);

    dialog.PortEdit->setFocus(Qt::MouseFocusReason);
    dialog.PortEdit->selectAll();
    QTest::keyClick(dialog.PortEdit, Qt::Key_Delete); // an empty field warns too
    QTest::keyClicks(dialog.PortEdit, "99999999999"); // beyond 32 bits
    QTest::keyClick(dialog.PortEdit, Qt::Key_Tab);
    EXPECT_EQ(messages.size(), 3u); // "", and the last two digits
    EXPECT_EQ(data.Sites.Get(0).PortNumber, 999999999);
}

TEST_F(ServersDialog, AfterDeleteNoSiteIsCurrentUntilARowIsSelected)
{
    data.Sites.Add(Site("alpha.test", "ann", 2100, 0, 2, "/pub"));
    data.Sites.Add(Site("beta.test", "bob", 21, 0, 0, ""));
    Show();
    ClickRow(0);
    Click(dialog.DeleteButton);
    EXPECT_EQ(Rows(), QStringList{"beta.test"});
    ASSERT_EQ(data.Sites.Count(), 1);
    EXPECT_EQ(data.Sites.Get(0).HostName.Str(), "beta.test");
    EXPECT_EQ(dialog.CurrentIndex, -1);
    EXPECT_EQ(dialog.HostEdit->text(), "");
    EXPECT_EQ(dialog.PortEdit->text(), "21");
    EXPECT_TRUE(dialog.PassiveCheck->isChecked());
    EXPECT_EQ(dialog.InitialFolderEdit->text(), "/pub"); // left as it was
    EXPECT_FALSE(dialog.DeleteButton->isEnabled());
    EXPECT_FALSE(dialog.ConnectButton->isEnabled());

    Type(dialog.HostEdit, "lost.test");
    Type(dialog.UserEdit, "lost");
    Toggle(dialog.PassiveCheck);
    EXPECT_EQ(Rows(), QStringList{"beta.test"});
    EXPECT_EQ(data.Sites.Get(0).HostName.Str(), "beta.test");
    EXPECT_EQ(data.Sites.Get(0).LoginName.Str(), "bob");
    EXPECT_EQ(data.Sites.Get(0).PassiveMode, 0);

    ClickRow(0);
    EXPECT_EQ(dialog.CurrentIndex, 0);
    EXPECT_TRUE(dialog.ConnectButton->isEnabled());
}

TEST_F(ServersDialog, ChoicesWithNoSiteCurrentChangeNothing)
{
    data.Sites.Add(Site("alpha.test", "ann", 21, 0, 0, ""));
    Show();
    EXPECT_EQ(dialog.CurrentIndex, -1);
    dialog.TransferTypeBox->setFocus();
    QTest::keyClick(dialog.TransferTypeBox, Qt::Key_End);
    EXPECT_EQ(dialog.TransferTypeBox->currentText(), "Binary");
    Toggle(dialog.PassiveCheck);
    dialog.EncryptionBox->setFocus();
    QTest::keyClick(dialog.EncryptionBox, Qt::Key_Down);
    Type(dialog.HostEdit, "other.test");
    EXPECT_EQ(data.Sites.Get(0).Encryption(), TTlsMode::PlainOnly);
    EXPECT_EQ(data.Sites.Get(0).TransferMode, 0);
    EXPECT_EQ(data.Sites.Get(0).PassiveMode, 0);
    EXPECT_EQ(data.Sites.Get(0).HostName.Str(), "alpha.test");

    EXPECT_FALSE(dialog.DeleteButton->isEnabled()); // no row is selected
    EXPECT_FALSE(dialog.ConnectButton->isEnabled());
    Click(dialog.DeleteButton);
    EXPECT_EQ(data.Sites.Count(), 1);
}

TEST_F(ServersDialog, ConnectAndCloseEndTheDialogAndEnterKeepsTheFieldBeingTyped)
{
    data.Sites.Add(Site("alpha.test", "ann", 21, 0, 0, ""));
    Show();
    ClickRow(0);
    Click(dialog.ConnectButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.CurrentIndex, 0);

    Show();
    Click(dialog.CloseButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    Show();
    ClickRow(0);
    Type(dialog.UserEdit, "typed", false);
    QTest::keyClick(dialog.UserEdit, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(data.Sites.Get(0).LoginName.Str(), "typed");

    Show();
    Type(dialog.HostEdit, std::string(300, 'h').c_str(), false);
    QTest::keyClick(dialog.HostEdit, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(data.Sites.Get(0).HostName.Str(), std::string(255, 'h'));
}

TEST_F(ServersDialog, ShowingAgainKeepsFieldsAndCurrentSiteInStep)
{
    data.Sites.Add(Site("alpha.test", "ann", 21, 0, 0, ""));
    data.Sites.Add(Site("beta.test", "bob", 2121, 1, 1, "/b"));
    Show();
    ClickRow(1);
    Click(dialog.CloseButton);

    data.Sites.Get(1).LoginName.Assign("changed"); // the connection bar edits the site
    Show();
    EXPECT_TRUE(dialog.ListView1->selectedItems().isEmpty());
    EXPECT_EQ(dialog.CurrentIndex, 1);
    EXPECT_EQ(dialog.UserEdit->text(), "changed");
    Click(dialog.CloseButton);

    data.Sites.Remove(1); // ... or deletes it
    Show();
    EXPECT_EQ(Rows(), QStringList{"alpha.test"});
    EXPECT_EQ(dialog.CurrentIndex, -1);
    EXPECT_EQ(dialog.HostEdit->text(), "");
    EXPECT_EQ(dialog.TransferTypeBox->currentText(), "Auto");
    EXPECT_FALSE(dialog.ConnectButton->isEnabled());
    Type(dialog.HostEdit, "x.test");
    EXPECT_EQ(data.Sites.Get(0).HostName.Str(), "alpha.test");
}

TEST_F(ServersDialog, ProxySettingsButtonRunsTheProxyDialog)
{
    proxies.SetData(&data);
    Show();
    QTimer::singleShot(0, &proxies, [this] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&proxies));
        proxies.HostEdit->setText("gate.lan");
        QTest::mouseClick(proxies.OkButton, Qt::LeftButton);
    });
    Click(dialog.ProxyButton);
    EXPECT_EQ(data.Proxy.ProxyHost.Str(), "gate.lan");
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ServersDialog, PortMessageIsARealMessageBoxThatDoesNotCountAsLeaving)
{
    TForm4::ShowMessage = ShowPlainMessage;
    data.Sites.Add(Site("alpha.test", "ann", 21, 0, 0, ""));
    Show();
    ClickRow(0);
    Type(dialog.PortEdit, "5", false);
    QString shown;
    QTimer::singleShot(50, &dialog, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box) {
            shown = box->text();
            box->accept();
        }
    });
    QTest::keyClicks(dialog.PortEdit, "q");
    EXPECT_EQ(shown, "Please enter a number");
    EXPECT_TRUE(dialog.FieldEdited); // the box took the focus, the user did not leave the field
    EXPECT_EQ(data.Sites.Get(0).PortNumber, 21);
    EXPECT_EQ(dialog.PendingPort, 5);
}
