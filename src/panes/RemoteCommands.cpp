// What the remote pane's commands queue for the worker.
#include <QComboBox>
#include <QInputDialog>

#include "app/Forms.h"
#include "app/MainForm.h"
#include "app/Questions.h"
#include "panes/RemotePane.h"
#include "panes/RemoteText.h"
#include "panes/Unit3.h"

TPromptHook TRemotePane::PromptHook;

bool TRemotePane::Prompt(const QString& title, const QString& label, QString& value)
{
    return PromptForText(&FMain, PromptHook, title, label, value);
}

void TRemotePane::OpenRemoteEntry()
{
    const TRemoteRow* row = ListView1->FirstSelected();
    if (row == nullptr)
        return;
    if (row->IsParentRow()) {
        UpOneFolder();
        return;
    }
    OpenRecord(*row->Info);
}

void TRemotePane::OpenRecord(const TFTPFileInfo& info)
{
    switch (info.Kind) {
    case ikFile: OpenFile(info); break;
    // Relative to the folder shown, as listed.
    case ikFolder: FMain.Worker->AddChangeDir(info.Name); break;
    case ikLink:
        if (!info.LinkTarget) {
            Questions::Message(
                &FMain, QStringLiteral("The target of \"%1\" was not found.").arg(DisplayName(info.Name)));
        } else if (info.LinkTarget->Kind == ikFolder) {
            // The target may lie in another folder: its full path lands there.
            FMain.Worker->AddChangeDir(info.LinkTarget->FullPath);
        } else {
            OpenRecord(*info.LinkTarget);
        }
        break;
    }
}

void TRemotePane::OpenFile(const TFTPFileInfo& info)
{
    // The copy goes into the temporary folder and nowhere else, whatever the server named it.
    if (!IsSafeEntryName(info.Name)) {
        Questions::Message(&FMain, QStringLiteral("\"%1\" cannot be opened: the server gave a name that is "
                                                  "not a plain file name.")
                                       .arg(DisplayName(info.Name)));
        return;
    }
    // Named as shown: a name that is not UTF-8 would reach the desktop's opener mangled.
    const std::string local = JoinLocalPath(FMain.TempFolder, TypedName(DisplayName(info.Name)));
    // A copy already there is opened as it is, without a question.
    FMain.Worker->FAnswerYes = false;
    FMain.Worker->FAnswerAll = true;
    FMain.Worker->AddGet(&info, local);
    FMain.Worker->AddShellOpen(local);
}

void TRemotePane::UpOneFolder()
{
    FMain.Worker->AddChangeDirUp();
}

void TRemotePane::Refresh()
{
    FMain.Worker->AddList();
}

void TRemotePane::NewFolder()
{
    if (!FMain.Worker->IsConnected())
        return;
    QString name;
    if (!Prompt(QStringLiteral("Create folder"), QStringLiteral("Folder name"), name))
        return;
    FMain.Worker->AddMakeDir(JoinRemotePath(FMain.Worker->FCurrentDir, TypedName(name)));
    FMain.Worker->AddList();
}

void TRemotePane::ChangeFolder()
{
    QString folder;
    if (Prompt(QStringLiteral("Change folder"), QStringLiteral("Folder"), folder) && !folder.isEmpty())
        FMain.Worker->AddChangeDir(TypedName(folder));
}

void TRemotePane::ComboBoxEx1EndEdit(int index)
{
    if (index >= 0)
        FMain.Worker->AddChangeDir(ComboBoxEx1->itemData(index).toByteArray().toStdString());
}

void TRemotePane::StartRename()
{
    TRemoteRow* row = ListView1->FirstSelected();
    if (row == nullptr || row->IsParentRow())
        return;
    ListView1->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
    ListView1->editItem(row, 0);
}

void TRemotePane::ListView1Edited(TRemoteRow* row, const QString& newName)
{
    if (row == nullptr || row->IsParentRow())
        return;
    if (newName.isEmpty()) {
        FMain.Worker->AddList();
        return;
    }
    // Unchanged: a name that is not UTF-8 must not come back re-encoded under another name.
    if (newName == DisplayName(row->Info->Name))
        return;
    // The old name goes back as the bytes the server listed.
    QueueRename(row->Info->Name, TypedName(newName));
}

void TRemotePane::DeleteRemoteSelection()
{
    bool any = false;
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        const TRemoteRow* row = ListView1->Row(i);
        if (!row->isSelected())
            continue;
        any = true;
        if (row->IsParentRow())
            continue;
        if (row->Info->Kind == ikFolder)
            FMain.Worker->AddRemoveDir(row->Info->Name);
        else
            FMain.Worker->AddDelete(row->Info->Name);
    }
    if (any)
        FMain.Worker->AddList();
}

void TRemotePane::AskDelete()
{
    const QString source = DisplayName(FMain.Worker->FCurrent->Source);
    const TAnswer a = Questions::Ask(
        &FMain, QStringLiteral("Are you sure you want to delete ") + source + QStringLiteral("?"), true);
    FMain.Worker->FAnswerYes = a == mrYes || a == mrAll;
    FMain.Worker->FAnswerAll = a == mrAll;
}

void TRemotePane::Permissions1Click()
{
    const TRemoteRow* row = ListView1->FirstSelected();
    if (row == nullptr || row->IsParentRow())
        return;
    TForm3* form = Forms::Permissions();
    form->SetRights(row->Rights);
    form->LabeledEdit1->setText(DisplayName(JoinRemotePath(FMain.Worker->FCurrentDir, row->Info->Name)));
    if (form->exec() != QDialog::Accepted)
        return;
    const std::string mode = form->LabeledEdit2->text().toStdString();
    FMain.AppendLog(QStringLiteral("chmod ") + QString::fromStdString(mode) + QLatin1Char(' ') +
                    DisplayName(row->Info->Name));
    QueueChmod(row->Info->Name, mode);
}

// The worker runs both in front of the waiting tasks; a refusal comes back as a box, success
// brings a new listing.
void TRemotePane::QueueRename(const std::string& oldName, const std::string& newName)
{
    FMain.Worker->AddRename(oldName, newName);
}

void TRemotePane::QueueChmod(const std::string& name, const std::string& mode)
{
    FMain.Worker->AddChmod(name, mode);
}
