#include "platform/ShellFileOp.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* ProgressTitle(int operation)
{
    switch (operation) {
    case foMove: return "Moving...";
    case foCopy: return "Copying...";
    case foDelete: return "Deleting...";
    default: return "Renaming...";
    }
}

QString Question(const QString& source, const QString& target, int operation)
{
    const QString name = QFileInfo(source).fileName();
    switch (operation) {
    case foDelete: return QStringLiteral("Are you sure you want to delete '%1'?").arg(name);
    case foMove: return QStringLiteral("Move '%1' to '%2'?").arg(name, target);
    case foCopy: return QStringLiteral("Copy '%1' to '%2'?").arg(name, target);
    default: return QStringLiteral("Rename '%1' to '%2'?").arg(name, QFileInfo(target).fileName());
    }
}

// Into an existing folder the item keeps its name; otherwise target is the new path.
fs::path Destination(const fs::path& source, const fs::path& target)
{
    std::error_code ec;
    if (fs::is_directory(target, ec) && !fs::equivalent(source, target, ec))
        return target / source.filename();
    return target;
}

bool Perform(const fs::path& source, const fs::path& target, int operation)
{
    std::error_code ec;
    switch (operation) {
    case foDelete:
        // remove_all removes a link itself and never what it points to.
        fs::remove_all(source, ec);
        return !ec;
    case foCopy:
        fs::copy(source, Destination(source, target),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        return !ec;
    case foMove: {
        const fs::path dest = Destination(source, target);
        fs::rename(source, dest, ec);
        if (ec == std::errc::cross_device_link) {
            ec.clear();
            fs::copy(source, dest, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
            if (!ec)
                fs::remove_all(source, ec);
        }
        return !ec;
    }
    case foRename:
        if (fs::exists(fs::symlink_status(target, ec)))
            return false; // never replace another item by a rename
        fs::rename(source, target, ec);
        return !ec;
    default: return false;
    }
}

bool Confirmed(const QString& title, const QString& text)
{
    if (ShellFileOpConfirmHook)
        return ShellFileOpConfirmHook(title, text);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
        return true;
    return QMessageBox::question(nullptr, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

} // namespace

std::function<bool(const QString& title, const QString& text)> ShellFileOpConfirmHook;

bool ShellFileOp(const QString& source, const QString& target, int operation, unsigned flags)
{
    if (source.isEmpty())
        return false;
    const bool interactive = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if ((flags & fofNoConfirmation) == 0 &&
        !Confirmed(QString::fromLatin1(ProgressTitle(operation)), Question(source, target, operation)))
        return false;
    QProgressDialog* progress = nullptr;
    if (interactive && (flags & fofSilent) == 0) {
        progress = new QProgressDialog(QString::fromLatin1(ProgressTitle(operation)), QString(), 0, 0);
        progress->setWindowTitle(QString::fromLatin1(ProgressTitle(operation)));
        progress->setMinimumDuration(500);
    }
    const bool ok = Perform(fs::path(QFile::encodeName(source).toStdString()),
                            fs::path(QFile::encodeName(target).toStdString()), operation);
    delete progress;
    return ok;
}
