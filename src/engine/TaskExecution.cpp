// What the worker does for each kind of task.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

#include "engine/FTPThread.h"
#include "ftp/IdFTP.h"
#include "ftp/IdFTPList.h"

namespace fs = std::filesystem;

namespace {

// A server whose every folder holds another one must not take the worker down with it.
constexpr int kMaxRemoveDepth = 64;
constexpr int kMaxLinkDepth = 8;

void SetReason(std::string* why, const char* reason)
{
    if (why != nullptr && why->empty())
        *why = reason;
}

} // namespace

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

void TFTPThread::RemoveTree(std::string path, int depth)
{
    if (depth >= kMaxRemoveDepth)
        throw Exception("Not removed: \"" + path + "\" lies more than 64 folders deep");
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
                RemoveTree(entry.EntryName, depth + 1);
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
    // A link there, even one to nothing, is something the user would lose: ask first.
    struct stat st {};
    const bool exists = ::lstat(FCurrent->Destination.c_str(), &st) == 0;
    if (exists) {
        OverwriteOrResume(S_ISREG(st.st_mode), st.st_size);
    } else {
        FFTP->DownloadToFile(FCurrent->Source, FCurrent->Destination, false);
    }
    QueueTaskNews(&TFTPThread::OnDownloaded, FCurrent);
}

void TFTPThread::GetFolder(const TFTPFileInfo& info)
{
    std::error_code ec;
    // A link in the folder's place would take the files somewhere the user did not choose.
    if (fs::is_symlink(fs::symlink_status(FCurrent->Destination, ec)))
        throw Exception("Refused to download into \"" + FCurrent->Destination + "\": it is a symbolic link");
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
        if (entry.EntryKind == ekSymbolicLink) {
            QueueListedLink(entry, info.FullPath);
            continue;
        }
        const TFTPFileInfo child = FileInfoFromEntry(entry, info.FullPath);
        AddGet(&child, JoinLocalPath(FCurrent->Destination, entry.EntryName));
    }
    FFTP->ChangeFolder(FCurrentDir);
}

// A link inside a downloaded folder brings its target file under the link's name. A link that
// leads nowhere, or to a folder (which could lead back up the tree without end), is skipped
// with a word in the error list.
void TFTPThread::QueueListedLink(const TIdFTPListItem& entry, const std::string& folder)
{
    const std::string& target = entry.LinkTargetName;
    std::string why;
    TFTPFileInfo info;
    if (target.empty()) {
        why = "target not found";
    } else {
        std::vector<std::string> seen{JoinRemotePath(folder, entry.EntryName)};
        const std::string path = target[0] == '/' ? target : JoinRemotePath(folder, target);
        info = ResolveLinkAt(path, 1, seen, &why);
        while (info.Kind == ikLink && info.LinkTarget)
            info = TFTPFileInfo(*info.LinkTarget);
    }
    if (why.empty() && info.Kind == ikFolder)
        why = "it leads to a folder";
    if (!why.empty() || info.Name.empty() || info.Kind != ikFile) {
        SetReason(&why, "target not found");
        AddError("Skipped link " + entry.EntryName + ": " + why);
        return;
    }
    TFTPFileInfo link = FileInfoFromEntry(entry, folder);
    link.LinkTarget = std::make_shared<TFTPFileInfo>(std::move(info));
    AddGet(&link, JoinLocalPath(FCurrent->Destination, entry.EntryName));
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
    if ((!FAnswerAll || openPreset) && UploadTargetExists(FCurrent->Destination)) {
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
    FMadeFolders.Sent(FCurrent->Destination);
    FFTP->UploadFromFile(FCurrent->Source, FCurrent->Destination);
}

void TFTPThread::PutFolder()
{
    if (!UploadTargetExists(FCurrent->Destination)) {
        Log("MK DIR " + FCurrent->Destination);
        try {
            FFTP->CreateFolder(FCurrent->Destination);
            FMadeFolders.Made(FCurrent->Destination);
        } catch (const std::exception& e) {
            FMadeFolders.Sent(FCurrent->Destination);
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

bool TFTPThread::UploadTargetExists(const std::string& path)
{
    const std::optional<bool> known = FMadeFolders.Exists(path);
    return known ? *known : RemoteExists(path);
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
        // An older listing would say nothing about the folder: asking is safe, replacing is not.
        AddError(e.what());
        return true;
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
TFTPFileInfo TFTPThread::ResolveLinkAt(const std::string& path, int depth, std::vector<std::string>& seen,
                                       std::string* why)
{
    if (depth >= kMaxLinkDepth) {
        SetReason(why, "more than 8 links in a row");
        return {};
    }
    if (std::find(seen.begin(), seen.end(), path) != seen.end()) {
        SetReason(why, "the links form a loop");
        return {};
    }
    seen.push_back(path);
    const size_t slash = path.rfind('/');
    // "/name" lies in the root, which need not be the folder whose listing is at hand.
    std::string folder = slash == std::string::npos ? std::string()
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
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
            TFTPFileInfo target = ResolveLinkAt(entry.LinkTargetName, depth + 1, seen, why);
            if (!target.Name.empty())
                result.LinkTarget = std::make_shared<TFTPFileInfo>(std::move(target));
        }
        break;
    }
    if (result.Name.empty())
        SetReason(why, "target not found");
    if (excursion)
        FFTP->ChangeFolder(FCurrentDir);
    return result;
}
