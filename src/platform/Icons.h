#pragma once
// Icons from the desktop's icon theme (freedesktop names), with Qt's own pictures where the
// theme has none. File icons by name are in FileIcons.h.
#include <QIcon>
#include <QString>
#include <QStyle>

// When the platform names no icon theme (a bare X server, a minimal session), the first installed
// of a few common themes is used.
void ChooseIconTheme();
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback);
