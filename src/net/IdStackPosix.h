#pragma once
// The stack over POSIX sockets. errno values are reported in Winsock numbering so that the
// texts and the tolerated codes stay the same; waits use poll, so any descriptor number works.
#include "net/IdStack.h"

class TIdStackPosix : public TIdStack {
public:
    TIdStackSocketHandle WSSocket(int type, int protocol, TIdIPVersion version) override;
    int WSBind(TIdStackSocketHandle s, const std::string& ip, int port) override;
    int WSConnect(TIdStackSocketHandle s, const std::string& ip, int port) override;
    int WSListen(TIdStackSocketHandle s, int backlog) override;
    TIdStackSocketHandle WSAccept(TIdStackSocketHandle s, std::string& ip, int& port) override;
    int WSRecv(TIdStackSocketHandle s, void* buffer, int length, int flags) override;
    int WSSend(TIdStackSocketHandle s, const void* buffer, int length, int flags) override;
    int WSSelect(std::vector<TIdStackSocketHandle>* read, std::vector<TIdStackSocketHandle>* write,
                 std::vector<TIdStackSocketHandle>* error, int timeoutMs) override;
    bool WSWaitReadable(TIdStackSocketHandle s, int timeoutMs) override;
    bool WSWaitWritable(TIdStackSocketHandle s, int timeoutMs) override;
    int WSSetSockOpt(TIdStackSocketHandle s, int level, int option, const void* value, int length) override;
    int WSShutdown(TIdStackSocketHandle s, int how) override;
    int WSCloseSocket(TIdStackSocketHandle s) override;
    void WSGetSockName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) override;
    void WSGetPeerName(TIdStackSocketHandle s, int& family, std::string& ip, int& port) override;
    std::string WSGetHostByName(const std::string& name) override;
    std::vector<std::string> WSGetHostAddresses(const std::string& name) override;
    int WSGetLastError() override;
    std::string WSTranslateSocketErrorMsg(int errorCode) override;

    // errno to Winsock numbering; unknown values pass through unchanged.
    static int MapErrno(int err);

private:
    std::vector<std::string> WSGetHostAddresses4(const std::string& name);
    // Raises Host not found for an empty list.
    std::vector<std::string> CheckFound(std::vector<std::string> addresses);
};
