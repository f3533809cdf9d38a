#pragma once
// Small file and folder icons chosen by name alone: the desktop theme's, else the style's.
// Nothing here touches the disk, so names from a server are safe to pass.
#include <QIcon>
#include <QString>

QIcon FileIconForName(const QString& name);
QIcon FolderIcon();
