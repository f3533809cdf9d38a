// Times the listing parser over 10,000 and 1,000,000 Unix lines and prints the per-line time ratio,
// twice: parsing into a new list (the system hands a million entries fresh memory, and its page
// faults are counted too) and parsing again into a list that held the listing before (the
// parser's own work, on memory the process already has).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
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

// CPU time of this thread: a long run on a busy machine is preempted more often than a short one,
// and wall time would count the time other processes ran.
double ThreadCpuNanos()
{
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

// One parse of the whole listing into items, in nanoseconds per line.
double NanosPerLine(const TStringList& lines, int count, TIdFTPListItems& items)
{
    const double start = ThreadCpuNanos();
    BuildParsedListing(lines, items);
    const double stop = ThreadCpuNanos();
    if (items.Count() != count) {
        std::fprintf(stderr, "parsed %d of %d lines\n", items.Count(), count);
        std::exit(1);
    }
    return (stop - start) / count;
}

double FreshNanosPerLine(const TStringList& lines, int count)
{
    TIdFTPListItems items;
    return NanosPerLine(lines, count, items);
}

constexpr int kLarge = 1000000;

} // namespace

int main()
{
    const TStringList small = MakeListing(10000);
    const TStringList large = MakeListing(kLarge);
    // Rounds alternate the two sizes so that both meet the same machine load; the best of each counts.
    double bestSmall = 1e300, bestLarge = 1e300, warmSmall = 1e300, warmLarge = 1e300;
    TIdFTPListItems reusedSmall, reusedLarge;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 10; ++i) {
            bestSmall = std::min(bestSmall, FreshNanosPerLine(small, 10000));
            warmSmall = std::min(warmSmall, NanosPerLine(small, 10000, reusedSmall));
        }
        bestLarge = std::min(bestLarge, FreshNanosPerLine(large, kLarge));
        warmLarge = std::min(warmLarge, NanosPerLine(large, kLarge, reusedLarge));
    }
    std::printf("listing parse into a new list, 10000 lines: %.1f ns of CPU per line\n", bestSmall);
    std::printf("listing parse into a new list, %d lines: %.1f ns of CPU per line\n", kLarge, bestLarge);
    std::printf("per-line ratio %d/10000: %.3f (target <= 1.2)\n", kLarge, bestLarge / bestSmall);
    std::printf("into a list that held it before: %.1f and %.1f ns per line, ratio %.3f\n", warmSmall,
                warmLarge, warmLarge / warmSmall);
    return 0;
}
