#pragma once
// Errors of the FTP layer that do not come from a server reply.
#include "rtl/Exception.h"

class EIdInvalidFTPListingFormat : public Exception {
    using Exception::Exception;
};
