// Site selection on the connection bar, and the Servers and Proxy Setup commands.
#include <QCheckBox>
#include <QCompleter>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

#include "app/Forms.h"
#include "app/MainForm.h"
#include "app/Questions.h"
#include "sites/ui/Proxies.h"
#include "sites/ui/Servers.h"
#include "sites/ui/SiteBox.h"

void TMainFrm::ConnectBarSignals()
{
    ComboBox1->OnDropDown = [this] { FillSiteBox(); };
    ComboBox1->OnDeleteKey = [this](int index) { ComboBox1DeleteKey(index); };
    connect(ComboBox1, &TSiteBox::EntryChosen, this, &TMainFrm::ChooseEntry);
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, &TMainFrm::ComboBox1Typed);
    ComboBox1->installEventFilter(this);
    for (QLineEdit* field : {LabeledEdit2, LabeledEdit3, LabeledEdit4}) {
        connect(field, &QLineEdit::textChanged, this, &TMainFrm::FieldTyped);
        field->installEventFilter(this);
    }
    connect(CheckBox1, &QCheckBox::clicked, this, &TMainFrm::CheckBox1Click);
    connect(ComboBox2, &QComboBox::activated, this, &TMainFrm::ComboBox2Select);
    connect(Button1, &QPushButton::clicked, this, &TMainFrm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TMainFrm::Button2Click);
}

bool TMainFrm::SiteIsCurrent() const
{
    return CurrentSite >= 0 && CurrentSite < SiteData.Sites.Count();
}

// Filling the fields counts as typing in them, as in the dialogs.
void TMainFrm::ReloadBarFromSite(int site)
{
    if (site < 0 || site >= SiteData.Sites.Count())
        return;
    const SiteRecord& r = SiteData.Sites.Get(site);
    LabeledEdit2->setText(QString::fromLocal8Bit(r.LoginName.Str()));
    LabeledEdit3->setText(QString::fromLocal8Bit(r.LoginPassword.Str()));
    LabeledEdit4->setText(QString::number(r.PortNumber));
    CheckBox1->setChecked(r.PassiveMode != 0);
    if (r.TransferMode >= 0 && r.TransferMode <= 2)
        ComboBox2->setCurrentIndex(r.TransferMode);
}

void TMainFrm::ChooseEntry(int index)
{
    if (index < 0)
        return;
    if (index == 0) {
        FAutoComplete = false;
        ComboBox1->setCompleter(nullptr);
        ComboBox1->setEditText(QString());
        LabeledEdit2->clear();
        LabeledEdit3->clear();
        LabeledEdit4->setText(QStringLiteral("21"));
        CheckBox1->setChecked(false);
        ComboBox2->setCurrentIndex(0);
        Button1->setEnabled(false);
        CurrentSite = -1;
        FieldEdited = false;
        return;
    }
    Button1->setEnabled(true);
    CurrentSite = index - 1;
    ReloadBarFromSite(CurrentSite);
    ConnectSelectedSite();
}

void TMainFrm::ComboBox1Typed()
{
    FieldEdited = true;
    const QString text = ComboBox1->currentText();
    Button1->setEnabled(!text.isEmpty() && text != QStringLiteral("<new>"));
}

void TMainFrm::ComboBox1Exit()
{
    if (!FieldEdited)
        return;
    FieldEdited = false;
    const QString text = ComboBox1->currentText();
    if (text.isEmpty() || text == QStringLiteral("<new>")) {
        Questions::Message(this, QStringLiteral("Please specify a name"));
        return;
    }
    const std::string name = text.toLocal8Bit().toStdString();
    for (int i = 0; i < SiteData.Sites.Count(); ++i) {
        if (SiteData.Sites.Get(i).HostName.Str() == name) {
            CurrentSite = i;
            if (!FAutoComplete) {
                ComboBox1->setCurrentIndex(i + 1);
                FAutoComplete = true;
                ComboBox1->setCompleter(new QCompleter(ComboBox1->model(), ComboBox1));
            }
            return;
        }
    }
    // A typed server gets encryption when it offers it, and plain FTP when it does not.
    SiteRecord typed = SiteRecord::NewSite(name);
    typed.SetEncryption(TTlsMode::IfAvailable);
    CurrentSite = SiteData.Sites.Add(typed);
    Button1->setEnabled(true);
}

void TMainFrm::ComboBox1DeleteKey(int index)
{
    if (index <= 0 || index >= ComboBox1->count())
        return;
    const QString text = ComboBox1->itemText(index);
    if (Questions::Ask(this, QStringLiteral("Are you sure you want to delete ") + text +
                                 QStringLiteral("?")) != mrYes)
        return;
    SiteData.Sites.Remove(index - 1);
    // The connected site keeps its place in the bar's memory of it.
    const auto follow = [index](int& entry) { entry = entry == index ? -1 : entry - (entry > index); };
    int connecting = FConnectingSite + 1;
    follow(connecting);
    FConnectingSite = connecting - 1;
    follow(ConnectedItemIndex);
    SaveSiteFile();
    ComboBox1->removeItem(index);
    CurrentSite = -1;
}

void TMainFrm::FieldTyped()
{
    FieldEdited = true;
}

void TMainFrm::FieldExit(QLineEdit* field)
{
    if (!FieldEdited)
        return;
    if (SiteIsCurrent()) {
        SiteRecord& r = SiteData.Sites.Get(CurrentSite);
        const std::string text = field->text().toLocal8Bit().toStdString();
        if (field == LabeledEdit2) {
            r.LoginName.Assign(text);
        } else if (field == LabeledEdit3) {
            r.LoginPassword.Assign(text);
        } else if (field == LabeledEdit4) {
            bool ok = false;
            const int port = field->text().trimmed().toInt(&ok);
            if (!ok) {
                // The conversion error: nothing stored, the field stays edited.
                Questions::Message(this,
                                   QStringLiteral("'%1' is not a valid integer value").arg(field->text()));
                return;
            }
            r.PortNumber = port;
        }
    }
    FieldEdited = false;
}

void TMainFrm::LeaveFocusedField()
{
    QWidget* focus = focusWidget();
    if (focus == ComboBox1 || focus == ComboBox1->lineEdit())
        ComboBox1Exit();
    else if (auto* field = qobject_cast<QLineEdit*>(focus);
             field == LabeledEdit2 || field == LabeledEdit3 || field == LabeledEdit4)
        FieldExit(field);
}

void TMainFrm::CheckBox1Click()
{
    if (SiteIsCurrent())
        SiteData.Sites.Get(CurrentSite).PassiveMode = CheckBox1->isChecked() ? 1 : 0;
}

void TMainFrm::ComboBox2Select(int index)
{
    if (SiteIsCurrent())
        SiteData.Sites.Get(CurrentSite).TransferMode = index;
    // A task in front of the waiting ones: the running task keeps its type.
    Worker->AddSetType(index);
}

void TMainFrm::Servers1Click()
{
    TForm4* dialog = Forms::Servers();
    // Connect is only possible with a site selected; no site means nothing to connect to.
    if (dialog->exec() == QDialog::Accepted && dialog->CurrentIndex >= 0 &&
        dialog->CurrentIndex < SiteData.Sites.Count()) {
        FillSiteBox();
        ComboBox1->setCurrentIndex(dialog->CurrentIndex + 1);
        ChooseEntry(dialog->CurrentIndex + 1);
    }
    SaveSiteFile();
}

void TMainFrm::ProxySetup1Click()
{
    Forms::Proxies()->EditProxy();
}
