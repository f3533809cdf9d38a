#pragma once
// Shared helpers for the listing parser tests: a pinned clock and a one-call parse.
#include <initializer_list>
#include <string>

#include "ftp/IdFTPCommon.h"
#include "ftp/IdFTPList.h"
#include "rtl/DateTime.h"
#include "rtl/StringList.h"

inline TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int ms = 0)
{
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, 0, ms);
}

inline TIdFTPListItems ParseListing(std::initializer_list<std::string> lines, TDateTime now)
{
    TStringList list;
    for (const std::string& line : lines)
        list.Add(line);
    TIdFTPListItems items;
    items.Clock = [now] { return now; };
    BuildParsedListing(list, items);
    return items;
}

inline std::string Stamp(TDateTime t)
{
    return FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", t);
}
