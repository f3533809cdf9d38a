#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "security/ui/CertificateDialog.h"

namespace {

TTlsCertificateInfo Certificate(bool changed)
{
    TTlsCertificateInfo info;
    info.Host = "files.example.test";
    info.Port = 2121;
    info.Subject = "CN=<b>files.example.test</b>, O=Example";
    info.Issuer = "CN=Example Test CA";
    info.ValidFrom = "2026-12-08 09:00:00 UTC";
    info.ValidUntil = "2027-12-08 09:00:00 UTC";
    info.Sha256Fingerprint =
        "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:"
        "01:23:45:67:89";
    info.Reason = "self-signed certificate";
    info.ChangedForTrustedHost = changed;
    return info;
}

QString Value(const TCertificateDialog& d, const char* name)
{
    auto* label = d.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

struct Look {
    bool changed;
    const char* title;
    const char* heading; // a part of the heading
    QPushButton* TCertificateDialog::*defaultButton;
    TTlsTrustDecision onEnter;
};

const Look kLooks[] = {
    {false, "Unverified certificate", "The certificate of files.example.test could not be verified.",
     &TCertificateDialog::ConnectOnceButton, TTlsTrustDecision::ConnectOnce},
    {true, "Certificate changed", "The certificate of files.example.test has changed since you trusted it.",
     &TCertificateDialog::CancelButton, TTlsTrustDecision::Cancel},
};

// Runs Ask as the window does and lets `user` act in the modal dialog.
TTlsTrustDecision AskAndAct(const TTlsCertificateInfo& info,
                            const std::function<void(TCertificateDialog&)>& user)
{
    QTimer::singleShot(0, [user] {
        auto* dialog = qobject_cast<TCertificateDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no certificate dialog is shown";
            return;
        }
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog));
        user(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog->reject();
        }
    });
    return TCertificateDialog::Ask(nullptr, info);
}

} // namespace

TEST(CertificateDialog, ShowsEveryFieldAsPlainTextAndTheWarningForItsCase)
{
    QImage icons[2];
    for (const Look& look : kLooks) {
        SCOPED_TRACE(look.title);
        TCertificateDialog d(Certificate(look.changed));
        EXPECT_EQ(d.windowTitle(), look.title);
        EXPECT_TRUE(d.Heading->text().contains(QLatin1String(look.heading)))
            << d.Heading->text().toStdString();
        EXPECT_EQ(Value(d, "ServerValue"), "files.example.test, port 2121");
        EXPECT_EQ(Value(d, "SubjectValue"), "CN=<b>files.example.test</b>, O=Example");
        EXPECT_EQ(d.findChild<QLabel*>("SubjectValue")->textFormat(), Qt::PlainText);
        EXPECT_EQ(Value(d, "IssuerValue"), "CN=Example Test CA");
        EXPECT_EQ(Value(d, "ValidFromValue"), "2026-12-08 09:00:00 UTC");
        EXPECT_EQ(Value(d, "ValidUntilValue"), "2027-12-08 09:00:00 UTC");
        EXPECT_EQ(Value(d, "FingerprintValue"), QString::fromStdString(Certificate(false).Sha256Fingerprint));
        EXPECT_EQ(Value(d, "ReasonValue"), "self-signed certificate");
        EXPECT_EQ(d.ConnectOnceButton->text(), "Connect once");
        EXPECT_EQ(d.AlwaysTrustButton->text(), "Always trust this certificate for this host");
        EXPECT_EQ(d.CancelButton->text(), "Cancel");
        for (QPushButton* b : {d.ConnectOnceButton, d.AlwaysTrustButton, d.CancelButton})
            EXPECT_EQ(b->isDefault(), b == d.*look.defaultButton) << b->text().toStdString();
        icons[look.changed] = d.WarningIcon->pixmap().toImage();
        EXPECT_FALSE(icons[look.changed].isNull());
    }
    EXPECT_NE(icons[0], icons[1]); // the changed certificate does not look like the everyday case
}

TEST(CertificateDialog, EachButtonAndKeyGivesItsDecision)
{
    using Act = std::function<void(TCertificateDialog&)>;
    const Act click[] = {
        [](TCertificateDialog& d) { QTest::mouseClick(d.ConnectOnceButton, Qt::LeftButton); },
        [](TCertificateDialog& d) { QTest::mouseClick(d.AlwaysTrustButton, Qt::LeftButton); },
        [](TCertificateDialog& d) { QTest::mouseClick(d.CancelButton, Qt::LeftButton); },
        [](TCertificateDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](TCertificateDialog& d) { d.close(); },
    };
    const TTlsTrustDecision expected[] = {TTlsTrustDecision::ConnectOnce, TTlsTrustDecision::AlwaysTrust,
                                          TTlsTrustDecision::Cancel, TTlsTrustDecision::Cancel,
                                          TTlsTrustDecision::Cancel};
    for (const Look& look : kLooks) {
        SCOPED_TRACE(look.title);
        for (size_t i = 0; i < std::size(click); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(AskAndAct(Certificate(look.changed), click[i]), expected[i]);
        }
        // Enter takes the default button: never a connection to a changed certificate.
        EXPECT_EQ(AskAndAct(Certificate(look.changed),
                            [](TCertificateDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }),
                  look.onEnter);
    }
}
