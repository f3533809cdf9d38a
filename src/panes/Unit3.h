#pragma once
// The permissions dialog of a remote entry: nine boxes and the octal mode they make.
#include <QDialog>
#include <string>

#include "engine/FTPTask.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    // "User" shows the others' rights.
    TFTPRights UserPerm, GroupPerm, OwnerPerm;
    QLineEdit* LabeledEdit1;
    QLineEdit* LabeledEdit2;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7, *CheckBox8,
        *CheckBox9;
    QPushButton *Button1, *Button2;

    // From a listing's nine permission characters: owner, group, others.
    void SetRights(const std::string& rights);
    void UpdateNumeric();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void BoxClicked(QCheckBox* box, TFTPRights& record, bool TFTPRights::*flag);
};
