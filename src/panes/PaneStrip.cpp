#include "panes/PaneStrip.h"

#include <QInputDialog>
#include <QStyle>
#include <QToolButton>

#include "platform/Icons.h"

QToolButton* PaneStripButton(QWidget* strip, const char* name, int x, const char* hint, const char* icon,
                             int fallback)
{
    auto* b = new QToolButton(strip);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, 6, 28, 28);
    b->setAutoRaise(true);
    b->setToolTip(QString::fromLatin1(hint));
    b->setIcon(ThemeIcon(icon, static_cast<QStyle::StandardPixmap>(fallback)));
    b->setIconSize(QSize(20, 20));
    return b;
}

bool PromptForText(QWidget* owner, const TPromptHook& hook, const QString& title, const QString& label,
                   QString& value)
{
    if (hook)
        return hook(title, label, value);
    bool ok = false;
    const QString text = QInputDialog::getText(owner, title, label, QLineEdit::Normal, value, &ok);
    if (ok)
        value = text;
    return ok;
}
