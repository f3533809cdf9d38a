#pragma once
// A small dialog with what the file system says about one local item.
#include <QString>

class QWidget;

void ShowLocalProperties(QWidget* owner, const QString& path);
// The dialog's rows as caption and value, for tests.
QList<QPair<QString, QString>> LocalPropertyRows(const QString& path);
