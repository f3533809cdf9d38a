#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScrollBar>

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "GuiSupport.h"
#include "app/About_Form.h"
#include "app/Forms.h"
#include "app/MainForm.h"
#include "sites/SiteList.h"
#include "sites/ui/SiteBox.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

void DragHandle(QSplitter* splitter, QPoint delta)
{
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint c = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, c);
    QMouseEvent move(QEvent::MouseMove, QPointF(c + delta), handle->mapToGlobal(QPointF(c + delta)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(handle, &move);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, c + delta);
    QCoreApplication::processEvents();
}

class MainWindow : public ::testing::Test {
protected:
    TempDir app;
    TempDir tmp;
};

} // namespace

TEST_F(MainWindow, FirstStartWithoutSiteFile)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    EXPECT_EQ(w.windowTitle(), "Quillmoor Ferrystar v1.0");
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(w.StatusPanel1->text(), "Not connected");
    EXPECT_FALSE(w.Button1->isEnabled());
    EXPECT_FALSE(w.Button2->isEnabled());
    EXPECT_EQ(w.ReportPanel->height(), w.ReportPanelMinimumHeight());
    EXPECT_EQ(w.LocalPanel->width(), 353);
    EXPECT_EQ(w.SiteData.Sites.Count(), 0);
    EXPECT_EQ(w.CurrentSite, -1);
    EXPECT_TRUE(w.DisconnectNoticed);
    // FTPtemp lives in this program's own run folder below the per-user folder.
    const fs::path temp(w.TempFolder);
    EXPECT_EQ(temp.filename(), "FTPtemp");
    EXPECT_EQ(temp.parent_path().parent_path(), tmp.Path() + "/ferrystar-" + std::to_string(::geteuid()));
    EXPECT_EQ(temp.parent_path().filename().string().rfind("run-" + std::to_string(::getpid()) + "-", 0), 0u);
    EXPECT_TRUE(fs::is_directory(w.TempFolder));
    EXPECT_EQ(w.SpeedButton4->toolTip(), "Maximize this panel");
    EXPECT_EQ(w.SpeedButton4->geometry().right(), w.Panel1->width() - 1);
    run.Close();
    EXPECT_EQ(fs::file_size(app.Path() + "/servers.sit"), 784u);
}

TEST_F(MainWindow, MenusHoldEveryItemInOrder)
{
    ProgramRun run(app.Path(), tmp.Path());
    QStringList seen;
    for (QAction* top : run.main().menuBar()->actions()) {
        seen << top->text() + ":";
        for (QAction* a : top->menu()->actions())
            seen << (a->isSeparator() ? QStringLiteral("-") : a->text());
    }
    // Each caption carries a mnemonic of its own within its menu: Alt+F, Alt+A, Alt+H open them.
    for (QString& caption : seen) {
        EXPECT_TRUE(caption == "-" || caption.count('&') == 1) << caption.toStdString();
        caption.remove('&');
    }
    EXPECT_EQ(seen.join('|').toStdString(),
              "File:|Servers|Proxy Setup|-|Exit|Actions:|Connect|Disconnect|-|Upload|Download|Open|Delete|"
              "Rename|Permissions|Image Preview|-|Up One Folder|Change Folder|Make Folder|-|Refresh|Help:|"
              "Online Help|About");
}

TEST_F(MainWindow, SplitterPositionsSurviveARestart)
{
    uint32_t width = 0, height = 0;
    {
        ProgramRun run(app.Path(), tmp.Path());
        DragHandle(run.main().Splitter1, {120, 0});
        DragHandle(run.main().Splitter2, {0, -150});
        width = run.main().LocalPanelWidth;
        height = run.main().ReportPanelHeight;
        EXPECT_EQ(width, static_cast<uint32_t>(run.main().LocalPanel->width()));
        EXPECT_GT(width, 353u + 100);
        EXPECT_GT(height, static_cast<uint32_t>(run.main().ReportPanelMinimumHeight() + 100));
    }
    ProgramRun again(app.Path(), tmp.Path());
    EXPECT_EQ(again.main().LocalPanel->width(), static_cast<int>(width));
    EXPECT_EQ(again.main().ReportPanel->height(), static_cast<int>(height));
}

TEST_F(MainWindow, MaximisedReportPanelSavesTheHeightBeforeMaximising)
{
    uint32_t before = 0;
    {
        ProgramRun run(app.Path(), tmp.Path());
        TMainFrm& w = run.main();
        DragHandle(w.Splitter2, {0, -100});
        before = static_cast<uint32_t>(w.ReportPanel->height());
        QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_TRUE(w.ReportPanelMaximized());
        EXPECT_FALSE(w.LocalPanel->isVisible());
        EXPECT_FALSE(w.FTPPanel->isVisible());
        EXPECT_GT(w.ReportPanel->height(), static_cast<int>(before));
        EXPECT_EQ(w.SpeedButton4->toolTip(), "Minimize this panel");
        EXPECT_EQ(w.SpeedButton4->geometry().right(), w.Panel1->width() - 1);
    }
    TSiteFileData saved;
    LoadSites(app.Path() + "/servers.sit", saved);
    EXPECT_EQ(saved.ReportPanelHeight, static_cast<int32_t>(before));

    ProgramRun again(app.Path(), tmp.Path());
    TMainFrm& w = again.main();
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QTest::mouseClick(w.SpeedButton4, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.ReportPanelMaximized());
    EXPECT_TRUE(w.LocalPanel->isVisible());
    EXPECT_EQ(w.ReportPanel->height(), static_cast<int>(before));
    EXPECT_EQ(w.SpeedButton4->toolTip(), "Maximize this panel");
}

TEST_F(MainWindow, ClosingRemovesTheTemporaryFolderAndWritesTheLog)
{
    std::string temp;
    {
        ProgramRun run(app.Path(), tmp.Path());
        TMainFrm& w = run.main();
        temp = w.TempFolder;
        fs::create_directories(temp + "/sub");
        std::ofstream(temp + "/sub/preview.jpg") << "jpeg";
        w.AppendLog("Connecting to example");
        w.AppendLog(">> USER anonymous");
        w.AppendLog("");
        w.AppendLog("<< 230 Login successful.");
        run.Close();
        EXPECT_FALSE(fs::exists(temp));
    }
    QFile log(QString::fromStdString(app.Path() + "/log.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().toStdString(),
              "Connecting to example\n>> USER anonymous\n\n<< 230 Login successful.\n");
}

// A transfer's lines arrive while the Tasks page is shown: back on the Log page, the newest line
// is in view. A user who scrolled up to read keeps the place.
TEST_F(MainWindow, TheLogShowsItsNewestLineUnlessTheUserScrolledAway)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    QScrollBar* bar = w.Log->verticalScrollBar();
    w.PageControl1->setCurrentIndex(1);
    for (int i = 0; i < 300; ++i)
        w.AppendLog(QStringLiteral(">> STOR file%1").arg(i));
    w.PageControl1->setCurrentIndex(0);
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(10);
    for (int i = 0; i < 20; ++i)
        w.AppendLog(QStringLiteral("<< 226 Transfer complete."));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 10);

    bar->setValue(bar->maximum());
    w.AppendLog(QStringLiteral(">> QUIT"));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(MainWindow, SavedSitesFillTheServerBox)
{
    TSiteFileData data;
    data.Sites.Add(SiteRecord::NewSite("alpha.example"));
    data.Sites.Add(SiteRecord::NewSite("beta.example"));
    SaveSites(app.Path() + "/servers.sit", data);
    ProgramRun run(app.Path(), tmp.Path());
    ASSERT_EQ(run.main().ComboBox1->count(), 3);
    EXPECT_EQ(run.main().ComboBox1->itemText(0), "<new>");
    EXPECT_EQ(run.main().ComboBox1->itemText(2), "beta.example");
}

TEST_F(MainWindow, AboutBoxDisablesTheWindowUntilItsPictureIsClicked)
{
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    w.About1->trigger();
    TAboutForm* about = Forms::About();
    ASSERT_TRUE(about->isVisible());
    EXPECT_EQ(about->size(), QSize(500, 225));
    EXPECT_TRUE(about->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(w.isEnabled());
    const QImage picture = about->Image1->pixmap().toImage();
    ASSERT_EQ(picture.size(), QSize(500, 225)); // decoded from the JPEG
    QTest::mouseClick(about->Image1, Qt::LeftButton);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_FALSE(about->isVisible());
}
