#pragma once
// The certificates the user chose to trust although they failed verification: one line per
// host and port, "host:port FINGERPRINT" (SHA-256, "AB:CD:..."). The file is private to the user
// (0600) and replaced as a whole, so a crash never leaves half of it.
#include <map>
#include <string>

class TTlsTrustStore {
public:
    // An empty path keeps everything in memory.
    explicit TTlsTrustStore(std::string path);

    // The fingerprint trusted for host:port, empty for none. Reads the file each time: another
    // running copy of the program may have added to it.
    std::string Find(const std::string& host, int port) const;
    // Trusts fingerprint for host:port, replacing an older one. Raises EWriteError when the file
    // cannot be written; the entry is then kept in memory only.
    void Trust(const std::string& host, int port, const std::string& fingerprint);

    static std::string Key(const std::string& host, int port);

private:
    std::map<std::string, std::string> Load() const;
    void Save(const std::map<std::string, std::string>& entries) const;

    std::string FPath;
    std::map<std::string, std::string> FMemory;
};
