#include "platform/FileIcons.h"

#include <QHash>
#include <QMimeDatabase>
#include <QStyle>

#include "platform/Icons.h"

QIcon FileIconForName(const QString& name)
{
    // Listings of thousands of files share a handful of extensions: one lookup per extension.
    static QHash<QString, QIcon> byExtension;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = (dot < 0 ? name : name.mid(dot)).toLower();
    const auto found = byExtension.constFind(extension);
    if (found != byExtension.constEnd())
        return *found;
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = ThemeIcon("text-x-generic", QStyle::SP_FileIcon);
    byExtension.insert(extension, icon);
    return icon;
}

QIcon FolderIcon()
{
    static const QIcon icon = ThemeIcon("folder", QStyle::SP_DirIcon);
    return icon;
}
