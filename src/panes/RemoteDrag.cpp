// Drags from and drops on the remote list; the window decides what a drop means.
#include <QDragMoveEvent>
#include <QMimeData>

#include "app/MainForm.h"
#include "panes/RemotePane.h"

void TRemoteListView::startDrag(Qt::DropActions actions)
{
    QTreeWidget::startDrag(actions);
    if (OnEndDrag)
        OnEndDrag();
}

void TRemoteListView::dragEnterEvent(QDragEnterEvent* event)
{
    // Taken for now; each move over a row decides.
    event->acceptProposedAction();
}

void TRemoteListView::dragMoveEvent(QDragMoveEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (OnDragOver && OnDragOver(*event->mimeData(), at)) {
        event->setDropAction(event->source() == this ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TRemoteListView::dropEvent(QDropEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (OnDrop && OnDragOver && OnDragOver(*event->mimeData(), at)) {
        // Copy even for a move: the rows go only when the server has moved them.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        OnDrop(*event->mimeData(), at);
    } else {
        event->ignore();
    }
}
