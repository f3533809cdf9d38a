#include "sites/SiteList.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "rtl/Exception.h"
#include "rtl/Streams.h"

void ShortString255::Assign(std::string_view text)
{
    const size_t n = std::min<size_t>(text.size(), sizeof Chars);
    std::memset(Chars, 0, sizeof Chars);
    std::memcpy(Chars, text.data(), n);
    Length = static_cast<uint8_t>(n);
}

SiteRecord SiteRecord::NewSite(std::string_view hostName)
{
    SiteRecord r;
    r.HostName.Assign(hostName);
    return r;
}

TTlsMode SiteRecord::Encryption() const
{
    const uint8_t mode = Padding[0];
    const bool valid = Padding[2] == kTlsMarker && Padding[1] == (mode ^ kTlsCheck) &&
                       mode <= static_cast<uint8_t>(TTlsMode::IfAvailable);
    return valid ? static_cast<TTlsMode>(mode) : TTlsMode::PlainOnly;
}

void SiteRecord::SetEncryption(TTlsMode mode)
{
    const auto m = static_cast<uint8_t>(mode);
    Padding[0] = m;
    Padding[1] = static_cast<uint8_t>(m ^ kTlsCheck);
    Padding[2] = kTlsMarker;
}

int TSiteList::Add(const SiteRecord& record)
{
    FItems.push_back(std::make_unique<SiteRecord>(record));
    return Count() - 1;
}

SiteRecord& TSiteList::Get(int index)
{
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *FItems[static_cast<size_t>(index)];
}

const SiteRecord& TSiteList::Get(int index) const
{
    return const_cast<TSiteList*>(this)->Get(index);
}

void TSiteList::Remove(int index)
{
    Get(index);
    FItems.erase(FItems.begin() + index);
}

// ---- byte images

namespace {

void PutInt32(std::string& out, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((u >> (8 * i)) & 0xFF);
}

int32_t GetInt32(const char* p)
{
    uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | static_cast<uint8_t>(p[i]);
    return static_cast<int32_t>(u);
}

void PutShort(std::string& out, const ShortString255& s)
{
    out += static_cast<char>(s.Length);
    out.append(s.Chars, sizeof s.Chars);
}

ShortString255 GetShort(const char* p)
{
    ShortString255 s;
    s.Length = static_cast<uint8_t>(p[0]);
    std::memcpy(s.Chars, p + 1, sizeof s.Chars);
    return s;
}

} // namespace

std::string EncodeSiteRecord(const SiteRecord& r)
{
    std::string out;
    out.reserve(kSiteRecordSize);
    PutShort(out, r.HostName);
    PutShort(out, r.LoginName);
    PutShort(out, r.LoginPassword);
    PutShort(out, r.InitialFolder);
    PutInt32(out, r.PortNumber);
    out += static_cast<char>(r.PassiveMode);
    out.append(reinterpret_cast<const char*>(r.Padding), 3);
    PutInt32(out, r.TransferMode);
    return out;
}

SiteRecord DecodeSiteRecord(const char* p)
{
    SiteRecord r;
    r.HostName = GetShort(p);
    r.LoginName = GetShort(p + 256);
    r.LoginPassword = GetShort(p + 512);
    r.InitialFolder = GetShort(p + 768);
    r.PortNumber = GetInt32(p + 1024);
    r.PassiveMode = static_cast<uint8_t>(p[1028]);
    std::memcpy(r.Padding, p + 1029, 3);
    r.TransferMode = GetInt32(p + 1032);
    return r;
}

std::string EncodeProxyBlock(const ProxyBlock& b)
{
    std::string out;
    out.reserve(kProxyBlockSize);
    PutShort(out, b.ProxyHost);
    PutShort(out, b.ProxyUser);
    PutShort(out, b.ProxyPassword);
    PutInt32(out, b.ProxyPort);
    return out;
}

ProxyBlock DecodeProxyBlock(const char* p)
{
    ProxyBlock b;
    b.ProxyHost = GetShort(p);
    b.ProxyUser = GetShort(p + 256);
    b.ProxyPassword = GetShort(p + 512);
    b.ProxyPort = GetInt32(p + 768);
    return b;
}

// ---- the file

std::string SiteFilePath(const std::string& appFolder)
{
    if (!appFolder.empty() && appFolder.back() == '/')
        return appFolder + "servers.sit";
    return appFolder + "/servers.sit";
}

bool LoadSites(const std::string& fileName, TSiteFileData& data)
{
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0 && errno == ENOENT)
        return false;
    TMemoryStream file;
    file.LoadFromFile(fileName);
    const char* p = file.Memory();
    const int64_t size = file.Size();
    if (size >= 4)
        data.LocalPanelWidth = GetInt32(p);
    if (size >= 8)
        data.ReportPanelHeight = GetInt32(p + 4);
    if (size >= 8 + kProxyBlockSize)
        data.Proxy = DecodeProxyBlock(p + 8);
    if (size < kSiteFileHeaderSize)
        return true;
    const int64_t announced = GetInt32(p + 780);
    const int64_t held = (size - kSiteFileHeaderSize) / kSiteRecordSize;
    const int64_t count = std::min(announced, held);
    for (int64_t i = 0; i < count; ++i)
        data.Sites.Add(DecodeSiteRecord(p + kSiteFileHeaderSize + i * kSiteRecordSize));
    return true;
}

namespace {

std::string EncodeSiteFile(const TSiteFileData& data)
{
    std::string out;
    out.reserve(static_cast<size_t>(kSiteFileHeaderSize + kSiteRecordSize * data.Sites.Count()));
    PutInt32(out, data.LocalPanelWidth);
    PutInt32(out, data.ReportPanelHeight);
    out += EncodeProxyBlock(data.Proxy);
    PutInt32(out, data.Sites.Count());
    for (int i = 0; i < data.Sites.Count(); ++i)
        out += EncodeSiteRecord(data.Sites.Get(i));
    return out;
}

[[noreturn]] void RaiseSaveError(const std::string& fileName, int error)
{
    throw EFCreateError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
}

} // namespace

void SaveSites(const std::string& fileName, const TSiteFileData& data)
{
    const std::string bytes = EncodeSiteFile(data);
    std::string tmp = fileName + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data()); // created 0600
    if (fd < 0)
        RaiseSaveError(fileName, errno);
    size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(tmp.c_str(), fileName.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(tmp.c_str());
        RaiseSaveError(fileName, error);
    }
}
