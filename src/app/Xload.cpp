#include "app/Xload.h"

TXloadForm::TXloadForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("XloadForm"));
    setWindowTitle(QStringLiteral("Xload"));
}
