#pragma once
// The "Tasks" list: one row per queued task, driven by the worker's notifications.
#include <QImage>
#include <QString>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <memory>

#include "engine/FTPTask.h"

class QAction;
class QMenu;
class TFTPThread;

// A row that remembers its task without keeping it alive: once the worker discards the task,
// the row can no longer reach it.
class TTaskRow : public QTreeWidgetItem {
public:
    explicit TTaskRow(const TTaskPtr& task);

    std::weak_ptr<TFTPTask> Task;
    int32_t Id = 0;
    TTaskKind Kind = taskConnect;

    // Column 1 reads "Completed", "Failed" or "Aborted".
    bool IsFinished() const;
};

class TTaskListView : public QTreeWidget {
    Q_OBJECT
public:
    enum { colTask, colProgress, colSpeed, colSource, colDestination };

    explicit TTaskListView(QWidget* parent = nullptr);

    void SetWorker(TFTPThread* worker);

    // ---- the window's notification handlers (on the window's thread, the worker waiting)
    void TaskAdded(const TTaskPtr& task);
    void Progress();
    void TaskDone(const TTaskPtr& task);
    // The window's timer: finished rows go, the others keep their order.
    void RemoveFinishedRows();
    void AbortAll();

    // ---- the pop-up menu
    void PopupMenu3Popup();
    void Abort1Click();
    void AbortAll1Click();

    TTaskRow* Row(int index) const;
    // The fraction to draw as a bar in this cell; false when the cell is drawn by default.
    bool BarFraction(const QModelIndex& index, float& fraction) const;

    QMenu* PopupMenu3;
    QAction* Abort1;
    QAction* AbortAll1;

private:
    void ShowPopup(const QPoint& pos);

    TFTPThread* FWorker = nullptr;
    // What the last progress notification showed. Painting also happens while the worker runs,
    // so it reads these copies instead of the worker's fields.
    std::weak_ptr<TFTPTask> FShownTask;
    float FShownProgress = 0;
};

// Draws every cell on white, and the running transfer's progress cell as a bar.
class TTaskItemDelegate : public QStyledItemDelegate {
public:
    explicit TTaskItemDelegate(TTaskListView* view);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    TTaskListView* FView;
};

// "50%": the nearest whole percentage, halves to the even neighbour; "?%" when the fraction is
// unknown (the server gave no size).
QString PercentText(float fraction);
// "1,234.57 KB/s" in the user's number format, seven significant digits, two decimals.
QString SpeedText(float kbPerSecond);
// The progress cell: white with a black outline, a blue bar over the done part, and the text
// combined by exclusive-or so it reads black over white and yellow over blue.
QImage ProgressCellImage(const QSize& size, float fraction, const QString& text, const QFont& font);
