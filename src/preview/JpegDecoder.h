#pragma once
// JPEG decoding through libjpeg. A damaged or truncated file gives a null image, never a crash.
#include <QImage>
#include <QString>

QImage DecodeJpeg(const QByteArray& bytes, QString* error = nullptr);
QImage DecodeJpegFile(const QString& fileName, QString* error = nullptr);
