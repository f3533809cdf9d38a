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

// Active mode: the server did not connect in time, or someone else did.
class EIdFTPDataConnectionError : public EIdException {
public:
    using EIdException::EIdException;
};
