// The preview page: which files it offers, how a picture is fitted or dragged, the JPEG decoder
// on damaged files, and the drops and downloads that bring a remote picture.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "GuiSupport.h"
#include "app/MainForm.h"
#include "engine/ui/TaskListView.h"
#include "panes/RemotePane.h"
#include "preview/ImageFiles.h"
#include "preview/ImagePreview.h"
#include "preview/JpegDecoder.h"
#include "support/TempDir.h"

namespace {

QByteArray AboutJpeg()
{
    QFile f(QStringLiteral(":/about.jpg"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The width and height of the first frame header.
QByteArray WithSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
            jpeg[i + 5] = char(height >> 8), jpeg[i + 6] = char(height & 0xFF);
            jpeg[i + 7] = char(width >> 8), jpeg[i + 8] = char(width & 0xFF);
            break;
        }
    }
    return jpeg;
}

// The page alone, its paint box made exactly the size asked.
void SizePaintBox(TImagePreview& page, QSize size)
{
    page.resize(size + QSize(300, 40));
    page.show();
    QCoreApplication::processEvents();
    page.resize(page.size() + size - page.PaintBox1->size());
    QCoreApplication::processEvents();
}

QString SavedPicture(const TempDir& dir, const char* name, QSize size)
{
    const QString path = QString::fromStdString(dir.Path()) + QLatin1Char('/') + QLatin1String(name);
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    picture.save(path);
    return path;
}

void Drag(QWidget* target, QPoint at, int buttons = 0)
{
    QMouseEvent move(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton,
                     buttons ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

} // namespace

TEST(ImageFiles, OfferedExtensions)
{
    const std::pair<const char*, bool> names[] = {
        {"a.jpg", true},     {"B.JPEG", true},     {"c.gif", true},  {"d.Tif", true},
        {"e.wmf", true},     {"f.jfif", true},     {"g.txt", false}, {"jpg", false},
        {"h.jpg.gz", false}, {"dir.jpg/x", false}, {"", false},
    };
    for (const auto& [name, offered] : names)
        EXPECT_EQ(IsImageFile(std::string_view(name)), offered) << name;
}

TEST(JpegDecoder, DamagedFilesGiveTheirReasonAndNoPicture)
{
    const QByteArray good = AboutJpeg();
    ASSERT_FALSE(good.isEmpty());
    QByteArray corrupt = good;
    for (qsizetype i = good.size() / 3; i < good.size() / 3 + 64; ++i)
        corrupt[i] = char(0xFF); // markers where entropy-coded data should be
    QByteArray badHeader = good;
    badHeader[1] = 'x';
    const struct {
        const char* what;
        QByteArray bytes;
        const char* reason; // empty: decodes
    } cases[] = {
        {"whole", good, ""},
        {"empty", QByteArray(), "Empty JPEG data"},
        {"not a JPEG", badHeader, "Not a JPEG file"},
        {"only the header", good.left(120), "JPEG"},
        {"cut in half", good.left(good.size() / 2), "Premature end of JPEG file"},
        {"cut before the end marker", good.left(good.size() - 2), ""},
        {"huge frame", WithSize(good, 30000, 30000), "too large"},
        {"zero width", WithSize(good, 0, 225), "JPEG"},
    };
    for (const auto& c : cases) {
        QString error;
        const QImage image = DecodeJpeg(c.bytes, &error);
        if (*c.reason == 0) {
            EXPECT_FALSE(image.isNull()) << c.what << ": " << error.toStdString();
        } else {
            EXPECT_TRUE(image.isNull()) << c.what;
            EXPECT_TRUE(error.contains(QLatin1String(c.reason), Qt::CaseInsensitive))
                << c.what << ": " << error.toStdString();
        }
    }
    QString error;
    DecodeJpeg(corrupt, &error); // decodes with grey or fails, never crashes
}

TEST(ImagePreview, StretchFitsTheHeightWithTheAspectKept)
{
    TempDir dir;
    TImagePreview page;
    SizePaintBox(page, QSize(900, 400));
    ASSERT_TRUE(page.ShowImage(SavedPicture(dir, "wide.bmp", QSize(800, 600))));
    EXPECT_EQ(page.Label6->text(), QStringLiteral("800x600"));
    EXPECT_EQ(page.PictureRect(), QRect(0, 0, 533, 400));
    EXPECT_TRUE(page.ScrollBar1->isHidden());
    EXPECT_TRUE(page.ScrollBar2->isHidden());
}

TEST(ImagePreview, NaturalSizeDragStopsAtTheEdges)
{
    TempDir dir;
    TImagePreview page;
    SizePaintBox(page, QSize(300, 200));
    page.CheckBox2->setChecked(false);
    ASSERT_TRUE(page.ShowImage(SavedPicture(dir, "big.bmp", QSize(800, 600))));
    ASSERT_TRUE(page.ScrollBar1->isVisible());
    ASSERT_TRUE(page.ScrollBar2->isVisible());
    EXPECT_FALSE(page.ScrollBar1->isEnabled());
    QWidget* box = page.PaintBox1;
    const QSize area = box->size();
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(150, 100));
    Drag(box, QPoint(140, 95), 1);
    EXPECT_EQ(page.PictureRect().topLeft(), QPoint(-10, -5));
    EXPECT_EQ(page.ScrollBar2->value(), 10);
    Drag(box, QPoint(-5000, -5000), 1); // far past the bottom-right edge
    EXPECT_EQ(page.PictureRect().topLeft(), QPoint(area.width() - 800, area.height() - 600));
    Drag(box, QPoint(5000, 5000), 1); // and back past the top-left corner
    EXPECT_EQ(page.PictureRect().topLeft(), QPoint(0, 0));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(5000, 5000));
    EXPECT_FALSE(page.dragging);

    // A picture smaller than the area has no bars and does not move.
    ASSERT_TRUE(page.ShowImage(SavedPicture(dir, "small.bmp", QSize(50, 40))));
    EXPECT_TRUE(page.ScrollBar1->isHidden());
    EXPECT_TRUE(page.ScrollBar2->isHidden());
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(10, 10));
    Drag(box, QPoint(60, 60), 1);
    EXPECT_EQ(page.PictureRect().topLeft(), QPoint(0, 0));
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(60, 60));
}

namespace {

void AddRemoteRow(TMainFrm& w, const std::string& name)
{
    auto* row = new TRemoteRow;
    row->Info = std::make_unique<TFTPFileInfo>();
    row->Info->Name = name;
    row->Info->FullPath = "/pub/" + name;
    w.ListView1->clear();
    w.ListView1->addTopLevelItem(row);
    row->setSelected(true);
}

// A drag entered, then moved or dropped at the same place, as a real drag arrives.
bool DragAccepted(QWidget* target, QPoint at, QEvent::Type type = QEvent::DragMove)
{
    QMimeData mime;
    mime.setData(QString::fromLatin1(kRemoteEntriesMime), "x\n");
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    if (type == QEvent::Drop) {
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    return move.isAccepted();
}

} // namespace

TEST(ImagePreviewDrops, ARemotePictureIsTakenOnlyOverThePreview)
{
    TempDir app, tmp;
    ProgramRun run(app.Path(), tmp.Path());
    ScriptedAnswers answers;
    TMainFrm& w = run.main();
    QTabBar* tabs = w.PageControl1->tabBar();
    const QPoint previewTab = tabs->tabRect(2).center(), tasksTab = tabs->tabRect(1).center();

    AddRemoteRow(w, "notes.txt");
    EXPECT_FALSE(DragAccepted(tabs, previewTab));
    EXPECT_FALSE(DragAccepted(w.ImagePreview, QPoint(5, 5)));
    AddRemoteRow(w, "anim.gif");
    EXPECT_TRUE(DragAccepted(tabs, previewTab));
    EXPECT_FALSE(DragAccepted(tabs, tasksTab));
    EXPECT_TRUE(DragAccepted(w.ImagePreview, QPoint(5, 5)));

    // A name that would land outside the temporary folder is refused before anything is queued.
    AddRemoteRow(w, "../escape.gif");
    w.PageControl1->setCurrentIndex(1);
    EXPECT_TRUE(DragAccepted(tabs, previewTab, QEvent::Drop));
    EXPECT_EQ(w.PageControl1->currentWidget(), w.ImagePreview);
    ASSERT_EQ(answers.Messages.size(), 1);
    EXPECT_TRUE(answers.Messages[0].contains(QStringLiteral("not a plain file name")));
}

TEST(ImagePreviewDrops, AnyDownloadedPictureIsShown)
{
    TempDir app, tmp, folder;
    ProgramRun run(app.Path(), tmp.Path());
    TMainFrm& w = run.main();
    const struct {
        const char* name;
        bool shown;
    } cases[] = {{"plain.bmp", true}, {"readme.txt", false}};
    for (const auto& c : cases) {
        const QString path = SavedPicture(folder, c.name, QSize(30, 20));
        w.PageControl1->setCurrentIndex(1);
        const auto task = std::make_shared<TFTPTask>();
        task->Destination = path.toStdString();
        w.Worker->OnDownloaded(task);
        EXPECT_EQ(w.PageControl1->currentWidget() == w.ImagePreview, c.shown) << c.name;
    }
    EXPECT_EQ(w.ImagePreview->Label6->text(), QStringLiteral("30x20"));
}
