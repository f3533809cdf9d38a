#include "app/Xload.h"
#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TXloadForm::TRunHook TXloadForm::RunHook;

namespace {

QLineEdit* LabelledEdit(QWidget* parent, const char* name, const char* caption, int y)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(8, y, 257, edit->sizeHint().height());
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setBuddy(edit);
    label->move(8, y - label->sizeHint().height() - 1);
    return edit;
}

} // namespace

TXloadForm::TXloadForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("XloadForm"));
    setWindowTitle(QStringLiteral("Xload"));
    Folder = LabelledEdit(this, "Folder", "Destination &Folder", 24);
    Name = LabelledEdit(this, "Name", "File &Name", 64);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(56, 96, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(136, 96, 75, 25);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    // Taller fonts push the edits down; the client area grows with them.
    setFixedSize(275, std::max(128, Button1->geometry().bottom() + 7));
}

bool TXloadForm::Run()
{
    if (RunHook)
        return RunHook(*this);
    return exec() == QDialog::Accepted;
}
