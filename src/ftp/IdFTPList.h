#pragma once
// A LIST reply cut into entries: the layout is guessed from the first line, then every line is parsed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rtl/DateTime.h"

class TStringList;

enum TIdEntryKind : uint8_t { ekDirectory = 0, ekFile = 1, ekSymbolicLink = 2 };

enum TIdFTPListFormat { flfNone, flfDos, flfUnix, flfVax, flfNoDetails, flfUnknown, flfCustom };

class TIdFTPListItem {
public:
    int64_t ByteSize = 0;
    int32_t LinkCount = 0;
    std::string RawLine;
    std::string EntryName;
    std::string GroupRights = "???";
    std::string GroupAccount = "????????";
    std::string OwnerRights = "???";
    std::string OwnerAccount = "????????";
    std::string OtherRights = "???";
    TDateTime ModifiedAt = 0;
    std::string LinkTargetName;
    TIdEntryKind EntryKind = ekFile;

    void Assign(const TIdFTPListItem& source) { *this = source; }
};

// Where the parsers get "now" from; tests pin it so that year guessing is stable.
using TIdListingClock = std::function<TDateTime()>;

class TIdFTPListItems {
public:
    TIdFTPListFormat ListingFormat = flfUnix;
    TIdListingClock Clock; // empty: the local clock

    int Count() const { return static_cast<int>(FItems.size()); }
    TIdFTPListItem& operator[](int index) { return FItems.at(static_cast<size_t>(index)); }
    const TIdFTPListItem& operator[](int index) const { return FItems.at(static_cast<size_t>(index)); }
    // The reference stays valid until the next Add, Clear or LoadLines.
    TIdFTPListItem& Add();
    void Clear() { FItems.clear(); }
    void Assign(const TIdFTPListItems& source);

    void LoadLines(const TStringList& lines);
    void ParseEntry(TIdFTPListFormat format, TIdFTPListItem& entry) const;

private:
    TDateTime CurrentTime() const;
    void ParseEntryAt(TIdFTPListFormat format, TIdFTPListItem& entry, TDateTime now) const;

    std::vector<TIdFTPListItem> FItems;
};

TIdFTPListFormat DetectFormat(const std::string& line, bool detailed);
bool IsUnixModeField(const std::string& line);
std::vector<std::string> SplitWords(const std::string& text);
int MonthFromName(const std::string& word);

// The two line parsers; "now" decides the year of dates given with a time and two-digit years.
void ParseUnixEntry(TIdFTPListItem& entry, TDateTime now);
void ParseDosEntry(TIdFTPListItem& entry, TDateTime now);
// Reads a DOS listing's "mm/dd/yy hh:mmAM" text with fixed rules; false when it names no real moment.
bool TryReadDosDateTime(const std::string& text, TDateTime now, TDateTime& result);

// What the client's cached listing is built with: format from the first line, then every line.
void BuildParsedListing(const TStringList& lines, TIdFTPListItems& into);
