#include <gtest/gtest.h>

#include "unit/ftp/ListingFixture.h"

namespace {

const TDateTime kMarch2026 = At(2026, 3, 10, 12, 0);

struct UnixCase {
    const char* line;
    TIdEntryKind kind;
    const char* name;
    const char* target;
    int64_t size;
    const char* modified;
    const char* owner;
    const char* group;
    const char* rights; // owner, group and other rights run together
    int links;
};

// Lines as real servers send them, each parsed as the only line of a listing.
const UnixCase kServerLines[] = {
    // vsftpd
    {"drwxr-xr-x    2 1000     1000         4096 Jan 15 10:30 docs", ekDirectory, "docs", "", 4096,
     "2026-01-15 10:30:00.999", "1000", "1000", "rwxr-xr-x", 2},
    {"-rw-r--r--    1 0        0         1048576 Mar 03  2021 big.bin", ekFile, "big.bin", "", 1048576,
     "2021-03-03 00:00:00.999", "0", "0", "rw-r--r--", 1},
    {"lrwxrwxrwx    1 0        0               9 Feb 01 09:05 data -> /srv/data", ekSymbolicLink, "data",
     "/srv/data", 9, "2026-02-01 09:05:00.999", "0", "0", "rwxrwxrwx", 1},
    // ProFTPD
    {"drwxr-xr-x   3 ftp      ftp          4096 Jan 15 10:30 public", ekDirectory, "public", "", 4096,
     "2026-01-15 10:30:00.999", "ftp", "ftp", "rwxr-xr-x", 3},
    {"-rw-r--r--   1 ftp      ftp      5368709120 Jun  1  2023 huge.iso", ekFile, "huge.iso", "",
     5368709120LL, "2023-06-01 00:00:00.999", "ftp", "ftp", "rw-r--r--", 1},
    {"-rw-rw-r--   1 alice    staff          17 Mar  9 23:59 read me.txt", ekFile, "read me.txt", "", 17,
     "2026-03-09 23:59:00.999", "alice", "staff", "rw-rw-r--", 1},
    // pure-ftpd
    {"drwxr-xr-x    2 1000       1000             4096 Feb 28 10:30 .", ekDirectory, ".", "", 4096,
     "2026-02-28 10:30:00.999", "1000", "1000", "rwxr-xr-x", 2},
    {"-rw-r--r--    1 1000       1000               12 Dec 31 23:59 notes.txt", ekFile, "notes.txt", "", 12,
     "2025-12-31 23:59:00.999", "1000", "1000", "rw-r--r--", 1},
    {"-rwsr-xr-x    1 root       root            10 Aug  4  2003 tool", ekFile, "tool", "", 10,
     "2003-08-04 00:00:00.999", "root", "root", "rwsr-xr-x", 1},
};

TEST(UnixListing, ServerLinesGiveTheirEntries)
{
    for (const UnixCase& c : kServerLines) {
        SCOPED_TRACE(c.line);
        TIdFTPListItems items = ParseListing({"-rw-r--r--    1 0 0 1 Jan 1 2000 first", c.line}, kMarch2026);
        ASSERT_EQ(items.Count(), 2);
        const TIdFTPListItem& e = items[1];
        EXPECT_EQ(e.RawLine, c.line);
        EXPECT_EQ(e.EntryKind, c.kind);
        EXPECT_EQ(e.EntryName, c.name);
        EXPECT_EQ(e.LinkTargetName, c.target);
        EXPECT_EQ(e.ByteSize, c.size);
        EXPECT_EQ(Stamp(e.ModifiedAt), c.modified);
        EXPECT_EQ(e.OwnerAccount, c.owner);
        EXPECT_EQ(e.GroupAccount, c.group);
        EXPECT_EQ(e.OwnerRights + e.GroupRights + e.OtherRights, c.rights);
        EXPECT_EQ(e.LinkCount, c.links);
    }
}

TEST(UnixListing, WholeListingsParseInOrder)
{
    TIdFTPListItems items = ParseListing({"total 12", "drwxr-xr-x   3 ftp ftp 4096 Jan 15 10:30 public", "",
                                          "  \t ", "-rw-r--r--   1 ftp ftp 10 Jan 15 10:31 a.txt"},
                                         kMarch2026);
    EXPECT_EQ(items.ListingFormat, flfUnix);
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[0].EntryName, "public");
    EXPECT_EQ(items[1].EntryName, "a.txt");
}

TEST(UnixListing, NamesKeepTheirRunsOfBlanks)
{
    TIdFTPListItems items =
        ParseListing({"drwxr-xr-x 2 owner group 4096 Jan 15 10:30 two  words"}, kMarch2026);
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].EntryName, "two  words");
    EXPECT_EQ(items[0].EntryKind, ekDirectory);
    EXPECT_EQ(Stamp(items[0].ModifiedAt), "2026-01-15 10:30:00.999");

    // The same for a link and its target, and for a name after a run of blanks and a tab.
    items = ParseListing(
        {"lrwxrwxrwx 1 o g 9 Jan 15 10:30 a  b ->  c  d", "-rw-r--r-- 1 o g 1 Jan 15 10:30   \tz  z"},
        kMarch2026);
    ASSERT_EQ(items.Count(), 2);
    EXPECT_EQ(items[0].EntryName, "a  b");
    EXPECT_EQ(items[0].LinkTargetName, " c  d");
    EXPECT_EQ(items[1].EntryName, "z  z");
}

TEST(UnixListing, TimeColumnMeansThisYearUnlessTheMonthIsStillToCome)
{
    const char* line = "-rw-r--r-- 1 o g 1 Dec 24 18:00 gift";
    EXPECT_EQ(Stamp(ParseListing({line}, At(2026, 3, 1))[0].ModifiedAt), "2025-12-24 18:00:00.999");
    EXPECT_EQ(Stamp(ParseListing({line}, At(2026, 12, 31, 23, 59))[0].ModifiedAt), "2026-12-24 18:00:00.999");
    EXPECT_EQ(Stamp(ParseListing({line}, At(2027, 1, 1, 0, 1))[0].ModifiedAt), "2026-12-24 18:00:00.999");
    const char* january = "-rw-r--r-- 1 o g 1 Jan 1 00:05 new";
    EXPECT_EQ(Stamp(ParseListing({january}, At(2027, 1, 1, 0, 10))[0].ModifiedAt), "2027-01-01 00:05:00.999");
    EXPECT_EQ(Stamp(ParseListing({"-rw-r--r-- 1 o g 1 Jan 5 2003 old"}, kMarch2026)[0].ModifiedAt),
              "2003-01-05 00:00:00.999");
}

TEST(UnixListing, EightWordLinesWithoutGroupColumn)
{
    TIdFTPListItems items = ParseListing({"-rw-r--r-- 1 alice 512 Feb 3 2020 notes"}, kMarch2026);
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].OwnerAccount, "");
    EXPECT_EQ(items[0].GroupAccount, "alice");
    EXPECT_EQ(items[0].ByteSize, 512);
    EXPECT_EQ(items[0].EntryName, "notes");
    EXPECT_EQ(Stamp(items[0].ModifiedAt), "2020-02-03 00:00:00.999");

    // The fifth word starts with a digit: no insertion, and the entry has no name.
    items = ParseListing({"-rw-r--r-- 1 alice staff 512 Feb 3 2020"}, kMarch2026);
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].OwnerAccount, "alice");
    EXPECT_EQ(items[0].EntryName, "");
}

TEST(UnixListing, LinksSplitAtTheFirstArrowOnly)
{
    TIdFTPListItems items = ParseListing(
        {"lrwxrwxrwx 1 o g 9 Jan 15 10:30 docs -> /srv/data", "lrwxrwxrwx 1 o g 9 Jan 15 10:30 a -> b -> c",
         "lrwxrwxrwx 1 o g 9 Jan 15 10:30 no-arrow", "-rw-r--r-- 1 o g 9 Jan 15 10:30 file -> not a link"},
        kMarch2026);
    ASSERT_EQ(items.Count(), 4);
    EXPECT_EQ(items[0].EntryName, "docs");
    EXPECT_EQ(items[0].LinkTargetName, "/srv/data");
    EXPECT_EQ(items[1].EntryName, "a");
    EXPECT_EQ(items[1].LinkTargetName, "b -> c");
    EXPECT_EQ(items[2].EntryName, "no-arrow");
    EXPECT_EQ(items[2].LinkTargetName, "");
    EXPECT_EQ(items[3].EntryName, "file -> not a link");
}

TEST(UnixListing, ABadLineIsSkippedAndTheOthersStay)
{
    const char* good = "-rw-r--r-- 1 o g 1 Jan 15 10:30 ok";
    const char* bad[] = {"-rw-r--r-- 1 o g 1 Foo 15 10:30 bad-month",
                         "-rw-r--r-- 1 o g 1 Apr 31 10:30 no-day", "-rw-r--r-- 1 o g 1 Jan 15 24:00 no-hour",
                         "total 3", "-rw-r--r-- 1 o g 1 Jan"};
    for (const char* line : bad) {
        SCOPED_TRACE(line);
        TIdFTPListItems items = ParseListing({good, good, line, good}, kMarch2026);
        ASSERT_EQ(items.Count(), 3);
        EXPECT_EQ(items[2].EntryName, "ok");
    }
}

TEST(UnixListing, NamesAreRawBytes)
{
    const std::string name = "caf\xe9 \xc3\xa9t\xe9\xff";
    TIdFTPListItems items = ParseListing({"-rw-r--r-- 1 o g 1 Jan 15 10:30 " + name}, kMarch2026);
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].EntryName, name);
}

TEST(UnixListing, UnparsableNumbersFallBack)
{
    TIdFTPListItems items =
        ParseListing({"-rw-r--r-- x o g 99999999999999999999 Jan xx 1x:3y odd"}, At(2026, 3, 10));
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].LinkCount, 0);
    EXPECT_EQ(items[0].ByteSize, 0);
    EXPECT_EQ(Stamp(items[0].ModifiedAt), "2026-01-10 00:00:00.999");
}

TEST(UnixListing, VmsStyleFirstLineUsesTheUnixParser)
{
    TIdFTPListItems items =
        ParseListing({"USER$DSK:[FILES]", "-rw-r--r-- 1 o g 5 Jan 15 10:30 a"}, kMarch2026);
    EXPECT_EQ(items.ListingFormat, flfVax);
    // The header is not a Unix line, so it fails and is dropped with nothing before it.
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items[0].EntryName, "a");
}

} // namespace
