#include "ftp/IdFTPList.h"

#include <limits>

#include "ftp/IdFTPCommon.h"
#include "rtl/Exception.h"
#include "rtl/StringList.h"

// Listing lines are raw bytes from the server: only ASCII letters are case-folded, and bytes
// above 0x7F are never taken for blanks or control characters.
namespace {

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
char UpperChar(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = UpperChar(c);
    return s;
}

std::string Trim(const std::string& s)
{
    size_t first = 0, last = s.size();
    while (first < last && IsBlankOrControl(s[first]))
        ++first;
    while (last > first && IsBlankOrControl(s[last - 1]))
        --last;
    return s.substr(first, last - first);
}

// 1-based substring that tolerates positions past the end, as listing columns need.
std::string Copy(const std::string& s, size_t position, size_t count = std::string::npos)
{
    if (position < 1 || position > s.size())
        return {};
    return s.substr(position - 1, count);
}

char CharAt(const std::string& s, size_t position)
{
    return position <= s.size() ? s[position - 1] : '\0';
}

std::string WithoutCommas(std::string s)
{
    std::erase(s, ',');
    return s;
}

bool TryParseInt64(const std::string& s, int64_t& value)
{
    const bool negative = !s.empty() && s[0] == '-';
    size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (i == s.size())
        return false;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                    : uint64_t(std::numeric_limits<int64_t>::max());
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i]))
            return false;
        const unsigned digit = static_cast<unsigned>(s[i] - '0');
        if (magnitude > (limit - digit) / 10)
            return false;
        magnitude = magnitude * 10 + digit;
    }
    value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

int64_t StrToInt64Def(const std::string& s, int64_t fallback)
{
    int64_t v = 0;
    return TryParseInt64(s, v) ? v : fallback;
}

int StrToIntDef(const std::string& s, int fallback)
{
    int64_t v = 0;
    if (!TryParseInt64(s, v) || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
        return fallback;
    return static_cast<int>(v);
}

bool StartsWithTotal(const std::string& line)
{
    return Upper(line.substr(0, 5)) == "TOTAL";
}

bool IsBlankLine(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

const std::string& WordAt(const std::vector<std::string>& words, size_t index)
{
    if (index >= words.size())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return words[index];
}

// Cuts the first space-separated word off the front of rest.
std::string TakeWord(std::string& rest)
{
    const size_t space = rest.find(' ');
    std::string word = rest.substr(0, space);
    rest = space == std::string::npos ? std::string() : Trim(rest.substr(space + 1));
    return word;
}

// Reads the fixed DOS date-time text "mm/dd/yy hh:mm[:ss][AM|PM]"; an AM/PM may also come first.
class DosDateScanner {
public:
    explicit DosDateScanner(const std::string& text) : FText(text) {}

    bool Number(int& value, int& digits)
    {
        SkipBlanks();
        value = digits = 0;
        while (FPos < FText.size() && IsDigit(FText[FPos])) {
            if (++digits > 9)
                return false;
            value = value * 10 + (FText[FPos++] - '0');
        }
        return digits > 0;
    }
    bool Number(int& value)
    {
        int digits = 0;
        return Number(value, digits);
    }
    bool Char(char c)
    {
        SkipBlanks();
        if (FPos < FText.size() && FText[FPos] == c) {
            ++FPos;
            return true;
        }
        return false;
    }
    // 0 when there is no marker, 1 for AM, 2 for PM.
    int AmPm()
    {
        SkipBlanks();
        const std::string marker = Upper(FText.substr(FPos, 2));
        if (marker != "AM" && marker != "PM")
            return 0;
        FPos += 2;
        return marker == "AM" ? 1 : 2;
    }
    bool AtEnd()
    {
        SkipBlanks();
        return FPos >= FText.size();
    }

private:
    void SkipBlanks()
    {
        while (FPos < FText.size() && FText[FPos] == ' ')
            ++FPos;
    }
    const std::string& FText;
    size_t FPos = 0;
};

// Two-digit years fall in the hundred years that start fifty years ago.
int WindowedYear(int year, int digits, TDateTime now)
{
    if (digits > 2)
        return year;
    int thisYear = 0, month = 0, day = 0;
    DecodeDate(now, thisYear, month, day);
    const int windowStart = thisYear - 50;
    int result = windowStart - windowStart % 100 + year;
    if (result < windowStart)
        result += 100;
    return result;
}

bool ReadDosTime(DosDateScanner& scan, TDateTime& time)
{
    time = 0;
    if (scan.AtEnd())
        return true;
    int marker = scan.AmPm();
    int hour = 0, minute = 0, second = 0;
    if (!scan.Number(hour) || !scan.Char(':') || !scan.Number(minute))
        return false;
    if (scan.Char(':') && !scan.Number(second))
        return false;
    if (marker == 0)
        marker = scan.AmPm();
    if (marker != 0) {
        if (hour < 1 || hour > 12)
            return false;
        hour = (hour == 12 ? 0 : hour) + (marker == 2 ? 12 : 0);
    }
    return TryEncodeTime(hour, minute, second, 0, time);
}

} // namespace

TIdFTPListFormat DetectFormat(const std::string& line, bool detailed)
{
    if (!detailed)
        return flfNoDetails;
    const std::string l = Upper(line);
    if (IsUnixModeField(l) || StartsWithTotal(l))
        return flfUnix;
    if (l.find("DSK:") != std::string::npos)
        return flfVax;
    const std::string dirColumn = Trim(Copy(l, 25, 6));
    const std::string sizeColumn = WithoutCommas(Trim(Copy(l, 31, 8)));
    auto isSeparator = [&](size_t pos) { return CharAt(l, pos) == '-' || CharAt(l, pos) == '/'; };
    const bool sizeIsNumber = StrToInt64Def(sizeColumn, -1) != -1;
    if (isSeparator(3) && isSeparator(6) && (dirColumn == "<DIR>" || (dirColumn.empty() && sizeIsNumber)))
        return flfDos;
    return flfUnknown;
}

bool IsUnixModeField(const std::string& line)
{
    if (line.size() < 10)
        return false;
    const char kind = UpperChar(line[0]);
    if (kind != '-' && kind != 'D' && kind != 'L')
        return false;
    for (size_t i = 1; i < 10; ++i) {
        const char c = UpperChar(line[i]);
        if (c != '-' && c != 'R' && c != 'W' && c != 'X')
            return false;
    }
    return true;
}

std::vector<std::string> SplitWords(const std::string& text)
{
    std::vector<std::string> words;
    const std::string trimmed = Trim(text);
    size_t start = 0;
    while (start <= trimmed.size()) {
        size_t space = trimmed.find(' ', start);
        if (space == std::string::npos)
            space = trimmed.size();
        if (space > start) {
            std::string word = Trim(trimmed.substr(start, space - start));
            if (!word.empty())
                words.push_back(std::move(word));
        }
        start = space + 1;
    }
    return words;
}

int MonthFromName(const std::string& word)
{
    static const char* const kNames[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                         "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const std::string upper = Upper(word);
    for (int i = 0; i < 12; ++i)
        if (upper == kNames[i])
            return i + 1;
    return 0;
}

namespace {

// Month, day and a year or a time (words 5 to 7); raises for a date or time that does not exist.
TDateTime UnixModifiedAt(const std::vector<std::string>& w, TDateTime now)
{
    int thisYear = 0, thisMonth = 0, today = 0;
    DecodeDate(now, thisYear, thisMonth, today);
    const int month = MonthFromName(WordAt(w, 5));
    const int day = StrToIntDef(WordAt(w, 6), today);
    const std::string& yearOrTime = WordAt(w, 7);
    int year = thisYear, hour = 0, minute = 0;
    const size_t colon = yearOrTime.find(':');
    if (colon != std::string::npos) {
        // Servers show a time instead of a year for recent files; a later month is last year's.
        if (thisMonth < month)
            year = thisYear - 1;
        hour = StrToIntDef(yearOrTime.substr(0, colon), 0);
        minute = StrToIntDef(yearOrTime.substr(colon + 1), 0);
    } else {
        year = StrToIntDef(yearOrTime, thisYear);
    }
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, 999);
}

// The raw text from word `index` (as SplitWords counts) to the end of the line, so that a
// name keeps its runs of blanks and the bytes sent back are the bytes listed.
std::string RawTextFromWord(const std::string& line, size_t index)
{
    const std::string trimmed = Trim(line);
    size_t start = 0;
    size_t word = 0;
    while (start < trimmed.size()) {
        size_t space = trimmed.find(' ', start);
        if (space == std::string::npos)
            space = trimmed.size();
        size_t first = start;
        while (first < space && IsBlankOrControl(trimmed[first]))
            ++first;
        if (first < space) {
            if (word == index)
                return trimmed.substr(first);
            ++word;
        }
        start = space + 1;
    }
    return std::string();
}

} // namespace

void ParseUnixEntry(TIdFTPListItem& entry, TDateTime now)
{
    std::vector<std::string> w = SplitWords(entry.RawLine);
    // A line without a group column has the month where the size should be.
    const bool noGroup = w.size() == 8 && IsLetter(w[4][0]);
    if (noGroup)
        w.insert(w.begin() + 2, std::string());

    const std::string& mode = WordAt(w, 0);
    const char kind = UpperChar(mode[0]);
    entry.OwnerRights = Copy(mode, 2, 3);
    entry.GroupRights = Copy(mode, 5, 3);
    entry.OtherRights = Copy(mode, 8, 3);
    entry.LinkCount = w.size() > 1 ? StrToIntDef(w[1], 0) : 0;
    entry.OwnerAccount = w.size() > 2 ? w[2] : std::string();
    entry.GroupAccount = w.size() > 3 ? w[3] : std::string();
    entry.ByteSize = w.size() > 4 ? StrToInt64Def(w[4], 0) : 0;
    entry.ModifiedAt = UnixModifiedAt(w, now);
    entry.EntryName = w.size() > 8 ? RawTextFromWord(entry.RawLine, noGroup ? 7 : 8) : std::string();
    entry.EntryKind = kind == 'D' ? ekDirectory : (kind == 'L' ? ekSymbolicLink : ekFile);

    if (entry.EntryKind == ekSymbolicLink) {
        const size_t arrow = entry.EntryName.find(" -> ");
        if (arrow != std::string::npos) {
            entry.LinkTargetName = entry.EntryName.substr(arrow + 4);
            entry.EntryName.resize(arrow);
        }
    }
}

void ParseDosEntry(TIdFTPListItem& entry, TDateTime now)
{
    const std::string& line = entry.RawLine;
    std::string dateText = Copy(line, 1, 2) + "/" + Copy(line, 4, 2) + "/" + Copy(line, 7, 2) + " ";
    std::string rest = Trim(Copy(line, 9));
    dateText += TakeWord(rest);
    const std::string sizeWord = WithoutCommas(TakeWord(rest));
    const bool isFolder = Upper(sizeWord) == "<DIR>";

    entry.EntryName = Trim(rest);
    entry.EntryKind = isFolder ? ekDirectory : ekFile;
    entry.ByteSize = isFolder ? 0 : StrToInt64Def(sizeWord, 0);
    TDateTime modified = 0;
    entry.ModifiedAt = TryReadDosDateTime(dateText, now, modified) ? modified : 0;
}

bool TryReadDosDateTime(const std::string& text, TDateTime now, TDateTime& result)
{
    DosDateScanner scan(text);
    int month = 0, day = 0, year = 0, yearDigits = 0;
    if (!scan.Number(month) || !scan.Char('/') || !scan.Number(day) || !scan.Char('/') ||
        !scan.Number(year, yearDigits))
        return false;
    TDateTime date = 0, time = 0;
    if (!TryEncodeDate(WindowedYear(year, yearDigits, now), month, day, date) || !ReadDosTime(scan, time))
        return false;
    result = date + time;
    return true;
}

TIdFTPListItem& TIdFTPListItems::Add()
{
    return FItems.emplace_back();
}

void TIdFTPListItems::Assign(const TIdFTPListItems& source)
{
    if (&source == this)
        return;
    FItems = source.FItems;
    ListingFormat = source.ListingFormat;
}

TDateTime TIdFTPListItems::CurrentTime() const
{
    return Clock ? Clock() : Now();
}

void TIdFTPListItems::LoadLines(const TStringList& lines)
{
    FItems.clear();
    FItems.reserve(static_cast<size_t>(lines.Count()));
    int first = 0;
    if (ListingFormat == flfUnix && lines.Count() > 0 && StartsWithTotal(lines[0]))
        first = 1;
    // One reading of the clock for the whole listing keeps the year guess consistent.
    const TDateTime now = CurrentTime();
    for (int i = first; i < lines.Count(); ++i) {
        if (IsBlankLine(lines[i]))
            continue;
        TIdFTPListItem& entry = Add();
        entry.RawLine = lines[i];
        if (ListingFormat == flfNone)
            continue;
        // A line that cannot be read is left out; the entries around it stay.
        try {
            ParseEntryAt(ListingFormat, entry, now);
        } catch (const std::exception&) {
            FItems.pop_back();
        }
    }
}

void TIdFTPListItems::ParseEntry(TIdFTPListFormat format, TIdFTPListItem& entry) const
{
    ParseEntryAt(format, entry, CurrentTime());
}

void TIdFTPListItems::ParseEntryAt(TIdFTPListFormat format, TIdFTPListItem& entry, TDateTime now) const
{
    switch (format) {
    case flfNone: return;
    case flfDos: ParseDosEntry(entry, now); return;
    case flfUnix:
    case flfVax: ParseUnixEntry(entry, now); return;
    case flfNoDetails: entry.EntryName = Trim(entry.RawLine); return;
    case flfUnknown:
    case flfCustom: break;
    }
    throw EIdInvalidFTPListingFormat(RSFTPUnknownListingFormat);
}

void BuildParsedListing(const TStringList& lines, TIdFTPListItems& into)
{
    into.Clear();
    into.ListingFormat = flfUnix;
    if (lines.Count() == 0)
        return;
    into.ListingFormat = DetectFormat(lines[0], true);
    into.LoadLines(lines);
}
