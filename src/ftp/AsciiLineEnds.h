#pragma once
// Line ends of ASCII transfers: the wire carries CR LF, files on this system end lines with LF.
// One converter per transfer and direction; it keeps what a block boundary splits.
#include <cstddef>
#include <cstdint>
#include <string>

class TAsciiLineEnds {
public:
    // Download: CR LF becomes LF; a CR not followed by LF stays. A CR that ends a block is held
    // until the next block (or Finish) shows what follows it.
    void FromWire(const char* data, size_t count, std::string& out);
    // The end of a download: a held CR is written as it came.
    void Finish(std::string& out);
    // Upload: a bare LF becomes CR LF; a CR LF already there is sent as it is.
    void ToWire(const char* data, size_t count, std::string& out);

    // Bytes taken in and given out so far, held bytes not counted as given out.
    int64_t BytesIn() const { return FBytesIn; }
    int64_t BytesOut() const { return FBytesOut; }

private:
    bool FHeldCR = false;    // download: the last block ended with a CR not yet written
    bool FLastWasCR = false; // upload: the last block ended with a CR
    int64_t FBytesIn = 0;
    int64_t FBytesOut = 0;
};
