#include "sites/ui/SiteBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

TSiteBox::TSiteBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    view()->installEventFilter(this);
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
