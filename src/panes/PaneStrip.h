#pragma once
// Pieces both file panes share: a button of the pane's strip and a text prompt that tests answer.
#include <QString>
#include <functional>

class QToolButton;
class QWidget;

using TPromptHook = std::function<bool(const QString& title, const QString& label, QString& value)>;

QToolButton* PaneStripButton(QWidget* strip, const char* name, int x, const char* hint, const char* icon,
                             int fallback);
// Asks for a text; false when cancelled. A set hook answers instead of a dialog.
bool PromptForText(QWidget* owner, const TPromptHook& hook, const QString& title, const QString& label,
                   QString& value);
