#include "sites/ui/SiteBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QStyle>
#include <algorithm>

TSiteBox::TSiteBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    view()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!FEditingFinishes)
            emit EntryChosen(index);
    });
}

// Leaving the box or pressing Enter finishes the line edit's editing, upon which the box itself
// selects and "activates" an entry whose text matches: that is typing, not choosing.
void TSiteBox::focusOutEvent(QFocusEvent* event)
{
    const QScopedValueRollback quiet(FEditingFinishes, true);
    QComboBox::focusOutEvent(event);
}

void TSiteBox::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QScopedValueRollback quiet(FEditingFinishes, enter);
    QComboBox::keyPressEvent(event);
}

int TSiteBox::PopupWidth() const
{
    const QFontMetrics metrics(view()->font());
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(itemText(i)));
    // Room for the item's margins, the frame and a vertical scroll bar.
    const int extra = 4 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) +
                      2 * view()->frameWidth() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                      metrics.averageCharWidth() * 2;
    return std::max(width(), widest + extra);
}

void TSiteBox::showPopup()
{
    if (OnDropDown) {
        // Refilling must not change what the user typed.
        const QString text = currentText();
        OnDropDown();
        setEditText(text);
    }
    FPopupShown = true;
    view()->setMinimumWidth(PopupWidth());
    QComboBox::showPopup();
}

void TSiteBox::hidePopup()
{
    FPopupShown = false;
    QComboBox::hidePopup();
}

bool TSiteBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && OnDeleteKey) {
        OnDeleteKey(view()->currentIndex().row());
        return true;
    }
    return QComboBox::eventFilter(watched, event);
}
