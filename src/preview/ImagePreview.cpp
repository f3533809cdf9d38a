#include "preview/ImagePreview.h"

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

#include "preview/ImageFiles.h"

void TPaintBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (OnPaint)
        OnPaint(painter);
}

void TPaintBox::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown)
        OnMouseDown(event);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove(event);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp)
        OnMouseUp(event);
}

TImagePreview::TImagePreview(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheet3"));
    setAcceptDrops(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildInfoPanel();
    BuildImagePanel();
    layout->addWidget(Panel8);
    layout->addWidget(ImagePanel, 1);
}

void TImagePreview::BuildInfoPanel()
{
    Panel8 = new QWidget(this);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    Panel8->setFixedWidth(177);
    auto* grid = new QVBoxLayout(Panel8);
    grid->setContentsMargins(8, 6, 8, 6);
    auto* size = new QHBoxLayout;
    Label4 = new QLabel(QStringLiteral("Dimensions:"), Panel8);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label6 = new QLabel(Panel8);
    Label6->setObjectName(QStringLiteral("Label6"));
    size->addWidget(Label4);
    size->addWidget(Label6, 1);
    grid->addLayout(size);
    grid->addWidget(new QLabel(QStringLiteral("Filename:"), Panel8));
    LabeledEdit1 = new QLineEdit(Panel8);
    LabeledEdit1->setObjectName(QStringLiteral("LabeledEdit1"));
    LabeledEdit1->setReadOnly(true);
    LabeledEdit1->setAcceptDrops(false);
    QPalette pal = LabeledEdit1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Inactive, QPalette::Window));
    LabeledEdit1->setPalette(pal);
    grid->addWidget(LabeledEdit1);
    CheckBox2 = new QCheckBox(QStringLiteral("Stretch"), Panel8);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setToolTip(QStringLiteral("Fit to visible"));
    CheckBox2->setChecked(true);
    grid->addWidget(CheckBox2);
    grid->addStretch(1);
    connect(CheckBox2, &QCheckBox::toggled, this, &TImagePreview::CheckBox2Click);
}

void TImagePreview::BuildImagePanel()
{
    ImagePanel = new QFrame(this);
    ImagePanel->setObjectName(QStringLiteral("ImagePanel"));
    ImagePanel->setFrameShape(QFrame::Panel);
    ImagePanel->setFrameShadow(QFrame::Sunken);
    ImagePanel->setAutoFillBackground(true);
    QPalette pal = ImagePanel->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Highlight));
    ImagePanel->setPalette(pal);
    auto* grid = new QGridLayout(ImagePanel);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(0);
    PaintBox1 = new TPaintBox(ImagePanel);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setMinimumSize(1, 1);
    ScrollBar1 = new QScrollBar(Qt::Vertical, ImagePanel);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setFixedWidth(17);
    ScrollBar2 = new QScrollBar(Qt::Horizontal, ImagePanel);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    ScrollBar2->setFixedHeight(17);
    ScrollBar2->setSingleStep(5);
    // They only show the position: the picture moves by dragging it.
    for (QScrollBar* bar : {ScrollBar1, ScrollBar2}) {
        bar->setEnabled(false);
        bar->setPageStep(0);
        bar->hide();
    }
    grid->addWidget(PaintBox1, 0, 0);
    grid->addWidget(ScrollBar1, 0, 1);
    grid->addWidget(ScrollBar2, 1, 0);
    ImagePanel->installEventFilter(this);
    PaintBox1->OnPaint = [this](QPainter& p) { PaintBox1Paint(p); };
    PaintBox1->OnMouseDown = [this](QMouseEvent* e) { ScrollBox1MouseDown(e); };
    PaintBox1->OnMouseMove = [this](QMouseEvent* e) { ScrollBox1MouseMove(e); };
    PaintBox1->OnMouseUp = [this](QMouseEvent*) { ScrollBox1MouseUp(); };
    connect(ScrollBar1, &QScrollBar::valueChanged, this, [this](int v) {
        offsetY = -v;
        PaintBox1->update();
    });
    connect(ScrollBar2, &QScrollBar::valueChanged, this, [this](int v) {
        offsetX = -v;
        PaintBox1->update();
    });
}

bool TImagePreview::ShowImage(const QString& path)
{
    QImage loaded = LoadPicture(path);
    if (loaded.isNull()) {
        if (OnStatus)
            OnStatus(QStringLiteral("Picture can't be displayed"));
        Picture = QImage();
        PaintBox1->update();
        return false;
    }
    Picture = std::move(loaded);
    Label6->setText(QStringLiteral("%1x%2").arg(Picture.width()).arg(Picture.height()));
    LabeledEdit1->setText(path);
    if (OnActivate)
        OnActivate();
    offsetX = 0;
    offsetY = 0;
    PaintBox1->update();
    RecomputeScrollBars();
    return true;
}

void TImagePreview::RecomputeScrollBars()
{
    // The viewing area as it is with both bars hidden; a shown vertical bar narrows it for the
    // horizontal one, as the layout will once it runs.
    QSize area = ImagePanel->contentsRect().marginsRemoved(ImagePanel->layout()->contentsMargins()).size();
    const bool stretch = CheckBox2->isChecked() || Picture.isNull();
    const int tall = stretch ? 0 : Picture.height() - area.height();
    if (tall > 0)
        area.rwidth() -= ScrollBar1->width();
    const int wide = stretch ? 0 : Picture.width() - area.width();
    paintEnabled = false;
    ScrollBar1->setRange(0, std::max(tall, 0));
    ScrollBar1->setPageStep(std::max(tall, 0) / 10);
    ScrollBar2->setRange(0, std::max(wide, 0));
    ScrollBar2->setPageStep(std::max(wide, 0) / 10);
    ScrollBar1->setValue(0);
    ScrollBar2->setValue(0);
    ScrollBar1->setVisible(tall > 0);
    ScrollBar2->setVisible(wide > 0);
    paintEnabled = true;
    offsetX = 0;
    offsetY = 0;
}

QRect TImagePreview::PictureRect() const
{
    if (Picture.isNull())
        return {};
    if (!CheckBox2->isChecked())
        return {QPoint(offsetX, offsetY), Picture.size()};
    const int h = PaintBox1->height();
    const int w = static_cast<int>(std::lround(double(Picture.width()) * h / Picture.height()));
    return {0, 0, w, h};
}

void TImagePreview::PaintBox1Paint(QPainter& painter)
{
    if (!paintEnabled || Picture.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(PictureRect(), Picture);
}

void TImagePreview::CheckBox2Click()
{
    PaintBox1->update();
    RecomputeScrollBars();
}

void TImagePreview::ScrollBox1MouseDown(QMouseEvent* event)
{
    if (CheckBox2->isChecked())
        return;
    dragging = true;
    QApplication::setOverrideCursor(Qt::PointingHandCursor);
    FLastPos = event->position().toPoint();
}

void TImagePreview::ScrollBox1MouseUp()
{
    if (dragging)
        QApplication::restoreOverrideCursor();
    dragging = false;
}

// The offset follows the mouse but never shows beyond the picture's edges.
int TImagePreview::Follow(int offset, int moved, int area, int picture, QScrollBar* bar)
{
    if (bar->isHidden())
        return 0;
    offset = std::max(std::min(offset + moved, 0), area - picture);
    const QSignalBlocker quiet(bar);
    bar->setValue(-offset);
    return offset;
}

void TImagePreview::ScrollBox1MouseMove(QMouseEvent* event)
{
    if (FInMove || !dragging)
        return;
    FInMove = true;
    paintEnabled = false;
    const QPoint at = event->position().toPoint();
    offsetY = Follow(offsetY, at.y() - FLastPos.y(), PaintBox1->height(), Picture.height(), ScrollBar1);
    offsetX = Follow(offsetX, at.x() - FLastPos.x(), PaintBox1->width(), Picture.width(), ScrollBar2);
    paintEnabled = true;
    PaintBox1->update();
    FLastPos = at;
    FInMove = false;
}

bool TImagePreview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ImagePanel && event->type() == QEvent::Resize)
        RecomputeScrollBars();
    return QWidget::eventFilter(watched, event);
}

void TImagePreview::dragEnterEvent(QDragEnterEvent* event)
{
    if (AcceptsDrop && AcceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TImagePreview::dragMoveEvent(QDragMoveEvent* event)
{
    if (AcceptsDrop && AcceptsDrop(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TImagePreview::dropEvent(QDropEvent* event)
{
    if (!AcceptsDrop || !AcceptsDrop(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (OnActivate)
        OnActivate();
    if (OnPreviewRemote)
        OnPreviewRemote();
}
