#include "support/EngineHarness.h"

#include <fstream>
#include <sstream>

#include "ftp/IdFTP.h"
#include "rtl/Thread.h"

namespace {
const char* StateText(TTaskState s)
{
    switch (s) {
    case tsPending: return "Pending";
    case tsRunning: return "Running";
    case tsAborted: return "Aborted";
    case tsFailed: return "Failed";
    case tsCompleted: return "Completed";
    }
    return "?";
}
} // namespace

EngineHarness::EngineHarness()
{
    Sync::SetMainThread();
    Worker = std::make_unique<TFTPThread>(Platform);
    TFTPThread& w = *Worker;
    w.OnProtocolLine = [this] { ProtocolLines.push_back(Worker->FProtocolLine); };
    w.OnConnected = [this] {
        Events.push_back("Connected");
        SecurityAtConnect = Worker->SessionSecurity();
        Worker->AddList();
    };
    w.OnConnectFailed = [this] {
        Events.push_back("ConnectFailed");
        ++ConnectFailures;
        LastConnectError = Worker->FConnectError;
    };
    w.OnDisconnected = [this] { Events.push_back("Disconnected"); };
    w.OnListing = [this] {
        Events.push_back("Listing");
        ++Listings;
        // Inside the notification the worker waits: its listing is ours to read.
        LastListing.clear();
        const TIdFTPListItems& items = Worker->FFTP->ParsedListing();
        for (int i = 0; i < items.Count(); ++i)
            LastListing.push_back(items[i].EntryName);
    };
    w.OnCommandDone = [this](const TTaskPtr& t) {
        Events.push_back(std::string("CommandDone ") + TaskKindCaption(t->Kind) + " " +
                         StateText(t->State()));
        CommandErrors.push_back(t->Error);
    };
    w.OnDownloaded = [this](const TTaskPtr&) { Events.push_back("Downloaded"); };
    w.OnLog = [this] { LogLines.push_back(Worker->FStatusText); };
    w.OnCertificateQuestion = [this] {
        Certificates.push_back(Worker->FCertificate);
        Worker->FCertificateDecision = CertificateAnswer;
    };
    auto ask = [this](const std::string& text) {
        Questions.push_back(text);
        Worker->FAnswerYes = Answer != 'n';
        Worker->FAnswerAll = Answer == 'a';
    };
    w.OnFileExists = [this, ask] {
        ResumeOffers.push_back(Worker->FResumeOffered);
        ask("File " + Worker->FCurrent->Destination + " already exits. Overwrite?");
        Worker->FAnswerResume = Answer == 'r';
    };
    w.OnConfirmDelete = [this, ask] {
        ask("Are you sure you want to delete " + Worker->FCurrent->Source + "?");
    };
    w.OnTaskAdded = [this](const TTaskPtr& t) {
        Events.push_back(std::string("TaskAdded ") + TaskKindCaption(t->Kind));
        Rows.push_back({t->Id, TaskKindCaption(t->Kind), t->Source, t->Destination, ""});
    };
    w.OnTaskDone = [this](const TTaskPtr& t) {
        Events.push_back(std::string("TaskDone ") + TaskKindCaption(t->Kind) + " " + StateText(t->State()));
        for (auto it = Rows.rbegin(); it != Rows.rend(); ++it)
            if (it->Id == t->Id && it->Kind == TaskKindCaption(t->Kind) && it->FinalState.empty()) {
                it->FinalState = StateText(t->State());
                break;
            }
    };
}

EngineHarness::~EngineHarness()
{
    Worker.reset();
}

bool EngineHarness::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        Sync::WaitAndCheckSynchronize(5);
    }
    return true;
}

bool EngineHarness::RunUntilIdle(std::chrono::milliseconds limit)
{
    // Idle must hold across a round of served notifications, not only for an instant.
    return RunUntil(
        [this] {
            if (!Worker->IsIdle())
                return false;
            Sync::CheckSynchronize();
            return Worker->IsIdle();
        },
        limit);
}

bool EngineHarness::Connect(const std::string& host, int port, const std::string& user,
                            const std::string& password, bool passive)
{
    Site = SiteRecord::NewSite(host);
    Site.PortNumber = port;
    Site.LoginName.Assign(user);
    Site.LoginPassword.Assign(password);
    Site.PassiveMode = passive ? 1 : 0;
    Worker->ApplySite(Site, Proxy, Tls);
    const size_t before = Events.size();
    Worker->AddConnect();
    RunUntilIdle();
    for (size_t i = before; i < Events.size(); ++i)
        if (Events[i] == "Connected")
            return true;
    return false;
}

std::vector<std::string> EngineHarness::RowKinds() const
{
    std::vector<std::string> kinds;
    for (const TaskRow& r : Rows)
        kinds.push_back(r.Kind);
    return kinds;
}

const TaskRow* EngineHarness::Row(int id) const
{
    for (const TaskRow& r : Rows)
        if (r.Id == id)
            return &r;
    return nullptr;
}

int EngineHarness::CountEvents(const std::string& name) const
{
    int n = 0;
    for (const std::string& e : Events)
        n += e == name ? 1 : 0;
    return n;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
