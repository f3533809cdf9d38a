// What the worker does for each kind of task.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sys/stat.h>

#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"
#include "ftp/IdFTPList.h"

namespace fs = std::filesystem;

TFTPFileInfo TFTPThread::FileInfoFromEntry(const TIdFTPListItem& entry, const std::string& folder)
{
    TFTPFileInfo info;
    info.Name = entry.EntryName;
    info.Folder = folder;
    info.FullPath = JoinRemotePath(folder, entry.EntryName);
    info.Size = entry.ByteSize;
    info.Owner = TFTPRights::Parse(entry.OwnerRights);
    info.Group = TFTPRights::Parse(entry.GroupRights);
    info.Others = TFTPRights::Parse(entry.OtherRights);
    info.Modified = entry.ModifiedAt;
    info.Kind = entry.EntryKind == ekDirectory      ? ikFolder
                : entry.EntryKind == ekSymbolicLink ? ikLink
                                                    : ikFile;
    return info;
}

void TFTPThread::DoList()
{
    FFTP->ListFolder(nullptr, "-a");
    const std::string folder = FFTP->CurrentFolder();
    {
        // The window's Reconnect reads it at any time.
        std::lock_guard<std::mutex> g(FNumberLock);
        FCurrentDir = folder;
    }
    Notify(OnListing);
}

void TFTPThread::DoChangeDirUp()
{
    FFTP->ChangeFolderUp();
}

void TFTPThread::DoChangeDir()
{
    FFTP->ChangeFolder(FCurrent->Source);
}

void TFTPThread::DoMakeDir()
{
    FFTP->CreateFolder(FCurrent->Source);
}

// Asks unless the user answered for all; a dropped question (shutdown) counts as No.
bool TFTPThread::Confirm(const TEngineNotify& question)
{
    if (!FAnswerAll) {
        FAnswerYes = false;
        if (!Notify(question))
            FAnswerYes = false;
    }
    return FAnswerYes;
}

void TFTPThread::DoDelete()
{
    if (Confirm(OnConfirmDelete))
        FFTP->DeleteRemoteFile(FCurrent->Source);
}

void TFTPThread::DoRemoveDir()
{
    if (Confirm(OnConfirmDelete))
        RemoveTree(FCurrent->Source);
}

void TFTPThread::RemoveTree(std::string path)
{
    Log("REM DIR " + path);
    FFTP->ChangeFolder(path);
    try {
        Log("LIST");
        FFTP->ListFolder(nullptr, "-a");
        TIdFTPListItems entries;
        entries.Assign(FFTP->ParsedListing());
        for (int i = 0; i < entries.Count() && !Terminated(); ++i) {
            const TIdFTPListItem& entry = entries[i];
            if (entry.EntryName == "." || entry.EntryName == "..")
                continue;
            if (!IsSafeEntryName(entry.EntryName)) {
                AddError("Refused to remove \"" + entry.EntryName + "\": not a plain name");
                continue;
            }
            if (entry.EntryKind == ekDirectory && entry.LinkCount != 0) {
                RemoveTree(entry.EntryName);
            } else {
                FCurrent->Source = entry.EntryName;
                DoDelete();
            }
        }
    } catch (const std::exception& e) {
        AddError(e.what());
    }
    Log("CH DIR UP");
    FFTP->ChangeFolderUp();
    Log("REM DIR " + path);
    FFTP->RemoveFolder(path);
}

void TFTPThread::DoGet()
{
    const TFTPFileInfo info = FCurrent->FileInfo;
    FProgress = 0;
    switch (info.Kind) {
    case ikFile: GetFile(info); break;
    case ikFolder: GetFolder(info); break;
    case ikLink:
        if (info.LinkTarget)
            AddGet(info.LinkTarget.get(), FCurrent->Destination);
        break;
    }
}

void TFTPThread::GetFile(const TFTPFileInfo&)
{
    ChooseTransferType();
    FTotalBytes = FFTP->RemoteFileSize(FCurrent->Source);
    struct stat st {};
    const bool exists = ::stat(FCurrent->Destination.c_str(), &st) == 0;
    if (exists) {
        if (Confirm(OnFileExists))
            FFTP->DownloadToFile(FCurrent->Source, FCurrent->Destination, true);
    } else {
        FFTP->DownloadToFile(FCurrent->Source, FCurrent->Destination, false);
    }
    Notify(OnDownloaded);
}

void TFTPThread::GetFolder(const TFTPFileInfo& info)
{
    std::error_code ec;
    if (!fs::exists(FCurrent->Destination, ec) && !fs::create_directory(FCurrent->Destination, ec))
        throw Exception("Cannot create folder \"" + FCurrent->Destination + "\". " + ec.message());
    FFTP->ChangeFolder(info.FullPath);
    FFTP->ListFolder(nullptr, "-a");
    TIdFTPListItems entries;
    entries.Assign(FFTP->ParsedListing());
    for (int i = 0; i < entries.Count(); ++i) {
        const TIdFTPListItem& entry = entries[i];
        if (entry.EntryName == "." || entry.EntryName == "..")
            continue;
        // Whatever the server lists, nothing is written outside the chosen folder.
        if (!IsSafeEntryName(entry.EntryName)) {
            AddError("Refused to download \"" + entry.EntryName + "\": not a plain name");
            continue;
        }
        const TFTPFileInfo child = FileInfoFromEntry(entry, info.FullPath);
        AddGet(&child, JoinLocalPath(FCurrent->Destination, entry.EntryName));
    }
    FFTP->ChangeFolder(FCurrentDir);
}

void TFTPThread::DoPut()
{
    FProgress = 0;
    if (FCurrent->IsFolder) {
        PutFolder();
        return;
    }
    // Only the user's Yes or All replaces a remote file: the open-file preset (All with No)
    // that keeps temporary copies applies to downloads.
    const bool openPreset = FAnswerAll && !FAnswerYes;
    if ((!FAnswerAll || openPreset) && RemoteExists(FCurrent->Destination)) {
        if (openPreset)
            FAnswerAll = false;
        const bool yes = Confirm(OnFileExists);
        if (openPreset) {
            FAnswerAll = true;
            FAnswerYes = false;
        }
        if (!yes)
            return;
    }
    Log("PUT " + FCurrent->Source + " -> " + FCurrent->Destination);
    FFTP->UploadFromFile(FCurrent->Source, FCurrent->Destination);
}

void TFTPThread::PutFolder()
{
    if (!RemoteExists(FCurrent->Destination)) {
        Log("MK DIR " + FCurrent->Destination);
        try {
            FFTP->CreateFolder(FCurrent->Destination);
        } catch (const std::exception& e) {
            AddError(e.what());
        }
    }
    std::error_code ec;
    for (fs::directory_iterator it(FCurrent->Source, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!IsSafeEntryName(name)) {
            AddError("Refused to upload \"" + name + "\": the name cannot be sent");
            continue;
        }
        const bool folder = it->is_directory(ec) && !it->is_symlink(ec);
        AddPut(JoinLocalPath(FCurrent->Source, name), FCurrent->Destination + "/" + name, folder);
    }
}

bool TFTPThread::RemoteExists(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    try {
        FFTP->ChangeFolder(folder);
        FFTP->ListFolder(nullptr, "");
        FFTP->ChangeFolder(FCurrentDir);
    } catch (const std::exception& e) {
        AddError(e.what());
    }
    const TIdFTPListItems& entries = FFTP->ParsedListing();
    for (int i = 0; i < entries.Count(); ++i)
        if (entries[i].EntryName == name)
            return true;
    return false;
}

void TFTPThread::ChooseTransferType()
{
    if (!FAutoType)
        return;
    const std::string& source = FCurrent->Source;
    const size_t dot = source.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : source.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    const bool text = ext == ".htm" || ext == ".html" || ext == ".txt";
    FFTP->SetTransferType(text ? ftASCII : ftBinary);
}

TFTPFileInfo TFTPThread::ResolveLink(const std::string& path)
{
    std::vector<std::string> seen;
    return ResolveLinkAt(path, 0, seen);
}

// Chains of links are followed at most 8 deep and never around a cycle.
TFTPFileInfo TFTPThread::ResolveLinkAt(const std::string& path, int depth, std::vector<std::string>& seen)
{
    constexpr int kMaxLinkDepth = 8;
    if (depth >= kMaxLinkDepth || std::find(seen.begin(), seen.end(), path) != seen.end())
        return {};
    seen.push_back(path);
    const size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const bool excursion = !folder.empty();
    if (excursion) {
        FFTP->ChangeFolder(folder);
        FFTP->ListFolder(nullptr, "");
    } else {
        folder = FFTP->CurrentFolder();
    }
    TIdFTPListItems entries;
    entries.Assign(FFTP->ParsedListing());
    TFTPFileInfo result;
    for (int i = 0; i < entries.Count(); ++i) {
        const TIdFTPListItem& entry = entries[i];
        if (entry.EntryName != name)
            continue;
        result = FileInfoFromEntry(entry, folder);
        if (result.Kind == ikLink) {
            // A target that cannot be found (or a cycle) leaves the link unresolved.
            TFTPFileInfo target = ResolveLinkAt(entry.LinkTargetName, depth + 1, seen);
            if (!target.Name.empty())
                result.LinkTarget = std::make_shared<TFTPFileInfo>(std::move(target));
        }
        break;
    }
    if (excursion)
        FFTP->ChangeFolder(FCurrentDir);
    return result;
}
