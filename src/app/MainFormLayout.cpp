// The main window's controls and menus, as laid out at design time.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
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
#include "panes/RemotePane.h"
#include "sites/ui/SiteBox.h"

namespace {

QLabel* LabelAt(QWidget* parent, const char* text, int x, int y)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit* LabeledEdit(QWidget* parent, const char* name, const char* label, int x, int width,
                       const char* hint)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(x, 24, width, 21);
    edit->setToolTip(QString::fromLatin1(hint));
    LabelAt(parent, label, x, 8);
    return edit;
}

QPushButton* BarButton(QWidget* parent, const char* name, const char* caption, int x, const char* hint)
{
    auto* b = new QPushButton(QString::fromLatin1(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, 8, 75, 41);
    b->setToolTip(QString::fromLatin1(hint));
    b->setEnabled(false);
    return b;
}

QTreeWidget* FileList(QWidget* parent, const char* name, const QStringList& columns)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return list;
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
    ConnectPanel->setFixedHeight(57);
    ComboBox1 = new TSiteBox(ConnectPanel);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(8, 24, 145, 21);
    ComboBox1->setToolTip(QStringLiteral("The site's URL"));
    LabelAt(ConnectPanel, "Server", 11, 8);
    LabeledEdit2 = LabeledEdit(ConnectPanel, "LabeledEdit2", "User", 160, 121, "Your login name");
    LabeledEdit3 = LabeledEdit(ConnectPanel, "LabeledEdit3", "Password", 288, 121, "Your login password");
    LabeledEdit3->setEchoMode(QLineEdit::Password);
    LabeledEdit4 = LabeledEdit(ConnectPanel, "LabeledEdit4", "Port", 416, 33, "Connection port (usually 21)");
    LabeledEdit4->setText(QStringLiteral("21"));
    CheckBox1 = new QCheckBox(QStringLiteral("Passive"), ConnectPanel);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(456, 24, 65, 21);
    CheckBox1->setToolTip(QStringLiteral("Set passive mode connection"));
    ComboBox2 = new QComboBox(ConnectPanel);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems({QStringLiteral("Auto"), QStringLiteral("ASCII"), QStringLiteral("Binary")});
    ComboBox2->setGeometry(520, 24, 113, 21);
    ComboBox2->setToolTip(QStringLiteral("Selects between binary or text mode"));
    LabelAt(ConnectPanel, "Transfer Type", 520, 8);
    Button1 = BarButton(ConnectPanel, "Button1", "Connect", 640, "Connect to server");
    Button2 = BarButton(ConnectPanel, "Button2", "Disconnect", 720, "Disconnect from server");
    QWidget* order[] = {ComboBox1, LabeledEdit2, LabeledEdit3, LabeledEdit4,
                        CheckBox1, ComboBox2,    Button1,      Button2};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

QWidget* TMainFrm::BuildPaneStrip(QWidget* pane, const char* name)
{
    auto* strip = new QWidget(pane);
    strip->setObjectName(QString::fromLatin1(name));
    strip->setFixedHeight(41);
    auto* box = new QComboBox(strip);
    box->setEditable(true);
    box->setGeometry(4, 10, 200, 21);
    return strip;
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
    Panel1->setFixedHeight(19);
    Panel1->setAutoFillBackground(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, QColor(166, 202, 240)); // sky blue
    Panel1->setPalette(pal);
    auto* title = new QLabel(QStringLiteral("Report Panel"), Panel1);
    title->setObjectName(QStringLiteral("Label1"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->move(6, 2);
    title->adjustSize();
    SpeedButton4 = new QToolButton(Panel1);
    SpeedButton4->setObjectName(QStringLiteral("SpeedButton4"));
    SpeedButton4->setFixedSize(18, 18);
    SpeedButton4->setAutoRaise(true);
    SpeedButton4->setIcon(SpeedButton4Icon(0));
    SpeedButton4->setToolTip(QStringLiteral("Maximize this panel"));
    layout->addWidget(Panel1);

    PageControl1 = new QTabWidget(ReportPanel);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    Log = new QPlainTextEdit;
    Log->setObjectName(QStringLiteral("Log"));
    Log->setReadOnly(true);
    Log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    PageControl1->addTab(Log, QStringLiteral("Log"));
    PageControl1->setTabToolTip(0, QStringLiteral("FTP Activity Log"));
    ListView2 = new TTaskListView;
    PageControl1->addTab(ListView2, QStringLiteral("Tasks"));
    PageControl1->setTabToolTip(1, QStringLiteral("Queue of FTP operations"));
    auto* preview = new QWidget;
    preview->setObjectName(QStringLiteral("ImagePreviewPage"));
    PageControl1->addTab(preview, QStringLiteral("Image Preview"));
    PageControl1->setTabToolTip(2, QStringLiteral("Drag your images here"));
    // The page area never gets lower than 110 px.
    PageControl1->setMinimumHeight(PageControl1->tabBar()->sizeHint().height() + 110);
    layout->addWidget(PageControl1, 1);

    StatusBar1 = new QStatusBar(ReportPanel);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel;
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(300);
    StatusPanel1 = new QLabel(QStringLiteral("Not connected"));
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    layout->addWidget(StatusBar1);
}

void TMainFrm::BuildMenus()
{
    auto add = [this](QMenu* menu, const char* text, bool enabled) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setEnabled(enabled);
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File1"));
    Servers1 = add(file, "Servers", true);
    ProxySetup1 = add(file, "Proxy Setup", true);
    file->addSeparator();
    Exit1 = add(file, "Exit", true);

    QMenu* actions = menuBar()->addMenu(QStringLiteral("Actions"));
    actions->setObjectName(QStringLiteral("Actions1"));
    Connect1 = add(actions, "Connect", false);
    Disconnect1 = add(actions, "Disconnect", false);
    actions->addSeparator();
    Upload2 = add(actions, "Upload", false);
    Download1 = add(actions, "Download", false);
    Open3 = add(actions, "Open", false);
    Delete4 = add(actions, "Delete", false);
    Rename1 = add(actions, "Rename", false);
    Permissions2 = add(actions, "Permissions", false);
    ImagePreview2 = add(actions, "Image Preview", false);
    actions->addSeparator();
    UpOneFolder1 = add(actions, "Up One Folder", false);
    Changefolder1 = add(actions, "Change Folder", false);
    MakeFolder1 = add(actions, "Make Folder", false);
    actions->addSeparator();
    Refresh3 = add(actions, "Refresh", false);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help1"));
    OnlineHelp1 = add(help, "Online Help", true);
    About1 = add(help, "About", true);

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
    auto* localLayout = new QVBoxLayout(LocalPanel);
    localLayout->setContentsMargins(0, 0, 0, 0);
    localLayout->setSpacing(0);
    localLayout->addWidget(BuildPaneStrip(LocalPanel, "LocalStrip"));
    localLayout->addWidget(FileList(LocalPanel, "ShellListView1",
                                    {QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                                     QStringLiteral("Modified")}));
    FTPPanel = new QWidget;
    FTPPanel->setObjectName(QStringLiteral("FTPPanel"));
    RemotePane = new TRemotePane(*this, FTPPanel);
    ListView1 = RemotePane->ListView1;
    RemoteFolderBox = RemotePane->ComboBoxEx1;
    RemotePane->OnFocusLocal = [this] {
        auto* local = LocalPanel->findChild<QTreeWidget*>(QStringLiteral("ShellListView1"));
        local->setFocus(Qt::TabFocusReason);
        if (local->topLevelItemCount() > 0)
            local->topLevelItem(0)->setSelected(true);
    };

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
}
