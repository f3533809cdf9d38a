#include "preview/ImageFiles.h"

#include <QFileInfo>
#include <QImageReader>
#include <algorithm>
#include <string>

#include "preview/JpegDecoder.h"

bool IsImageFile(std::string_view path)
{
    static const char* const kImageExtensions[] = {".jpg", ".jpeg", ".gif", ".tiff", ".tif", ".bmp",
                                                   ".ico", ".pcx",  ".eps", ".fax",  ".dib", ".rle",
                                                   ".jpe", ".jfif", ".emf", ".wmf"};
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
        return false;
    std::string extension(path.substr(dot));
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return std::find(std::begin(kImageExtensions), std::end(kImageExtensions), extension) !=
           std::end(kImageExtensions);
}

bool IsImageFile(const QString& path)
{
    return IsImageFile(std::string_view(path.toUtf8().toStdString()));
}

namespace {

QImage Fail(QString* error, const QString& text)
{
    if (error != nullptr)
        *error = text;
    return {};
}

QImage ReadWithQt(const QString& path, const QByteArray& format, QString* error)
{
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPicturePixels)
        return Fail(error, QStringLiteral("The picture is too large"));
    QImage image = reader.read();
    if (image.isNull())
        return Fail(error, reader.errorString());
    return image;
}

} // namespace

QImage LoadPicture(const QString& path, QString* error)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return DecodeJpegFile(path, error);
    if (suffix == QLatin1String("gif") || suffix == QLatin1String("bmp") || suffix == QLatin1String("ico"))
        return ReadWithQt(path, suffix.toLatin1(), error);
    return Fail(error, QStringLiteral("Unsupported picture format"));
}
