#pragma once
// How the remote list turns what a server listed into text, and the name order it sorts by.
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

#include "rtl/DateTime.h"

// Names from a server are raw bytes: shown as UTF-8 when they are valid UTF-8, else as Latin-1.
QString DisplayName(const std::string& raw);
// What the user typed, as the bytes sent to the server.
std::string TypedName(const QString& text);

// "0 B", "1024 B", "1.50 KB", "1,024.00 KB": single precision, the locale's separators.
QString FormatFileSize(int64_t size);
// The locale's short date and long time; midnight shows the date alone.
QString FormatModified(TDateTime moment);

// Letters a to z compared without case, every other byte by its code.
int CompareNames(std::string_view a, std::string_view b);
// From the last "." on; empty when there is none.
std::string_view NameExtension(std::string_view name);
