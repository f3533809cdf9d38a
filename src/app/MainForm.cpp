#include "app/MainForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include "app/About_Form.h"
#include "app/Forms.h"
#include "app/Questions.h"
#include "engine/ui/TaskListView.h"
#include "panes/RemotePane.h"
#include "platform/ShellFileOp.h"
#include "rtl/AppFolders.h"
#include "rtl/Exception.h"
#include "rtl/TempFolder.h"
#include "sites/ui/SiteBox.h"

TMainFrm::TMainFrm(const std::string& appFolder, const std::string& stateFolder)
    : Platform(stateFolder.empty() ? appFolder : stateFolder)
{
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(QStringLiteral("Quillmoor Ferrystar v1.0"));
    resize(1000, 700);
    BuildLayout();
    Panel1->installEventFilter(this);
    connect(SpeedButton4, &QToolButton::clicked, this, &TMainFrm::SpeedButton4Click);
    connect(Splitter1, &QSplitter::splitterMoved, this, &TMainFrm::Splitter1Moved);
    connect(Splitter2, &QSplitter::splitterMoved, this, &TMainFrm::Splitter2Moved);
    Timer1 = new QTimer(this);
    Timer1->setInterval(20000);
    connect(Timer1, &QTimer::timeout, this, &TMainFrm::Timer1Timer);
    Timer1->start();
    ConnectBarSignals();
    AppFolder = appFolder;
    StateFolder = stateFolder.empty() ? appFolder : stateFolder;
    FormCreate();
}

// FormDestroy: freeing the worker ends its thread, which writes "err.txt".
TMainFrm::~TMainFrm()
{
    ListView2->SetWorker(nullptr);
    Worker.reset();
}

void TMainFrm::FormCreate()
{
    ConnectedItemIndex = -1;
    DisconnectNoticed = true;
    // The site list is a member.
    CreateWorker();
    try {
        TempFolder = PrepareTempFolder();
    } catch (const Exception& e) {
        // Without a temporary folder the rest of start-up is skipped, and so is every save at
        // close: an empty site list must never overwrite the user's saved sites.
        StartupFailed = true;
        ReportError(QString::fromLocal8Bit(e.Message()));
        return;
    }
    for (std::string* folder : {&AppFolder, &StateFolder})
        if (!folder->empty() && folder->back() != '/')
            *folder += '/';
    Platform.SetAppFolder(StateFolder);
    Platform.SetConfigFolder(AppFolder);
    try {
        LoadSites(SiteFilePath(AppFolder), SiteData);
    } catch (const Exception& e) {
        ReportError(QString::fromLocal8Bit(e.Message()));
    }
    LocalPanelWidth = static_cast<uint32_t>(SiteData.LocalPanelWidth);
    ReportPanelHeight = static_cast<uint32_t>(SiteData.ReportPanelHeight);
    FillSiteBox();
    ApplyLayoutSizes();
    CurrentSite = -1;
    FormResize();
}

void TMainFrm::ReportError(const QString& text)
{
    if (isVisible() || QApplication::activeModalWidget() == nullptr)
        Questions::Error(this, text);
}

void TMainFrm::FillSiteBox()
{
    // The entry and the text the user sees stay as they were.
    const int index = ComboBox1->currentIndex();
    const QString text = ComboBox1->currentText();
    const QSignalBlocker quiet(ComboBox1);
    ComboBox1->clear();
    ComboBox1->addItem(QStringLiteral("<new>"));
    for (int i = 0; i < SiteData.Sites.Count(); ++i)
        ComboBox1->addItem(QString::fromLocal8Bit(SiteData.Sites.Get(i).HostName.Str()));
    ComboBox1->setCurrentIndex(index < ComboBox1->count() ? index : -1);
    ComboBox1->setEditText(text);
}

int TMainFrm::ReportPanelMinimumHeight() const
{
    return ReportPanel->minimumSizeHint().height();
}

// The saved sizes need the real window size, so they are applied again once it is shown.
void TMainFrm::ApplyLayoutSizes()
{
    if (FReportMaximized)
        return;
    QList<int> sizes = Splitter1->sizes();
    if (LocalPanelWidth != 0 && sizes.size() == 2) {
        const int total = sizes[0] + sizes[1];
        const int local = static_cast<int>(std::min<uint32_t>(LocalPanelWidth, 1u << 20));
        Splitter1->setSizes({local, std::max(total - local, 1)});
    } else if (!FLayoutApplied && sizes.size() == 2) {
        const int total = sizes[0] + sizes[1];
        Splitter1->setSizes({353, std::max(total - 353, 1)});
    }
    sizes = Splitter2->sizes();
    const int total = sizes.size() == 2 ? sizes[0] + sizes[1] : 0;
    const int report = std::max(ReportPanelMinimumHeight(),
                                static_cast<int>(std::min<uint32_t>(ReportPanelHeight, 1u << 20)));
    Splitter2->setSizes({std::max(total - report, 1), report});
}

void TMainFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!FLayoutApplied) {
        ApplyLayoutSizes();
        FLayoutApplied = true;
    }
}

void TMainFrm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

bool TMainFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Panel1 && event->type() == QEvent::Resize)
        FormResize();
    if (event->type() == QEvent::FocusOut) {
        // Focus taken by the box's own list or by a question box is not leaving the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            if (watched == static_cast<QObject*>(ComboBox1))
                ComboBox1Exit();
            else if (auto* field = qobject_cast<QLineEdit*>(watched))
                FieldExit(field);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFrm::FormResize()
{
    SpeedButton4->move(Panel1->width() - SpeedButton4->width(), 0);
}

void TMainFrm::Splitter1Moved()
{
    LocalPanelWidth = static_cast<uint32_t>(LocalPanel->width());
}

void TMainFrm::Splitter2Moved()
{
    ReportPanelHeight = static_cast<uint32_t>(ReportPanel->height());
}

void TMainFrm::SpeedButton4Click()
{
    if (!FReportMaximized) {
        ReportPanelHeight = static_cast<uint32_t>(ReportPanel->height());
        Splitter1->hide();
        FReportMaximized = true;
        SpeedButton4->setIcon(SpeedButton4Icon(1));
        SpeedButton4->setToolTip(QStringLiteral("Minimize this panel"));
    } else {
        Splitter1->show();
        FReportMaximized = false;
        ApplyLayoutSizes();
        SpeedButton4->setIcon(SpeedButton4Icon(0));
        SpeedButton4->setToolTip(QStringLiteral("Maximize this panel"));
    }
    FormResize();
}

void TMainFrm::About1Click()
{
    Forms::About()->ShowOver(this);
}

void TMainFrm::OnlineHelp1Click()
{
    const QString page = QString::fromLocal8Bit(HelpPagePath(ExecutableFolder()));
    // A desktop without a handler for the page must not leave the user with no answer.
    if (!QFileInfo::exists(page))
        Questions::Error(this, QStringLiteral("The help page %1 does not exist.").arg(page));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page)))
        Questions::Error(this,
                         QStringLiteral("No program could be found to open the help page %1.").arg(page));
}

void TMainFrm::Exit1Click()
{
    close();
}

void TMainFrm::AppendLog(const QString& line)
{
    Log->appendPlainText(line);
}

// The page keeps showing the newest line unless the user scrolled away from it, also for lines
// added while another page was shown (a hidden page learns its new length only when shown).
void TMainFrm::FollowLogEnd()
{
    QScrollBar* bar = Log->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar] {
        if (FLogFollowsEnd)
            bar->setValue(bar->maximum());
    });
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (Log->isVisible())
            FLogFollowsEnd = value >= bar->maximum();
    });
}

bool TMainFrm::FormCloseQuery()
{
    return CheckDisconnect();
}

void TMainFrm::SaveSiteFile()
{
    SiteData.LocalPanelWidth = static_cast<int32_t>(LocalPanelWidth);
    SiteData.ReportPanelHeight = static_cast<int32_t>(ReportPanelHeight);
    try {
        SaveSites(SiteFilePath(AppFolder), SiteData);
    } catch (const Exception& e) {
        ReportError(QString::fromLocal8Bit(e.Message()));
    }
}

void TMainFrm::FormClose()
{
    // The About box is a window of its own: left open, it would keep the program running.
    if (TAboutForm* about = Forms::About(); about != nullptr && about->isVisible())
        about->Image1Click();
    if (!TempFolder.empty())
        ShellFileOp(QString::fromLocal8Bit(TempFolder), QString(), foDelete, fofSilent | fofNoConfirmation);
    ReleaseTempFolder();
    Worker->Stop();
    if (StartupFailed)
        return;
    SaveSiteFile();
    SaveLogFile();
}

void TMainFrm::SaveLogFile()
{
    QFile log(QString::fromLocal8Bit(StateFolder) + QStringLiteral("log.txt"));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        ReportError(QStringLiteral("Cannot create file \"%1\". %2").arg(log.fileName(), log.errorString()));
        return;
    }
    QByteArray bytes = Log->toPlainText().toLocal8Bit();
    if (!bytes.isEmpty())
        bytes += '\n';
    // A full disk shows only when the buffer is written out.
    if (log.write(bytes) != bytes.size() || !log.flush())
        ReportError(QStringLiteral("Cannot write file \"%1\". %2").arg(log.fileName(), log.errorString()));
}

void TMainFrm::closeEvent(QCloseEvent* event)
{
    if (FClosed) {
        event->accept();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FClosed = true;
    FormClose();
    event->accept();
}
