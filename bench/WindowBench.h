#pragma once
// What the window benchmarks share: serving the window's events until something holds, and the
// real window connected to a vsftpd through a saved site, as a user would start it.
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <functional>

#include "app/Forms.h"
#include "app/MainForm.h"
#include "sites/ui/SiteBox.h"
#include "support/TempDir.h"
#include "support/VsftpdServer.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// Serves the window's events until done() holds; false when that took longer than the seconds.
// Between events the thread sleeps as the window's own loop would (a spinning loop would take a
// core from the worker and the server); a 5 ms timer wakes it to look.
inline bool Serve(const std::function<bool()>& done, int seconds)
{
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    QTimer wake;
    wake.start(5);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The window, maximised, with the server as its one saved site, not chosen yet.
inline TMainFrm& ShowWindow(VsftpdServer& server, TempDir& appFolder, TempDir& tmp)
{
    TSiteFileData sites;
    SiteRecord site = SiteRecord::NewSite("127.0.0.1");
    site.LoginName.Assign(server.User());
    site.LoginPassword.Assign(server.Password());
    site.PortNumber = server.Port();
    site.PassiveMode = 1;
    sites.Sites.Add(site);
    SaveSites(appFolder.Path() + "/servers.sit", sites);
    qputenv("TMPDIR", QByteArray::fromStdString(tmp.Path()));
    Forms::CreateAll(appFolder.Path());
    TMainFrm& w = *Forms::Main();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w.setGeometry(screen->availableGeometry());
    w.showMaximized();
    return w;
}

// The same with that site chosen; the connection then runs in the worker.
inline TMainFrm& OpenWindow(VsftpdServer& server, TempDir& appFolder, TempDir& tmp)
{
    TMainFrm& w = ShowWindow(server, appFolder, tmp);
    w.ComboBox1->setCurrentIndex(1);
    w.ChooseEntry(1);
    return w;
}

// OpenWindow, then served until the session is up and idle.
inline bool Connected(TMainFrm& w)
{
    return Serve([&] { return w.StatusPanel1->text().startsWith("Connected") && w.Worker->IsIdle(); }, 30);
}

} // namespace bench
