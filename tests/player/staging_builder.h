#pragma once
// Builds a staging folder as the editor's build leaves it, in a temporary folder: the project
// file (written by the core's own writer), pictures in images/, sounds in wavs/, launched files
// in 1/, 2/, ... Pictures and sounds are generated here: BMP and PNG through QImage, GIF and WAV
// by writing their bytes.

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "player/launcher.h"
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

// A GIF89a file with a global table of up to 128 colours. The raster is written with a clear
// code before every 64 codes, so every code has the same width (8 bits) and no string table
// entry is ever used: valid LZW that any reader decodes.
inline QByteArray gifBytes(int width, int height, const std::vector<QColor>& palette,
                           const std::vector<GifFrameSpec>& frames) {
    QByteArray b("GIF89a");
    auto u16 = [&b](int v) { b.append(char(v & 0xFF)); b.append(char((v >> 8) & 0xFF)); };
    u16(width);
    u16(height);
    int sizeBits = 0;
    while ((2 << sizeBits) < int(palette.size())) ++sizeBits;
    b.append(char(0x80 | 0x70 | sizeBits));
    b.append(char(0));
    b.append(char(0));
    for (int i = 0; i < (2 << sizeBits); ++i) {
        const QColor c = i < int(palette.size()) ? palette[size_t(i)] : QColor(Qt::black);
        b.append(char(c.red()));
        b.append(char(c.green()));
        b.append(char(c.blue()));
    }
    for (const GifFrameSpec& f : frames) {
        b.append("\x21\xF9\x04", 3);
        b.append(char(f.transparent >= 0 ? 0x01 : 0x00));
        u16(f.delay);
        b.append(char(f.transparent >= 0 ? f.transparent : 0));
        b.append(char(0));
        b.append(char(0x2C));
        u16(f.left);
        u16(f.top);
        u16(f.width);
        u16(f.height);
        b.append(char(0));
        const int minCodeSize = 7, clear = 128, end = 129;
        b.append(char(minCodeSize));
        QByteArray raster;
        quint32 bits = 0;
        int bitCount = 0;
        auto put = [&](int code) {
            bits |= quint32(code) << bitCount;
            bitCount += 8;
            while (bitCount >= 8) {
                raster.append(char(bits & 0xFF));
                bits >>= 8;
                bitCount -= 8;
            }
        };
        for (size_t i = 0; i < f.indices.size(); ++i) {
            if (i % 64 == 0) put(clear);
            put(f.indices[i]);
        }
        put(end);
        for (int pos = 0; pos < raster.size(); pos += 255) {
            const QByteArray block = raster.mid(pos, 255);
            b.append(char(block.size()));
            b.append(block);
        }
        b.append(char(0));
    }
    b.append(char(0x3B));
    return b;
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

    torvana::ProjectFileData data;

private:
    QTemporaryDir dir_;
};

// Records what the window asks of the desktop instead of doing it.
struct RecordingLauncher : player::Launcher {
    std::vector<QUrl> openedUrls;
    std::vector<std::pair<QString, QString>> startedPrograms;  // program, working folder
    std::vector<QString> errors;
    int quits = 0;
    bool openSucceeds = true;
    bool startSucceeds = true;

    bool openUrl(const QUrl& url) override {
        openedUrls.push_back(url);
        return openSucceeds;
    }
    bool startProgram(const QString& program, const QString& workingFolder) override {
        startedPrograms.emplace_back(program, workingFolder);
        return startSucceeds;
    }
    void showError(const QString& text) override { errors.push_back(text); }
    void quit() override { ++quits; }
    int calls() const { return int(openedUrls.size() + startedPrograms.size() + errors.size()) + quits; }
};

}  // namespace testing_player
