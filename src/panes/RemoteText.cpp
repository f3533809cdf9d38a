#include "panes/RemoteText.h"

#include <QDate>
#include <QLocale>
#include <QStringDecoder>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

QString DisplayName(const std::string& raw)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(raw.data(), static_cast<qsizetype>(raw.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(raw.data(), static_cast<qsizetype>(raw.size()));
}

std::string TypedName(const QString& text)
{
    return text.toUtf8().toStdString();
}

namespace {

// At most seven significant digits, as a single-precision value carries.
double SevenDigits(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6e", static_cast<double>(value));
    return std::strtod(text, nullptr);
}

} // namespace

QString FormatFileSize(int64_t size)
{
    static const char* const kUnits[] = {" B", " KB", " MB", " GB", " TB"};
    int64_t n = size;
    float f = static_cast<float>(size);
    int i = 0;
    while (n > 1024) {
        f = f / 1024.0f;
        n /= 1024;
        ++i;
    }
    const QString unit = QString::fromLatin1(kUnits[i < 4 ? i : 4]);
    if (f == std::trunc(f))
        return QString::number(n) + unit;
    return QLocale().toString(SevenDigits(f), 'f', 2) + unit;
}

namespace {

// The locale's long time without the time zone, which a listing's time does not have.
QString LongTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

} // namespace

QString FormatModified(TDateTime moment)
{
    // The whole days and the time of day added to them, also before 30 December 1899.
    const double day = std::floor(moment);
    const int64_t ms = std::llround((moment - day) * 86400000.0);
    const int64_t seconds = std::min<int64_t>(ms / 1000, 86399);
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(day));
    const QLocale locale;
    QString text = locale.toString(date, QLocale::ShortFormat);
    if (seconds != 0) {
        const QTime time = QTime(0, 0).addSecs(static_cast<int>(seconds));
        text += QLatin1Char(' ') + locale.toString(time, LongTimeFormat(locale));
    }
    return text;
}

int CompareNames(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view NameExtension(std::string_view name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}
