#include "sites/ui/Proxies.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "sites/SiteList.h"
#include "sites/ui/DialogFields.h"

std::function<void(QWidget*, const QString&)> TForm5::ShowMessage = ShowPlainMessage;

TForm5::TForm5(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Proxy Settings"));
    auto* grid = new QGridLayout;
    HostEdit = AddField(this, grid, "HostEdit", "Host");
    UserEdit = AddField(this, grid, "UserEdit", "User");
    PasswordEdit = AddField(this, grid, "PasswordEdit", "Password");
    PasswordEdit->setEchoMode(QLineEdit::Password);
    PortEdit = AddField(this, grid, "PortEdit", "Port");
    PortEdit->setText(QStringLiteral("0"));
    HostEdit->setMinimumWidth(200);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(PortEdit, &QLineEdit::textChanged, this, &TForm5::PortChanged);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm5::SetData(TSiteFileData* data)
{
    FData = data;
}

void TForm5::EditProxy()
{
    if (!FData)
        return;
    const ProxyBlock& proxy = FData->Proxy;
    HostEdit->setText(Shown(proxy.ProxyHost));
    UserEdit->setText(Shown(proxy.ProxyUser));
    PasswordEdit->setText(Shown(proxy.ProxyPassword));
    PortEdit->setText(QString::number(proxy.ProxyPort));
    PendingPort = proxy.ProxyPort;
    HostEdit->setFocus();
    if (exec() == QDialog::Accepted)
        StoreFields();
}

void TForm5::StoreFields()
{
    ProxyBlock& proxy = FData->Proxy;
    proxy.ProxyHost.Assign(Stored(HostEdit));
    proxy.ProxyUser.Assign(Stored(UserEdit));
    proxy.ProxyPassword.Assign(Stored(PasswordEdit));
    proxy.ProxyPort = PendingPort;
}

void TForm5::PortChanged(const QString& text)
{
    if (!ReadPortText(text, PendingPort))
        ShowMessage(this, QStringLiteral("Please enter a number"));
}

// Only the bare background counts: a double-click that a label passed on is ignored.
void TForm5::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!childAt(event->position().toPoint()))
        PendingPort = 0;
    QDialog::mouseDoubleClickEvent(event);
}
