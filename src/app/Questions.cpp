#include "app/Questions.h"

#include <QMessageBox>
#include <QPushButton>

Questions::TAskHook Questions::AskHook;
Questions::TMessageHook Questions::MessageHook;

TAnswer Questions::Ask(QWidget* owner, const QString& text, bool withAll, bool withResume)
{
    if (AskHook) {
        const TAnswer a = AskHook(text, withAll);
        return a == mrResume && !withResume ? mrNo : a;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton, owner);
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    QPushButton* no = box.addButton(QMessageBox::No);
    QPushButton* all = withAll ? box.addButton(QStringLiteral("All"), QMessageBox::YesRole) : nullptr;
    QPushButton* resume =
        withResume ? box.addButton(QStringLiteral("Resume"), QMessageBox::YesRole) : nullptr;
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    if (box.clickedButton() == yes)
        return mrYes;
    if (all != nullptr && box.clickedButton() == all)
        return mrAll;
    if (resume != nullptr && box.clickedButton() == resume)
        return mrResume;
    return mrNo;
}

void Questions::Message(QWidget* owner, const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox::information(owner, QStringLiteral("Quillmoor Ferrystar v1.0"), text);
}

void Questions::Error(QWidget* owner, const QString& text)
{
    if (MessageHook) {
        MessageHook(text);
        return;
    }
    QMessageBox::critical(owner, QStringLiteral("Quillmoor Ferrystar v1.0"), text);
}
