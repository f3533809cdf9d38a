#pragma once
// The main window: connection bar, local and remote panes, report panel, menus, lifecycle.
#include <QIcon>
#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/FTPThread.h"
#include "platform/QtEnginePlatform.h"
#include "sites/SiteList.h"

class QAbstractItemView;
class QAction;
class QDropEvent;
class QMimeData;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeWidget;
class TSiteBox;
class TRemotePane;
class TLocalPane;
class TImagePreview;
class TTaskListView;

// The local list as the transfers see it; the local pane fills these in.
struct TLocalAccess {
    QAbstractItemView* List = nullptr;
    std::function<QString()> Folder;
    std::function<QStringList()> Selection;          // full paths, in list order
    std::function<QString(const QPoint& at)> PathAt; // the item under a point of the viewport
    std::function<void()> Refresh;
    // The local list's own commands, for the Actions menu and Tab.
    std::function<void()> Open, Delete, Rename, UpOneFolder, NewFolder, SelectFirst;
};

// ImageList2 of the report panel's button: 0 maximise, 1 minimise.
QIcon SpeedButton4Icon(int index);
// A failure message as the user reads it: its lines joined, without the socket error's number.
QString FailureReason(const std::string& message);

class TMainFrm : public QMainWindow {
    Q_OBJECT
public:
    // appFolder holds servers.sit, stateFolder log.txt and err.txt (appFolder when empty).
    explicit TMainFrm(const std::string& appFolder, const std::string& stateFolder = {});
    ~TMainFrm() override;

    // Window state
    uint32_t ReportPanelHeight = 0;
    uint32_t LocalPanelWidth = 0;
    int32_t CurrentSite = -1;
    bool FieldEdited = false;
    bool SortDescending = false;
    uint8_t SortKey = 0;
    std::string TempFolder;
    bool DisconnectNoticed = true;
    int32_t ConnectedItemIndex = -1;
    std::string AppFolder;
    std::string StateFolder;
    TSiteFileData SiteData; // the site list, the proxy values and the saved layout sizes
    bool StartupFailed = false;
    TQtEnginePlatform Platform;
    std::unique_ptr<TFTPThread> Worker;

    // Connection bar
    QWidget* ConnectPanel;
    TSiteBox* ComboBox1;
    QLineEdit* LabeledEdit2;
    QLineEdit* LabeledEdit3;
    QLineEdit* LabeledEdit4;
    QCheckBox* CheckBox1;
    QComboBox* ComboBox2;
    QPushButton* Button1;
    QPushButton* Button2;
    // Middle band and report panel
    QSplitter* Splitter2; // above the report panel
    QSplitter* Splitter1; // between the panes
    QWidget* LocalPanel;
    TLocalPane* LocalPane;
    QWidget* FTPPanel;
    TRemotePane* RemotePane;
    QTreeWidget* ListView1; // the remote list
    QComboBox* RemoteFolderBox;
    QWidget* ReportPanel;
    QWidget* Panel1;
    QToolButton* SpeedButton4;
    QTabWidget* PageControl1;
    QPlainTextEdit* Log;
    TTaskListView* ListView2; // the task list
    TImagePreview* ImagePreview;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    QTimer* Timer1;
    // Menu items, by their handlers' names
    QAction *Servers1, *ProxySetup1, *Exit1;
    QAction *Connect1, *Disconnect1, *Upload2, *Download1, *Open3, *Delete4, *Rename1, *Permissions2,
        *ImagePreview2, *UpOneFolder1, *Changefolder1, *MakeFolder1, *Refresh3;
    QAction *OnlineHelp1, *About1;

    bool ReportPanelMaximized() const { return FReportMaximized; }
    int ReportPanelMinimumHeight() const;
    void AppendLog(const QString& line);
    void FillSiteBox();
    bool CheckDisconnect();
    void SaveSiteFile();
    bool RemoteButtonsEnabled() const { return FRemoteButtonsEnabled; }

    // Session control
    void ConnectSelectedSite();
    void Button1Click() { ConnectSelectedSite(); }
    void Button2Click() { CheckDisconnect(); }
    void Timer1Timer();
    // Site selection on the connection bar
    void ChooseEntry(int index);
    void ComboBox1Typed();
    void ComboBox1Exit();
    void ComboBox1DeleteKey(int index);
    void FieldTyped();
    void FieldExit(QLineEdit* field);
    void CheckBox1Click();
    void ComboBox2Select(int index);
    void AbortAllTasks();
    void RemoveFinishedTaskRows();
    void Servers1Click();
    void ProxySetup1Click();
    void Actions1Click();

    // Transfers
    TLocalAccess Local;
    void DownloadSelection(const QString& folder = QString());
    void UploadSelection(const std::string& subfolder = std::string());
    void UploadPaths(const QStringList& paths, const std::string& subfolder);
    void MoveRemoteSelection(const std::string& folder);
    void Upload2Click();
    void Download1Click();
    void Download2Click();
    void AskOverwrite();
    // Drops: whether the drop is taken (the cursor), and what it does.
    bool ListView1DragOver(const QMimeData& data, const QPoint& at);
    void ListView1DragDrop(const QMimeData& data, const QPoint& at);
    bool ShellListView1DragOver(const QMimeData& data, const QPoint& at, bool fromLocalList);
    void ShellListView1DragDrop(const QMimeData& data, const QPoint& at, bool fromLocalList);
    void EndDrag();
    // Commands of the Actions menu that act on the focused list.
    bool RemoteFocused() const;
    void Open3Click();
    void Delete4Click();
    void Rename1Click();
    void UpOneFolder1Click();
    void MakeFolder1Click();
    void Refresh3Click();
    // Tab between the lists.
    void FocusRemoteList();
    void FocusLocalList();

    // Handlers
    void SpeedButton4Click();
    void Splitter1Moved();
    void Splitter2Moved();
    void About1Click();
    void OnlineHelp1Click();
    void Exit1Click();
    bool FormCloseQuery();
    void FormClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FollowLogEnd();
    bool FLogFollowsEnd = true;
    void BuildLayout();
    void BuildConnectPanel();
    void BuildReportPanel();
    void BuildMenus();
    void FormCreate();
    void FormResize();
    void ApplyLayoutSizes();
    void ReportError(const QString& text);
    void SaveLogFile();
    void CreateWorker();
    void ConnectBarSignals();
    void AttachWorkerHandlers();
    void WorkerConnected();
    void WorkerConnectFailed();
    void WorkerDisconnected();
    void AttachLocalDefaults();
    void ConnectActions();
    void AttachLocalDrops();
    bool SafeLocalName(const std::string& name);
    void WorkerDownloaded(const std::string& local);
    void CommandDone(const TTaskPtr& task);
    void ReportFailedCommand(const TTaskPtr& task);
    TTaskPtr FFailedCommand; // told failed, its row not yet
    void SetRemoteButtons(bool enabled);
    void ClearRemotePane();
    void ReloadBarFromSite(int site);
    void LeaveFocusedField();
    bool SiteIsCurrent() const;
    bool FRemoteButtonsEnabled = false;
    bool FAutoComplete = true;
    int FConnectingSite = -1;
    bool FReportMaximized = false;
    bool FClosed = false;
    bool FLayoutApplied = false;
};
