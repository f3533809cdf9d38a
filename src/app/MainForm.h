#pragma once
// The main window: connection bar, local and remote panes, report panel, menus, lifecycle.
#include <QIcon>
#include <QMainWindow>
#include <cstdint>
#include <string>

#include "engine/FTPThread.h"
#include "platform/QtEnginePlatform.h"
#include "sites/SiteList.h"

class QAction;
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
class TTaskListView;

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
    void BuildLayout();
    void BuildConnectPanel();
    QWidget* BuildPaneStrip(QWidget* pane, const char* name);
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
    void AskPerFile(const QString& text);
    void CommandDone(const TTaskPtr& task);
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
