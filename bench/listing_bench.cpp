// Times the listing parser over 10,000 and 100,000 Unix lines and prints the per-line time ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ftp/IdFTPList.h"
#include "rtl/StringList.h"

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

TStringList MakeListing(int count)
{
    TStringList lines;
    lines.Add("total " + std::to_string(count * 4));
    char buf[160];
    for (int i = 0; i < count; ++i) {
        const bool folder = i % 7 == 0;
        const char* when = (i % 3 == 0) ? "2019" : "10:30";
        std::snprintf(buf, sizeof buf, "%s %4d ftpuser  ftpgroup %12lld %s %2d %5s %s_%07d.%s",
                      folder ? "drwxr-xr-x" : "-rw-r--r--", 1 + i % 5, static_cast<long long>(i) * 977,
                      kMonths[i % 12], 1 + i % 28, when, folder ? "folder" : "file name", i,
                      folder ? "d" : "txt");
        lines.Add(buf);
    }
    return lines;
}

// Best of several runs, in nanoseconds per line.
double NanosPerLine(int count, int runs)
{
    const TStringList lines = MakeListing(count);
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        TIdFTPListItems items;
        const auto start = std::chrono::steady_clock::now();
        BuildParsedListing(lines, items);
        const auto stop = std::chrono::steady_clock::now();
        if (items.Count() != count) {
            std::fprintf(stderr, "parsed %d of %d lines\n", items.Count(), count);
            std::exit(1);
        }
        best = std::min(best, std::chrono::duration<double, std::nano>(stop - start).count() / count);
    }
    return best;
}

} // namespace

int main()
{
    NanosPerLine(10000, 2); // warm up allocator and caches
    const double small = NanosPerLine(10000, 15);
    const double large = NanosPerLine(100000, 5);
    std::printf("listing parse, 10000 lines: %.1f ns/line\n", small);
    std::printf("listing parse, 100000 lines: %.1f ns/line\n", large);
    std::printf("per-line ratio 100000/10000: %.3f (target <= 1.2)\n", large / small);
    return 0;
}
