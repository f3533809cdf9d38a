// A folder of 20,000 files shown by the real window's local pane, opened and then sorted by three
// columns (each reads the folder again): how long until every row is in, and the longest time the
// window's event loop went unserved meanwhile (a 5 ms timer measures it).
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "app/Forms.h"
#include "app/MainForm.h"
#include "panes/LocalPane.h"
#include "support/TempDir.h"

namespace {

constexpr int kFiles = 20000;

// A stretch of time on the window's thread: wall clock and the thread's own CPU time.
struct Gap {
    qint64 WallMs = 0, CpuMs = 0;
    static Gap Now()
    {
        timespec cpu{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        const auto wall = std::chrono::steady_clock::now().time_since_epoch();
        return {std::chrono::duration_cast<std::chrono::milliseconds>(wall).count(),
                cpu.tv_sec * 1000 + cpu.tv_nsec / 1000000};
    }
    // Keeps the longest stretch between two ticks, by each measure.
    void Widen(const Gap& to, const Gap& from)
    {
        WallMs = std::max(WallMs, to.WallMs - from.WallMs);
        CpuMs = std::max(CpuMs, to.CpuMs - from.CpuMs);
    }
};

// Under a real display: a small folder with a picture selected, the window saved to file.
int Screenshot(const QString& file)
{
    TempDir appFolder, tmp, home;
    const std::string desktop = home.Path() + "/Desktop";
    std::filesystem::create_directories(desktop + "/Holiday");
    std::ofstream(desktop + "/notes.txt") << "notes";
    QImage picture(800, 600, QImage::Format_RGB32);
    QPainter p(&picture);
    QLinearGradient sky(0, 0, 0, 600);
    sky.setColorAt(0, QColor(40, 90, 170));
    sky.setColorAt(1, QColor(250, 200, 120));
    p.fillRect(picture.rect(), sky);
    p.setBrush(QColor(250, 240, 180));
    p.drawEllipse(QPoint(560, 380), 90, 90);
    p.fillRect(0, 470, 800, 130, QColor(30, 60, 40));
    p.end();
    picture.save(QString::fromStdString(desktop + "/sunset.jpg"), "JPG");
    qputenv("HOME", QByteArray::fromStdString(home.Path()));
    qputenv("TMPDIR", QByteArray::fromStdString(tmp.Path()));
    Forms::CreateAll(appFolder.Path());
    TMainFrm& w = *Forms::Main();
    // A bare X server has no window manager to maximise it.
    w.setGeometry(QGuiApplication::primaryScreen()->geometry());
    w.show();
    const auto serve = [](int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    serve(1500);
    w.Splitter2->setSizes({w.height() / 2, w.height() / 2});
    TLocalPane& pane = *w.LocalPane;
    for (int i = 0; i < pane.RowCount(); ++i)
        if (pane.PathAt(i).endsWith(QStringLiteral("sunset.jpg")))
            pane.ShellListView1->setCurrentIndex(
                pane.ShellListView1->model()->index(i, 0, pane.ShellListView1->rootIndex()));
    serve(1000);
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(file);
    Forms::DestroyAll();
    return ok ? 0 : 1;
}

double LoadAverage()
{
    double load = 0;
    std::ifstream("/proc/loadavg") >> load;
    return load;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc > 2 && QString::fromLatin1(argv[1]) == QLatin1String("--screenshot"))
        return Screenshot(QString::fromLocal8Bit(argv[2]));
    TempDir appFolder, tmp, big;
    for (int i = 0; i < kFiles; ++i)
        std::ofstream(big.Path() + "/file" + std::to_string(i) + (i % 3 ? ".txt" : ".jpg")) << i;
    qputenv("TMPDIR", QByteArray::fromStdString(tmp.Path()));
    Forms::CreateAll(appFolder.Path());
    TMainFrm& w = *Forms::Main();
    w.resize(1200, 800);
    w.show();
    QCoreApplication::processEvents();

    // Each load: the longest wall-clock gap between two ticks of a 5 ms timer, and the most CPU time
    // the window's thread spent between two ticks (which does not grow when the machine is busy).
    Gap longest;
    Gap tick = Gap::Now();
    QTimer ticker;
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Gap now = Gap::Now();
        longest.Widen(now, tick);
        tick = now;
    });
    ticker.start();
    const char* const loads[] = {"opened", "sorted by Size", "sorted by Type", "sorted by Date"};
    Gap worst;
    for (int round = 0; round < 4; ++round) {
        QElapsedTimer clock;
        clock.start();
        tick = Gap::Now();
        longest = Gap();
        if (round == 0)
            w.LocalPane->SetFolder(QString::fromStdString(big.Path()));
        else // a click on a column header reads the folder again
            w.LocalPane->ShellListView1ColumnClick(round);
        while (w.LocalPane->RowCount() < kFiles && clock.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const qint64 listed = clock.elapsed();
        // The model goes on with the items' details and the order after the last row is in.
        while (clock.elapsed() < listed + 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::printf("%-15s %d rows in %5lld ms; longest gap %4lld ms, most CPU between ticks %4lld ms\n",
                    loads[round], w.LocalPane->RowCount(), static_cast<long long>(listed),
                    static_cast<long long>(longest.WallMs), static_cast<long long>(longest.CpuMs));
        worst.WallMs = std::max(worst.WallMs, longest.WallMs);
        worst.CpuMs = std::max(worst.CpuMs, longest.CpuMs);
    }
    ticker.stop();
    std::printf("local pane, %d files: longest event-loop gap %lld ms, most CPU time of the window's "
                "thread between two ticks %lld ms (limit 100 ms)\n",
                kFiles, static_cast<long long>(worst.WallMs), static_cast<long long>(worst.CpuMs));
    std::printf("(on a busy machine a gap also holds the time the thread waited for a core; load "
                "average now %.1f)\n",
                LoadAverage());
    Forms::DestroyAll();
    return 0;
}
