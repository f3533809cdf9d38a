#include "platform/QtSynchronize.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "rtl/Thread.h"

void InstallQtSynchronize()
{
    Sync::SetMainThread();
    Sync::SetWakeMainThread([] {
        QCoreApplication* app = QCoreApplication::instance();
        if (app != nullptr)
            QMetaObject::invokeMethod(
                app, [] { Sync::CheckSynchronize(); }, Qt::QueuedConnection);
    });
}
