#include "engine/ui/TaskListView.h"

#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/FTPThread.h"
#include "panes/RemoteText.h"

namespace {

const QString kCompleted = QStringLiteral("Completed");
const QString kFailed = QStringLiteral("Failed");
const QString kAborted = QStringLiteral("Aborted");

// Default rounding mode: halves go to the even neighbour.
long long RoundHalfEven(double value)
{
    return std::llrint(value);
}

void XorInto(QImage& target, const QImage& source)
{
    for (int y = 0; y < target.height(); ++y) {
        auto* t = reinterpret_cast<quint32*>(target.scanLine(y));
        const auto* s = reinterpret_cast<const quint32*>(source.constScanLine(y));
        for (int x = 0; x < target.width(); ++x)
            t[x] = (t[x] ^ s[x]) | 0xFF000000u;
    }
}

// White cell, black outline; the bar over the done part, blue with its own black outline.
void DrawBar(QImage& image, float fraction)
{
    const int w = image.width(), h = image.height();
    QPainter p(&image);
    p.fillRect(0, 0, w, h, Qt::black);
    if (w > 2 && h > 2)
        p.fillRect(1, 1, w - 2, h - 2, Qt::white);
    const double wanted = std::clamp(static_cast<double>(fraction), 0.0, 1.0) * w;
    const int bar = static_cast<int>(RoundHalfEven(wanted));
    if (bar <= 0)
        return;
    p.fillRect(0, 0, bar, h, Qt::black);
    if (bar > 2 && h > 2)
        p.fillRect(1, 1, bar - 2, h - 2, QColor(0, 0, 255));
}

} // namespace

QString PercentText(float fraction)
{
    if (!std::isfinite(fraction) || fraction < 0)
        return QStringLiteral("?%");
    return QString::number(RoundHalfEven(static_cast<double>(fraction) * 100.0)) + QLatin1Char('%');
}

QString SpeedText(float kbPerSecond)
{
    double value = std::isfinite(kbPerSecond) ? static_cast<double>(kbPerSecond) : 0.0;
    value = QString::number(value, 'g', 7).toDouble();
    QLocale locale;
    // Some locales (the C one) leave separators out unless asked.
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2) + QStringLiteral(" KB/s");
}

QImage ProgressCellImage(const QSize& size, float fraction, const QString& text, const QFont& font)
{
    QImage cell(size, QImage::Format_RGB32);
    DrawBar(cell, fraction);
    QImage label(size, QImage::Format_RGB32);
    label.fill(Qt::black);
    {
        QPainter p(&label);
        QFont bold(font);
        bold.setBold(true);
        // Smoothed edges would blend into colours that are neither black nor yellow.
        bold.setStyleStrategy(QFont::NoAntialias);
        p.setFont(bold);
        p.setPen(Qt::white);
        p.drawText(QRect(QPoint(0, 0), size), Qt::AlignHCenter | Qt::AlignTop, text);
    }
    XorInto(cell, label);
    return cell;
}

// ---------------------------------------------------------------------------------------------

TTaskRow::TTaskRow(const TTaskPtr& task) : Task(task), Id(task->Id), Kind(task->Kind)
{
    setText(TTaskListView::colTask, QString::fromLatin1(TaskKindCaption(task->Kind)));
    setText(TTaskListView::colProgress, QStringLiteral("Pending"));
    // Server names are bytes in any encoding: shown as the remote list shows them.
    setText(TTaskListView::colSource, DisplayName(task->Source));
    setText(TTaskListView::colDestination, DisplayName(task->Destination));
    setTextAlignment(TTaskListView::colProgress, Qt::AlignHCenter | Qt::AlignVCenter);
}

bool TTaskRow::IsFinished() const
{
    const QString state = text(TTaskListView::colProgress);
    return state == kCompleted || state == kFailed || state == kAborted;
}

// ---------------------------------------------------------------------------------------------

TTaskItemDelegate::TTaskItemDelegate(TTaskListView* view) : QStyledItemDelegate(view), FView(view) {}

void TTaskItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    painter->fillRect(option.rect, Qt::white);
    float fraction = 0;
    if (FView->BarFraction(index, fraction)) {
        const QImage cell =
            ProgressCellImage(option.rect.size(), fraction, index.data().toString(), option.font);
        painter->drawImage(option.rect.topLeft(), cell);
        return;
    }
    QStyleOptionViewItem plain(option);
    plain.palette.setColor(QPalette::Base, Qt::white);
    QStyledItemDelegate::paint(painter, plain, index);
}

// ---------------------------------------------------------------------------------------------

TTaskListView::TTaskListView(QWidget* parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("ListView2"));
    setHeaderLabels({QStringLiteral("Task"), QStringLiteral("Progress"), QStringLiteral("Speed"),
                     QStringLiteral("Source"), QStringLiteral("Destination")});
    const int widths[] = {100, 200, 100, 200, 200};
    for (int column = 0; column < 5; ++column)
        setColumnWidth(column, widths[column]);
    headerItem()->setTextAlignment(colProgress, Qt::AlignHCenter | Qt::AlignVCenter);
    header()->setStretchLastSection(false);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new TTaskItemDelegate(this));

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    Abort1 = PopupMenu3->addAction(QStringLiteral("Abort"));
    Abort1->setObjectName(QStringLiteral("Abort1"));
    AbortAll1 = PopupMenu3->addAction(QStringLiteral("Abort All"));
    AbortAll1->setObjectName(QStringLiteral("AbortAll1"));
    connect(Abort1, &QAction::triggered, this, [this] { Abort1Click(); });
    connect(AbortAll1, &QAction::triggered, this, [this] { AbortAll1Click(); });
    connect(PopupMenu3, &QMenu::aboutToShow, this, [this] { PopupMenu3Popup(); });
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &TTaskListView::ShowPopup);
}

void TTaskListView::SetWorker(TFTPThread* worker)
{
    FWorker = worker;
}

TTaskRow* TTaskListView::Row(int index) const
{
    return static_cast<TTaskRow*>(topLevelItem(index));
}

void TTaskListView::TaskAdded(const TTaskPtr& task)
{
    if (task)
        addTopLevelItem(new TTaskRow(task));
}

void TTaskListView::Progress()
{
    if (!FWorker || !FWorker->FCurrent)
        return;
    const TTaskPtr current = FWorker->FCurrent;
    FShownTask = current;
    FShownProgress = FWorker->FProgress;
    if (current->State() != tsRunning || (current->Kind != taskGet && current->Kind != taskPut))
        return;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        TTaskRow* row = Row(i);
        if (row->Task.lock() != current)
            continue;
        row->setText(colProgress, PercentText(FShownProgress));
        row->setText(colSpeed, SpeedText(FWorker->FSpeed));
        // The bar can grow while the text stays the same.
        viewport()->update(visualItemRect(row));
        return;
    }
}

void TTaskListView::TaskDone(const TTaskPtr& task)
{
    if (!task)
        return;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        TTaskRow* row = Row(i);
        if (row->Task.lock() != task)
            continue;
        switch (task->State()) {
        case tsAborted: row->setText(colProgress, kAborted); break;
        case tsFailed: row->setText(colProgress, kFailed); break;
        case tsCompleted: row->setText(colProgress, kCompleted); break;
        default: break; // a shell open ends without a final state and keeps "Pending"
        }
        // The worker discards the task right after this; the row lets go of it now, so that no
        // abort can reach a task that has already run.
        row->Task.reset();
        return;
    }
}

void TTaskListView::RemoveFinishedRows()
{
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        if (Row(i)->IsFinished())
            delete takeTopLevelItem(i);
    }
}

void TTaskListView::AbortAll()
{
    if (!FWorker)
        return;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (const TTaskPtr task = Row(i)->Task.lock())
            FWorker->AbortTask(task);
    }
}

void TTaskListView::PopupMenu3Popup()
{
    const bool connected = FWorker && FWorker->IsConnected();
    Abort1->setEnabled(connected && !selectedItems().isEmpty());
    AbortAll1->setEnabled(connected);
}

void TTaskListView::Abort1Click()
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (!FWorker || selected.isEmpty())
        return;
    if (const TTaskPtr task = static_cast<TTaskRow*>(selected.first())->Task.lock())
        FWorker->AbortTask(task);
}

void TTaskListView::AbortAll1Click()
{
    AbortAll();
}

bool TTaskListView::BarFraction(const QModelIndex& index, float& fraction) const
{
    if (index.column() != colProgress || index.parent().isValid())
        return false;
    const TTaskRow* row = Row(index.row());
    if (!row || !row->text(colProgress).endsWith(QLatin1Char('%')))
        return false;
    const TTaskPtr task = row->Task.lock();
    if (!task || task != FShownTask.lock() || task->State() != tsRunning)
        return false;
    if (!(FShownProgress > 0)) // also false for a fraction that is not a number
        return false;
    fraction = FShownProgress;
    return true;
}

void TTaskListView::ShowPopup(const QPoint& pos)
{
    PopupMenu3->popup(viewport()->mapToGlobal(pos));
}
