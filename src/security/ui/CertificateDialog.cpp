#include "security/ui/CertificateDialog.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

std::function<TTlsTrustDecision(const TTlsCertificateInfo&)> TCertificateDialog::AskHook;

namespace {

QString Text(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString HeadingText(const TTlsCertificateInfo& info)
{
    const QString host = Text(info.Host).toHtmlEscaped();
    if (info.ChangedForTrustedHost)
        return QStringLiteral("<b>The certificate of %1 has changed since you trusted it.</b><br>"
                              "Someone may be listening in on the connection, or the server's "
                              "certificate was replaced. Connect only if you know why it changed.")
            .arg(host);
    return QStringLiteral("<b>The certificate of %1 could not be verified.</b><br>"
                          "Check the fingerprint with the server's administrator before you trust it.")
        .arg(host);
}

// Certificate fields come from the server: shown as plain text, never as markup.
QLabel* ValueLabel(QWidget* owner, const char* name, const QString& text)
{
    auto* label = new QLabel(text, owner);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

} // namespace

TCertificateDialog::TCertificateDialog(const TTlsCertificateInfo& info, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CertificateDialog"));
    const bool changed = info.ChangedForTrustedHost;
    setWindowTitle(changed ? QStringLiteral("Certificate changed")
                           : QStringLiteral("Unverified certificate"));

    WarningIcon = new QLabel(this);
    WarningIcon->setObjectName(QStringLiteral("WarningIcon"));
    const QIcon icon =
        style()->standardIcon(changed ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    WarningIcon->setPixmap(icon.pixmap(size, size));
    Heading = new QLabel(HeadingText(info), this);
    Heading->setObjectName(QStringLiteral("Heading"));
    Heading->setTextFormat(Qt::RichText);
    Heading->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(WarningIcon, 0, Qt::AlignTop);
    top->addWidget(Heading, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ConnectOnceButton =
        AddDecisionButton("ConnectOnceButton", "Connect once", TTlsTrustDecision::ConnectOnce);
    AlwaysTrustButton = AddDecisionButton("AlwaysTrustButton", "Always trust this certificate for this host",
                                          TTlsTrustDecision::AlwaysTrust);
    CancelButton = AddDecisionButton("CancelButton", "Cancel", TTlsTrustDecision::Cancel);
    for (QPushButton* b : {ConnectOnceButton, AlwaysTrustButton, CancelButton})
        buttons->addWidget(b);
    // A changed certificate is the one case where Enter must not connect.
    (changed ? CancelButton : ConnectOnceButton)->setDefault(true);
    (changed ? CancelButton : ConnectOnceButton)->setFocus();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(layout->spacing());
    layout->addWidget(CreateDetails(info));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* TCertificateDialog::CreateDetails(const TTlsCertificateInfo& info)
{
    auto* details = new QWidget(this);
    auto* form = new QFormLayout(details);
    form->setContentsMargins(0, 0, 0, 0);
    const QString server = Text(info.Host) + QStringLiteral(", port ") + QString::number(info.Port);
    form->addRow(QStringLiteral("Server:"), ValueLabel(details, "ServerValue", server));
    form->addRow(QStringLiteral("Subject:"), ValueLabel(details, "SubjectValue", Text(info.Subject)));
    form->addRow(QStringLiteral("Issuer:"), ValueLabel(details, "IssuerValue", Text(info.Issuer)));
    form->addRow(QStringLiteral("Valid from:"), ValueLabel(details, "ValidFromValue", Text(info.ValidFrom)));
    form->addRow(QStringLiteral("Valid until:"),
                 ValueLabel(details, "ValidUntilValue", Text(info.ValidUntil)));
    QLabel* fingerprint = ValueLabel(details, "FingerprintValue", Text(info.Sha256Fingerprint));
    fingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // 95 characters without a space: the label must not wrap it into a width it cannot fit.
    fingerprint->setWordWrap(false);
    form->addRow(QStringLiteral("SHA-256 fingerprint:"), fingerprint);
    form->addRow(QStringLiteral("Reason:"), ValueLabel(details, "ReasonValue", Text(info.Reason)));
    return details;
}

QPushButton* TCertificateDialog::AddDecisionButton(const char* name, const char* caption,
                                                   TTlsTrustDecision decision)
{
    auto* button = new QPushButton(QLatin1String(caption), this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, decision] {
        FDecision = decision;
        if (decision == TTlsTrustDecision::Cancel)
            reject();
        else
            accept();
    });
    return button;
}

TTlsTrustDecision TCertificateDialog::Ask(QWidget* owner, const TTlsCertificateInfo& info)
{
    if (AskHook)
        return AskHook(info);
    TCertificateDialog dialog(info, owner);
    dialog.exec();
    return dialog.Decision();
}
