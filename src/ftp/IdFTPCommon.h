#pragma once
// Types, texts and errors shared by the FTP client and its listing parser.
#include <string>

#include "net/IdGlobal.h"

enum TIdFTPTransferType { ftASCII = 0, ftBinary = 1 };

enum TIdFtpProxyType { fpcmNone = 0, fpcmUserSite = 1 };

inline constexpr const char* RSFTPStatusStartTransfer = "Starting FTP transfer";
inline constexpr const char* RSFTPStatusDoneTransfer = "Transfer complete";
inline constexpr const char* RSFTPStatusAbortTransfer = "Transfer aborted";
inline constexpr const char* RSFTPStatusReady = "Connection established";
inline constexpr const char* RSFTPFileAlreadyExists = "Destination file already exists.";
inline constexpr const char* RSFTPUnknownListingFormat = "Unknown FTP listing format";
inline constexpr const char* RSFTPReplyTimeout = "Timed out waiting for the server (%d s).";
inline constexpr const char* RSFTPUnreadableReply = "The server sent a reply that cannot be read.";
inline constexpr const char* RSFTPTransferIncomplete = "Transfer incomplete: received %lld of %lld bytes";
inline constexpr const char* RSFTPListingTooLarge = "The listing is larger than 64 MiB.";

class EIdInvalidFTPListingFormat : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdFTPFileAlreadyExists : public EIdException {
public:
    EIdFTPFileAlreadyExists() : EIdException(RSFTPFileAlreadyExists) {}
};

// A command line that would carry a second command (CR or LF inside a name).
class EIdFTPCommandLineError : public EIdException {
public:
    using EIdException::EIdException;
};

// A PASV reply that names an impossible address or port.
class EIdFTPPassiveAddressError : public EIdException {
public:
    using EIdException::EIdException;
};

// A data connection broke (reset, closed under a send) while the control connection stayed in
// step: the transfer failed, the session did not. Carries the socket error of the break.
class EIdFTPDataConnectionError : public EIdException {
public:
    EIdFTPDataConnectionError(std::string message, int socketErrorCode)
        : EIdException(std::move(message)), SocketErrorCode(socketErrorCode)
    {
    }
    int SocketErrorCode;
};

// A reply whose first line carries no three-digit code: the connection is no longer in step.
class EIdFTPReplyFormatError : public EIdException {
public:
    EIdFTPReplyFormatError() : EIdException(RSFTPUnreadableReply) {}
};

// A download that ended short of the size the server announced.
class EIdFTPTransferIncomplete : public EIdException {
public:
    using EIdException::EIdException;
};

class EIdFTPListingTooLarge : public EIdException {
public:
    EIdFTPListingTooLarge() : EIdException(RSFTPListingTooLarge) {}
};

// A server that lists REST STREAM and then refuses REST: the partial file stays as it was.
class EIdFTPResumeRefused : public EIdProtocolReplyError {
public:
    using EIdProtocolReplyError::EIdProtocolReplyError;
};
