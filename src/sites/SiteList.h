#pragma once
// Saved sites and the shared proxy values, with the fixed-size records of servers.sit.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/TlsTypes.h"

// One length byte and 255 character bytes, as stored in the site file.
struct ShortString255 {
    uint8_t Length = 0;
    char Chars[255] = {};

    std::string Str() const { return std::string(Chars, Length); }
    // Longer text is cut to its first 255 bytes. The unused tail is zeroed so that an
    // older, longer value (a password) never lingers in the file.
    void Assign(std::string_view text);
};

struct SiteRecord {
    ShortString255 HostName;
    ShortString255 LoginName;
    ShortString255 LoginPassword;
    ShortString255 InitialFolder;
    int32_t PortNumber = 21;
    uint8_t PassiveMode = 0;
    // The encryption choice lives here: mode, mode ^ kTlsCheck, kTlsMarker. Older versions left
    // whatever was in memory (usually zeros), which does not validate and reads as PlainOnly.
    uint8_t Padding[3] = {};
    int32_t TransferMode = 0; // 0 "Auto", 1 "ASCII", 2 "Binary"

    // A record as an older version made it: plain FTP. The windows choose a new site's mode.
    static SiteRecord NewSite(std::string_view hostName);
    TTlsMode Encryption() const;
    void SetEncryption(TTlsMode mode);

    static constexpr uint8_t kTlsCheck = 0xA5;
    static constexpr uint8_t kTlsMarker = 0x54;
};

struct ProxyBlock {
    ShortString255 ProxyHost;
    ShortString255 ProxyUser;
    ShortString255 ProxyPassword;
    int32_t ProxyPort = 0;
};

constexpr int64_t kSiteRecordSize = 1036;
constexpr int64_t kProxyBlockSize = 772;
constexpr int64_t kSiteFileHeaderSize = 784;

// The saved sites, in order; each record lives in a block the list owns.
class TSiteList {
public:
    int Add(const SiteRecord& record);
    SiteRecord& Get(int index);
    const SiteRecord& Get(int index) const;
    int Count() const { return static_cast<int>(FItems.size()); }
    void Remove(int index);
    void Clear() { FItems.clear(); }

private:
    std::vector<std::unique_ptr<SiteRecord>> FItems;
};

// Everything servers.sit holds.
struct TSiteFileData {
    int32_t LocalPanelWidth = 0;
    int32_t ReportPanelHeight = 0;
    ProxyBlock Proxy;
    TSiteList Sites;
};

std::string SiteFilePath(const std::string& appFolder);
// Returns false (changing nothing) when the file does not exist. A file cut short keeps the
// header values it does not hold and adds only the records it holds completely.
// Raises EFOpenError naming the file when it exists but cannot be read.
bool LoadSites(const std::string& fileName, TSiteFileData& data);
// Writes a new file beside the old one (mode 0600: it holds passwords) and renames it over it,
// so a failed save leaves the previous file as it was. Raises a file error naming the file.
void SaveSites(const std::string& fileName, const TSiteFileData& data);

// The byte images of the file's records.
std::string EncodeSiteRecord(const SiteRecord& record);
SiteRecord DecodeSiteRecord(const char* bytes);
std::string EncodeProxyBlock(const ProxyBlock& proxy);
ProxyBlock DecodeProxyBlock(const char* bytes);
