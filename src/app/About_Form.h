#pragma once
// The borderless About box: one picture; a click on it closes the box.
#include <QLabel>
#include <QWidget>

class TAboutForm;

class TAboutImage : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TAboutForm : public QWidget {
    Q_OBJECT
public:
    TAboutForm();
    // Shows the box centred over owner, which stays disabled until the picture is clicked.
    void ShowOver(QWidget* owner);
    TAboutImage* Image1;
    // Enables the owner again and closes the box.
    void Image1Click();

private:
    QWidget* FOwner = nullptr;
};
