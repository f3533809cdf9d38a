#include "sites/ui/DialogFields.h"

#include <QApplication>
#include <QComboBox>
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

namespace {

template <class Control>
Control* AddRow(QWidget* owner, QGridLayout* grid, const char* name, const char* caption)
{
    auto* control = new Control(owner);
    control->setObjectName(QLatin1String(name));
    auto* label = new QLabel(QLatin1String(caption), owner);
    label->setBuddy(control);
    const int row = grid->rowCount();
    grid->addWidget(label, row, 0);
    grid->addWidget(control, row, 1);
    return control;
}

} // namespace

QLineEdit* AddField(QWidget* owner, QGridLayout* grid, const char* name, const char* caption)
{
    return AddRow<QLineEdit>(owner, grid, name, caption);
}

QComboBox* AddChoice(QWidget* owner, QGridLayout* grid, const char* name, const char* caption,
                     const QStringList& items)
{
    auto* box = AddRow<QComboBox>(owner, grid, name, caption);
    box->addItems(items);
    return box;
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
