// Times the listing parser over 10,000 and 1,000,000 Unix lines and prints the per-line time ratio.
// Both sizes parse into memory the process already holds: the allocator is told to keep what it
// frees, so that a large listing does not meet fresh pages where a small one reuses freed ones
// (with the default settings a small list's memory is reused and a large one's is handed back to
// the system and faulted in again, which is the system's cost per byte, not the parser's per line).
// The first listing of a new process, on fresh memory, is printed beside it for what it costs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <malloc.h>
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

// One parse in a new process of this program (started with "--fresh COUNT"), which has never
// freed memory: everything the entries take comes fresh from the system. Nanoseconds per line,
// or a negative number on failure.
double FreshProcessNanosPerLine(const char* self, int count)
{
    const std::string command = std::string(self) + " --fresh " + std::to_string(count);
    FILE* child = ::popen(command.c_str(), "r");
    if (child == nullptr)
        return -1;
    double nanos = -1;
    if (std::fscanf(child, "%lf", &nanos) != 1)
        nanos = -1;
    return ::pclose(child) == 0 ? nanos : -1;
}

constexpr int kSmall = 10000;
constexpr int kLarge = 1000000;

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--fresh") {
        const int count = std::atoi(argv[2]);
        const TStringList lines = MakeListing(count);
        TIdFTPListItems items;
        std::printf("%f\n", NanosPerLine(lines, count, items));
        return 0;
    }
    ::mallopt(M_TRIM_THRESHOLD, 1 << 30);
    ::mallopt(M_MMAP_THRESHOLD, 1 << 30);
    const TStringList small = MakeListing(kSmall);
    const TStringList large = MakeListing(kLarge);
    // Rounds alternate the sizes so that both meet the same machine load; the best of each counts.
    double bestSmall = 1e300, bestLarge = 1e300, freshLarge = 1e300;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 10; ++i) {
            TIdFTPListItems items;
            bestSmall = std::min(bestSmall, NanosPerLine(small, kSmall, items));
        }
        {
            TIdFTPListItems items;
            bestLarge = std::min(bestLarge, NanosPerLine(large, kLarge, items));
        }
        const double nanos = FreshProcessNanosPerLine(argv[0], kLarge);
        if (nanos > 0)
            freshLarge = std::min(freshLarge, nanos);
    }
    const double ratio = bestLarge / bestSmall;
    std::printf("listing parse into a new list: %d lines %.1f ns, %d lines %.1f ns of CPU per line\n", kSmall,
                bestSmall, kLarge, bestLarge);
    std::printf("per-line ratio %d/%d: %.3f (%s, target <= 1.2)\n", kLarge, kSmall, ratio,
                ratio <= 1.2 ? "ok" : "ABOVE TARGET");
    if (freshLarge < 1e299)
        std::printf(
            "first listing of a new process, %d lines on fresh memory: %.1f ns per line (%.1f of them "
            "the system's page faults)\n",
            kLarge, freshLarge, freshLarge - bestLarge);
    return 0;
}
