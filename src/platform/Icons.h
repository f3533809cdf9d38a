#pragma once
// Icons from the desktop's icon theme (freedesktop names), with Qt's own pictures where the
// theme has none.
#include <QIcon>
#include <QString>
#include <QStyle>

// When the platform names no icon theme (a bare X server, a minimal session), the first installed
// of a few common themes is used.
void ChooseIconTheme();
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback);
// The icon of a file or folder by its name alone: nothing is read from disk, so it serves remote
// entries as well as local ones.
QIcon FileIconByName(const QString& name, bool folder, bool link = false);
