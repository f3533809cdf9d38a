#pragma once
// The remote folder pane: the folder box and buttons on its strip, the list of the last listing,
// its context menu, keys and commands.
#include <QObject>
#include <QTreeWidget>
#include <functional>

#include "panes/PaneStrip.h"
#include <memory>
#include <string>

#include "engine/FTPTask.h"

class QComboBox;
class QMenu;
class QAction;
class QToolButton;
class TMainFrm;

// One row of the remote list; every row but ".." owns the record of its entry. Texts and icons
// are made from the record when the view asks, so a folder of many thousand entries shows at once.
class TRemoteRow : public QTreeWidgetItem {
public:
    std::unique_ptr<TFTPFileInfo> Info;
    std::string Rights; // the nine permission characters as listed
    bool IsParentRow() const { return !Info; }
    QVariant data(int column, int role) const override;
    // Orders rows by the pane's comparison while the list sorts them.
    bool operator<(const QTreeWidgetItem& other) const override;
    static const class TRemotePane* SortingPane;
};

// What a drag from the remote list carries: the dragged rows' names as the server listed them,
// one a line.
inline const char* const kRemoteEntriesMime = "application/x-ferrystar-remote-entries";

// The list view: keys, Tab to the local list, and sorting by the program's own comparison.
class TRemoteListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TRemoteListView(QWidget* parent);
    std::function<void(QKeyEvent*)> OnKeyDown;
    std::function<void()> OnTab;
    // Drops: whether one is taken here (the cursor), what it does, and the end of a drag from here.
    std::function<bool(const QMimeData& data, const QPoint& at)> OnDragOver;
    std::function<void(const QMimeData& data, const QPoint& at)> OnDrop;
    std::function<void()> OnEndDrag;
    TRemoteRow* Row(int index) const;
    TRemoteRow* FirstSelected() const;
    int ContentWidth(int column) const { return sizeHintForColumn(column); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    void startDrag(Qt::DropActions actions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class TRemotePane : public QObject {
    Q_OBJECT
public:
    // Builds the strip and the list into the pane's widget.
    TRemotePane(TMainFrm& main, QWidget* ftpPanel);
    ~TRemotePane() override;

    QComboBox* ComboBoxEx1;
    QToolButton *SpeedButton2, *SpeedButton3, *SpeedButton10, *SpeedButton8, *SpeedButton7;
    TRemoteListView* ListView1;
    QMenu* PopupMenu1;
    QAction *Download2, *Open1, *Delete1, *ImagePreview1, *Permissions1, *Rename2, *SortBy1, *Name1, *Size1,
        *ype1, *Date1, *Refresh2;
    // Commands of other panes reached from this one (download with the dialog, F5; the pop-up's
    // Download): set by whoever builds them.
    std::function<void()> OnDownloadWithDialog, OnDownloadSelection;
    // The local list, for Tab; the preview of the selected picture.
    std::function<void()> OnFocusLocal;
    std::function<void()> OnPreviewRemote;

    // Worker notifications
    void ShowRemoteListing();
    void AskDelete();
    void ClearRemoteList();
    void AddPathHistory(const std::string& path);
    void ClearHistory();
    // Enabled after a login, disabled at the disconnection; Delete and Permissions also follow the selection.
    void SetButtonsEnabled(bool enabled);

    // Sorting
    int ListView1Compare(const TRemoteRow& item1, const TRemoteRow& item2) const;
    void SortRows();
    void ListView1ColumnClick(int column);
    void SortBy(int key);

    // Commands
    void OpenRemoteEntry();
    void UpOneFolder();
    void Refresh();
    void NewFolder();
    void ChangeFolder();
    void StartRename();
    void ListView1Edited(TRemoteRow* row, const QString& newName);
    void DeleteRemoteSelection();
    void Permissions1Click();
    void ListView1Change();
    void PopupMenu1Popup();
    void ComboBoxEx1EndEdit(int index);

    // Text prompts; tests answer them through the hook (false: cancelled).
    static TPromptHook PromptHook;

private:
    QWidget* BuildStrip(QWidget* pane);
    void BuildList(QWidget* pane);
    void BuildPopupMenu();
    void ConnectSignals();
    void ListView1KeyDown(QKeyEvent* event);
    void WidenClippedColumns();
    TRemoteRow* MakeRow(const class TIdFTPListItem& entry);
    void OpenRecord(const TFTPFileInfo& info);
    void OpenFile(const TFTPFileInfo& info);
    bool Prompt(const QString& title, const QString& label, QString& value);
    // Run by the worker in front of the waiting tasks; the window never waits for them.
    void QueueRename(const std::string& oldName, const std::string& newName);
    void QueueChmod(const std::string& name, const std::string& mode);

    TMainFrm& FMain;
    bool FButtonsEnabled = false;
};
