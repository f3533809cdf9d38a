#include "platform/QtEnginePlatform.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMetaObject>
#include <QUrl>

void TQtEnginePlatform::ShellOpen(const std::string& path)
{
    const QUrl url = QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
    // Desktop services belong to the window's thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [url] { QDesktopServices::openUrl(url); }, Qt::QueuedConnection);
}
