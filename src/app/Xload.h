#pragma once
// Destination folder and file name dialog of uploads and downloads.
#include <QDialog>

class TXloadForm : public QDialog {
    Q_OBJECT
public:
    explicit TXloadForm(QWidget* parent = nullptr);
};
