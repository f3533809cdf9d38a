// Moving files between the panes: the Upload and Download commands, drops on either list, the
// overwrite question and the end of a download.
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include "app/MainForm.h"
#include "app/Questions.h"
#include "app/Xload.h"
#include "panes/RemotePane.h"
#include "panes/RemoteText.h"
#include "platform/ShellFileOp.h"

namespace {

std::string LocalBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Selected rows in list order (the selection's own order is the order of clicks).
std::vector<TRemoteRow*> SelectedRows(const TRemoteListView& list)
{
    std::vector<TRemoteRow*> rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i)
        if (list.topLevelItem(i)->isSelected())
            rows.push_back(list.Row(i));
    return rows;
}

// ZIP archives may look like folders to a desktop; they go up as files.
bool UploadsAsFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && info.suffix().toLower() != QStringLiteral("zip");
}

QStringList LocalPathsOf(const QMimeData& data)
{
    QStringList paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile())
            paths << QDir::cleanPath(url.toLocalFile());
    return paths;
}

bool FromRemoteList(const QMimeData& data)
{
    return data.hasFormat(QString::fromLatin1(kRemoteEntriesMime));
}

} // namespace

bool TMainFrm::SafeLocalName(const std::string& name)
{
    if (IsSafeEntryName(name))
        return true;
    Questions::Error(this, QStringLiteral("\"%1\" was not copied: the server gave a name that is not a plain "
                                          "file name.")
                               .arg(DisplayName(name)));
    return false;
}

void TMainFrm::DownloadSelection(const QString& folder)
{
    const std::string target = LocalBytes(folder.isEmpty() ? Local.Folder() : folder);
    for (TRemoteRow* row : SelectedRows(*RemotePane->ListView1)) {
        if (row->IsParentRow() || !SafeLocalName(row->Info->Name))
            continue;
        Worker->AddGet(row->Info.get(), JoinLocalPath(target, row->Info->Name));
    }
}

void TMainFrm::UploadPaths(const QStringList& paths, const std::string& subfolder)
{
    const std::string current = Worker->FCurrentDir;
    const std::string target = subfolder.empty() ? current : JoinRemotePath(current, subfolder);
    for (const QString& path : paths) {
        const QString name = QFileInfo(path).fileName();
        if (name.isEmpty())
            continue;
        Worker->AddPut(LocalBytes(path), JoinRemotePath(target, LocalBytes(name)), UploadsAsFolder(path));
    }
    if (target != current)
        Worker->AddChangeDir(target);
    Worker->AddList();
}

void TMainFrm::UploadSelection(const std::string& subfolder)
{
    UploadPaths(Local.Selection(), subfolder);
}

// A front task per row: the worker runs it behind the running transfer, never beside it.
void TMainFrm::MoveRemoteSelection(const std::string& folder)
{
    for (TRemoteRow* row : SelectedRows(*RemotePane->ListView1))
        if (!row->IsParentRow())
            Worker->AddMove(row->Info->Name, JoinRemotePath(folder, row->Info->Name));
}

void TMainFrm::Upload2Click()
{
    const QStringList selection = Local.Selection();
    if (selection.isEmpty() || !Worker->IsConnected())
        return;
    const QString path = selection.front();
    TXloadForm form(this);
    form.setWindowTitle(QStringLiteral("Upload"));
    form.Folder->setText(QString::fromLocal8Bit(Worker->FCurrentDir));
    form.Name->setText(QFileInfo(path).fileName());
    if (!form.Run())
        return;
    const std::string folder = TypedName(form.Folder->text());
    Worker->AddPut(LocalBytes(path),
                   JoinRemotePath(folder.empty() ? "/" : folder, TypedName(form.Name->text())),
                   QFileInfo(path).isDir());
    Worker->AddList();
}

void TMainFrm::Download1Click()
{
    TRemoteRow* row = RemotePane->ListView1->FirstSelected();
    if (row == nullptr || !Worker->IsConnected())
        return;
    TXloadForm form(this);
    form.setWindowTitle(QStringLiteral("Download"));
    form.Folder->setText(Local.Folder());
    form.Name->setText(row->text(0));
    if (!form.Run())
        return;
    if (!row->IsParentRow()) {
        // An unchanged name keeps the server's bytes, also when they are not UTF-8.
        const std::string name =
            form.Name->text() == row->text(0) ? row->Info->Name : LocalBytes(form.Name->text());
        if (SafeLocalName(name))
            Worker->AddGet(row->Info.get(), JoinLocalPath(LocalBytes(form.Folder->text()), name));
    }
    Worker->AddList();
}

void TMainFrm::Download2Click()
{
    DownloadSelection();
}

bool TMainFrm::ListView1DragOver(const QMimeData& data, const QPoint& at)
{
    const auto* row = static_cast<TRemoteRow*>(ListView1->itemAt(at));
    const bool onFolderRow = row != nullptr && (row->IsParentRow() || row->Info->Kind == ikFolder);
    if (FromRemoteList(data))
        return onFolderRow && !row->isSelected();
    if (LocalPathsOf(data).isEmpty() || !Worker->IsConnected())
        return false;
    return row == nullptr || onFolderRow;
}

void TMainFrm::ListView1DragDrop(const QMimeData& data, const QPoint& at)
{
    if (!ListView1DragOver(data, at))
        return;
    const auto* row = static_cast<TRemoteRow*>(ListView1->itemAt(at));
    if (FromRemoteList(data)) {
        MoveRemoteSelection(row->IsParentRow() ? std::string("..") : row->Info->FullPath);
        return;
    }
    const std::string subfolder = row == nullptr || row->IsParentRow() ? std::string() : row->Info->Name;
    // The files handed over: the local list's selection, or what another program drags in.
    UploadPaths(LocalPathsOf(data), subfolder);
}

bool TMainFrm::ShellListView1DragOver(const QMimeData& data, const QPoint& at, bool fromLocalList)
{
    const QString target = Local.PathAt ? Local.PathAt(at) : QString();
    if (!target.isEmpty() && !QFileInfo(target).isDir())
        return false;
    if (FromRemoteList(data))
        return true;
    // Within the local list only onto another folder than the one dragged.
    return fromLocalList && !target.isEmpty() && !Local.Selection().contains(target);
}

void TMainFrm::ShellListView1DragDrop(const QMimeData& data, const QPoint& at, bool fromLocalList)
{
    if (!ShellListView1DragOver(data, at, fromLocalList))
        return;
    const QString target = Local.PathAt ? Local.PathAt(at) : QString();
    if (FromRemoteList(data))
        DownloadSelection(target);
    else // the file operation asks and shows its progress itself
        ShellFileOp(Local.Selection().front(), target, foMove, 0);
}

void TMainFrm::EndDrag()
{
    if (Local.Refresh)
        Local.Refresh();
}
