#pragma once
// The local folder pane: the places box and buttons on its strip, the folder list over the file
// system model, its context menus, keys and commands.
#include <QObject>
#include <QStringList>
#include <QTreeView>
#include <functional>
#include <memory>

#include "panes/PaneStrip.h"

class QComboBox;
class QFileSystemModel;
class TLocalListModel;
class TLocalIconProvider;
class QFileSystemWatcher;
class QMenu;
class QAction;
class QToolButton;
class TMainFrm;

// The list view: keys and Tab to the remote list.
class TLocalListView : public QTreeView {
    Q_OBJECT
public:
    using QTreeView::QTreeView;
    std::function<void(QKeyEvent*)> OnKeyDown;
    std::function<void()> OnTab;
    std::function<void()> OnEndDrag; // a drag from the list ended, dropped or not
    bool Editing() const { return state() == QAbstractItemView::EditingState; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions actions) override;
    bool focusNextPrevChild(bool next) override;
};

class TLocalPane : public QObject {
    Q_OBJECT
public:
    // Builds the strip and the list into the pane's widget, showing the Desktop (else home).
    TLocalPane(TMainFrm& main, QWidget* localPanel);
    ~TLocalPane() override;

    QComboBox* ShellComboBox1;
    QToolButton *SpeedButton1, *SpeedButton5, *SpeedButton6, *SpeedButton9;
    TLocalListView* ShellListView1;
    QMenu* PopupMenu2; // with nothing selected: "Refresh"
    QMenu* ItemMenu;   // for the first selected item
    QAction *Open2, *Rename3, *Delete5, *Refresh4, *Properties1, *Refresh1;

    // What other commands build on.
    QString CurrentFolder() const { return FFolder; }
    void SetFolder(const QString& folder);
    // Full paths of the selected items, in list order.
    QStringList SelectedPaths() const;
    QString FirstSelectedPath() const;
    bool IsFolder(const QString& path) const;
    // Reads the shown folder again; Soon gathers a burst of calls (one per downloaded file) into one.
    void Refresh();
    void RefreshSoon();
    // Rows shown now (the model loads a folder in the background).
    int RowCount() const;
    QString PathAt(int row) const;

    // Set by the window: an image became selected, Tab, F5.
    std::function<void(const QString& path)> OnImageSelected;
    std::function<void()> OnFocusRemote;
    std::function<void()> OnUploadWithDialog;

    // Commands
    void UpOneFolder();
    void NewFolder();
    void DeleteFirstSelected();
    void StartRename();
    void OpenSelected();
    void ShowProperties();
    void SelectFirst();
    void ShellListView1ColumnClick(int column);
    int ShellSortColumn() const { return FSortColumn; }

    // Text prompts; tests answer them through the hook (false: cancelled).
    static TPromptHook PromptHook;

private:
    QWidget* BuildStrip(QWidget* pane);
    void BuildList(QWidget* pane);
    void BuildMenus();
    void ConnectSignals();
    void AttachModel();
    void FillPlaces();
    void ShellComboBox1Change(int index);
    void ShellListView1KeyDown(QKeyEvent* event);
    void ShellListView1Change(const class QItemSelection& selected);
    void ShellChangeNotifier1Change();
    void ShowContextMenu(const QPoint& at);
    void Renamed(const QModelIndex& index, const QString& newName);
    bool Prompt(const QString& title, const QString& label, QString& value);
    QModelIndex SourceIndex(int row) const;

    TMainFrm& FMain;
    QFileSystemModel* FModel = nullptr;
    TLocalListModel* FSort;                     // the list's rows over the model, in the pane's order
    std::unique_ptr<TLocalIconProvider> FIcons; // for every model the pane makes
    QFileSystemWatcher* ShellChangeNotifier1;
    class QTimer* FRefreshTimer;
    QString FFolder;
    int FSortColumn = 0;
};
