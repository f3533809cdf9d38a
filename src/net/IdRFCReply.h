#pragma once
// One numeric reply: its code and its text lines without the codes.
#include <string>

#include "rtl/StringList.h"

class TIdRFCReply {
public:
    int NumericCode() const { return FNumericCode; }
    // Above 0 also sets TextCode to the decimal text.
    void SetNumericCode(int value);
    const std::string& TextCode() const { return FTextCode; }
    // A non-empty value also sets NumericCode (0 when it is not a number).
    void SetTextCode(const std::string& value);
    TStringList Text;
    // The reply's lines as read (trimmed), codes included: FEAT lists its features between them.
    TStringList Lines;

    void Clear();
    void Assign(const TIdRFCReply& source);
    // Fills the reply from the raw lines of one reply (see the connection's ReadReply).
    void ParseReply(const TStringList& lines);

private:
    int FNumericCode = 0;
    std::string FTextCode;
};
