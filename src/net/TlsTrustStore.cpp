#include "net/TlsTrustStore.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "rtl/Exception.h"

namespace {

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return s;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

TTlsTrustStore::TTlsTrustStore(std::string path) : FPath(std::move(path)) {}

std::string TTlsTrustStore::Key(const std::string& host, int port)
{
    const std::string name = LowerAscii(host);
    // An IPv6 address in brackets, so that the port stays apart.
    return (name.find(':') != std::string::npos ? "[" + name + "]" : name) + ":" + std::to_string(port);
}

std::map<std::string, std::string> TTlsTrustStore::Load() const
{
    std::map<std::string, std::string> entries = FMemory;
    if (FPath.empty())
        return entries;
    std::ifstream file(FPath);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string key, fingerprint;
        // Lines that are not "key fingerprint" (a hand edit gone wrong) are skipped, not fatal.
        if (fields >> key >> fingerprint && key[0] != '#')
            entries[key] = fingerprint;
    }
    return entries;
}

std::string TTlsTrustStore::Find(const std::string& host, int port) const
{
    const auto entries = Load();
    const auto it = entries.find(Key(host, port));
    return it == entries.end() ? std::string() : it->second;
}

void TTlsTrustStore::Trust(const std::string& host, int port, const std::string& fingerprint)
{
    auto entries = Load();
    entries[Key(host, port)] = fingerprint;
    FMemory[Key(host, port)] = fingerprint;
    if (!FPath.empty())
        Save(entries);
}

void TTlsTrustStore::Save(const std::map<std::string, std::string>& entries) const
{
    std::string text = "# Certificates trusted by Ferrystar: host:port SHA-256 fingerprint\n";
    for (const auto& [key, fingerprint] : entries)
        text += key + " " + fingerprint + "\n";
    const std::string temporary = FPath + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw EWriteError("Cannot write file \"" + FPath + "\". " + std::strerror(errno));
    const bool written = ::fchmod(fd, 0600) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), FPath.c_str()) != 0) {
        const int cause = written ? errno : error;
        ::unlink(temporary.c_str());
        throw EWriteError("Cannot write file \"" + FPath + "\". " + std::strerror(cause));
    }
}
