#pragma once
// The files of a menu generated for the players' tests: BMP and PNG through QImage, GIF
// through the tests' GIF writer. test_support/staged_folder.h writes sounds and puts every file
// into a staging folder.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <string>
#include <vector>

#include "gif/gif_writer.h"

namespace testing_player {

// One frame of a GIF: its place on the logical screen, colour indices row by row, and its
// graphic control (delay in hundredths, transparent index or -1).
struct GifFrameSpec {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<quint8> indices;
    int delay = 0;
    int transparent = -1;
};

// A GIF89a file with a global table of up to 128 colours, written by the tests' GIF writer.
inline QByteArray gifBytes(int width, int height, const std::vector<QColor>& palette,
                           const std::vector<GifFrameSpec>& frames) {
    std::vector<giftest::Rgb> colours;
    for (const QColor& c : palette) colours.push_back({uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())});
    giftest::GifBuilder gif;
    gif.Header(width, height, colours);
    for (const GifFrameSpec& f : frames) {
        gif.Gce(0, f.delay, f.transparent);
        gif.Image(f.left, f.top, f.width, f.height, giftest::Bytes(f.indices.begin(), f.indices.end()), 7);
    }
    gif.Trailer();
    return QByteArray(reinterpret_cast<const char*>(gif.bytes().data()), qsizetype(gif.bytes().size()));
}

// A picture of one colour with a 1-pixel frame of `edge`, so its borders can be told apart.
inline QImage framedImage(int width, int height, QColor fill, QColor edge) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    for (int x = 0; x < width; ++x) {
        image.setPixelColor(x, 0, edge);
        image.setPixelColor(x, height - 1, edge);
    }
    for (int y = 0; y < height; ++y) {
        image.setPixelColor(0, y, edge);
        image.setPixelColor(width - 1, y, edge);
    }
    return image;
}

// A picture's file in `format` ("BMP", "PNG"), as QImage writes it.
inline std::string imageBytes(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format)) qFatal("cannot write a %s picture", format);
    return bytes.toStdString();
}

}  // namespace testing_player
