#pragma once
// The Servers dialog: the saved sites and their fields. Every edit goes straight into the site list.
#include <QDialog>
#include <cstdint>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QItemSelection;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TForm5;
struct TSiteFileData;

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    // The data the dialog edits, and the proxy dialog its "Proxy Settings" button runs.
    void SetData(TSiteFileData* data, TForm5* proxyDialog = nullptr);

    int32_t CurrentIndex = -1; // the site the fields belong to; read by the main window
    int32_t PendingPort = 21;  // the last port text that read as a number
    bool FieldEdited = false;  // shared by the text fields

    // Shows "Please enter a number"; replaceable so that tests need no modal box.
    static std::function<void(QWidget* owner, const QString& text)> ShowMessage;

    QTreeWidget* ListView1;
    QPushButton *AddButton, *DeleteButton;
    QGroupBox* ServerGroup;
    QLineEdit *HostEdit, *UserEdit, *PasswordEdit, *PortEdit, *InitialFolderEdit;
    QCheckBox *PassiveCheck, *KeepAliveCheck, *SavePasswordCheck;
    QComboBox* TransferTypeBox;
    // "Require ...", "Use ... if available", "Only use plain FTP (insecure)"; each row's data is
    // its TTlsMode.
    QComboBox* EncryptionBox;
    QPushButton *ProxyButton, *ConnectButton, *CloseButton;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    QWidget* CreateServerGroup();
    void RefillRows();
    void KeepCurrentInStep();
    void SelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void SelectRow(int row);
    void FillFields(int site);
    void ClearFields();
    void UpdateButtons();
    void AddClick();
    void DeleteClick();
    void FieldLeft(QLineEdit* field);
    void PortChanged(const QString& text);
    void PassiveClick(bool checked);
    void TransferTypeChosen(int index);
    void EncryptionChosen(int index);
    void ProxyClick();
    bool HasCurrentSite() const;

    TSiteFileData* FData = nullptr;
    TForm5* FProxyDialog = nullptr;
    bool FRebuildingRows = false; // selection signals of a rebuild or a removal are not the user's
};
