#include "preview/PreviewHookup.h"

#include <QDragEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QTabBar>
#include <QTabWidget>

#include "app/MainForm.h"
#include "app/Questions.h"
#include "panes/LocalPane.h"
#include "panes/RemotePane.h"
#include "panes/RemoteText.h"
#include "preview/ImageFiles.h"
#include "preview/ImagePreview.h"

namespace {

// The tab strip takes a remote picture only over the "Image Preview" tab.
class TTabDropFilter : public QObject {
public:
    explicit TTabDropFilter(TMainFrm& main) : QObject(&main), FMain(main) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        // Entered anywhere on the strip, so that the moves that follow are heard; each move
        // answers for the tab under the mouse.
        case QEvent::DragEnter: Enter(static_cast<QDragEnterEvent*>(event)); return true;
        case QEvent::DragMove: Over(static_cast<QDragMoveEvent*>(event)); return true;
        case QEvent::Drop: Drop(static_cast<QDropEvent*>(event)); return true;
        default: return false;
        }
    }

private:
    bool Accepts(const QDropEvent* event) const
    {
        QTabBar* bar = FMain.PageControl1->tabBar();
        return bar->tabAt(event->position().toPoint()) == FMain.PageControl1->indexOf(FMain.ImagePreview) &&
               IsRemoteImageDrag(FMain, event->mimeData());
    }
    void Enter(QDragEnterEvent* event)
    {
        if (IsRemoteImageDrag(FMain, event->mimeData()))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void Over(QDragMoveEvent* event)
    {
        if (Accepts(event))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void Drop(QDropEvent* event)
    {
        if (!Accepts(event)) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        FMain.PageControl1->setCurrentWidget(FMain.ImagePreview);
        PreviewRemote(FMain);
    }
    TMainFrm& FMain;
};

} // namespace

bool IsRemoteImageDrag(const TMainFrm& main, const QMimeData* mime)
{
    if (mime == nullptr || !mime->hasFormat(QString::fromLatin1(kRemoteEntriesMime)))
        return false;
    const TRemoteRow* row = main.RemotePane->ListView1->FirstSelected();
    return row != nullptr && !row->IsParentRow() && IsImageFile(row->Info->Name);
}

void PreviewRemote(TMainFrm& main)
{
    const TRemoteRow* row = main.RemotePane->ListView1->FirstSelected();
    if (row == nullptr || row->IsParentRow() || !IsImageFile(row->Info->Name))
        return;
    // The copy goes into the temporary folder and nowhere else, whatever the server named it.
    if (!IsSafeEntryName(row->Info->Name)) {
        Questions::Message(&main, QStringLiteral("\"%1\" cannot be previewed: the server gave a name that is "
                                                 "not a plain file name.")
                                      .arg(DisplayName(row->Info->Name)));
        return;
    }
    main.Worker->AddGet(row->Info.get(),
                        JoinLocalPath(main.TempFolder, TypedName(DisplayName(row->Info->Name))));
}

void AttachImagePreview(TMainFrm& main)
{
    TImagePreview* preview = main.ImagePreview;
    preview->OnStatus = [&main](const QString& text) { main.StatusPanel0->setText(text); };
    preview->OnActivate = [&main] { main.PageControl1->setCurrentWidget(main.ImagePreview); };
    preview->AcceptsDrop = [&main](const QMimeData* mime) { return IsRemoteImageDrag(main, mime); };
    preview->OnPreviewRemote = [&main] { PreviewRemote(main); };
    main.LocalPane->OnImageSelected = [preview](const QString& path) { preview->ShowImage(path); };
    main.RemotePane->OnPreviewRemote = [&main] { PreviewRemote(main); };
    QObject::connect(main.ImagePreview2, &QAction::triggered, &main, [&main] { PreviewRemote(main); });
    QTabBar* bar = main.PageControl1->tabBar();
    bar->setAcceptDrops(true);
    bar->installEventFilter(new TTabDropFilter(main));
}
