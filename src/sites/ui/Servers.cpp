#include "sites/ui/Servers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "sites/SiteList.h"
#include "sites/ui/DialogFields.h"
#include "sites/ui/Proxies.h"

std::function<void(QWidget*, const QString&)> TForm4::ShowMessage = ShowPlainMessage;

namespace {

QCheckBox* AddCheck(QWidget* owner, QGridLayout* grid, const char* name, const char* caption)
{
    auto* check = new QCheckBox(QLatin1String(caption), owner);
    check->setObjectName(QLatin1String(name));
    check->setChecked(true);
    grid->addWidget(check, grid->rowCount(), 1);
    return check;
}

constexpr std::pair<TTlsMode, const char*> kEncryptionChoices[] = {
    {TTlsMode::Require, "Require explicit FTP over TLS"},
    {TTlsMode::IfAvailable, "Use explicit FTP over TLS if available"},
    {TTlsMode::PlainOnly, "Only use plain FTP (insecure)"},
};

QPushButton* MakeButton(QWidget* owner, const char* name, const char* caption)
{
    auto* button = new QPushButton(QLatin1String(caption), owner);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Servers"));
    CreateControls();
    for (QLineEdit* edit : {HostEdit, UserEdit, PasswordEdit, PortEdit, InitialFolderEdit})
        edit->installEventFilter(this);
    for (QLineEdit* edit : {HostEdit, UserEdit, PasswordEdit, InitialFolderEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { FieldEdited = true; });
    connect(PortEdit, &QLineEdit::textChanged, this, &TForm4::PortChanged);
    connect(PassiveCheck, &QCheckBox::clicked, this, &TForm4::PassiveClick);
    connect(TransferTypeBox, &QComboBox::activated, this, &TForm4::TransferTypeChosen);
    connect(EncryptionBox, &QComboBox::activated, this, &TForm4::EncryptionChosen);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TForm4::SelectionChanged);
    connect(AddButton, &QPushButton::clicked, this, &TForm4::AddClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TForm4::DeleteClick);
    connect(ProxyButton, &QPushButton::clicked, this, &TForm4::ProxyClick);
    connect(ConnectButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm4::CreateControls()
{
    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(1);
    ListView1->setHeaderLabels({QStringLiteral("Server")});
    ListView1->setHeaderHidden(true);
    ListView1->setRootIsDecorated(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    AddButton = MakeButton(this, "AddButton", "Add");
    DeleteButton = MakeButton(this, "DeleteButton", "Delete");
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(AddButton);
    listButtons->addWidget(DeleteButton);
    auto* left = new QVBoxLayout;
    left->addWidget(ListView1);
    left->addLayout(listButtons);

    auto* middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addWidget(CreateServerGroup());

    ProxyButton = MakeButton(this, "ProxyButton", "Proxy Settings");
    ConnectButton = MakeButton(this, "ConnectButton", "Connect");
    ConnectButton->setDefault(true);
    CloseButton = MakeButton(this, "CloseButton", "Close");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ProxyButton);
    bottom->addStretch();
    bottom->addWidget(ConnectButton);
    bottom->addWidget(CloseButton);

    auto* top = new QVBoxLayout(this);
    top->addLayout(middle);
    top->addLayout(bottom);
    top->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* TForm4::CreateServerGroup()
{
    ServerGroup = new QGroupBox(QStringLiteral("Server"), this);
    ServerGroup->setObjectName(QStringLiteral("ServerGroup"));
    auto* grid = new QGridLayout(ServerGroup);
    HostEdit = AddField(ServerGroup, grid, "HostEdit", "Host");
    HostEdit->setMinimumWidth(220);
    UserEdit = AddField(ServerGroup, grid, "UserEdit", "Username");
    PasswordEdit = AddField(ServerGroup, grid, "PasswordEdit", "Password");
    PasswordEdit->setEchoMode(QLineEdit::Password);
    PortEdit = AddField(ServerGroup, grid, "PortEdit", "Port");
    PortEdit->setText(QStringLiteral("21"));
    EncryptionBox = AddChoice(ServerGroup, grid, "EncryptionBox", "Encryption", {});
    for (const auto& [mode, text] : kEncryptionChoices)
        EncryptionBox->addItem(QLatin1String(text), static_cast<int>(mode));
    PassiveCheck = AddCheck(ServerGroup, grid, "PassiveCheck", "Passive");
    KeepAliveCheck = AddCheck(ServerGroup, grid, "KeepAliveCheck", "Keep alive");
    SavePasswordCheck = AddCheck(ServerGroup, grid, "SavePasswordCheck", "Save password");
    TransferTypeBox = AddChoice(ServerGroup, grid, "TransferTypeBox", "Transfer Type",
                                {QStringLiteral("Auto"), QStringLiteral("ASCII"), QStringLiteral("Binary")});
    InitialFolderEdit = AddField(ServerGroup, grid, "InitialFolderEdit", "Initial folder");
    return ServerGroup;
}

void TForm4::SetData(TSiteFileData* data, TForm5* proxyDialog)
{
    FData = data;
    FProxyDialog = proxyDialog;
}

bool TForm4::HasCurrentSite() const
{
    return FData && CurrentIndex >= 0 && CurrentIndex < FData->Sites.Count();
}

void TForm4::showEvent(QShowEvent* event)
{
    if (FData) {
        RefillRows();
        KeepCurrentInStep();
        UpdateButtons();
    }
    QDialog::showEvent(event);
}

void TForm4::RefillRows()
{
    FRebuildingRows = true;
    ListView1->clear();
    for (int i = 0; i < FData->Sites.Count(); ++i)
        new QTreeWidgetItem(ListView1, {Shown(FData->Sites.Get(i).HostName)});
    FRebuildingRows = false;
}

// The connection bar may have added, changed or removed sites since the last showing: the fields
// are shown afresh from the current site, or emptied when it no longer exists.
void TForm4::KeepCurrentInStep()
{
    if (HasCurrentSite()) {
        FillFields(CurrentIndex);
    } else if (CurrentIndex != -1) {
        CurrentIndex = -1;
        ClearFields();
        InitialFolderEdit->clear();
        TransferTypeBox->setCurrentIndex(0);
        EncryptionBox->setCurrentIndex(0);
        ConnectButton->setEnabled(false);
    }
}

void TForm4::SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    if (FRebuildingRows)
        return;
    // Losing the selection makes the row current just as gaining it does.
    if (!selected.isEmpty())
        SelectRow(selected.indexes().first().row());
    else if (!deselected.isEmpty())
        SelectRow(deselected.indexes().first().row());
    UpdateButtons();
}

void TForm4::SelectRow(int row)
{
    CurrentIndex = row;
    if (HasCurrentSite())
        FillFields(row);
}

void TForm4::FillFields(int site)
{
    const SiteRecord& record = FData->Sites.Get(site);
    HostEdit->setText(Shown(record.HostName));
    UserEdit->setText(Shown(record.LoginName));
    PasswordEdit->setText(Shown(record.LoginPassword));
    PortEdit->setText(QString::number(record.PortNumber));
    InitialFolderEdit->setText(Shown(record.InitialFolder));
    PassiveCheck->setChecked(record.PassiveMode != 0);
    TransferTypeBox->setCurrentIndex(record.TransferMode);
    EncryptionBox->setCurrentIndex(EncryptionBox->findData(static_cast<int>(record.Encryption())));
    FieldEdited = true;
    PendingPort = record.PortNumber;
}

void TForm4::ClearFields()
{
    HostEdit->clear();
    UserEdit->clear();
    PasswordEdit->clear();
    PortEdit->setText(QStringLiteral("21"));
    PassiveCheck->setChecked(true);
}

// Both act on the selected row: with none selected there is nothing to connect to or delete.
void TForm4::UpdateButtons()
{
    const bool selected = !ListView1->selectedItems().isEmpty();
    DeleteButton->setEnabled(selected);
    ConnectButton->setEnabled(selected && CurrentIndex >= 0 && CurrentIndex < ListView1->topLevelItemCount());
}

void TForm4::AddClick()
{
    if (!FData)
        return;
    auto* row = new QTreeWidgetItem(ListView1, {QStringLiteral("New Server")});
    SiteRecord site = SiteRecord::NewSite("New Server");
    site.SetEncryption(TTlsMode::Require); // a site made today is encrypted unless the user says otherwise
    CurrentIndex = FData->Sites.Add(site);
    // The new site is the selected one, so that Connect and Delete act on what the fields show.
    ListView1->setCurrentItem(row);
    FillFields(CurrentIndex);
    UpdateButtons();
}

void TForm4::DeleteClick()
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty() || !FData)
        return;
    const int row = ListView1->indexOfTopLevelItem(selected.first());
    FRebuildingRows = true;
    delete ListView1->takeTopLevelItem(row);
    ListView1->clearSelection();
    FRebuildingRows = false;
    if (row < FData->Sites.Count())
        FData->Sites.Remove(row);
    ClearFields();
    CurrentIndex = -1;
    UpdateButtons();
}

bool TForm4::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        // A message box or a popup taking the focus is not the user leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            FieldLeft(static_cast<QLineEdit*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void TForm4::FieldLeft(QLineEdit* field)
{
    if (!FieldEdited)
        return;
    FieldEdited = false;
    if (!HasCurrentSite())
        return;
    SiteRecord& site = FData->Sites.Get(CurrentIndex);
    if (field == HostEdit) {
        site.HostName.Assign(Stored(HostEdit));
        if (QTreeWidgetItem* item = ListView1->topLevelItem(CurrentIndex))
            item->setText(0, HostEdit->text());
    } else if (field == UserEdit) {
        site.LoginName.Assign(Stored(UserEdit));
    } else if (field == PasswordEdit) {
        site.LoginPassword.Assign(Stored(PasswordEdit));
    } else if (field == InitialFolderEdit) {
        site.InitialFolder.Assign(Stored(InitialFolderEdit));
    } else if (field == PortEdit) {
        site.PortNumber = PendingPort;
    }
}

// Enter and Escape close the dialog without moving the focus: what was typed into the focused
// field is written as if the user had left it.
void TForm4::done(int result)
{
    if (auto* edit = qobject_cast<QLineEdit*>(focusWidget()); edit && edit->parent() == ServerGroup)
        FieldLeft(edit);
    QDialog::done(result);
}

void TForm4::PortChanged(const QString& text)
{
    FieldEdited = true;
    if (!ReadPortText(text, PendingPort))
        ShowMessage(this, QStringLiteral("Please enter a number"));
}

void TForm4::PassiveClick(bool checked)
{
    if (HasCurrentSite())
        FData->Sites.Get(CurrentIndex).PassiveMode = checked ? 1 : 0;
}

void TForm4::TransferTypeChosen(int index)
{
    if (HasCurrentSite())
        FData->Sites.Get(CurrentIndex).TransferMode = index;
}

void TForm4::EncryptionChosen(int index)
{
    if (HasCurrentSite())
        FData->Sites.Get(CurrentIndex)
            .SetEncryption(static_cast<TTlsMode>(EncryptionBox->itemData(index).toInt()));
}

void TForm4::ProxyClick()
{
    if (FProxyDialog)
        FProxyDialog->EditProxy();
}
