#pragma once
// The "Image Preview" page: the information fields, the viewing area, dragging a picture shown at
// natural size, and drops of remote pictures.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QScrollBar;
class QMimeData;

// Where the picture is drawn; mouse and paint go back to the page.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    std::function<void(QPainter&)> OnPaint;
    std::function<void(QMouseEvent*)> OnMouseDown, OnMouseMove, OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TImagePreview : public QWidget {
    Q_OBJECT
public:
    explicit TImagePreview(QWidget* parent = nullptr);

    QWidget* Panel8;
    QLabel* Label4;
    QLabel* Label6;
    QLineEdit* LabeledEdit1;
    QCheckBox* CheckBox2;
    QFrame* ImagePanel;
    TPaintBox* PaintBox1;
    QScrollBar* ScrollBar1;
    QScrollBar* ScrollBar2;

    QImage Picture;
    int offsetX = 0;
    int offsetY = 0;
    bool dragging = false;
    bool paintEnabled = true;

    // Set by the window: the status text, showing this page, and what a drop may bring.
    std::function<void(const QString&)> OnStatus;
    std::function<void()> OnActivate;
    std::function<bool(const QMimeData*)> AcceptsDrop;
    std::function<void()> OnPreviewRemote;

    // False (and the status text) when the file cannot be shown.
    bool ShowImage(const QString& path);
    // The rectangle the picture takes in the paint box.
    QRect PictureRect() const;
    void RecomputeScrollBars();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildInfoPanel();
    void BuildImagePanel();
    void PaintBox1Paint(QPainter& painter);
    void CheckBox2Click();
    void ScrollBox1MouseDown(QMouseEvent* event);
    void ScrollBox1MouseMove(QMouseEvent* event);
    void ScrollBox1MouseUp();
    static int Follow(int offset, int moved, int area, int picture, QScrollBar* bar);
    QPoint FLastPos;
    bool FInMove = false;
};
