#pragma once
// Builds a staging folder as the editor's build leaves it, in a temporary folder: the project
// file (written by the core's own writer), pictures in images/, sounds in wavs/, launched files
// in 1/, 2/, ... Pictures and sounds are generated here: BMP and PNG through QImage, GIF through
// the tests' GIF writer, WAV by writing its bytes.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "gif/gif_writer.h"
#include "project/project_file.h"

namespace testing_player {

// A WAV file of 8-bit mono PCM at 8000 Hz, `ms` long, silent.
inline QByteArray waveBytes(int ms) {
    const quint32 rate = 8000;
    const quint32 dataSize = rate * quint32(ms) / 1000;
    QByteArray bytes;
    auto u32 = [&bytes](quint32 v) { for (int i = 0; i < 4; ++i) bytes.append(char((v >> (8 * i)) & 0xFF)); };
    auto u16 = [&bytes](quint16 v) { bytes.append(char(v & 0xFF)); bytes.append(char(v >> 8)); };
    bytes.append("RIFF");
    u32(36 + dataSize);
    bytes.append("WAVEfmt ");
    u32(16);
    u16(1);     // PCM
    u16(1);     // mono
    u32(rate);
    u32(rate);  // bytes per second
    u16(1);     // block align
    u16(8);     // bits per sample
    bytes.append("data");
    u32(dataSize);
    bytes.append(QByteArray(int(dataSize), char(0x80)));
    return bytes;
}

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

class StagingBuilder {
public:
    StagingBuilder() { data.cdTitle = "Summer Photos"; }

    QString folder() const { return dir_.path(); }
    std::string path(const QString& relative) const { return dir_.filePath(relative).toLocal8Bit().toStdString(); }

    // Writes bytes to a file below the staging folder, creating its folder.
    void writeFile(const QString& relative, const QByteArray& bytes) const {
        const QString full = dir_.filePath(relative);
        QDir().mkpath(QFileInfo(full).absolutePath());
        QFile f(full);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(full));
    }
    void writeImage(const QString& relative, const QImage& image, const char* format) const {
        QDir().mkpath(QFileInfo(dir_.filePath(relative)).absolutePath());
        if (!image.save(dir_.filePath(relative), format)) qFatal("cannot write %s", qPrintable(relative));
    }
    void writeWave(const QString& relative, int ms) const { writeFile(relative, waveBytes(ms)); }

    // The stored path of a file as the editor's user chose it, somewhere on their machine.
    static std::string stored(const std::string& name) { return "/home/maker/artwork/" + name; }

    // Writes the project file under `name` with the core's writer.
    void writeProject(const std::string& name = "menu.cdrom") {
        data.hotspotCount = int(data.hotspots.size());
        torvana::writeProjectFile(path(QString::fromStdString(name)), data);
    }

    torvana::Project data;

private:
    QTemporaryDir dir_;
};

}  // namespace testing_player
