// What the local pane's commands do on the user's own files.
#include <QDesktopServices>
#include <QDir>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QUrl>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "app/MainForm.h"
#include "app/Questions.h"
#include "panes/LocalPane.h"
#include "panes/LocalProperties.h"
#include "panes/LocalSort.h"
#include "platform/ShellFileOp.h"
#include "preview/ImageFiles.h"

TPromptHook TLocalPane::PromptHook;

bool TLocalPane::Prompt(const QString& title, const QString& label, QString& value)
{
    return PromptForText(&FMain, PromptHook, title, label, value);
}

void TLocalPane::UpOneFolder()
{
    if (FFolder != QDir::rootPath())
        SetFolder(QFileInfo(FFolder).path());
}

void TLocalPane::NewFolder()
{
    QString name;
    if (!Prompt(QStringLiteral("Create Folder"), QStringLiteral("Folder Name"), name) || name.isEmpty())
        return;
    const QString path =
        FFolder.endsWith(QLatin1Char('/')) ? FFolder + name : FFolder + QLatin1Char('/') + name;
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0) {
        const int error = errno;
        Questions::Error(&FMain, QStringLiteral("Cannot create folder \"%1\". %2")
                                     .arg(path, QString::fromLocal8Bit(std::strerror(error))));
        return;
    }
    Refresh();
}

void TLocalPane::DeleteFirstSelected()
{
    const QString path = FirstSelectedPath();
    if (path.isEmpty())
        return;
    // The file operation asks its own question and shows its own progress.
    ShellFileOp(path, path, foDelete, 0);
    Refresh();
}

void TLocalPane::StartRename()
{
    const QStringList paths = SelectedPaths();
    if (paths.isEmpty())
        return;
    const QModelIndex index = FSort->mapFromSource(FModel->index(paths.first()));
    ShellListView1->setCurrentIndex(index);
    ShellListView1->edit(index);
}

void TLocalPane::Renamed(const QModelIndex& index, const QString& newName)
{
    const QString oldPath = FModel->filePath(FSort->mapToSource(index));
    const QString oldName = QFileInfo(oldPath).fileName();
    if (newName.isEmpty() || newName == oldName)
        return;
    if (newName.contains(QLatin1Char('/')) || newName == QLatin1String(".") ||
        newName == QLatin1String("..")) {
        Questions::Error(&FMain, QStringLiteral("\"%1\" is not a valid file name.").arg(newName));
        return;
    }
    const QString newPath = QFileInfo(oldPath).path() + QLatin1Char('/') + newName;
    // Renaming in place needs no question; a refusal does.
    if (!ShellFileOp(oldPath, newPath, foRename, fofNoConfirmation | fofSilent))
        Questions::Error(&FMain, QStringLiteral("Cannot rename \"%1\" to \"%2\".").arg(oldName, newName));
}

void TLocalPane::OpenSelected()
{
    const QString path = FirstSelectedPath();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).isDir()) {
        SetFolder(path);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        Questions::Error(&FMain, QStringLiteral("No program could be found to open %1.").arg(path));
}

void TLocalPane::ShowProperties()
{
    const QString path = FirstSelectedPath();
    if (!path.isEmpty())
        ShowLocalProperties(&FMain, path);
}

void TLocalPane::ShellListView1Change(const QItemSelection& selected)
{
    // The last item that became selected, when it is a picture.
    QString shown;
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() != 0)
            continue;
        const QString path = FModel->filePath(FSort->mapToSource(index));
        if (IsImageFile(path) && !QFileInfo(path).isDir())
            shown = path;
    }
    if (!shown.isEmpty() && OnImageSelected)
        OnImageSelected(shown);
}
