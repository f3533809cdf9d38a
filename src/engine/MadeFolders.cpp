#include "engine/MadeFolders.h"

namespace {

// "/a/b/c" -> {"/a/b/", "c"}; no folder for a path without "/".
bool Split(const std::string& path, std::string& folder, std::string& name)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return false;
    folder = path.substr(0, slash + 1);
    name = path.substr(slash + 1);
    return !name.empty();
}

} // namespace

void TMadeFolders::Made(const std::string& path)
{
    // "/a//" or "" would not be the key its contents are looked up by.
    if (path.empty() || path.back() == '/')
        return;
    Sent(path);
    FFolders[path + "/"].clear();
}

void TMadeFolders::Sent(const std::string& path)
{
    std::string folder, name;
    if (!Split(path, folder, name))
        return;
    const auto it = FFolders.find(folder);
    if (it != FFolders.end())
        it->second.insert(name);
}

std::optional<bool> TMadeFolders::Exists(const std::string& path) const
{
    std::string folder, name;
    if (!Split(path, folder, name))
        return std::nullopt;
    const auto it = FFolders.find(folder);
    if (it == FFolders.end())
        return std::nullopt;
    return it->second.count(name) != 0;
}
