#include "rtl/DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "rtl/Exception.h"

namespace {
constexpr int kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};
constexpr int64_t kDateDelta = 693594; // days from 1 Jan 0001 to 30 Dec 1899
constexpr double kMsPerDay = 86400000.0;
} // namespace

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
    return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    int64_t days = day;
    for (int m = 1; m < month; ++m)
        days += DaysInMonth(year, m);
    const int64_t y = year - 1;
    days += y * 365 + y / 4 - y / 100 + y / 400;
    result = static_cast<double>(days - kDateDelta);
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        return false;
    result = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime r = 0;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError("Invalid argument to date encode");
    return r;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond)
{
    TDateTime r = 0;
    if (!TryEncodeTime(hour, minute, second, millisecond, r))
        throw EConvertError("Invalid argument to time encode");
    return r;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day)
{
    int64_t t = static_cast<int64_t>(std::floor(dt)) + kDateDelta - 1; // days since 1 Jan 0001, 0-based
    if (t < 0) {
        year = month = day = 0;
        return;
    }
    constexpr int64_t d400 = 146097, d100 = 36524, d4 = 1461;
    int64_t y = 1;
    y += 400 * (t / d400);
    t %= d400;
    int64_t i = t / d100;
    if (i == 4)
        i = 3;
    y += 100 * i;
    t -= i * d100;
    y += 4 * (t / d4);
    t %= d4;
    i = t / 365;
    if (i == 4)
        i = 3;
    y += i;
    t -= i * 365;
    year = static_cast<int>(y);
    month = 1;
    while (t >= DaysInMonth(year, month)) {
        t -= DaysInMonth(year, month);
        ++month;
    }
    day = static_cast<int>(t) + 1;
}

void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& millisecond)
{
    const double frac = std::fabs(dt - std::trunc(dt));
    int64_t ms = std::llround(frac * kMsPerDay);
    if (ms >= 86400000)
        ms = 86399999;
    millisecond = static_cast<int>(ms % 1000);
    ms /= 1000;
    second = static_cast<int>(ms % 60);
    ms /= 60;
    minute = static_cast<int>(ms % 60);
    hour = static_cast<int>(ms / 60);
}

TDateTime Now()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
}

TDateTime Date()
{
    return std::floor(Now());
}

std::string FormatDateTime(const std::string& format, TDateTime dt)
{
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    std::string out;
    char buf[16];
    for (size_t i = 0; i < format.size();) {
        auto take = [&](const char* tok) {
            const size_t n = std::char_traits<char>::length(tok);
            if (format.compare(i, n, tok) != 0)
                return false;
            i += n;
            return true;
        };
        if (take("yyyy"))
            std::snprintf(buf, sizeof buf, "%04d", y);
        else if (take("yy"))
            std::snprintf(buf, sizeof buf, "%02d", y % 100);
        else if (take("mm"))
            std::snprintf(buf, sizeof buf, "%02d", mo);
        else if (take("dd"))
            std::snprintf(buf, sizeof buf, "%02d", d);
        else if (take("hh"))
            std::snprintf(buf, sizeof buf, "%02d", h);
        else if (take("nn"))
            std::snprintf(buf, sizeof buf, "%02d", mi);
        else if (take("ss"))
            std::snprintf(buf, sizeof buf, "%02d", s);
        else if (take("zzz"))
            std::snprintf(buf, sizeof buf, "%03d", ms);
        else {
            buf[0] = format[i++];
            buf[1] = '\0';
        }
        out += buf;
    }
    return out;
}
