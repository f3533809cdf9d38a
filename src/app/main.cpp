#include <QApplication>
#include <QScreen>

#include "app/Forms.h"
#include "app/MainForm.h"
#include "platform/QtSynchronize.h"
#include "rtl/AppFolders.h"
#include "rtl/TempFolder.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InstallQtSynchronize();
    const TAppFolders folders = PrepareAppFolders(ExecutableFolder());
    Forms::CreateAll(folders.Config, folders.State);
    // Without a window manager a maximised window keeps its size: give it the screen first.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        Forms::Main()->setGeometry(screen->availableGeometry());
    Forms::Main()->showMaximized();
    const int code = QApplication::exec();
    Forms::DestroyAll();
    return code;
}
