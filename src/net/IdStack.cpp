#include "net/IdStack.h"

#include <arpa/inet.h>
#include <map>
#include <mutex>

namespace {
// Kept per thread: the worker and the window use sockets at the same time.
thread_local int tLastError = 0;

const std::map<int, const char*>& ErrorTexts()
{
    static const std::map<int, const char*> texts = {
        {10004, "Interrupted system call."},
        {10009, "Bad file number."},
        {10013, "Access denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Operation would block. "},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported on socket."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Net dropped connection or reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send or receive after socket is closed."},
        {10059, "Too many references, cannot splice."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10062, "Too many levels of symbolic links."},
        {10063, "File name too long."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},
    };
    return texts;
}

bool ParseDottedPart(const std::string& part)
{
    if (part.empty() || part.size() > 3)
        return false;
    int value = 0;
    for (char c : part) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

// Splits at the first three dots; a fourth dot stays in the last part.
std::vector<std::string> SplitDotted(const std::string& address)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t dot = address.find('.', start);
        if (dot == std::string::npos)
            break;
        parts.push_back(address.substr(start, dot - start));
        start = dot + 1;
    }
    parts.push_back(address.substr(start));
    return parts;
}

std::string UpperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return text;
}

// Names the tests make resolve to addresses of their choice, by upper-case name.
struct TestHostTable {
    std::mutex Lock;
    std::map<std::string, std::vector<std::string>> Names;
};

TestHostTable& TestHosts()
{
    static TestHostTable table;
    return table;
}

bool FindTestHost(const std::string& name, std::vector<std::string>& addresses)
{
    TestHostTable& table = TestHosts();
    std::lock_guard<std::mutex> guard(table.Lock);
    auto it = table.Names.find(UpperCase(name));
    if (it == table.Names.end())
        return false;
    addresses = it->second;
    return true;
}
} // namespace

TIdStack* GStack = nullptr;

TIdStackSocketHandle TIdStack::CreateSocketHandle(int socketType, int protocol, TIdIPVersion version)
{
    const TIdStackSocketHandle s = WSSocket(socketType, protocol, version);
    if (s == Id_INVALID_SOCKET)
        throw EIdInvalidSocket();
    return s;
}

std::string TIdStack::WSTranslateSocketErrorMsg(int errorCode)
{
    const auto& texts = ErrorTexts();
    auto it = texts.find(errorCode);
    return it == texts.end() ? std::string() : std::string(it->second);
}

uint16_t TIdStack::WSHToNs(uint16_t v)
{
    return htons(v);
}
uint16_t TIdStack::WSNToHs(uint16_t v)
{
    return ntohs(v);
}
uint32_t TIdStack::WSHToNL(uint32_t v)
{
    return htonl(v);
}
uint32_t TIdStack::WSNToHL(uint32_t v)
{
    return ntohl(v);
}

bool TIdStack::IsDottedAddress(const std::string& address)
{
    const auto parts = SplitDotted(address);
    if (parts.size() != 4)
        return false;
    for (const auto& part : parts) {
        if (!ParseDottedPart(part))
            return false;
    }
    return true;
}

bool TIdStack::IsIPv6Address(const std::string& address)
{
    const size_t zone = address.find('%');
    if (zone == 0 || zone + 1 == address.size())
        return false;
    in6_addr bytes{};
    return ::inet_pton(AF_INET6, address.substr(0, zone).c_str(), &bytes) == 1;
}

bool TIdStack::IsNumericAddress(const std::string& address)
{
    return IsDottedAddress(address) || IsIPv6Address(address);
}

TIdIPVersion TIdStack::AddressVersion(const std::string& address)
{
    return address.find(':') == std::string::npos ? Id_IPv4 : Id_IPv6;
}

std::string TIdStack::StripBrackets(const std::string& host)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']' &&
        IsIPv6Address(host.substr(1, host.size() - 2)))
        return host.substr(1, host.size() - 2);
    return host;
}

std::string TIdStack::LookupHost(const std::string& host)
{
    if (UpperCase(host) == "LOCALHOST")
        return "127.0.0.1";
    if (IsDottedAddress(host))
        return host;
    return WSGetHostByName(host);
}

std::vector<std::string> TIdStack::LookupHostAddresses(const std::string& host)
{
    const std::string name = StripBrackets(host);
    if (IsNumericAddress(name))
        return {name};
    std::vector<std::string> addresses;
    if (FindTestHost(name, addresses))
        return addresses;
    if (UpperCase(name) == "LOCALHOST")
        return {"127.0.0.1"};
    return WSGetHostAddresses(name);
}

void TIdStack::SetTestHostAddresses(const std::string& name, const std::vector<std::string>& addresses)
{
    TestHostTable& table = TestHosts();
    std::lock_guard<std::mutex> guard(table.Lock);
    if (addresses.empty())
        table.Names.erase(UpperCase(name));
    else
        table.Names[UpperCase(name)] = addresses;
}

std::string TIdStack::TInAddrToString(const TIdInAddr& address)
{
    return std::to_string(address.Bytes[0]) + "." + std::to_string(address.Bytes[1]) + "." +
           std::to_string(address.Bytes[2]) + "." + std::to_string(address.Bytes[3]);
}

TIdInAddr TIdStack::TranslateStringToTInAddr(const std::string& address)
{
    TIdInAddr result;
    const auto parts = SplitDotted(address);
    for (size_t i = 0; i < 4; ++i) {
        const std::string part = i < parts.size() ? parts[i] : std::string();
        size_t used = 0;
        int value = 0;
        try {
            value = std::stoi(part, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != part.size())
            throw EConvertError("'" + part + "' is not a valid integer value");
        result.Bytes[i] = static_cast<uint8_t>(value);
    }
    return result;
}

bool TIdStack::CheckForSocketError(int result, std::initializer_list<int> ignore)
{
    if (result != Id_SOCKET_ERROR)
        return false;
    const int err = WSGetLastError();
    SetLastError(err);
    for (int tolerated : ignore) {
        if (tolerated == err)
            return true;
    }
    RaiseSocketError(err);
}

void TIdStack::RaiseSocketError(int errorCode)
{
    throw EIdSocketError(errorCode,
                         IdFormat(RSStackError, errorCode, WSTranslateSocketErrorMsg(errorCode).c_str()));
}

int TIdStack::LastError() const
{
    return tLastError;
}
void TIdStack::SetLastError(int errorCode)
{
    tLastError = errorCode;
}
