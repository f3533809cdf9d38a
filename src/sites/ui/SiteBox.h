#pragma once
// The connection bar's server box: an editable box whose list is refilled each time it drops
// down, and whose dropped-down list reports the Delete key.
#include <QComboBox>
#include <functional>

class TSiteBox : public QComboBox {
    Q_OBJECT
public:
    explicit TSiteBox(QWidget* parent = nullptr);
    void showPopup() override;
    bool PopupShown() const { return FPopupShown; }
    void hidePopup() override;

    std::function<void()> OnDropDown;
    // The entry highlighted in the dropped-down list when Delete was pressed.
    std::function<void(int index)> OnDeleteKey;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool FPopupShown = false;
};
