#pragma once
// The proxy settings dialog: edits the one proxy every connection goes through.
#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

class QGridLayout;
class QLineEdit;
class QPushButton;
struct ShortString255;
struct TSiteFileData;

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    void SetData(TSiteFileData* data);
    // Shows the stored proxy values, and stores the edited ones when the user presses OK.
    void EditProxy();

    int32_t PendingPort = 0; // the port OK will store

    // Shows "Please enter a number"; replaceable so that tests need no modal box.
    static std::function<void(QWidget* owner, const QString& text)> ShowMessage;

    QLineEdit *HostEdit, *UserEdit, *PasswordEdit, *PortEdit;
    QPushButton *OkButton, *CancelButton;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void PortChanged(const QString& text);
    void StoreFields();

    TSiteFileData* FData = nullptr;
};
