#pragma once
// Shared pieces of the transport: the exception family, its fixed texts, and small helpers.
#include <cstdint>
#include <string>

#include "rtl/Exception.h"

// Fixed texts shown to the user.
inline constexpr const char* RSConnectionClosedGracefully = "Connection Closed Gracefully.";
inline constexpr const char* RSCannotAllocateSocket = "Cannot allocate socket.";
inline constexpr const char* RSWinsockInitializationError = "Winsock Initialization Error.";
inline constexpr const char* RSSetSizeExceeded = "Set Size Exceeded.";
inline constexpr const char* RSStackError = "Socket Error # %d\r\n%s";
inline constexpr const char* RSCouldNotBindSocket =
    "Could not bind socket. Address and port are already in use.";
inline constexpr const char* RSInvalidPortRange = "Invalid Port Range (%d - %d)";
inline constexpr const char* RSPortOutOfRange = "Invalid port %d: use a number from 1 to 65535.";
inline constexpr const char* RSCannotBindRange = "Can not bind in port range (%d - %d)";
inline constexpr const char* RSAlreadyConnected = "Already connected.";
inline constexpr const char* RSNotConnected = "Not Connected";
inline constexpr const char* RSReadTimeout = "Read Timeout";
inline constexpr const char* RSReadLnMaxLineLengthExceeded = "Max line length exceeded.";
inline constexpr const char* RSReplyTooLong = "The server's reply is too long.";
inline constexpr const char* RSNotEnoughDataInBuffer = "Not enough data in buffer.";
inline constexpr const char* RSNoDataToRead = "No data to read.";
inline constexpr const char* RSStatusDisconnected = "Disconnected.";
inline constexpr const char* RSStatusConnected = "Connected.";

class EIdException : public Exception {
public:
    using Exception::Exception;
};
// Failures that mark an expected end rather than a fault.
class EIdSilentException : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdConnClosedGracefully : public EIdSilentException {
public:
    EIdConnClosedGracefully() : EIdSilentException(RSConnectionClosedGracefully) {}
};

class EIdSocketError : public EIdException {
public:
    EIdSocketError(int errorCode, std::string message)
        : EIdException(std::move(message)), SocketErrorCode(errorCode)
    {
    }
    int SocketErrorCode;
};
class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException(RSCannotAllocateSocket) {}
};
class EIdStackError : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdStackInitializationFailed : public EIdStackError {
public:
    EIdStackInitializationFailed() : EIdStackError(RSWinsockInitializationError) {}
};
class EIdStackSetSizeExceeded : public EIdStackError {
public:
    EIdStackSetSizeExceeded() : EIdStackError(RSSetSizeExceeded) {}
};
// Never raised here: the socket functions are linked directly. Kept for the family's shape.
class EIdWS2StubError : public EIdException {
public:
    EIdWS2StubError(std::string message, int win32Error, std::string win32ErrorText)
        : EIdException(std::move(message)), Win32Error(win32Error), Win32ErrorText(std::move(win32ErrorText))
    {
    }
    int Win32Error;
    std::string Win32ErrorText;
};

class EIdSocketHandleError : public EIdException {
public:
    using EIdException::EIdException;
};
class EIdCouldNotBindSocket : public EIdSocketHandleError {
public:
    EIdCouldNotBindSocket() : EIdSocketHandleError(RSCouldNotBindSocket) {}
};
class EIdInvalidPortRange : public EIdSocketHandleError {
public:
    using EIdSocketHandleError::EIdSocketHandleError;
};
class EIdCanNotBindPortInRange : public EIdSocketHandleError {
public:
    using EIdSocketHandleError::EIdSocketHandleError;
};

class EIdAlreadyConnected : public EIdException {
public:
    EIdAlreadyConnected() : EIdException(RSAlreadyConnected) {}
};
class EIdNotConnected : public EIdException {
public:
    EIdNotConnected() : EIdException(RSNotConnected) {}
};
// Every wait for a peer that stays silent too long ends with this type, whatever its text.
class EIdReadTimeout : public EIdException {
public:
    EIdReadTimeout() : EIdException(RSReadTimeout) {}
    explicit EIdReadTimeout(std::string message) : EIdException(std::move(message)) {}
};
class EIdReadLnMaxLineLengthExceeded : public EIdException {
public:
    EIdReadLnMaxLineLengthExceeded() : EIdException(RSReadLnMaxLineLengthExceeded) {}
};
class EIdNotEnoughDataInBuffer : public EIdException {
public:
    EIdNotEnoughDataInBuffer() : EIdException(RSNotEnoughDataInBuffer) {}
};
class EIdNoDataToRead : public EIdException {
public:
    EIdNoDataToRead() : EIdException(RSNoDataToRead) {}
};
class EIdClosedSocket : public EIdException {
public:
    EIdClosedSocket() : EIdException(RSStatusDisconnected) {}
};
// A reply longer than any real server sends: the rest of it is still on the way.
class EIdReplyTooLong : public EIdException {
public:
    EIdReplyTooLong() : EIdException(RSReplyTooLong) {}
};
// A rejected numeric reply; the message is the reply's text lines, each followed by CR LF.
class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int replyCode, std::string message)
        : EIdException(std::move(message)), ReplyCode(replyCode)
    {
    }
    int ReplyCode;
};

// printf-style formatting into a string.
std::string IdFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Trims characters with codes 0 to 32 from both ends.
std::string IdTrim(const std::string& s);
