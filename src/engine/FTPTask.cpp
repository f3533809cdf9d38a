#include "engine/FTPTask.h"

TFTPRights TFTPRights::Parse(const std::string& group)
{
    TFTPRights r;
    r.Read = group.size() > 0 && group[0] == 'r';
    r.Write = group.size() > 1 && group[1] == 'w';
    r.Execute = group.size() > 2 && group[2] == 'x';
    r.Mode = (r.Read ? 4 : 0) + (r.Write ? 2 : 0) + (r.Execute ? 1 : 0);
    return r;
}

const char* TaskKindCaption(int kind)
{
    static const char* const kCaptions[] = {"CONNECT",  "GET",    "PUT",    "LIST",    "CH DIR UP",
                                            "MAKE DIR", "CH DIR", "DELETE", "REM DIR", "SHELL OPEN",
                                            "RENAME",   "MOVE",   "CHMOD",  "TYPE"};
    constexpr int kCount = static_cast<int>(sizeof(kCaptions) / sizeof(kCaptions[0]));
    if (kind < 0 || kind >= kCount)
        return "TASK";
    return kCaptions[kind];
}

bool IsFrontCommand(TTaskKind kind)
{
    return kind == taskRename || kind == taskMove || kind == taskChmod || kind == taskSetType;
}

TTaskState TFTPTask::Abort()
{
    TTaskState seen = FState.load();
    while (seen == tsPending || seen == tsRunning) {
        if (FState.compare_exchange_weak(seen, tsAborted))
            return seen;
    }
    return seen;
}

std::string JoinRemotePath(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return "/" + name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string JoinLocalPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

bool IsSafeEntryName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    return name.find_first_of(std::string("/\\\0\r\n", 5)) == std::string::npos;
}
