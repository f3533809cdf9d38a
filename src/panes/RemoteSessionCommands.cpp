#include "panes/RemoteSessionCommands.h"

#include <QPointer>
#include <exception>

#include "engine/FTPThread.h"
#include "rtl/Thread.h"

TRemoteSessionCommands::TRemoteSessionCommands(TFTPThread* worker) : FWorker(worker)
{
    // One at a time, in the order asked.
    FPool.setMaxThreadCount(1);
}

TRemoteSessionCommands::~TRemoteSessionCommands()
{
    WaitForAll();
}

void TRemoteSessionCommands::Run(std::function<void(TIdFTP&)> command,
                                 std::function<void(const QString& error)> done)
{
    ++FRunning;
    QPointer<TRemoteSessionCommands> self(this);
    TFTPThread* worker = FWorker;
    FPool.start([self, worker, command = std::move(command), done = std::move(done)] {
        QString error;
        try {
            // Waits while a task uses the session, so commands never interleave on the connection.
            worker->WithSession(command);
        } catch (const std::exception& e) {
            error = QString::fromLocal8Bit(e.what()).trimmed();
            if (error.isEmpty())
                error = QStringLiteral("The command failed.");
        }
        QMetaObject::invokeMethod(
            self.data(),
            [self, done, error] {
                if (!self)
                    return;
                --self->FRunning;
                done(error);
            },
            Qt::QueuedConnection);
    });
}

void TRemoteSessionCommands::WaitForAll()
{
    // The worker may be waiting for the window with the session in hand: keep serving it.
    while (!FPool.waitForDone(5))
        Sync::CheckSynchronize();
}
