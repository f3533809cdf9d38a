#include "net/IdStackPosix.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// One socket address of either family.
struct SocketAddress {
    sockaddr_storage Storage{};
    socklen_t Length = sizeof(sockaddr_storage);
    sockaddr* Raw() { return reinterpret_cast<sockaddr*>(&Storage); }
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&Storage); }
};

int SocketFamily(TIdStackSocketHandle s)
{
    int family = AF_INET;
    socklen_t len = sizeof family;
    if (::getsockopt(s, SOL_SOCKET, SO_DOMAIN, &family, &len) != 0)
        return AF_INET;
    return family;
}

// Numeric IPv6 text (a zone such as "%eth0" allowed) into the address; raises EConvertError.
void FillIPv6(const std::string& ip, sockaddr_in6& addr)
{
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* result = nullptr;
    if (::getaddrinfo(ip.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        throw EConvertError("'" + ip + "' is not a valid IPv6 address");
    std::memcpy(&addr, result->ai_addr, sizeof addr);
    ::freeaddrinfo(result);
}

// An empty ip is any address of the socket's family.
SocketAddress MakeAddress(TIdStackSocketHandle s, const std::string& ip, int port)
{
    SocketAddress result;
    const bool six = ip.empty() ? SocketFamily(s) == AF_INET6 : TIdStack::AddressVersion(ip) == Id_IPv6;
    if (six) {
        auto& addr = *reinterpret_cast<sockaddr_in6*>(&result.Storage);
        if (!ip.empty())
            FillIPv6(ip, addr);
        addr.sin6_family = AF_INET6;
        addr.sin6_port = htons(static_cast<uint16_t>(port));
        result.Length = sizeof addr;
        return result;
    }
    auto& addr = *reinterpret_cast<sockaddr_in*>(&result.Storage);
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (ip.empty()) {
        addr.sin_addr.s_addr = htonl(INADDR_ANY);
    } else {
        const TIdInAddr a = TIdStack::TranslateStringToTInAddr(ip);
        std::memcpy(&addr.sin_addr.s_addr, a.Bytes, 4);
    }
    result.Length = sizeof addr;
    return result;
}

std::string AddressText(const sockaddr* addr, socklen_t length)
{
    char text[NI_MAXHOST] = {};
    if (::getnameinfo(addr, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
        return std::string();
    return text;
}

void ReadAddress(const SocketAddress& address, int& family, std::string& ip, int& port)
{
    family = address.Storage.ss_family;
    if (family == AF_INET6) {
        const auto& addr = *reinterpret_cast<const sockaddr_in6*>(&address.Storage);
        ip = AddressText(address.Raw(), sizeof addr);
        port = ntohs(addr.sin6_port);
        return;
    }
    const auto& addr = *reinterpret_cast<const sockaddr_in*>(&address.Storage);
    TIdInAddr a;
    std::memcpy(a.Bytes, &addr.sin_addr.s_addr, 4);
    ip = TIdStack::TInAddrToString(a);
    port = ntohs(addr.sin_port);
}

// Every address of a name for stream sockets of the family, without repeats; empty when unknown.
std::vector<std::string> ResolveName(const std::string& name, int family)
{
    std::vector<std::string> addresses;
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &result) != 0)
        return addresses;
    for (const addrinfo* ai = result; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6)
            continue;
        const std::string text = AddressText(ai->ai_addr, ai->ai_addrlen);
        if (!text.empty() && std::find(addresses.begin(), addresses.end(), text) == addresses.end())
            addresses.push_back(text);
    }
    ::freeaddrinfo(result);
    return addresses;
}

int PollOne(pollfd& p, int timeoutMs)
{
    for (;;) {
        const int rc = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (rc >= 0 || errno != EINTR)
            return rc;
    }
}
} // namespace

int TIdStackPosix::MapErrno(int err)
{
    switch (err) {
    case EINTR: return 10004;
    case EBADF: return 10038;
    case EACCES: return 10013;
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case ENFILE: return 10024;
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case EPIPE: return 10058;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    default: return err;
    }
}

TIdStackSocketHandle TIdStackPosix::WSSocket(int type, int protocol, TIdIPVersion version)
{
    return ::socket(version == Id_IPv6 ? AF_INET6 : AF_INET, type | SOCK_CLOEXEC, protocol);
}

int TIdStackPosix::WSBind(TIdStackSocketHandle s, const std::string& ip, int port)
{
    const SocketAddress addr = MakeAddress(s, ip, port);
    return ::bind(s, addr.Raw(), addr.Length);
}

int TIdStackPosix::WSConnect(TIdStackSocketHandle s, const std::string& ip, int port)
{
    const SocketAddress addr = MakeAddress(s, ip, port);
    int rc = ::connect(s, addr.Raw(), addr.Length);
    if (rc == -1 && errno == EINTR) {
        // The connect goes on in the background; wait for its outcome.
        pollfd p{s, POLLOUT, 0};
        PollOne(p, -1);
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len);
        errno = err;
        rc = err == 0 ? 0 : -1;
    }
    return rc;
}

int TIdStackPosix::WSListen(TIdStackSocketHandle s, int backlog)
{
    return ::listen(s, backlog);
}

TIdStackSocketHandle TIdStackPosix::WSAccept(TIdStackSocketHandle s, std::string& ip, int& port)
{
    SocketAddress addr;
    const int rc = ::accept4(s, addr.Raw(), &addr.Length, SOCK_CLOEXEC);
    if (rc != -1) {
        int family = 0;
        ReadAddress(addr, family, ip, port);
    }
    return rc;
}

int TIdStackPosix::WSRecv(TIdStackSocketHandle s, void* buffer, int length, int flags)
{
    ssize_t rc;
    do {
        rc = ::recv(s, buffer, static_cast<size_t>(length), (flags & IdRecvNoWait) != 0 ? MSG_DONTWAIT : 0);
    } while (rc == -1 && errno == EINTR);
    return static_cast<int>(rc);
}

int TIdStackPosix::WSSend(TIdStackSocketHandle s, const void* buffer, int length, int flags)
{
    // No SIGPIPE: a send to a closed peer must come back as an error, not end the program.
    ssize_t rc;
    do {
        rc = ::send(s, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
    } while (rc == -1 && errno == EINTR);
    return static_cast<int>(rc);
}

int TIdStackPosix::WSSelect(std::vector<TIdStackSocketHandle>* read, std::vector<TIdStackSocketHandle>* write,
                            std::vector<TIdStackSocketHandle>* error, int timeoutMs)
{
    std::vector<std::vector<TIdStackSocketHandle>*> lists = {read, write, error};
    const short events[3] = {POLLIN, POLLOUT, POLLPRI};
    std::vector<pollfd> fds;
    std::vector<int> owner;
    for (int i = 0; i < 3; ++i) {
        if (lists[i] == nullptr)
            continue;
        if (lists[i]->size() > static_cast<size_t>(Id_FD_SETSIZE))
            throw EIdStackSetSizeExceeded();
        for (TIdStackSocketHandle s : *lists[i]) {
            fds.push_back(pollfd{s, events[i], 0});
            owner.push_back(i);
        }
    }
    int rc;
    do {
        rc = ::poll(fds.data(), fds.size(), timeoutMs < 0 ? -1 : timeoutMs);
    } while (rc == -1 && errno == EINTR);
    if (rc < 0)
        return rc;
    for (auto* list : lists) {
        if (list != nullptr)
            list->clear();
    }
    int ready = 0;
    for (size_t k = 0; k < fds.size(); ++k) {
        if (fds[k].revents != 0) {
            lists[static_cast<size_t>(owner[k])]->push_back(fds[k].fd);
            ++ready;
        }
    }
    return ready;
}

bool TIdStackPosix::WSWaitReadable(TIdStackSocketHandle s, int timeoutMs)
{
    pollfd p{s, POLLIN, 0};
    const int rc = PollOne(p, timeoutMs);
    // Hang-up, error and an invalid descriptor all count: the receive that follows reports them.
    return rc > 0 && p.revents != 0;
}

bool TIdStackPosix::WSWaitWritable(TIdStackSocketHandle s, int timeoutMs)
{
    pollfd p{s, POLLOUT, 0};
    const int rc = PollOne(p, timeoutMs);
    return rc > 0 && p.revents != 0;
}

int TIdStackPosix::WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value, int length)
{
    return ::setsockopt(s, level, option, value, static_cast<socklen_t>(length));
}

int TIdStackPosix::WSShutdown(TIdStackSocketHandle s, int how)
{
    return ::shutdown(s, how);
}

int TIdStackPosix::WSCloseSocket(TIdStackSocketHandle s)
{
    return ::close(s);
}

void TIdStackPosix::WSGetSockName(TIdStackSocketHandle s, int& family, std::string& ip, int& port)
{
    SocketAddress addr;
    CheckForSocketError(::getsockname(s, addr.Raw(), &addr.Length));
    ReadAddress(addr, family, ip, port);
}

void TIdStackPosix::WSGetPeerName(TIdStackSocketHandle s, int& family, std::string& ip, int& port)
{
    SocketAddress addr;
    CheckForSocketError(::getpeername(s, addr.Raw(), &addr.Length));
    ReadAddress(addr, family, ip, port);
}

std::string TIdStackPosix::WSGetHostByName(const std::string& name)
{
    return WSGetHostAddresses4(name).front();
}

std::vector<std::string> TIdStackPosix::WSGetHostAddresses(const std::string& name)
{
    return CheckFound(ResolveName(name, AF_UNSPEC));
}

std::vector<std::string> TIdStackPosix::WSGetHostAddresses4(const std::string& name)
{
    return CheckFound(ResolveName(name, AF_INET));
}

std::vector<std::string> TIdStackPosix::CheckFound(std::vector<std::string> addresses)
{
    if (addresses.empty()) {
        SetLastError(Id_WSAHOST_NOT_FOUND);
        RaiseSocketError(Id_WSAHOST_NOT_FOUND);
    }
    return addresses;
}

int TIdStackPosix::WSGetLastError()
{
    return MapErrno(errno);
}

std::string TIdStackPosix::WSTranslateSocketErrorMsg(int errorCode)
{
    if (errorCode == Id_WSAHOST_NOT_FOUND)
        return "Host not found.";
    return TIdStack::WSTranslateSocketErrorMsg(errorCode);
}
