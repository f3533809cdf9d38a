#pragma once
// The one wrapper around local file operations: move, copy, delete, rename.
#include <QString>
#include <functional>

enum TShellFileOperation { foMove = 1, foCopy = 2, foDelete = 3, foRename = 4 };
enum TShellFileOpFlags : unsigned {
    fofSilent = 0x0004,         // no progress window
    fofNoConfirmation = 0x0010, // answer every question with Yes
};

// True when the operation succeeded. Without the flags the user confirms first and sees progress.
bool ShellFileOp(const QString& source, const QString& target, int operation, unsigned flags);

// Tests answer the confirmation here (true: Yes); unset, a Yes/No box asks.
extern std::function<bool(const QString& title, const QString& text)> ShellFileOpConfirmHook;
