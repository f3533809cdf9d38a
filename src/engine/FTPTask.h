#pragma once
// A queued remote operation, the record of one remote entry, and their helpers.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "rtl/DateTime.h"

enum TTaskKind : uint8_t {
    taskConnect = 0,
    taskGet = 1,
    taskPut = 2,
    taskList = 3,
    taskChangeDirUp = 4,
    taskMakeDir = 5,
    taskChangeDir = 6,
    taskDelete = 7,
    taskRemoveDir = 8,
    taskShellOpen = 9,
    // Commands the window once sent on the session itself; now queued in front of the waiting
    // tasks, behind the running one.
    taskRename = 10,
    taskMove = 11,
    taskChmod = 12,
    taskSetType = 13,
};

// Queued in front of the waiting tasks (behind the running one), in the order they were given.
bool IsFrontCommand(TTaskKind kind);

enum TTaskState : uint8_t { tsPending = 0, tsRunning = 1, tsAborted = 2, tsFailed = 3, tsCompleted = 4 };

enum TFTPItemKind : uint8_t { ikFile = 0, ikFolder = 1, ikLink = 2 };

struct TFTPRights {
    bool Read = false;
    bool Write = false;
    bool Execute = false;
    int32_t Mode = 0;

    // From a three-character group such as "r-x".
    static TFTPRights Parse(const std::string& group);
};

struct TFTPFileInfo {
    std::string Name;
    std::string FullPath;
    std::string Folder;
    int64_t Size = 0;
    TFTPRights Owner, Group, Others;
    TDateTime Modified = 0;
    TFTPItemKind Kind = ikFile;
    // Shared by every copy of the record.
    std::shared_ptr<TFTPFileInfo> LinkTarget;
};

class TFTPTask {
public:
    int32_t Id = 0;
    TTaskKind Kind = taskConnect;
    std::string Source;
    std::string Destination;
    TFTPFileInfo FileInfo;
    int32_t Retries = 0;
    bool IsFolder = false;
    // Queued by the worker's own reconnection (the connection and the return to the folder).
    bool Automatic = false;
    // The last failure's message, written by the worker before it reports the task done.
    std::string Error;

    // Written by the window (abort) and by the worker.
    TTaskState State() const { return FState.load(); }
    void SetState(TTaskState s) { FState.store(s); }
    // Pending to running; false when the task was aborted first.
    bool Start() { return Move(tsPending, tsRunning); }
    // Running to its final state; an abort that came first stays.
    void Finish(TTaskState final) { Move(tsRunning, final); }
    // Pending to failed, for a task given up before it ran.
    bool FailUnrun() { return Move(tsPending, tsFailed); }
    // Pending or running to aborted; a finished task keeps its state. Gives the state it left.
    TTaskState Abort();

private:
    bool Move(TTaskState from, TTaskState to) { return FState.compare_exchange_strong(from, to); }
    std::atomic<TTaskState> FState{tsPending};
};

using TTaskPtr = std::shared_ptr<TFTPTask>;

// "CONNECT", "GET", ...; "TASK" for an unknown kind.
const char* TaskKindCaption(int kind);
// Folder + "/" + name, with no second "/" and "/" for an empty folder.
std::string JoinRemotePath(const std::string& folder, const std::string& name);
// A local folder + separator + name, with no second separator.
std::string JoinLocalPath(const std::string& folder, const std::string& name);
// A name a server listed may become a local or remote path component only when it cannot
// climb out of or reach past the folder it is put in.
bool IsSafeEntryName(const std::string& name);
