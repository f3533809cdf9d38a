#include <gtest/gtest.h>

#include <random>

#include "unit/ftp/ListingFixture.h"

namespace {

const char* const kSeeds[] = {
    "drwxr-xr-x    2 1000     1000         4096 Jan 15 10:30 docs",
    "lrwxrwxrwx    1 0        0               9 Feb 01 09:05 data -> /srv/data",
    "-rw-r--r-- 1 alice 512 Feb 3 2020 notes",
    "01-15-04  02:05PM                 1,234 report.txt",
    "01-15-04  10:30AM       <DIR>          My Folder",
    "total 12",
};

std::string RandomLine(std::mt19937& rng)
{
    static const std::string kAlphabet = " -:/,<>drwxlDIRAMPJanFeb0123456789\t\r\x01\xff";
    std::string line(rng() % 80, ' ');
    for (char& c : line)
        c = (rng() % 4 == 0) ? static_cast<char>(rng() % 256) : kAlphabet[rng() % kAlphabet.size()];
    return line;
}

// Every prefix of every real line, and lines of random bytes, as first line and as later lines.
TEST(ListingRobustness, TruncatedAndRandomLinesNeverCrash)
{
    TStringList lines;
    for (const char* seed : kSeeds) {
        const std::string s = seed;
        for (size_t n = 0; n <= s.size(); ++n)
            lines.Add(s.substr(0, n));
    }
    std::mt19937 rng(20260310);
    for (int i = 0; i < 3000; ++i)
        lines.Add(RandomLine(rng));

    for (int first = 0; first < lines.Count(); first += 7) {
        TStringList listing;
        for (int i = first; i < lines.Count() && i < first + 40; ++i)
            listing.Add(lines[i]);
        TIdFTPListItems items;
        items.Clock = [] { return At(2026, 1, 1); };
        ASSERT_NO_THROW(BuildParsedListing(listing, items));
        for (TIdFTPListFormat f : {flfUnix, flfDos, flfNoDetails}) {
            items.ListingFormat = f;
            ASSERT_NO_THROW(items.LoadLines(listing));
            for (int i = 0; i < items.Count(); ++i)
                ASSERT_FALSE(items[i].RawLine.empty());
        }
    }
}

} // namespace
