#include "app/About_Form.h"

#include <QFile>

#include "preview/JpegDecoder.h"

void TAboutImage::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    emit clicked();
}

TAboutForm::TAboutForm() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("AboutForm"));
    setFixedSize(500, 225);
    Image1 = new TAboutImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 500, 225);
    QFile f(QStringLiteral(":/about.jpg"));
    if (f.open(QIODevice::ReadOnly))
        Image1->setPixmap(QPixmap::fromImage(DecodeJpeg(f.readAll())));
    connect(Image1, &TAboutImage::clicked, this, &TAboutForm::Image1Click);
}

void TAboutForm::ShowOver(QWidget* owner)
{
    FOwner = owner;
    if (owner != nullptr) {
        owner->setEnabled(false);
        const QRect r = owner->frameGeometry();
        move(r.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}

void TAboutForm::Image1Click()
{
    if (FOwner != nullptr)
        FOwner->setEnabled(true);
    close();
}
