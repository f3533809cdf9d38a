// Random mutations of a valid JPEG fed to the libjpeg decoder for a given number of seconds
// (default 60). Built with sanitizers by bench/run-jpeg-fuzz.sh; a crash or a sanitizer report
// ends it, otherwise it prints how many inputs decoded and how many were refused.
#include <QFile>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "preview/JpegDecoder.h"

namespace {

QByteArray Mutate(const QByteArray& seed, std::mt19937& rng)
{
    QByteArray bytes = seed;
    std::uniform_int_distribution<int> kind(0, 3), byte(0, 255);
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < edits && !bytes.isEmpty(); ++i) {
        const auto at = static_cast<qsizetype>(rng() % static_cast<unsigned>(bytes.size()));
        switch (kind(rng)) {
        case 0: bytes[at] = static_cast<char>(byte(rng)); break;
        case 1: bytes[at] = static_cast<char>(bytes[at] ^ (1 << (rng() % 8))); break;
        case 2: bytes.truncate(at); break;
        default: bytes.insert(at, static_cast<char>(0xFF)); break;
        }
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(ferrystar); // the picture lives in the window library's resources
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    QFile f(QStringLiteral(":/about.jpg"));
    if (!f.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray seed = f.readAll();
    std::mt19937 rng(12345);
    long decoded = 0, refused = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        QString error;
        if (DecodeJpeg(Mutate(seed, rng), &error).isNull())
            ++refused;
        else
            ++decoded;
    }
    std::printf("jpeg fuzz: %ld inputs in %d s, %ld decoded, %ld refused, no crash\n", decoded + refused,
                seconds, decoded, refused);
    return 0;
}
