// The local pane's widgets: the places box, the strip, the list over the file system model, its
// menus and its keys.
#include "panes/LocalPane.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MainForm.h"
#include "panes/LocalSort.h"
#include "panes/NameDelegate.h"
#include "platform/FileIcons.h"
#include "platform/Icons.h"

namespace {

QString StartFolder()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir())
        return QDir::cleanPath(desktop);
    return QDir::homePath();
}

} // namespace

void TLocalListView::keyPressEvent(QKeyEvent* event)
{
    if (!Editing() && OnKeyDown) {
        event->setAccepted(false);
        OnKeyDown(event);
        if (event->isAccepted())
            return;
    }
    QTreeView::keyPressEvent(event);
}

// The drag runs to its end inside; wherever the items went, the list is read again afterwards.
void TLocalListView::startDrag(Qt::DropActions actions)
{
    QTreeView::startDrag(actions);
    if (OnEndDrag)
        OnEndDrag();
}

bool TLocalListView::focusNextPrevChild(bool next)
{
    if (next && !Editing() && OnTab) {
        OnTab();
        return true;
    }
    return QTreeView::focusNextPrevChild(next);
}

TLocalPane::TLocalPane(TMainFrm& main, QWidget* localPanel) : QObject(&main), FMain(main)
{
    auto* layout = qobject_cast<QVBoxLayout*>(localPanel->layout());
    if (layout == nullptr) {
        layout = new QVBoxLayout(localPanel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(BuildStrip(localPanel));
    BuildList(localPanel);
    layout->addWidget(ShellListView1, 1);
    BuildMenus();
    ShellChangeNotifier1 = new QFileSystemWatcher(this);
    FRefreshTimer = new QTimer(this);
    FRefreshTimer->setSingleShot(true);
    FRefreshTimer->setInterval(300);
    connect(FRefreshTimer, &QTimer::timeout, this, &TLocalPane::Refresh);
    ConnectSignals();
    SetFolder(StartFolder());
}

TLocalPane::~TLocalPane()
{
    // The model asks the icon provider for as long as it lives.
    FSort->SetSource(nullptr, {});
    delete FModel;
}

QWidget* TLocalPane::BuildStrip(QWidget* pane)
{
    auto* strip = new QWidget(pane);
    strip->setObjectName(QStringLiteral("LocalStrip"));
    strip->setFixedHeight(41);
    ShellComboBox1 = new QComboBox(strip);
    ShellComboBox1->setObjectName(QStringLiteral("ShellComboBox1"));
    ShellComboBox1->setGeometry(8, 10, 201, 22);
    ShellComboBox1->setToolTip(QStringLiteral("Current local folder"));
    ShellComboBox1->setMaxVisibleItems(8);
    ShellComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ShellComboBox1->view()->setTextElideMode(Qt::ElideMiddle);
    SpeedButton1 =
        PaneStripButton(strip, "SpeedButton1", 212, "Up One Folder", "go-up", QStyle::SP_FileDialogToParent);
    SpeedButton5 = PaneStripButton(strip, "SpeedButton5", 240, "New Folder", "folder-new",
                                   QStyle::SP_FileDialogNewFolder);
    SpeedButton6 = PaneStripButton(strip, "SpeedButton6", 268, "Delete", "edit-delete", QStyle::SP_TrashIcon);
    SpeedButton9 =
        PaneStripButton(strip, "SpeedButton9", 296, "Refresh", "view-refresh", QStyle::SP_BrowserReload);
    return strip;
}

void TLocalPane::BuildList(QWidget* pane)
{
    ShellListView1 = new TLocalListView(pane);
    ShellListView1->setObjectName(QStringLiteral("ShellListView1"));
    FIcons = std::make_unique<TLocalIconProvider>();
    FSort = new TLocalListModel(this);
    ShellListView1->setRootIsDecorated(false);
    ShellListView1->setItemsExpandable(false);
    ShellListView1->setUniformRowHeights(true);
    ShellListView1->setAllColumnsShowFocus(true);
    ShellListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ShellListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ShellListView1->setEditTriggers(QAbstractItemView::SelectedClicked);
    ShellListView1->setDragEnabled(true);
    ShellListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ShellListView1->setSortingEnabled(false); // the pane's own order, never descending
    ShellListView1->header()->setSectionsClickable(true);
    ShellListView1->header()->setSortIndicatorShown(false);
    ShellListView1->setItemDelegate(new TNameDelegate(
        ShellListView1, [this](const QModelIndex& index, const QString& text) { Renamed(index, text); }));
    AttachModel();
    // The sorting model stays for the pane's life; only the file system model under it is renewed.
    ShellListView1->setModel(FSort);
    connect(ShellListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) { ShellListView1Change(selected); });
    ShellListView1->setColumnWidth(0, 180);
}

// A new model reads the folder afresh; the file system model has no other way to be re-read.
void TLocalPane::AttachModel()
{
    FSort->SetSource(nullptr, {});
    FSort->SortBy(FSortColumn);
    delete FModel;
    FModel = new TLocalFileModel(this);
    FModel->setIconProvider(FIcons.get());
    FModel->setReadOnly(true);
    FModel->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    FModel->setResolveSymlinks(false);
}

void TLocalPane::BuildMenus()
{
    auto add = [](QMenu* menu, const char* text) { return menu->addAction(QString::fromLatin1(text)); };
    ItemMenu = new QMenu(ShellListView1);
    ItemMenu->setObjectName(QStringLiteral("LocalItemMenu"));
    Open2 = add(ItemMenu, "Open");
    ItemMenu->addSeparator();
    Rename3 = add(ItemMenu, "Rename");
    Delete5 = add(ItemMenu, "Delete");
    ItemMenu->addSeparator();
    Refresh4 = add(ItemMenu, "Refresh");
    Properties1 = add(ItemMenu, "Properties");
    PopupMenu2 = new QMenu(ShellListView1);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Refresh1 = add(PopupMenu2, "Refresh");
}

void TLocalPane::ConnectSignals()
{
    connect(SpeedButton1, &QToolButton::clicked, this, &TLocalPane::UpOneFolder);
    connect(SpeedButton5, &QToolButton::clicked, this, &TLocalPane::NewFolder);
    connect(SpeedButton6, &QToolButton::clicked, this, &TLocalPane::DeleteFirstSelected);
    connect(SpeedButton9, &QToolButton::clicked, this, &TLocalPane::Refresh);
    connect(ShellComboBox1, &QComboBox::activated, this, &TLocalPane::ShellComboBox1Change);
    connect(ShellListView1, &QTreeView::doubleClicked, this, [this] { OpenSelected(); });
    connect(ShellListView1->header(), &QHeaderView::sectionClicked, this,
            &TLocalPane::ShellListView1ColumnClick);
    connect(ShellListView1, &QWidget::customContextMenuRequested, this, &TLocalPane::ShowContextMenu);
    connect(Open2, &QAction::triggered, this, &TLocalPane::OpenSelected);
    connect(Rename3, &QAction::triggered, this, &TLocalPane::StartRename);
    connect(Delete5, &QAction::triggered, this, &TLocalPane::DeleteFirstSelected);
    connect(Refresh4, &QAction::triggered, this, &TLocalPane::Refresh);
    connect(Properties1, &QAction::triggered, this, &TLocalPane::ShowProperties);
    connect(Refresh1, &QAction::triggered, this, &TLocalPane::Refresh);
    connect(ShellChangeNotifier1, &QFileSystemWatcher::directoryChanged, this,
            &TLocalPane::ShellChangeNotifier1Change);
    ShellListView1->OnKeyDown = [this](QKeyEvent* event) { ShellListView1KeyDown(event); };
    ShellListView1->OnTab = [this] {
        if (OnFocusRemote)
            OnFocusRemote();
    };
}

void TLocalPane::ShellListView1KeyDown(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool alt = event->modifiers() & Qt::AltModifier;
    event->accept();
    switch (event->key()) {
    case Qt::Key_Backspace: UpOneFolder(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (alt)
            ShowProperties();
        else
            OpenSelected();
        return;
    case Qt::Key_Delete:
    case Qt::Key_F8: DeleteFirstSelected(); return;
    case Qt::Key_F2:
    case Qt::Key_F6: StartRename(); return;
    case Qt::Key_F5:
        if (OnUploadWithDialog)
            OnUploadWithDialog();
        return;
    case Qt::Key_F7: NewFolder(); return;
    case Qt::Key_A:
        if (ctrl) {
            ShellListView1->selectAll();
            return;
        }
        break;
    case Qt::Key_R:
        if (ctrl) {
            Refresh();
            return;
        }
        break;
    default: break;
    }
    event->ignore();
}

void TLocalPane::ShowContextMenu(const QPoint& at)
{
    QMenu* menu = SelectedPaths().isEmpty() ? PopupMenu2 : ItemMenu;
    menu->popup(ShellListView1->viewport()->mapToGlobal(at));
}

// The places from the Desktop down, and the folder shown when it is none of them.
void TLocalPane::FillPlaces()
{
    const QSignalBlocker quiet(ShellComboBox1);
    ShellComboBox1->clear();
    QStringList places;
    for (const QString& place : {QStandardPaths::writableLocation(QStandardPaths::DesktopLocation),
                                 QDir::homePath(), QDir::rootPath()})
        if (!place.isEmpty() && QFileInfo(place).isDir() && !places.contains(QDir::cleanPath(place)))
            places << QDir::cleanPath(place);
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && !places.contains(volume.rootPath()) &&
            !volume.rootPath().startsWith(QStringLiteral("/proc")) &&
            !volume.rootPath().startsWith(QStringLiteral("/sys")) &&
            !volume.rootPath().startsWith(QStringLiteral("/dev")) &&
            !volume.rootPath().startsWith(QStringLiteral("/run")))
            places << volume.rootPath();
    if (!places.contains(FFolder))
        places << FFolder;
    for (const QString& place : places)
        ShellComboBox1->addItem(FolderIcon(), QDir::toNativeSeparators(place), place);
    ShellComboBox1->setCurrentIndex(ShellComboBox1->findData(FFolder));
}

void TLocalPane::ShellComboBox1Change(int index)
{
    if (index >= 0)
        SetFolder(ShellComboBox1->itemData(index).toString());
}

void TLocalPane::SetFolder(const QString& folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (!QFileInfo(clean).isDir())
        return;
    if (!FFolder.isEmpty())
        ShellChangeNotifier1->removePath(FFolder);
    FFolder = clean;
    ShellChangeNotifier1->addPath(FFolder);
    FSort->SetSource(FModel, FModel->setRootPath(FFolder));
    if (FSort->canFetchMore({}))
        FSort->fetchMore({});
    ShellListView1->scrollToTop();
    FillPlaces();
}

void TLocalPane::RefreshSoon()
{
    FRefreshTimer->start();
}

void TLocalPane::Refresh()
{
    FRefreshTimer->stop();
    AttachModel();
    SetFolder(FFolder);
}

// The model follows changes in the folder by itself; a shown folder that went away leaves the
// list at the nearest folder still there.
void TLocalPane::ShellChangeNotifier1Change()
{
    ShellComboBox1->update();
    if (QFileInfo(FFolder).isDir())
        return;
    QString up = FFolder;
    while (!QFileInfo(up).isDir() && up != QDir::rootPath())
        up = QFileInfo(up).path();
    SetFolder(up);
}

QModelIndex TLocalPane::SourceIndex(int row) const
{
    return FSort->mapToSource(FSort->index(row, 0));
}

int TLocalPane::RowCount() const
{
    return FSort->rowCount();
}

QString TLocalPane::PathAt(int row) const
{
    return FModel->filePath(SourceIndex(row));
}

QStringList TLocalPane::SelectedPaths() const
{
    QModelIndexList rows = ShellListView1->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList paths;
    for (const QModelIndex& index : rows)
        paths << FModel->filePath(FSort->mapToSource(index));
    return paths;
}

QString TLocalPane::FirstSelectedPath() const
{
    const QStringList paths = SelectedPaths();
    return paths.isEmpty() ? QString() : paths.first();
}

bool TLocalPane::IsFolder(const QString& path) const
{
    return QFileInfo(path).isDir();
}

void TLocalPane::SelectFirst()
{
    ShellListView1->setFocus(Qt::TabFocusReason);
    if (RowCount() == 0)
        return;
    const QModelIndex first = FSort->index(0, 0);
    ShellListView1->selectionModel()->select(first, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TLocalPane::ShellListView1ColumnClick(int column)
{
    FSortColumn = column;
    Refresh();
}
