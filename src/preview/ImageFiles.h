#pragma once
// Which files the preview offers, and how a picture file is read.
#include <QImage>
#include <QString>
#include <string_view>

// A picture the preview offers, by its extension (also names a server listed).
bool IsImageFile(std::string_view path);
bool IsImageFile(const QString& path);

// Pictures above this are refused before any pixel memory is taken.
constexpr qint64 kMaxPicturePixels = 100'000'000;

// Loads the formats the preview can draw: JPEG through libjpeg; GIF, BMP and ICO through Qt.
// Any other extension, a damaged file or an oversized picture gives a null image and the reason.
QImage LoadPicture(const QString& path, QString* error = nullptr);
