#include "ftp/IdFTPList.h"

#include <array>
#include <limits>
#include <string_view>
#include <sys/mman.h>

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

bool TryParseInt64(std::string_view s, int64_t& value)
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

int64_t StrToInt64Def(std::string_view s, int64_t fallback)
{
    int64_t v = 0;
    return TryParseInt64(s, v) ? v : fallback;
}

int StrToIntDef(std::string_view s, int fallback)
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

// A listing of many thousand entries fills fresh memory; faulting it in 2 MiB pages instead
// of 4 KiB ones saves about a quarter of the parse time per line at a million lines.
void AskForHugePages(void* data, size_t bytes)
{
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // only a hint
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

namespace {

// Cuts text the way SplitWords does, as views into it: pieces between spaces, each without its
// blanks and control bytes at either end, empty ones left out. Stops after `limit` words and
// returns how many it found.
template <typename Add> size_t ForEachWord(std::string_view text, size_t limit, Add add)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlankOrControl(text[first]))
        ++first;
    while (last > first && IsBlankOrControl(text[last - 1]))
        --last;
    size_t count = 0;
    // One pass, byte by byte: the pieces are short, a search call per piece would cost more.
    for (size_t start = first, i = first; count < limit; ++i) {
        if (i < last && text[i] != ' ')
            continue;
        size_t a = start, b = i;
        while (a < b && IsBlankOrControl(text[a]))
            ++a;
        while (b > a && IsBlankOrControl(text[b - 1]))
            --b;
        if (b > a) {
            add(text.substr(a, b - a));
            ++count;
        }
        if (i >= last)
            break;
        start = i + 1;
    }
    return count;
}

int MonthNumber(std::string_view word)
{
    static constexpr std::string_view kNames[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                  "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (word.size() != 3)
        return 0;
    const char upper[3] = {UpperChar(word[0]), UpperChar(word[1]), UpperChar(word[2])};
    for (int i = 0; i < 12; ++i)
        if (std::string_view(upper, 3) == kNames[i])
            return i + 1;
    return 0;
}

} // namespace

std::vector<std::string> SplitWords(const std::string& text)
{
    std::vector<std::string> words;
    ForEachWord(text, std::string_view::npos, [&](std::string_view word) { words.emplace_back(word); });
    return words;
}

int MonthFromName(const std::string& word)
{
    return MonthNumber(word);
}

namespace {

// The first words of a Unix line, as views into it. A line without a group column gets an
// empty one, so that the columns sit where they do on a full line.
struct UnixWords {
    static constexpr size_t kKept = 9; // mode to name; the name runs on to the end of the line
    std::array<std::string_view, kKept + 1> Words{};
    size_t Count = 0;
    bool NoGroup = false;

    explicit UnixWords(std::string_view line)
    {
        Count = ForEachWord(line, kKept,
                            [this, i = size_t{0}](std::string_view word) mutable { Words[i++] = word; });
        NoGroup = Count == 8 && IsLetter(Words[4][0]);
        if (NoGroup) {
            for (size_t i = Count; i > 2; --i)
                Words[i] = Words[i - 1];
            Words[2] = std::string_view();
            ++Count;
        }
    }
    std::string_view At(size_t index) const
    {
        if (index >= Count)
            throw EListError("List index out of bounds (" + std::to_string(index) + ")");
        return Words[index];
    }
    std::string_view Or(size_t index, std::string_view fallback) const
    {
        return index < Count ? Words[index] : fallback;
    }
};

// The calendar date of "now", worked out once for a run of lines that share it.
void DecodeNow(TDateTime now, int& year, int& month, int& day)
{
    thread_local TDateTime decodedFor = -1e300;
    thread_local int cached[3] = {0, 0, 0};
    if (now != decodedFor) {
        DecodeDate(now, cached[0], cached[1], cached[2]);
        decodedFor = now;
    }
    year = cached[0];
    month = cached[1];
    day = cached[2];
}

// Month, day and a year or a time (words 5 to 7); raises for a date or time that does not exist.
TDateTime UnixModifiedAt(const UnixWords& w, TDateTime now)
{
    int thisYear = 0, thisMonth = 0, today = 0;
    DecodeNow(now, thisYear, thisMonth, today);
    const int month = MonthNumber(w.At(5));
    const int day = StrToIntDef(w.At(6), today);
    const std::string_view yearOrTime = w.At(7);
    int year = thisYear, hour = 0, minute = 0;
    const size_t colon = yearOrTime.find(':');
    if (colon != std::string_view::npos) {
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

} // namespace

void ParseUnixEntry(TIdFTPListItem& entry, TDateTime now)
{
    const std::string_view line = entry.RawLine;
    const UnixWords w(line);
    const std::string_view mode = w.At(0);
    const char kind = UpperChar(mode[0]);
    auto rights = [&](size_t from) { return std::string(mode.substr(std::min(from, mode.size()), 3)); };
    entry.OwnerRights = rights(1);
    entry.GroupRights = rights(4);
    entry.OtherRights = rights(7);
    entry.LinkCount = StrToIntDef(w.Or(1, "0"), 0);
    entry.OwnerAccount = w.Or(2, {});
    entry.GroupAccount = w.Or(3, {});
    entry.ByteSize = StrToInt64Def(w.Or(4, "0"), 0);
    entry.ModifiedAt = UnixModifiedAt(w, now);
    // The name is the raw text from its first byte to the end of the line, runs of blanks and all.
    entry.EntryName.clear();
    if (w.Count > 8) {
        const size_t start = static_cast<size_t>(w.Words[8].data() - line.data());
        size_t end = line.size();
        while (end > start && IsBlankOrControl(line[end - 1]))
            --end;
        entry.EntryName.assign(line.substr(start, end - start));
    }
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
    AskForHugePages(FItems.data(), FItems.capacity() * sizeof(TIdFTPListItem));
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
