#pragma once
// The one place the transport touches the socket library: each call it needs, error numbers
// (Winsock numbering) turned into exceptions with fixed texts, the address helpers and the
// resolver. Addresses travel as text: dotted IPv4 or numeric IPv6 (the family follows from a ':').
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "net/IdGlobal.h"

using TIdStackSocketHandle = int;
inline constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
inline constexpr int Id_SOCKET_ERROR = -1;
inline constexpr int Id_WSAEINTR = 10004;
inline constexpr int Id_WSAEWOULDBLOCK = 10035;
inline constexpr int Id_WSAENOTSOCK = 10038;
inline constexpr int Id_WSAEAFNOSUPPORT = 10047;
inline constexpr int Id_WSAEADDRINUSE = 10048;
inline constexpr int Id_WSAECONNABORTED = 10053;
inline constexpr int Id_WSAECONNRESET = 10054;
inline constexpr int Id_WSAESHUTDOWN = 10058;
inline constexpr int Id_WSAECONNREFUSED = 10061;
inline constexpr int Id_WSAHOST_NOT_FOUND = 11001;
// Most sockets one list of WSSelect may hold.
inline constexpr int Id_FD_SETSIZE = 64;
// Time-out value meaning "no limit" for the waits.
inline constexpr int IdTimeoutInfinite = -2;
// WSRecv flag: come back at once (a would-block error) when nothing has arrived.
inline constexpr int IdRecvNoWait = 1;

// Four bytes of an IPv4 address, network order.
struct TIdInAddr {
    uint8_t Bytes[4] = {0, 0, 0, 0};
};

enum TIdIPVersion { Id_IPv4, Id_IPv6 };

class TIdStack {
public:
    TIdStack() = default;
    virtual ~TIdStack() = default;
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;

    // Raises EIdInvalidSocket when no socket can be made.
    TIdStackSocketHandle CreateSocketHandle(int socketType, int protocol = 0, TIdIPVersion version = Id_IPv4);

    virtual TIdStackSocketHandle WSSocket(int type, int protocol, TIdIPVersion version) = 0;
    // Empty ip binds to any address of the socket's family.
    virtual int WSBind(TIdStackSocketHandle s, const std::string& ip, int port) = 0;
    virtual int WSConnect(TIdStackSocketHandle s, const std::string& ip, int port) = 0;
    virtual int WSListen(TIdStackSocketHandle s, int backlog) = 0;
    virtual TIdStackSocketHandle WSAccept(TIdStackSocketHandle s, std::string& ip, int& port) = 0;
    virtual int WSRecv(TIdStackSocketHandle s, void* buffer, int length, int flags) = 0;
    virtual int WSSend(TIdStackSocketHandle s, const void* buffer, int length, int flags) = 0;
    // Lists of at most Id_FD_SETSIZE sockets (more raise EIdStackSetSizeExceeded); each list is
    // rewritten with its ready sockets. Returns the number of ready sockets, 0 on time-out.
    virtual int WSSelect(std::vector<TIdStackSocketHandle>* read, std::vector<TIdStackSocketHandle>* write,
                         std::vector<TIdStackSocketHandle>* error, int timeoutMs) = 0;
    // One socket: true when reading will not block (data, end of stream or an error to fetch).
    virtual bool WSWaitReadable(TIdStackSocketHandle s, int timeoutMs) = 0;
    // True once a send would move something (or fail at once), false after timeoutMs.
    virtual bool WSWaitWritable(TIdStackSocketHandle s, int timeoutMs) = 0;
    virtual int WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value,
                             int length) = 0;
    virtual int WSShutdown(TIdStackSocketHandle s, int how) = 0;
    virtual int WSCloseSocket(TIdStackSocketHandle s) = 0;
    // Raise EIdSocketError on failure.
    virtual void WSGetSockName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) = 0;
    virtual void WSGetPeerName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) = 0;
    // First IPv4 address of a name, dotted; raises EIdSocketError when the name is unknown.
    virtual std::string WSGetHostByName(const std::string& name) = 0;
    // Every address of a name, IPv6 and IPv4, in the resolver's order without repeats; raises
    // EIdSocketError (Host not found) when there is none.
    virtual std::vector<std::string> WSGetHostAddresses(const std::string& name) = 0;
    // The library's last error of this thread, in Winsock numbering.
    virtual int WSGetLastError() = 0;
    virtual std::string WSTranslateSocketErrorMsg(int errorCode);

    static uint16_t WSHToNs(uint16_t v);
    static uint16_t WSNToHs(uint16_t v);
    static uint32_t WSHToNL(uint32_t v);
    static uint32_t WSNToHL(uint32_t v);

    static bool IsDottedAddress(const std::string& address);
    // A numeric IPv6 address (a zone after '%' allowed), without brackets.
    static bool IsIPv6Address(const std::string& address);
    static bool IsNumericAddress(const std::string& address);
    static TIdIPVersion AddressVersion(const std::string& address);
    // "[::1]" as typed in a server box gives "::1"; anything else is returned as it is.
    static std::string StripBrackets(const std::string& host);
    std::string LookupHost(const std::string& host);
    // The addresses to try for a host, in order: a numeric address (brackets stripped) as it is,
    // a name from the test table when it holds one, "LOCALHOST" as 127.0.0.1, else the resolver.
    std::vector<std::string> LookupHostAddresses(const std::string& host);
    // For tests only: makes a name resolve to exactly these addresses, in this order, in every
    // thread; an empty list removes the name again.
    static void SetTestHostAddresses(const std::string& name, const std::vector<std::string>& addresses);
    static std::string TInAddrToString(const TIdInAddr& address);
    // Raises EConvertError when a part is not an integer.
    static TIdInAddr TranslateStringToTInAddr(const std::string& address);

    // result -1: reads and stores the last error; true when it is tolerated, otherwise raises.
    bool CheckForSocketError(int result, std::initializer_list<int> ignore = {});
    [[noreturn]] void RaiseSocketError(int errorCode);
    // The error stored by the last CheckForSocketError of the calling thread.
    int LastError() const;

protected:
    void SetLastError(int errorCode);
};

// The process-wide stack; exists while any TIdComponent exists.
extern TIdStack* GStack;
