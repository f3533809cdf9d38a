#pragma once
// The connection bar's server box: an editable box whose list is refilled each time it drops
// down, whose dropped-down list reports the Delete key and is as wide as its longest entry, and
// which reports an entry as chosen only when the user picks it (list or arrow keys), never when
// the typed text merely matches an entry as the box is left or Enter is pressed.
#include <QComboBox>
#include <functional>

class TSiteBox : public QComboBox {
    Q_OBJECT
public:
    explicit TSiteBox(QWidget* parent = nullptr);
    void showPopup() override;
    bool PopupShown() const { return FPopupShown; }
    void hidePopup() override;
    // The width the dropped-down list needs for its longest entry.
    int PopupWidth() const;

    std::function<void()> OnDropDown;
    // The entry highlighted in the dropped-down list when Delete was pressed.
    std::function<void(int index)> OnDeleteKey;

signals:
    void EntryChosen(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool FPopupShown = false;
    bool FEditingFinishes = false; // the box's own "activated" of a matching text is not a choice
};
