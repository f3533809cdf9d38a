#pragma once
// The Servers dialog: the saved sites and their fields.
#include <QDialog>

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};
