#pragma once
// The window's few direct commands on the session (rename, permissions), run on a thread of
// their own so the window never waits on the network; the outcome comes back on the window's thread.
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>

class TFTPThread;
class TIdFTP;

class TRemoteSessionCommands : public QObject {
    Q_OBJECT
public:
    explicit TRemoteSessionCommands(TFTPThread* worker);
    ~TRemoteSessionCommands() override;
    // done gets an empty text on success, else the session's error text.
    void Run(std::function<void(TIdFTP&)> command, std::function<void(const QString& error)> done);
    bool Busy() const { return FRunning > 0; }
    void WaitForAll();

private:
    TFTPThread* FWorker;
    QThreadPool FPool;
    int FRunning = 0;
};
