// The window's side of the session: connect, disconnect, the worker's notifications, the timer.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>

#include "app/MainForm.h"
#include "app/Questions.h"
#include "engine/ui/TaskListView.h"
#include "ftp/IdFTP.h"
#include "panes/LocalPane.h"
#include "panes/RemotePane.h"
#include "panes/RemoteText.h"
#include "platform/Icons.h"
#include "preview/ImageFiles.h"
#include "preview/ImagePreview.h"
#include "security/ui/CertificateDialog.h"
#include "sites/ui/SiteBox.h"

void TMainFrm::CreateWorker()
{
    Worker = std::make_unique<TFTPThread>(Platform);
    ListView2->SetWorker(Worker.get());
    AttachWorkerHandlers();
}

void TMainFrm::AttachWorkerHandlers()
{
    TFTPThread& w = *Worker;
    w.OnLog = [this] { StatusPanel0->setText(QString::fromLocal8Bit(Worker->FStatusText)); };
    w.OnProtocolLine = [this] { AppendLog(DisplayName(Worker->FProtocolLine)); };
    w.OnConnected = [this] { WorkerConnected(); };
    w.OnTaskAdded = [this](const TTaskPtr& task) { ListView2->TaskAdded(task); };
    w.OnProgress = [this] { ListView2->Progress(); };
    w.OnTaskDone = [this](const TTaskPtr& task) {
        ListView2->TaskDone(task);
        ReportFailedCommand(task);
    };
    w.OnConnectFailed = [this] { WorkerConnectFailed(); };
    w.OnCommandDone = [this](const TTaskPtr& task) { CommandDone(task); };
    w.OnDisconnected = [this] { WorkerDisconnected(); };
    w.OnListing = [this] { RemotePane->ShowRemoteListing(); };
    w.OnConfirmDelete = [this] { RemotePane->AskDelete(); };
    w.OnFileExists = [this] { AskOverwrite(); };
    w.OnDownloaded = [this](const TTaskPtr& task) { WorkerDownloaded(task->Destination); };
    // The worker waits in the connect for the answer; the window only shows the question.
    w.OnCertificateQuestion = [this] {
        Worker->FCertificateDecision = TCertificateDialog::Ask(this, Worker->FCertificate);
    };
}

// A refused command's box comes once its row says so (the row's news follows this one), and after
// the notification: the worker goes on meanwhile.
void TMainFrm::CommandDone(const TTaskPtr& task)
{
    if (task->State() == tsFailed)
        FFailedCommand = task;
}

void TMainFrm::ReportFailedCommand(const TTaskPtr& task)
{
    if (!task || task != FFailedCommand)
        return;
    FFailedCommand.reset();
    const QString text = QString::fromLocal8Bit(task->Error).trimmed();
    QMetaObject::invokeMethod(
        this, [this, text] { Questions::Message(this, text); }, Qt::QueuedConnection);
}

// Whatever command started it, a downloaded picture is shown.
void TMainFrm::WorkerDownloaded(const std::string& local)
{
    LocalPane->RefreshSoon();
    if (IsImageFile(local))
        ImagePreview->ShowImage(QString::fromLocal8Bit(local));
}

// All holds until the worker's queue runs empty; the worker resets it then. Resume is for this
// file only.
void TMainFrm::AskOverwrite()
{
    const TAnswer a =
        Questions::Ask(this,
                       QStringLiteral("File ") + QString::fromLocal8Bit(Worker->FCurrent->Destination) +
                           QStringLiteral(" already exits. Overwrite?"),
                       true, Worker->FResumeOffered);
    Worker->FAnswerYes = a != mrNo;
    Worker->FAnswerAll = a == mrAll;
    Worker->FAnswerResume = a == mrResume;
}

void TMainFrm::SetRemoteButtons(bool enabled)
{
    FRemoteButtonsEnabled = enabled;
    RemotePane->SetButtonsEnabled(enabled);
}

void TMainFrm::WorkerConnected()
{
    // The connected site's entry, also when the site was typed rather than picked.
    ConnectedItemIndex = FConnectingSite >= 0 ? FConnectingSite + 1 : ComboBox1->currentIndex();
    Worker->AddList();
    // The connected site's own initial folder, not whatever another dialog shows.
    if (FConnectingSite >= 0 && FConnectingSite < SiteData.Sites.Count()) {
        const std::string folder = SiteData.Sites.Get(FConnectingSite).InitialFolder.Str();
        if (!folder.empty())
            Worker->AddChangeDir(folder);
    }
    DisconnectNoticed = false;
    QString status = QStringLiteral("Connected to ") + ComboBox1->currentText();
    const std::string security = Worker->SessionSecurity();
    if (!security.empty())
        status += QStringLiteral(" (") + QString::fromStdString(security) + QLatin1Char(')');
    StatusPanel1->setText(status);
    SetRemoteButtons(true);
}

QString FailureReason(const std::string& message)
{
    QStringList parts;
    for (const QString& line :
         QString::fromLocal8Bit(message).split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        const QString part = line.trimmed();
        if (!part.isEmpty() && !part.startsWith(QStringLiteral("Socket Error # ")))
            parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

// The row shows the failure before the box waits for the user, and the box and the Log page
// say why the connection failed.
void TMainFrm::WorkerConnectFailed()
{
    // One message per failed connect or given-up reconnection: no reconnect question follows.
    DisconnectNoticed = true;
    ListView2->TaskDone(Worker->FCurrent);
    const std::vector<std::string> errors = Worker->Errors();
    const QString reason = errors.empty() ? QString() : FailureReason(errors.back());
    QString text = QString::fromLocal8Bit(Worker->FConnectError);
    if (!reason.isEmpty()) {
        AppendLog(QStringLiteral("Connect failed: ") + reason);
        // A refused login already says why; the server's words are on the Log page.
        if (!text.startsWith(QStringLiteral("Login incorrect.")))
            text += QLatin1Char('\n') + reason;
    }
    Questions::Message(this, text);
}

void TMainFrm::WorkerDisconnected()
{
    SetRemoteButtons(false);
    StatusPanel1->setText(QStringLiteral("Not connected"));
}

void TMainFrm::ClearRemotePane()
{
    RemotePane->ClearRemoteList();
    RemotePane->ClearHistory();
}

bool TMainFrm::CheckDisconnect()
{
    bool result = true;
    if (Worker->IsConnected()) {
        const QString host = QString::fromLocal8Bit(Worker->HostName());
        if (Worker->IsWaitingForTasks()) {
            if (ComboBox1->currentText() == host) {
                Worker->DropConnection();
            } else if (Questions::Ask(this, QStringLiteral("You are connected to ") + host +
                                                QStringLiteral(". Disconnect?")) == mrNo) {
                result = false;
            } else {
                Worker->DropConnection();
            }
        } else {
            // The worker breaks off the running task and drops the connection itself.
            result =
                Questions::Ask(
                    this, QStringLiteral("A task is currently being performed. Disconnect anyway?")) == mrYes;
            if (result)
                AbortAllTasks();
        }
    }
    if (result) {
        DisconnectNoticed = true;
        ClearRemotePane();
    }
    return result;
}

void TMainFrm::ConnectSelectedSite()
{
    if (!CheckDisconnect()) {
        if (ConnectedItemIndex != -1) {
            FillSiteBox(); // a typed site has no entry until the list is refilled
            ComboBox1->setCurrentIndex(ConnectedItemIndex);
            CurrentSite = ConnectedItemIndex - 1;
            ReloadBarFromSite(CurrentSite);
        }
        return;
    }
    Button2->setEnabled(true);
    if (FieldEdited) {
        LeaveFocusedField();
        Button1->setFocus();
    }
    if (!SiteIsCurrent())
        return;
    FConnectingSite = CurrentSite;
    SiteRecord& site = SiteData.Sites.Get(CurrentSite);
    Worker->ApplySite(site, SiteData.Proxy, site.Encryption());
    SaveSiteFile();
    AppendLog(QStringLiteral("Connecting to ") + ComboBox1->currentText());
    Worker->AddConnect();
}

void TMainFrm::Timer1Timer()
{
    if (!Worker->IsConnected()) {
        StatusPanel1->setText(QStringLiteral("Not connected"));
        // A busy worker reconnects by itself and reports a failure once.
        if (!DisconnectNoticed && Worker->IsWaitingForTasks()) {
            // Set first: a later tick must not open a second question while this one waits.
            DisconnectNoticed = true;
            if (Questions::Ask(this,
                               QStringLiteral("Connection timeout. You've been disconnected. Reconnect?")) ==
                mrYes)
                Worker->Reconnect();
        }
    }
    RemoveFinishedTaskRows();
}

void TMainFrm::AbortAllTasks()
{
    ListView2->AbortAll();
}

void TMainFrm::RemoveFinishedTaskRows()
{
    ListView2->RemoveFinishedRows();
}
