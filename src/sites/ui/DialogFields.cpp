#include "sites/ui/DialogFields.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "sites/SiteList.h"

QString Shown(const ShortString255& s)
{
    return QString::fromLocal8Bit(s.Str());
}

std::string Stored(const QLineEdit* edit)
{
    return edit->text().toLocal8Bit().toStdString();
}

QLineEdit* AddField(QWidget* owner, QGridLayout* grid, const char* name, const char* caption)
{
    auto* edit = new QLineEdit(owner);
    edit->setObjectName(QLatin1String(name));
    auto* label = new QLabel(QLatin1String(caption), owner);
    label->setBuddy(edit);
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

bool ReadPortText(const QString& text, int32_t& port)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (ok)
        port = value;
    return ok;
}

void ShowPlainMessage(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    owner);
    box.exec();
}
