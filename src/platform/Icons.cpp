#include "platform/Icons.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// The desktop's icon folders, as the freedesktop base directories name them; a session without a
// platform theme gives Qt none of them.
static void AddIconSearchPaths()
{
    QStringList paths = QIcon::themeSearchPaths();
    QStringList roots = {QDir::homePath() + QStringLiteral("/.icons"),
                         QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)};
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    roots += dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (int i = 1; i < roots.size(); ++i)
        roots[i] += QStringLiteral("/icons");
    for (const QString& root : roots)
        if (!paths.contains(root) && QFileInfo(root).isDir())
            paths << root;
    QIcon::setThemeSearchPaths(paths);
}

void ChooseIconTheme()
{
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QStringLiteral("hicolor"))
        return;
    AddIconSearchPaths();
    for (const char* theme : {"Adwaita", "breeze", "oxygen", "gnome", "Tango"}) {
        for (const QString& root : QIcon::themeSearchPaths()) {
            if (QFileInfo::exists(root + QLatin1Char('/') + QLatin1String(theme) +
                                  QStringLiteral("/index.theme"))) {
                QIcon::setThemeName(QLatin1String(theme));
                return;
            }
        }
    }
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback)
{
    const QString themeName = QLatin1String(name);
    if (QIcon::hasThemeIcon(themeName))
        return QIcon::fromTheme(themeName);
    return QApplication::style()->standardIcon(fallback);
}
