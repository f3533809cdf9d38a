#include "preview/JpegDecoder.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

#include <jerror.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool endReached;
};

// A picture above this is refused before its pixels are allocated.
constexpr unsigned long long kMaxPixels = 100'000'000ULL;
// A progressive file may hold any number of scans, each a pass over the whole picture: a damaged
// one would keep the window busy for minutes.
constexpr int kMaxScans = 500;

void OnError(j_common_ptr info)
{
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, err->message);
    std::longjmp(err->jump, 1);
}

void Stop(j_common_ptr info, const char* text)
{
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    std::snprintf(err->message, sizeof err->message, "%s", text);
    std::longjmp(err->jump, 1);
}

// libjpeg only warns about a file that ends early and fills the rest with grey: when the decoder
// needed data past the end, the picture is damaged, not one to show. A file that lacks only its
// end marker loses no pixel and is shown.
void OnMessage(j_common_ptr info, int level)
{
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    if (level >= 0)
        return;
    if (info->err->msg_code == JWRN_JPEG_EOF)
        err->endReached = true;
    else if (info->err->msg_code == JWRN_HIT_MARKER && err->endReached)
        Stop(info, "Premature end of JPEG file");
}

void OnProgress(j_common_ptr info)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > kMaxScans)
        Stop(info, "Too many scans in JPEG file");
}

// Kept free of C++ objects with destructors: longjmp must not skip any.
bool DecodeInto(const QByteArray& bytes, QImage& image, ErrorManager& err)
{
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnError;
    err.pub.emit_message = OnMessage;
    err.progress.progress_monitor = OnProgress;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &err.progress;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    if (static_cast<unsigned long long>(info.image_width) * info.image_height > kMaxPixels)
        Stop(reinterpret_cast<j_common_ptr>(&info), "The picture is too large");
    jpeg_start_decompress(&info);
    image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
                   QImage::Format_RGB888);
    if (image.isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& bytes, QString* error)
{
    QImage image;
    ErrorManager err{};
    if (bytes.isEmpty() || !DecodeInto(bytes, image, err)) {
        if (error != nullptr)
            *error =
                bytes.isEmpty() ? QStringLiteral("Empty JPEG data") : QString::fromLocal8Bit(err.message);
        return {};
    }
    return image;
}

QImage DecodeJpegFile(const QString& fileName, QString* error)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error != nullptr)
            *error = f.errorString();
        return {};
    }
    return DecodeJpeg(f.readAll(), error);
}
