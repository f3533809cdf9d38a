// The remote pane's widgets: the strip, the list, its context menu and its keys.
#include "panes/RemotePane.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MainForm.h"
#include "panes/NameDelegate.h"
#include "panes/RemoteText.h"
#include "platform/Icons.h"
#include "preview/ImageFiles.h"

TRemoteListView::TRemoteListView(QWidget* parent) : QTreeWidget(parent) {}

TRemoteRow* TRemoteListView::Row(int index) const
{
    return static_cast<TRemoteRow*>(topLevelItem(index));
}

TRemoteRow* TRemoteListView::FirstSelected() const
{
    // In list order, whatever order the rows were selected in.
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        if (first < 0 || range.top() < first)
            first = range.top();
    return first < 0 ? nullptr : Row(first);
}

void TRemoteListView::keyPressEvent(QKeyEvent* event)
{
    if (state() != QAbstractItemView::EditingState && OnKeyDown) {
        event->setAccepted(false);
        OnKeyDown(event);
        if (event->isAccepted())
            return;
    }
    QTreeWidget::keyPressEvent(event);
}

QStringList TRemoteListView::mimeTypes() const
{
    return {QString::fromLatin1(kRemoteEntriesMime)};
}

QMimeData* TRemoteListView::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    QByteArray names;
    for (const QTreeWidgetItem* item : items) {
        const auto* row = static_cast<const TRemoteRow*>(item);
        if (!row->IsParentRow())
            names += QByteArray::fromStdString(row->Info->Name) + '\n';
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kRemoteEntriesMime), names);
    return data;
}

bool TRemoteListView::focusNextPrevChild(bool next)
{
    if (next && state() != QAbstractItemView::EditingState && OnTab) {
        OnTab();
        return true;
    }
    return QTreeWidget::focusNextPrevChild(next);
}

TRemotePane::TRemotePane(TMainFrm& main, QWidget* ftpPanel) : QObject(&main), FMain(main)
{
    auto* layout = qobject_cast<QVBoxLayout*>(ftpPanel->layout());
    if (layout == nullptr) {
        layout = new QVBoxLayout(ftpPanel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(BuildStrip(ftpPanel));
    BuildList(ftpPanel);
    layout->addWidget(ListView1, 1);
    BuildPopupMenu();
    ConnectSignals();
    SetButtonsEnabled(false);
}

TRemotePane::~TRemotePane() = default;

QWidget* TRemotePane::BuildStrip(QWidget* pane)
{
    auto* strip = new QWidget(pane);
    strip->setObjectName(QStringLiteral("RemoteStrip"));
    strip->setFixedHeight(41);
    ComboBoxEx1 = new QComboBox(strip);
    ComboBoxEx1->setObjectName(QStringLiteral("ComboBoxEx1"));
    ComboBoxEx1->setGeometry(8, 10, 201, 22);
    ComboBoxEx1->setToolTip(QStringLiteral("Current FTP folder"));
    ComboBoxEx1->setMaxVisibleItems(8);
    ComboBoxEx1->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBoxEx1->view()->setTextElideMode(Qt::ElideMiddle);
    SpeedButton2 =
        PaneStripButton(strip, "SpeedButton2", 212, "Up One Folder", "go-up", QStyle::SP_FileDialogToParent);
    SpeedButton3 = PaneStripButton(strip, "SpeedButton3", 240, "New Folder", "folder-new",
                                   QStyle::SP_FileDialogNewFolder);
    SpeedButton10 =
        PaneStripButton(strip, "SpeedButton10", 268, "Refresh", "view-refresh", QStyle::SP_BrowserReload);
    SpeedButton8 = PaneStripButton(strip, "SpeedButton8", 296, "Permissions", "document-properties",
                                   QStyle::SP_FileDialogInfoView);
    SpeedButton7 = PaneStripButton(strip, "SpeedButton7", 324, "Delete", "edit-delete", QStyle::SP_TrashIcon);
    return strip;
}

void TRemotePane::BuildList(QWidget* pane)
{
    ListView1 = new TRemoteListView(pane);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Type"),
                                QStringLiteral("Modified"), QStringLiteral("Permissions")});
    const int widths[] = {200, 50, 50, 80, 100};
    for (int i = 0; i < 5; ++i)
        ListView1->setColumnWidth(i, widths[i]);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::SelectedClicked);
    ListView1->setDragEnabled(true);
    ListView1->setAcceptDrops(true);
    ListView1->setDragDropMode(QAbstractItemView::DragDrop);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView1->setSortingEnabled(false); // the program's own order
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSortIndicatorShown(false);
    // Widths that fit the texts are judged from the rows in view and a few hundred more.
    ListView1->header()->setResizeContentsPrecision(200);
    ListView1->setItemDelegate(
        new TNameDelegate(ListView1, [this](const QModelIndex& index, const QString& text) {
            ListView1Edited(static_cast<TRemoteRow*>(ListView1->topLevelItem(index.row())), text);
        }));
}

void TRemotePane::BuildPopupMenu()
{
    PopupMenu1 = new QMenu(ListView1);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](QMenu* menu, const char* text) { return menu->addAction(QString::fromLatin1(text)); };
    Download2 = add(PopupMenu1, "Download");
    PopupMenu1->addSeparator();
    Open1 = add(PopupMenu1, "Open");
    Delete1 = add(PopupMenu1, "Delete");
    ImagePreview1 = add(PopupMenu1, "Image Preview");
    Permissions1 = add(PopupMenu1, "Permissions");
    Rename2 = add(PopupMenu1, "Rename");
    PopupMenu1->addSeparator();
    QMenu* sortBy = PopupMenu1->addMenu(QStringLiteral("Sort by"));
    SortBy1 = sortBy->menuAction();
    Name1 = add(sortBy, "Name");
    Size1 = add(sortBy, "Size");
    ype1 = add(sortBy, "Type");
    Date1 = add(sortBy, "Date");
    Refresh2 = add(PopupMenu1, "Refresh");
}

void TRemotePane::ConnectSignals()
{
    connect(SpeedButton2, &QToolButton::clicked, this, &TRemotePane::UpOneFolder);
    connect(SpeedButton3, &QToolButton::clicked, this, &TRemotePane::NewFolder);
    connect(SpeedButton10, &QToolButton::clicked, this, &TRemotePane::Refresh);
    connect(SpeedButton8, &QToolButton::clicked, this, &TRemotePane::Permissions1Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TRemotePane::DeleteRemoteSelection);
    connect(ComboBoxEx1, &QComboBox::activated, this, &TRemotePane::ComboBoxEx1EndEdit);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { OpenRemoteEntry(); });
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TRemotePane::ListView1Change);
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &TRemotePane::ListView1ColumnClick);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1Popup();
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at));
    });
    connect(Download2, &QAction::triggered, this, [this] {
        if (OnDownloadSelection)
            OnDownloadSelection();
    });
    connect(Open1, &QAction::triggered, this, &TRemotePane::OpenRemoteEntry);
    connect(Delete1, &QAction::triggered, this, &TRemotePane::DeleteRemoteSelection);
    connect(Permissions1, &QAction::triggered, this, &TRemotePane::Permissions1Click);
    connect(Rename2, &QAction::triggered, this, &TRemotePane::StartRename);
    connect(ImagePreview1, &QAction::triggered, this, [this] {
        if (OnPreviewRemote)
            OnPreviewRemote();
    });
    connect(Name1, &QAction::triggered, this, [this] { SortBy(0); });
    connect(Size1, &QAction::triggered, this, [this] { SortBy(1); });
    connect(ype1, &QAction::triggered, this, [this] { SortBy(2); });
    connect(Date1, &QAction::triggered, this, [this] { SortBy(3); });
    connect(Refresh2, &QAction::triggered, this, &TRemotePane::Refresh);
    ListView1->OnKeyDown = [this](QKeyEvent* event) { ListView1KeyDown(event); };
    ListView1->OnTab = [this] {
        if (OnFocusLocal)
            OnFocusLocal();
    };
}

void TRemotePane::ListView1KeyDown(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    event->accept();
    switch (event->key()) {
    case Qt::Key_Backspace: UpOneFolder(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: OpenRemoteEntry(); return;
    case Qt::Key_Delete:
    case Qt::Key_F8: DeleteRemoteSelection(); return;
    case Qt::Key_F2:
    case Qt::Key_F6: StartRename(); return;
    case Qt::Key_F5:
        if (OnDownloadWithDialog)
            OnDownloadWithDialog();
        return;
    case Qt::Key_F7: NewFolder(); return;
    case Qt::Key_A:
        if (ctrl) {
            ListView1->selectAll();
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

void TRemotePane::SetButtonsEnabled(bool enabled)
{
    FButtonsEnabled = enabled;
    for (QToolButton* b : {SpeedButton2, SpeedButton3, SpeedButton10})
        b->setEnabled(enabled);
    ListView1Change();
}

void TRemotePane::ListView1Change()
{
    const TRemoteRow* first = ListView1->FirstSelected();
    const bool onEntry = first != nullptr && !first->IsParentRow();
    SpeedButton7->setEnabled(FButtonsEnabled && onEntry);
    SpeedButton8->setEnabled(FButtonsEnabled && onEntry);
}

void TRemotePane::PopupMenu1Popup()
{
    const bool connected = FMain.Worker->IsConnected();
    const TRemoteRow* first = ListView1->FirstSelected();
    const bool onEntry = connected && first != nullptr && !first->IsParentRow();
    Refresh2->setEnabled(connected);
    SortBy1->setEnabled(connected);
    for (QAction* a : {Open1, Delete1, Rename2, Permissions1, Download2})
        a->setEnabled(onEntry);
    ImagePreview1->setEnabled(onEntry && IsImageFile(first->Info->Name));
}
