// The Actions menu: its enabling at each opening and the commands that act on the focused list.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>

#include "app/MainForm.h"
#include "panes/LocalPane.h"
#include "panes/RemotePane.h"
#include "panes/RemoteText.h"
#include "preview/ImageFiles.h"

// The local pane as the transfers and the Actions menu reach it.
void TMainFrm::AttachLocalDefaults()
{
    TLocalPane* pane = LocalPane;
    TLocalListView* list = pane->ShellListView1;
    Local.List = list;
    Local.Folder = [pane] { return pane->CurrentFolder(); };
    Local.Selection = [pane] { return pane->SelectedPaths(); };
    Local.PathAt = [pane, list](const QPoint& at) {
        const QModelIndex index = list->indexAt(at);
        return index.isValid() ? pane->PathAt(index.row()) : QString();
    };
    Local.Refresh = [pane] { pane->Refresh(); };
    Local.Open = [pane] { pane->OpenSelected(); };
    Local.Delete = [pane] { pane->DeleteFirstSelected(); };
    Local.Rename = [pane] { pane->StartRename(); };
    Local.UpOneFolder = [pane] { pane->UpOneFolder(); };
    Local.NewFolder = [pane] { pane->NewFolder(); };
    Local.SelectFirst = [pane] { pane->SelectFirst(); };
    pane->OnFocusRemote = [this] { FocusRemoteList(); };
    pane->OnUploadWithDialog = [this] { Upload2Click(); };
    list->OnEndDrag = [this] { EndDrag(); };
}

bool TMainFrm::RemoteFocused() const
{
    return ListView1->hasFocus();
}

void TMainFrm::Actions1Click()
{
    const bool local = !Local.Selection().isEmpty();
    const TRemoteRow* first = RemotePane->ListView1->FirstSelected();
    const bool remote = first != nullptr;
    Connect1->setEnabled(Button1->isEnabled());
    Disconnect1->setEnabled(Button2->isEnabled());
    Upload2->setEnabled(local && Worker->IsConnected());
    Download1->setEnabled(remote);
    for (QAction* a : {Open3, Delete4, Rename1})
        a->setEnabled(local || remote);
    Permissions2->setEnabled(remote);
    Changefolder1->setEnabled(remote);
    ImagePreview2->setEnabled(remote && !first->IsParentRow() && IsImageFile(first->Info->Name));
    for (QAction* a : {UpOneFolder1, MakeFolder1, Refresh3})
        a->setEnabled(true);
}

void TMainFrm::Open3Click()
{
    if (RemoteFocused())
        RemotePane->OpenRemoteEntry();
    else if (Local.Open)
        Local.Open();
}

void TMainFrm::Delete4Click()
{
    if (RemoteFocused())
        RemotePane->DeleteRemoteSelection();
    else if (Local.Delete)
        Local.Delete();
}

void TMainFrm::Rename1Click()
{
    if (RemoteFocused())
        RemotePane->StartRename();
    else if (Local.Rename)
        Local.Rename();
}

void TMainFrm::UpOneFolder1Click()
{
    if (RemoteFocused())
        RemotePane->UpOneFolder();
    else if (Local.UpOneFolder)
        Local.UpOneFolder();
}

void TMainFrm::MakeFolder1Click()
{
    if (!RemoteFocused()) {
        if (Local.NewFolder)
            Local.NewFolder();
    } else if (Worker->IsConnected()) {
        RemotePane->NewFolder();
    }
}

void TMainFrm::Refresh3Click()
{
    if (Local.Refresh)
        Local.Refresh();
    if (Worker->IsConnected())
        Worker->AddList();
}

void TMainFrm::FocusRemoteList()
{
    ListView1->setFocus(Qt::TabFocusReason);
    if (ListView1->topLevelItemCount() > 0)
        ListView1->topLevelItem(0)->setSelected(true);
}

void TMainFrm::FocusLocalList()
{
    Local.List->setFocus(Qt::TabFocusReason);
    if (Local.SelectFirst)
        Local.SelectFirst();
}

void TMainFrm::ConnectActions()
{
    connect(Upload2, &QAction::triggered, this, &TMainFrm::Upload2Click);
    connect(Download1, &QAction::triggered, this, &TMainFrm::Download1Click);
    connect(Open3, &QAction::triggered, this, &TMainFrm::Open3Click);
    connect(Delete4, &QAction::triggered, this, &TMainFrm::Delete4Click);
    connect(Rename1, &QAction::triggered, this, &TMainFrm::Rename1Click);
    connect(Permissions2, &QAction::triggered, RemotePane, &TRemotePane::Permissions1Click);
    connect(UpOneFolder1, &QAction::triggered, this, &TMainFrm::UpOneFolder1Click);
    connect(Changefolder1, &QAction::triggered, RemotePane, &TRemotePane::ChangeFolder);
    connect(MakeFolder1, &QAction::triggered, this, &TMainFrm::MakeFolder1Click);
    connect(Refresh3, &QAction::triggered, this, &TMainFrm::Refresh3Click);
    RemotePane->OnDownloadWithDialog = [this] { Download1Click(); };
    RemotePane->OnDownloadSelection = [this] { Download2Click(); };
    RemotePane->OnFocusLocal = [this] { FocusLocalList(); };
}

namespace {

// The window's handling of the local list: Tab to the remote list and drops from the remote one.
class TLocalListFilter : public QObject {
public:
    TLocalListFilter(TMainFrm& main, QAbstractItemView* list) : QObject(list), FMain(main), FList(list) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (watched == FList && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab &&
                static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
                FMain.FocusRemoteList();
                return true;
            }
            break;
        case QEvent::DragEnter: static_cast<QDragEnterEvent*>(event)->acceptProposedAction(); return true;
        case QEvent::DragMove: {
            auto* move = static_cast<QDragMoveEvent*>(event);
            if (FMain.ShellListView1DragOver(*move->mimeData(), move->position().toPoint(),
                                             move->source() == FList))
                move->acceptProposedAction();
            else
                move->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (FMain.ShellListView1DragOver(*drop->mimeData(), drop->position().toPoint(),
                                             drop->source() == FList)) {
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                FMain.ShellListView1DragDrop(*drop->mimeData(), drop->position().toPoint(),
                                             drop->source() == FList);
            } else {
                drop->ignore();
            }
            return true;
        }
        default: break;
        }
        return false;
    }

private:
    TMainFrm& FMain;
    QAbstractItemView* FList;
};

} // namespace

void TMainFrm::AttachLocalDrops()
{
    auto* filter = new TLocalListFilter(*this, Local.List);
    Local.List->installEventFilter(filter);
    Local.List->viewport()->installEventFilter(filter);
    Local.List->setAcceptDrops(true);
    Local.List->viewport()->setAcceptDrops(true);
    RemotePane->ListView1->OnDragOver = [this](const QMimeData& data, const QPoint& at) {
        return ListView1DragOver(data, at);
    };
    RemotePane->ListView1->OnDrop = [this](const QMimeData& data, const QPoint& at) {
        ListView1DragDrop(data, at);
    };
    RemotePane->ListView1->OnEndDrag = [this] { EndDrag(); };
}
