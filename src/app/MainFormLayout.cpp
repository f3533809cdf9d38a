// The main window's controls and menus, as laid out at design time.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/MainForm.h"
#include "engine/ui/TaskListView.h"
#include "panes/LocalPane.h"
#include "panes/RemotePane.h"
#include "platform/Icons.h"
#include "preview/ImagePreview.h"
#include "preview/PreviewHookup.h"
#include "sites/ui/SiteBox.h"

namespace {

// The design sized the bar for a 13 px high font; a larger font or screen font grows it in step.
int Scaled(const QWidget* w, int designPx)
{
    const double factor = std::max(1.0, w->fontMetrics().height() / 13.0);
    return static_cast<int>(designPx * factor + 0.5);
}

// A caption above its control in the bar's grid.
void AddLabelled(QGridLayout* grid, int column, const char* caption, QWidget* control)
{
    auto* label = new QLabel(QString::fromLatin1(caption), control->parentWidget());
    label->setBuddy(control);
    grid->addWidget(label, 0, column);
    grid->addWidget(control, 1, column);
}

// A control takes its design width when there is room and gives up to a third of it on a
// narrow window (a laptop at 200 %), never less than its content needs.
void SizeLikeDesign(QWidget* control, int designWidth, int contentWidth = 0)
{
    const int full = Scaled(control, designWidth);
    control->setMaximumWidth(std::max(full, contentWidth));
    control->setMinimumWidth(std::max(full * 2 / 3, contentWidth));
    control->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QLineEdit* LabeledEdit(QWidget* parent, const char* name, int width, const char* hint)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    SizeLikeDesign(edit, width);
    edit->setToolTip(QString::fromLatin1(hint));
    return edit;
}

QPushButton* BarButton(QWidget* parent, const char* name, const char* caption, const char* hint)
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumSize(std::max(Scaled(b, 75), b->sizeHint().width()), Scaled(b, 41));
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    b->setToolTip(QString::fromLatin1(hint));
    b->setEnabled(false);
    return b;
}

} // namespace

// ImageList2: 12 x 12 pictures of the report panel's button, 0 maximise and 1 minimise.
QIcon SpeedButton4Icon(int index)
{
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::black);
    if (index == 0) {
        p.drawRect(1, 1, 9, 9);
        p.fillRect(1, 1, 10, 3, Qt::black);
    } else {
        p.fillRect(2, 8, 8, 3, Qt::black);
    }
    return QIcon(pm);
}

void TMainFrm::BuildConnectPanel()
{
    ConnectPanel = new QWidget(this);
    ConnectPanel->setObjectName(QStringLiteral("ConnectPanel"));
    ConnectPanel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* grid = new QGridLayout(ConnectPanel);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(2);
    ComboBox1 = new TSiteBox(ConnectPanel);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    SizeLikeDesign(ComboBox1, 145);
    ComboBox1->setToolTip(QStringLiteral("The site's URL"));
    AddLabelled(grid, 0, "&Server", ComboBox1);
    LabeledEdit2 = LabeledEdit(ConnectPanel, "LabeledEdit2", 121, "Your login name");
    AddLabelled(grid, 1, "&User", LabeledEdit2);
    LabeledEdit3 = LabeledEdit(ConnectPanel, "LabeledEdit3", 121, "Your login password");
    LabeledEdit3->setEchoMode(QLineEdit::Password);
    AddLabelled(grid, 2, "Pass&word", LabeledEdit3);
    LabeledEdit4 = LabeledEdit(ConnectPanel, "LabeledEdit4", 33, "Connection port (usually 21)");
    LabeledEdit4->setText(QStringLiteral("21"));
    // Every port, 1 to 65535, shows whole: the digits, the edit's inner margins, its frame and
    // room for the cursor.
    const QMargins margins = LabeledEdit4->textMargins();
    const int frame = LabeledEdit4->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, LabeledEdit4);
    SizeLikeDesign(LabeledEdit4, 33,
                   LabeledEdit4->fontMetrics().horizontalAdvance(QStringLiteral("65535")) + 2 * frame + 4 +
                       margins.left() + margins.right() + 6);
    AddLabelled(grid, 3, "P&ort", LabeledEdit4);
    CheckBox1 = new QCheckBox(QStringLiteral("Passive"), ConnectPanel);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setToolTip(QStringLiteral("Set passive mode connection"));
    grid->addWidget(CheckBox1, 1, 4);
    ComboBox2 = new QComboBox(ConnectPanel);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems({QStringLiteral("Auto"), QStringLiteral("ASCII"), QStringLiteral("Binary")});
    SizeLikeDesign(ComboBox2, 113, ComboBox2->minimumSizeHint().width());
    ComboBox2->setToolTip(QStringLiteral("Selects between binary or text mode"));
    AddLabelled(grid, 5, "&Transfer Type", ComboBox2);
    Button1 = BarButton(ConnectPanel, "Button1", "Connect", "Connect to server");
    Button2 = BarButton(ConnectPanel, "Button2", "Disconnect", "Disconnect from server");
    grid->addWidget(Button1, 0, 6, 2, 1);
    grid->addWidget(Button2, 0, 7, 2, 1);
    grid->setColumnStretch(8, 1);
    QWidget* order[] = {ComboBox1, LabeledEdit2, LabeledEdit3, LabeledEdit4,
                        CheckBox1, ComboBox2,    Button1,      Button2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TMainFrm::BuildReportPanel()
{
    ReportPanel = new QWidget;
    ReportPanel->setObjectName(QStringLiteral("ReportPanel"));
    auto* layout = new QVBoxLayout(ReportPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel1 = new QWidget(ReportPanel);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    Panel1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, QColor(166, 202, 240)); // sky blue
    Panel1->setPalette(pal);
    auto* title = new QLabel(QStringLiteral("Report Panel"), Panel1);
    title->setObjectName(QStringLiteral("Label1"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    SpeedButton4 = new QToolButton(Panel1);
    SpeedButton4->setObjectName(QStringLiteral("SpeedButton4"));
    SpeedButton4->setFixedSize(18, 18);
    SpeedButton4->setAutoRaise(true);
    SpeedButton4->setIcon(SpeedButton4Icon(0));
    SpeedButton4->setToolTip(QStringLiteral("Maximize this panel"));
    // The strip is 19 px high at the design font and grows with the title's font.
    auto* strip = new QHBoxLayout(Panel1);
    strip->setContentsMargins(6, 0, 0, 0);
    strip->addWidget(title);
    strip->addStretch();
    strip->addWidget(SpeedButton4);
    Panel1->setMinimumHeight(std::max(19, title->sizeHint().height() + 2));
    layout->addWidget(Panel1);

    PageControl1 = new QTabWidget(ReportPanel);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    Log = new QPlainTextEdit;
    Log->setObjectName(QStringLiteral("Log"));
    Log->setReadOnly(true);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PageControl1->addTab(Log, QStringLiteral("Log"));
    FollowLogEnd();
    PageControl1->setTabToolTip(0, QStringLiteral("FTP Activity Log"));
    ListView2 = new TTaskListView;
    PageControl1->addTab(ListView2, QStringLiteral("Tasks"));
    PageControl1->setTabToolTip(1, QStringLiteral("Queue of FTP operations"));
    ImagePreview = new TImagePreview;
    PageControl1->addTab(ImagePreview, QStringLiteral("Image Preview"));
    PageControl1->setTabToolTip(2, QStringLiteral("Drag your images here"));
    // The page area never gets lower than 110 px.
    PageControl1->setMinimumHeight(PageControl1->tabBar()->sizeHint().height() + 110);
    layout->addWidget(PageControl1, 1);

    StatusBar1 = new QStatusBar(ReportPanel);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel;
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(Scaled(StatusPanel0, 300));
    StatusPanel1 = new QLabel(QStringLiteral("Not connected"));
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    layout->addWidget(StatusBar1);
}

void TMainFrm::BuildMenus()
{
    auto add = [this](QMenu* menu, const char* text, bool enabled, const char* icon,
                      QStyle::StandardPixmap fallback) {
        QAction* a = menu->addAction(ThemeIcon(icon, fallback), QString::fromLatin1(text));
        a->setEnabled(enabled);
        return a;
    };
    using S = QStyle;
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    Servers1 = add(file, "&Servers", true, "network-server", S::SP_DriveNetIcon);
    ProxySetup1 = add(file, "&Proxy Setup", true, "preferences-system-network", S::SP_ComputerIcon);
    file->addSeparator();
    Exit1 = add(file, "E&xit", true, "application-exit", S::SP_DialogCloseButton);

    QMenu* actions = menuBar()->addMenu(QStringLiteral("&Actions"));
    actions->setObjectName(QStringLiteral("Actions1"));
    Connect1 = add(actions, "&Connect", false, "network-wired", S::SP_DriveNetIcon);
    Disconnect1 = add(actions, "&Disconnect", false, "network-offline", S::SP_BrowserStop);
    actions->addSeparator();
    Upload2 = add(actions, "&Upload", false, "go-up", S::SP_ArrowUp);
    Download1 = add(actions, "Do&wnload", false, "go-down", S::SP_ArrowDown);
    Open3 = add(actions, "&Open", false, "document-open", S::SP_DialogOpenButton);
    Delete4 = add(actions, "D&elete", false, "edit-delete", S::SP_TrashIcon);
    Rename1 = add(actions, "&Rename", false, "edit-rename", S::SP_FileDialogDetailedView);
    Permissions2 = add(actions, "&Permissions", false, "document-properties", S::SP_FileDialogInfoView);
    ImagePreview2 = add(actions, "&Image Preview", false, "image-x-generic", S::SP_FileDialogContentsView);
    actions->addSeparator();
    UpOneFolder1 = add(actions, "Up One Fo&lder", false, "go-up", S::SP_FileDialogToParent);
    Changefolder1 = add(actions, "C&hange Folder", false, "go-jump", S::SP_DirOpenIcon);
    MakeFolder1 = add(actions, "&Make Folder", false, "folder-new", S::SP_FileDialogNewFolder);
    actions->addSeparator();
    Refresh3 = add(actions, "Re&fresh", false, "view-refresh", S::SP_BrowserReload);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    OnlineHelp1 = add(help, "&Online Help", true, "help-contents", S::SP_DialogHelpButton);
    About1 = add(help, "&About", true, "help-about", S::SP_MessageBoxInformation);

    connect(Exit1, &QAction::triggered, this, &TMainFrm::Exit1Click);
    connect(Servers1, &QAction::triggered, this, &TMainFrm::Servers1Click);
    connect(ProxySetup1, &QAction::triggered, this, &TMainFrm::ProxySetup1Click);
    connect(Connect1, &QAction::triggered, this, &TMainFrm::ConnectSelectedSite);
    connect(Disconnect1, &QAction::triggered, this, &TMainFrm::Button2Click);
    connect(actions, &QMenu::aboutToShow, this, &TMainFrm::Actions1Click);
    connect(OnlineHelp1, &QAction::triggered, this, &TMainFrm::OnlineHelp1Click);
    connect(About1, &QAction::triggered, this, &TMainFrm::About1Click);
}

void TMainFrm::BuildLayout()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildConnectPanel();
    layout->addWidget(ConnectPanel);

    LocalPanel = new QWidget;
    LocalPanel->setObjectName(QStringLiteral("LocalPanel"));
    LocalPanel->setMinimumWidth(50);
    LocalPane = new TLocalPane(*this, LocalPanel);
    FTPPanel = new QWidget;
    FTPPanel->setObjectName(QStringLiteral("FTPPanel"));
    RemotePane = new TRemotePane(*this, FTPPanel);
    ListView1 = RemotePane->ListView1;
    RemoteFolderBox = RemotePane->ComboBoxEx1;

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(8);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(LocalPanel);
    Splitter1->addWidget(FTPPanel);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);

    BuildReportPanel();
    Splitter2 = new QSplitter(Qt::Vertical);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setHandleWidth(8);
    Splitter2->setChildrenCollapsible(false);
    Splitter2->addWidget(Splitter1);
    Splitter2->addWidget(ReportPanel);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    layout->addWidget(Splitter2, 1);
    setCentralWidget(central);
    BuildMenus();
    AttachLocalDefaults();
    ConnectActions();
    AttachLocalDrops();
    AttachImagePreview(*this);
}
