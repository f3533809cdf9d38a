#pragma once
// The window's confirmation and message boxes. Tests replace the hooks to answer them.
#include <QString>
#include <functional>

class QWidget;

enum TAnswer { mrYes, mrNo, mrAll, mrResume };

namespace Questions {
// Yes and No, or Yes, No and All, each with Resume when offered; closing the box counts as No.
using TAskHook = std::function<TAnswer(const QString& text, bool withAll)>;
using TMessageHook = std::function<void(const QString& text)>;
extern TAskHook AskHook;
extern TMessageHook MessageHook;

// A hook's Resume counts as No where Resume was not offered.
TAnswer Ask(QWidget* owner, const QString& text, bool withAll = false, bool withResume = false);
void Message(QWidget* owner, const QString& text);
// An error box; tests see it through MessageHook as well.
void Error(QWidget* owner, const QString& text);
} // namespace Questions
