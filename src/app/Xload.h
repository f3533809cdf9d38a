#pragma once
// Destination folder and file name dialog of uploads and downloads.
#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

class TXloadForm : public QDialog {
    Q_OBJECT
public:
    explicit TXloadForm(QWidget* parent = nullptr);
    QLineEdit* Folder;
    QLineEdit* Name;
    QPushButton* Button1;
    QPushButton* Button2;

    // Shows the dialog modally; tests answer it through the hook (false: cancelled).
    bool Run();
    using TRunHook = std::function<bool(TXloadForm& form)>;
    static TRunHook RunHook;
};
