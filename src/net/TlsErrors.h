#pragma once
// Failures of the TLS layer. None of them is a lost connection: a retry would meet them again.
#include "net/IdGlobal.h"

// A handshake that failed or did not finish in time, or a broken TLS stream.
class ETlsError : public EIdException {
public:
    using EIdException::EIdException;
};

// The server refused AUTH TLS while encryption was required.
class ETlsRefused : public EIdException {
public:
    using EIdException::EIdException;
};

// OpenSSL's queued error reasons, joined (the queue is emptied); empty when none.
std::string TlsErrorText();

// The server's certificate was not accepted (the user cancelled, or nobody could be asked).
class ETlsCertificateRejected : public EIdException {
public:
    using EIdException::EIdException;
};
