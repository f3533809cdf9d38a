#include <gtest/gtest.h>

#include "unit/ftp/ListingFixture.h"

namespace {

const TDateTime kNow = At(2026, 3, 10, 12, 0);

struct DosCase {
    const char* line;
    TIdEntryKind kind;
    const char* name;
    int64_t size;
    const char* modified; // empty: no date could be read
};

// Windows/IIS style lines, each after a first line that selects the DOS parser.
const DosCase kDosLines[] = {
    {"01-15-04  10:30AM       <DIR>          My Folder", ekDirectory, "My Folder", 0,
     "2004-01-15 10:30:00.000"},
    {"01-15-04  02:05PM                 1,234 report.txt", ekFile, "report.txt", 1234,
     "2004-01-15 14:05:00.000"},
    {"12-31-80  12:00AM                     0 midnight", ekFile, "midnight", 0, "1980-12-31 00:00:00.000"},
    {"07-04-75  12:30PM                     1 noon", ekFile, "noon", 1, "2075-07-04 12:30:00.000"},
    {"02-29-24  11:59pm       <dir>          leap  day", ekDirectory, "leap  day", 0,
     "2024-02-29 23:59:00.000"},
    {"06-01-23  09:15                5,368,709,120 huge.iso", ekFile, "huge.iso", 5368709120LL,
     "2023-06-01 09:15:00.000"},
    {"02-30-24  10:30AM                    10 no-such-day", ekFile, "no-such-day", 10, ""},
    {"ab-cd-ef  10:30AM                    10 letters", ekFile, "letters", 10, ""},
    {"01-15-04  13:30PM                    10 bad-hour", ekFile, "bad-hour", 10, ""},
    {"01-15-04", ekFile, "", 0, "2004-01-15 00:00:00.000"},
};

TEST(DosListing, WindowsLinesGiveTheirEntries)
{
    for (const DosCase& c : kDosLines) {
        SCOPED_TRACE(c.line);
        TIdFTPListItems items = ParseListing({"01-15-04  10:30AM       <DIR>          first", c.line}, kNow);
        ASSERT_EQ(items.ListingFormat, flfDos);
        ASSERT_EQ(items.Count(), 2);
        const TIdFTPListItem& e = items[1];
        EXPECT_EQ(e.EntryKind, c.kind);
        EXPECT_EQ(e.EntryName, c.name);
        EXPECT_EQ(e.ByteSize, c.size);
        if (*c.modified)
            EXPECT_EQ(Stamp(e.ModifiedAt), c.modified);
        else
            EXPECT_EQ(e.ModifiedAt, 0.0);
        EXPECT_EQ(e.OwnerRights, "???");
        EXPECT_EQ(e.OwnerAccount, "????????");
        EXPECT_EQ(e.LinkCount, 0);
    }
}

TEST(DosListing, TwoDigitYearsFollowTheClock)
{
    TDateTime t = 0;
    ASSERT_TRUE(TryReadDosDateTime("01/15/75 10:30AM", At(2026, 1, 1), t));
    EXPECT_EQ(Stamp(t), "2075-01-15 10:30:00.000");
    ASSERT_TRUE(TryReadDosDateTime("01/15/75 10:30AM", At(2024, 1, 1), t));
    EXPECT_EQ(Stamp(t), "1975-01-15 10:30:00.000");
    ASSERT_TRUE(TryReadDosDateTime("1/2/2010 AM 9:07:05", kNow, t));
    EXPECT_EQ(Stamp(t), "2010-01-02 09:07:05.000");
    for (const char* bad : {"", "01/15", "01/15/04 10", "01/15/04 0:30AM", "99999999999/1/1 1:00",
                            "01/15/04 10:60", "00/15/04 10:30"})
        EXPECT_FALSE(TryReadDosDateTime(bad, kNow, t)) << bad;
}

TEST(ListingFormat, DetectedFromTheFirstLineOnly)
{
    struct {
        const char* line;
        TIdFTPListFormat format;
    } cases[] = {
        {"drwxr-xr-x 2 o g 4096 Jan 15 10:30 x", flfUnix},
        {"-RW-R--R-- 1 o g 1 Jan 15 10:30 x", flfUnix},
        {"lrwxrwxrwx 1 o g 1 Jan 15 10:30 x", flfUnix},
        {"total 0", flfUnix},
        {"Total 12", flfUnix},
        {"drwxrwxrwt 2 o g 4096 Jan 15 10:30 tmp", flfUnknown},
        {"-rwsr-xr-x 1 o g 1 Jan 15 10:30 x", flfUnknown},
        {"crw-rw-rw- 1 o g 1 Jan 15 10:30 null", flfUnknown},
        {"user$dsk:[dir]", flfVax},
        {"01-15-04  10:30AM       <DIR>          x", flfDos},
        {"01/15/04  02:05PM                 1,234 x", flfDos},
        {"01-15-04  02:05PM                    -1 x", flfUnknown},
        {"01-15-04  02:05PM                       x", flfUnknown},
        {"01-15-04  02:05PM          <DIR>       x", flfUnknown},
        {"+i8388621.48638,m1201712580,/,\tpub", flfUnknown},
        {"", flfUnknown},
        {"drwxr-x", flfUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DetectFormat(c.line, true), c.format) << c.line;
    EXPECT_EQ(DetectFormat("drwxr-xr-x 2 o g 4096 Jan 15 10:30 x", false), flfNoDetails);
}

TEST(ListingFormat, StickyFirstLineEmptiesTheListingButLaterItParses)
{
    const char* sticky = "drwxrwxrwt   2 root root 4096 Jan 15 10:30 tmp";
    TIdFTPListItems items = ParseListing({sticky, "-rw-r--r-- 1 o g 1 Jan 15 10:30 a"}, kNow);
    EXPECT_EQ(items.ListingFormat, flfUnknown);
    EXPECT_EQ(items.Count(), 0);

    items = ParseListing({"-rw-r--r-- 1 o g 1 Jan 15 10:30 a", sticky}, kNow);
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[1].EntryName, "tmp");
    EXPECT_EQ(items[1].OtherRights, "rwt");
}

TEST(ListingFormat, EmptyAndBlankListings)
{
    TIdFTPListItems items = ParseListing({}, kNow);
    EXPECT_EQ(items.ListingFormat, flfUnix);
    EXPECT_EQ(items.Count(), 0);
    items = ParseListing({"", "   ", "\t \t"}, kNow);
    EXPECT_EQ(items.Count(), 0);
}

TEST(ListingFormat, OtherFormatsOnEntries)
{
    TIdFTPListItems items;
    TIdFTPListItem& entry = items.Add();
    entry.RawLine = "  plain name \r";
    items.ParseEntry(flfNoDetails, entry);
    EXPECT_EQ(entry.EntryName, "plain name");
    items.ParseEntry(flfNone, entry);
    EXPECT_EQ(entry.EntryName, "plain name");
    for (TIdFTPListFormat f : {flfUnknown, flfCustom}) {
        try {
            items.ParseEntry(f, entry);
            ADD_FAILURE() << "no error for format " << f;
        } catch (const EIdInvalidFTPListingFormat& e) {
            EXPECT_STREQ(e.what(), "Unknown FTP listing format");
        }
    }

    TStringList lines;
    lines.Add("anything");
    lines.Add("");
    lines.Add("second");
    items.ListingFormat = flfNone;
    items.LoadLines(lines);
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[1].RawLine, "second");
    EXPECT_EQ(items[1].EntryName, "");
}

TEST(ListingFormat, CopiesAreDeepAndComplete)
{
    TIdFTPListItems items = ParseListing({"lrwxrwxrwx 1 o g 9 Jan 15 10:30 docs -> /srv/data"}, kNow);
    TIdFTPListItems copy;
    copy.Assign(items);
    items.Clear();
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy[0].LinkTargetName, "/srv/data");
    TIdFTPListItem single;
    single.Assign(copy[0]);
    EXPECT_EQ(single.RawLine, copy[0].RawLine);
    EXPECT_EQ(single.ModifiedAt, copy[0].ModifiedAt);
    EXPECT_EQ(single.EntryKind, ekSymbolicLink);
}

TEST(ListingWords, SplitAndMonthNames)
{
    using Words = std::vector<std::string>;
    EXPECT_EQ(SplitWords("  a  b\t c \r\n"), (Words{"a", "b", "c"}));
    EXPECT_EQ(SplitWords(" \x01 x \x02"), (Words{"x"}));
    EXPECT_EQ(SplitWords("\xa0\xff y"), (Words{"\xa0\xff", "y"}));
    EXPECT_TRUE(SplitWords("   ").empty());
    EXPECT_EQ(MonthFromName("jan"), 1);
    EXPECT_EQ(MonthFromName("Dec"), 12);
    EXPECT_EQ(MonthFromName("June"), 0);
    EXPECT_EQ(MonthFromName(""), 0);
}

} // namespace
