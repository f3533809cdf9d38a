// The task list: rows made from notifications, texts, the drawn progress cell and the menu.
#include <QLocale>
#include <gtest/gtest.h>

#include "engine/ui/TaskListView.h"
#include "support/EngineHarness.h"
#include "support/ScriptedFtpServer.h"

using namespace std::chrono_literals;

namespace {

const QRgb kBlue = qRgb(0, 0, 255), kYellow = qRgb(255, 255, 0), kWhite = qRgb(255, 255, 255);

TTaskPtr MakeTask(TTaskKind kind, int id, TTaskState state = tsPending, std::string source = {})
{
    auto task = std::make_shared<TFTPTask>();
    task->Kind = kind;
    task->Id = id;
    task->Source = std::move(source);
    task->SetState(state);
    return task;
}

// Counts pixels of the colour in columns [from, to) of the cell's inside.
int Count(const QImage& cell, QRgb colour, int from = 1, int to = 1 << 20)
{
    int n = 0;
    for (int y = 1; y < cell.height() - 1; ++y)
        for (int x = std::max(from, 1); x < std::min(to, cell.width() - 1); ++x)
            n += (cell.pixel(x, y) | 0xFF000000u) == colour;
    return n;
}

// Left of the bar's end only blue and yellow text, right of it only white and black text.
void ExpectHalfBar(const QImage& cell)
{
    const int half = cell.width() / 2, inner = cell.height() - 2;
    const int yellow = Count(cell, kYellow, 1, half - 1), black = Count(cell, qRgb(0, 0, 0), half + 1);
    EXPECT_GT(yellow, 0);
    EXPECT_GT(black, 0);
    EXPECT_EQ(Count(cell, kBlue, 1, half - 1) + yellow, (half - 2) * inner);
    EXPECT_EQ(Count(cell, kWhite, half + 1) + black, (cell.width() - half - 2) * inner);
}

QImage CellOf(TTaskListView& view, int row)
{
    const QRect rect = view.visualRect(view.model()->index(row, TTaskListView::colProgress));
    return view.viewport()->grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
}

class TaskListView : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.SetWorker(worker.get());
        view.resize(900, 200);
        view.show();
    }
    void TearDown() override { worker->FCurrent.reset(); }

    TestPlatform platform;
    std::unique_ptr<TFTPThread> worker = std::make_unique<TFTPThread>(platform);
    TTaskListView view;
};

} // namespace

TEST(TaskListTexts, PercentHalvesToEvenAndSpeedUsesTheLocale)
{
    EXPECT_EQ(PercentText(0.125f), "12%");
    EXPECT_EQ(PercentText(0.375f), "38%");
    EXPECT_EQ(PercentText(-3072), "?%"); // the server gave no size
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(SpeedText(1234567.89f), "1.234.568,00 KB/s"); // seven significant digits
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(SpeedText(1234.5678f), "1,234.57 KB/s");
    QLocale::setDefault(saved);
}

TEST(TaskListTexts, ProgressCellAtHalfIsBlueThenWhiteWithTwoColouredText)
{
    ExpectHalfBar(ProgressCellImage(QSize(200, 18), 0.5f, "50%", QFont()));
    // An understated size gives more than the whole: the bar stays inside the cell.
    EXPECT_EQ(ProgressCellImage(QSize(40, 10), 1.7f, "", QFont()).pixel(38, 5) | 0xFF000000u, kBlue);
}

TEST_F(TaskListView, RowsShowTheTaskAsQueuedThenProgress)
{
    const TTaskPtr list = MakeTask(taskList, 1, tsRunning);
    const TTaskPtr get = MakeTask(taskGet, 2, tsRunning, "/f.bin");
    get->Destination = "/tmp/f.bin";
    view.TaskAdded(list);
    view.TaskAdded(get);
    get->Source = "changed later";
    const QStringList expected[] = {{"LIST", "Pending", "", "", ""},
                                    {"GET", "Pending", "", "/f.bin", "/tmp/f.bin"}};
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(view.Row(r)->text(c), expected[r][c]) << r << "," << c;

    worker->FCurrent = list; // a listing gets no progress texts
    worker->FProgress = 0.5f;
    view.Progress();
    EXPECT_EQ(view.Row(0)->text(1), "Pending");
    worker->FCurrent = get;
    worker->FProgress = 0;
    view.Progress();
    EXPECT_EQ(view.Row(1)->text(1), "0%");
    EXPECT_EQ(Count(CellOf(view, 1), kBlue), 0);
    EXPECT_GT(Count(CellOf(view, 1), kWhite), 0);
    worker->FProgress = -2048; // no size known: no bar either
    view.Progress();
    EXPECT_EQ(view.Row(1)->text(1), "?%");
    EXPECT_EQ(Count(CellOf(view, 1), kBlue), 0);
}

TEST_F(TaskListView, FinalTextsAndTimerRemovalKeepUnfinishedRows)
{
    const TTaskPtr tasks[] = {MakeTask(taskGet, 1, tsCompleted),  MakeTask(taskPut, 2, tsFailed),
                              MakeTask(taskDelete, 3, tsAborted), MakeTask(taskList, 4),
                              MakeTask(taskGet, 5, tsRunning),    MakeTask(taskShellOpen, 0, tsRunning)};
    for (const TTaskPtr& t : tasks)
        view.TaskAdded(t);
    for (int i : {0, 1, 2, 5})
        view.TaskDone(tasks[i]);
    const char* shown[] = {"Completed", "Failed", "Aborted", "Pending", "Pending", "Pending"};
    for (int r = 0; r < 6; ++r)
        EXPECT_EQ(view.Row(r)->text(1), shown[r]);
    view.RemoveFinishedRows();
    ASSERT_EQ(view.topLevelItemCount(), 3);
    EXPECT_EQ(view.Row(0)->text(0) + view.Row(1)->text(0) + view.Row(2)->text(0), "LISTGETSHELL OPEN");
}

TEST_F(TaskListView, MenuNeedsTheConnectionAndAbortsSkipGoneTasks)
{
    TTaskPtr gone = MakeTask(taskGet, 1);
    const TTaskPtr done = MakeTask(taskList, 2, tsCompleted), waiting = MakeTask(taskPut, 3),
                   running = MakeTask(taskGet, 4, tsRunning);
    for (const TTaskPtr& t : {gone, done, waiting, running})
        view.TaskAdded(t);
    gone.reset();
    view.TaskDone(done); // the worker still holds it for a moment; the row lets go already
    view.setCurrentItem(view.Row(2));
    view.PopupMenu3Popup();
    EXPECT_FALSE(view.Abort1->isEnabled());
    EXPECT_FALSE(view.AbortAll1->isEnabled());

    view.Abort1Click();
    EXPECT_EQ(waiting->State(), tsAborted);
    EXPECT_EQ(running->State(), tsRunning);
    view.AbortAll1Click();
    EXPECT_EQ(done->State(), tsCompleted);
    EXPECT_EQ(running->State(), tsAborted);
}

// The row during and after a download of half the announced size (a short download, not a
// completed one), and of a file whose size the server does not tell (no bar, but the speed).
TEST(TaskListSession, DownloadRowsShowTheCourseWithAndWithoutASize)
{
    const struct {
        const char* sizeReply;
        const char* during;
        const char* after;
    } cases[] = {{"213 262144", "50% ", "Failed"}, {"550 no size here", "?% ", "Completed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sizeReply);
        ScriptedFtpServer s;
        s.Reply("220 scripted")
            .Expect("USER u", "331 password")
            .Expect("PASS p", "230 in")
            .Expect("TYPE I", "200 binary")
            .Expect("SYST", "215 UNIX Type: L8")
            .Expect("SIZE /half.bin", c.sizeReply)
            .OpenPassive()
            .Expect("PASV", "227 Entering Passive Mode ({pasv})")
            .Expect("RETR /half.bin", "150 here")
            .SendData(std::string(131072, 'x'))
            .Reply("226 done")
            .GoSilent();
        s.SetStepTimeout(10s);
        s.Start();
        EngineHarness h;
        TTaskListView view;
        view.resize(900, 200);
        view.show();
        view.SetWorker(h.Worker.get());
        QString lastText;
        QImage lastCell;
        h.Worker->OnConnected = [&] { h.Events.push_back("Connected"); }; // queues no listing
        h.Worker->OnTaskAdded = [&](const TTaskPtr& t) { view.TaskAdded(t); };
        h.Worker->OnTaskDone = [&](const TTaskPtr& t) { view.TaskDone(t); };
        h.Worker->OnProgress = [&] {
            view.Progress();
            lastText = view.Row(1)->text(1) + " " + view.Row(1)->text(2);
            lastCell = CellOf(view, 1);
        };
        ASSERT_TRUE(h.Connect("127.0.0.1", s.Port(), "u", "p"));
        view.PopupMenu3Popup();
        EXPECT_TRUE(view.AbortAll1->isEnabled());
        EXPECT_FALSE(view.Abort1->isEnabled()); // nothing selected

        TFTPFileInfo info;
        info.Name = "half.bin";
        info.FullPath = "/half.bin";
        h.Worker->AddGet(&info, h.Platform.Folder.Path() + "/half.bin");
        ASSERT_TRUE(h.RunUntilIdle(20s));
        EXPECT_TRUE(lastText.startsWith(c.during) && lastText.endsWith(" KB/s")) << lastText.toStdString();
        if (std::string(c.during) == "50% ")
            ExpectHalfBar(lastCell);
        EXPECT_EQ(view.Row(0)->text(1), "Completed");
        EXPECT_EQ(view.Row(1)->text(1), c.after);
        EXPECT_TRUE(s.Failures().empty()) << s.Failures().front();
    }
}
