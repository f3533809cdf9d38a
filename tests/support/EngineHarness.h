#pragma once
// Plays the window for a worker in tests: the test's thread is the window's thread, answers
// the worker's questions, and records every notification in order.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/FTPThread.h"
#include "support/TempDir.h"

class TestPlatform : public TEnginePlatform {
public:
    void ShellOpen(const std::string& path) override
    {
        if (ShellOpenHook)
            ShellOpenHook(path);
        Opened.push_back(path);
    }
    std::function<void(const std::string&)> ShellOpenHook;
    std::string AppFolder() override { return Folder.Path() + "/"; }
    std::string ConfigFolder() override { return Folder.Path() + "/"; }
    TempDir Folder;
    std::vector<std::string> Opened;
};

struct TaskRow {
    int Id;
    std::string Kind;
    std::string Source;
    std::string Destination;
    std::string FinalState; // empty while not done
};

class EngineHarness {
public:
    EngineHarness();
    ~EngineHarness();

    TestPlatform Platform;
    std::unique_ptr<TFTPThread> Worker;
    // Every notification by name, in order ("TaskAdded CONNECT", "Listing", ...).
    std::vector<std::string> Events;
    std::vector<std::string> ProtocolLines;
    std::vector<TaskRow> Rows;
    std::vector<std::string> Questions;
    // The answer given to each question: 'y', 'n' or 'a'.
    char Answer = 'y';
    int ConnectFailures = 0;
    std::string LastConnectError;
    int Listings = 0;
    // The Error of every front command reported done, in order.
    std::vector<std::string> CommandErrors;

    // Serves notifications until pred holds or the time is up; false on time-out.
    bool RunUntil(const std::function<bool()>& pred,
                  std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Until the worker sleeps with nothing queued.
    bool RunUntilIdle(std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Connects to a site and waits for the result; true when connected.
    bool Connect(const std::string& host, int port, const std::string& user, const std::string& password,
                 bool passive = true);
    std::vector<std::string> RowKinds() const;
    const TaskRow* Row(int id) const;
    int CountEvents(const std::string& name) const;
    // The names of the last listing, as the window read them inside its notification.
    std::vector<std::string> CurrentNames() const { return LastListing; }
    std::vector<std::string> LastListing;
    SiteRecord Site;
    ProxyBlock Proxy;
    // Encryption of the next Connect, the answer to a certificate question, what was asked, the
    // session's security as the window read it in OnConnected, and the Log page's lines.
    TTlsMode Tls = TTlsMode::PlainOnly;
    TTlsTrustDecision CertificateAnswer = TTlsTrustDecision::Cancel;
    std::vector<TTlsCertificateInfo> Certificates;
    std::string SecurityAtConnect;
    std::vector<std::string> LogLines;
};

// The file's contents as a string (empty when missing).
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
