#pragma once
// The folders the worker made on the server in the current batch, with the names it has sent into
// them since. Nobody else knew such a folder, so whether a name exists in it is known without a
// listing: a tree upload then costs no listing per file.
#include <map>
#include <optional>
#include <set>
#include <string>

class TMadeFolders {
public:
    // path: a folder the server has just made, empty.
    void Made(const std::string& path);
    // A name was sent (or is about to be) to path: it may exist from now on, even after a failure.
    void Sent(const std::string& path);
    // Whether path exists, when its folder is one of ours; nothing when only the server knows.
    std::optional<bool> Exists(const std::string& path) const;
    void Forget() { FFolders.clear(); }

private:
    // Keyed by the folder's path with its final "/", as an upload's target is split.
    std::map<std::string, std::set<std::string>> FFolders;
};
