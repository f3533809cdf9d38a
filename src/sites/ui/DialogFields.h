#pragma once
// Field helpers shared by the Servers and Proxy dialogs.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QWidget;
struct ShortString255;

// The text of a port field as a whole number; false when it is not one.
bool ReadPortText(const QString& text, int32_t& port);
// The message box used for a port text that is not a number.
void ShowPlainMessage(QWidget* owner, const QString& text);
// A stored field as shown, and a field's text as stored (cut to 255 bytes when assigned).
QString Shown(const ShortString255& s);
// A labelled text field in the next row of a dialog's grid.
QLineEdit* AddField(QWidget* owner, QGridLayout* grid, const char* name, const char* caption);
std::string Stored(const QLineEdit* edit);
// A labelled choice in the next row of a dialog's grid.
QComboBox* AddChoice(QWidget* owner, QGridLayout* grid, const char* name, const char* caption,
                     const QStringList& items);
