#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "sites/SiteList.h"
#include "sites/ui/Proxies.h"

namespace {

class ProxyDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        FOldMessage = TForm5::ShowMessage;
        TForm5::ShowMessage = [this](QWidget*, const QString& text) { messages.push_back(text); };
        data.Proxy.ProxyHost.Assign("proxy.lan");
        data.Proxy.ProxyUser.Assign("gate");
        data.Proxy.ProxyPassword.Assign("secret");
        data.Proxy.ProxyPort = 2121;
        dialog.SetData(&data);
    }
    void TearDown() override { TForm5::ShowMessage = FOldMessage; }

    // Runs EditProxy; `user` acts inside the modal dialog and ends it with OK or Cancel.
    void Edit(const std::function<void()>& user)
    {
        QTimer::singleShot(0, &dialog, [this, user] {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            user();
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the dialog was left open";
                dialog.reject();
            }
        });
        dialog.EditProxy();
    }

    static void Retype(QLineEdit* edit, const QString& text)
    {
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClicks(edit, text); // the first key replaces the selection
    }

    void ExpectStored(const char* host, const char* user, const char* password, int port)
    {
        EXPECT_EQ(data.Proxy.ProxyHost.Str(), host);
        EXPECT_EQ(data.Proxy.ProxyUser.Str(), user);
        EXPECT_EQ(data.Proxy.ProxyPassword.Str(), password);
        EXPECT_EQ(data.Proxy.ProxyPort, port);
    }

    TSiteFileData data;
    TForm5 dialog;
    std::vector<QString> messages;

private:
    std::function<void(QWidget*, const QString&)> FOldMessage;
};

} // namespace

TEST_F(ProxyDialog, ShowsStoredValuesAndOkWithoutChangesKeepsThem)
{
    Edit([this] {
        EXPECT_EQ(dialog.HostEdit->text(), "proxy.lan");
        EXPECT_EQ(dialog.UserEdit->text(), "gate");
        EXPECT_EQ(dialog.PasswordEdit->text(), "secret");
        EXPECT_EQ(dialog.PortEdit->text(), "2121");
        EXPECT_EQ(dialog.PendingPort, 2121);
        QTest::mouseClick(dialog.OkButton, Qt::LeftButton);
    });
    ExpectStored("proxy.lan", "gate", "secret", 2121);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProxyDialog, OkStoresTypedValuesCancelAndEscapeDropThem)
{
    Edit([this] {
        Retype(dialog.HostEdit, "other.lan");
        Retype(dialog.PortEdit, "8021");
        QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    });
    ExpectStored("proxy.lan", "gate", "secret", 2121);
    Edit([this] {
        Retype(dialog.UserEdit, "nobody");
        QTest::keyClick(dialog.UserEdit, Qt::Key_Escape);
    });
    ExpectStored("proxy.lan", "gate", "secret", 2121);

    Edit([this] {
        EXPECT_EQ(dialog.HostEdit->text(), "proxy.lan"); // the dropped edits are not shown again
        Retype(dialog.HostEdit, "  ");                   // blanks still count as a proxy host
        Retype(dialog.UserEdit, "u2");
        dialog.PasswordEdit->setText(QString(300, QLatin1Char('p')));
        Retype(dialog.PortEdit, "3128");
        QTest::mouseClick(dialog.OkButton, Qt::LeftButton);
    });
    ExpectStored("  ", "u2", std::string(255, 'p').c_str(), 3128);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProxyDialog, EmptyHostSwitchesProxyOffButKeepsTheOtherValues)
{
    Edit([this] {
        Retype(dialog.HostEdit, "");
        QTest::keyClick(dialog.HostEdit, Qt::Key_Return); // OK is the default button
    });
    ExpectStored("", "gate", "secret", 2121);
}

TEST_F(ProxyDialog, PortThatIsNotANumberWarnsAtEachChangeAndOkKeepsTheLastNumber)
{
    Edit([this] {
        dialog.PortEdit->end(false);
        QTest::keyClicks(dialog.PortEdit, "a");
        EXPECT_EQ(messages.size(), 1u);
        EXPECT_EQ(dialog.PendingPort, 2121);
        QTest::mouseClick(dialog.OkButton, Qt::LeftButton);
    });
    ExpectStored("proxy.lan", "gate", "secret", 2121);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Please enter a number");

    messages.clear();
    Edit([this] {
        Retype(dialog.PortEdit, ""); // an empty field is not a number either
        QTest::keyClicks(dialog.PortEdit, "80x9");
        QTest::mouseClick(dialog.OkButton, Qt::LeftButton);
    });
    EXPECT_EQ(messages.size(), 3u); // "", "80x", "80x9"
    EXPECT_EQ(data.Proxy.ProxyPort, 80);
}

TEST_F(ProxyDialog, DoubleClickOnTheBackgroundMakesOkStorePortZero)
{
    Edit([this] {
        QLabel* label = dialog.findChild<QLabel*>();
        ASSERT_NE(label, nullptr);
        QTest::mouseDClick(label, Qt::LeftButton, {}, label->rect().center());
        EXPECT_EQ(dialog.PendingPort, 2121); // a label is not the background
        const QPoint corner(1, 1);
        ASSERT_EQ(dialog.childAt(corner), nullptr);
        QTest::mouseDClick(&dialog, Qt::LeftButton, {}, corner);
        EXPECT_EQ(dialog.PendingPort, 0);
        EXPECT_EQ(dialog.PortEdit->text(), "2121");
        QTest::mouseClick(dialog.OkButton, Qt::LeftButton);
    });
    EXPECT_EQ(data.Proxy.ProxyPort, 0);
}
