#include "ftp/AsciiLineEnds.h"

#include <cstring>

void TAsciiLineEnds::FromWire(const char* data, size_t count, std::string& out)
{
    out.clear();
    if (count == 0)
        return;
    FBytesIn += static_cast<int64_t>(count);
    const char* end = data + count;
    if (FHeldCR) {
        FHeldCR = false;
        if (*data != '\n')
            out += '\r';
    }
    while (data < end) {
        const char* cr = static_cast<const char*>(std::memchr(data, '\r', static_cast<size_t>(end - data)));
        if (cr == nullptr) {
            out.append(data, end);
            break;
        }
        out.append(data, cr);
        if (cr + 1 == end) {
            FHeldCR = true;
            break;
        }
        // The LF after it is copied with the next run.
        if (cr[1] != '\n')
            out += '\r';
        data = cr + 1;
    }
    FBytesOut += static_cast<int64_t>(out.size());
}

void TAsciiLineEnds::Finish(std::string& out)
{
    out.clear();
    if (FHeldCR)
        out += '\r';
    FHeldCR = false;
    FBytesOut += static_cast<int64_t>(out.size());
}

void TAsciiLineEnds::ToWire(const char* data, size_t count, std::string& out)
{
    out.clear();
    if (count == 0)
        return;
    FBytesIn += static_cast<int64_t>(count);
    const char* const begin = data;
    const char* end = data + count;
    while (data < end) {
        const char* lf = static_cast<const char*>(std::memchr(data, '\n', static_cast<size_t>(end - data)));
        if (lf == nullptr) {
            out.append(data, end);
            break;
        }
        out.append(data, lf);
        const bool afterCR = lf == begin ? FLastWasCR : lf[-1] == '\r';
        if (!afterCR)
            out += '\r';
        out += '\n';
        data = lf + 1;
    }
    FLastWasCR = end[-1] == '\r';
    FBytesOut += static_cast<int64_t>(out.size());
}
