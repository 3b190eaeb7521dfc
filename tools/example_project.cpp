#include "example_project.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <cmath>

#include "project/errors.h"
#include "project/project_file.h"

namespace {

QImage background() {
    QImage img(640, 480, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, 480);
    sky.setColorAt(0, QColor(30, 60, 140));
    sky.setColorAt(1, QColor(240, 180, 90));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::white);
    QFont f("DejaVu Sans", 30, QFont::Bold);
    p.setFont(f);
    p.drawText(QRect(0, 30, 640, 60), Qt::AlignCenter, "Summer Photos");
    // Three plain buttons, where the rollover pictures will light up.
    p.setFont(QFont("DejaVu Sans", 16));
    const char* labels[] = {"Slide show", "Web site", "Exit"};
    for (int i = 0; i < 3; ++i) {
        const QRect r(240, 170 + i * 90, 160, 60);
        p.setBrush(QColor(0, 0, 0, 90));
        p.setPen(QColor(255, 255, 255, 160));
        p.drawRoundedRect(r, 10, 10);
        p.setPen(Qt::white);
        p.drawText(r, Qt::AlignCenter, labels[i]);
    }
    return img;
}

QImage rollover(const char* label) {
    QImage img(160, 60, QImage::Format_RGB32);
    img.fill(QColor(255, 210, 60));
    QPainter p(&img);
    p.setPen(QPen(QColor(120, 60, 0), 3));
    p.drawRect(img.rect().adjusted(1, 1, -2, -2));
    p.setFont(QFont("DejaVu Sans", 16, QFont::Bold));
    p.drawText(img.rect(), Qt::AlignCenter, label);
    return img;
}

// A short tone as 16-bit mono PCM in a WAV file.
bool writeTone(const QString& path, double hertz, double seconds) {
    const int rate = 22050;
    const int samples = static_cast<int>(rate * seconds);
    QByteArray pcm;
    pcm.resize(samples * 2);
    for (int i = 0; i < samples; ++i) {
        const double fade = 1.0 - static_cast<double>(i) / samples;
        const auto v = static_cast<int16_t>(12000 * fade * std::sin(2 * M_PI * hertz * i / rate));
        pcm[2 * i] = static_cast<char>(v & 0xff);
        pcm[2 * i + 1] = static_cast<char>((v >> 8) & 0xff);
    }
    auto u32 = [](QByteArray& b, uint32_t v) {
        for (int k = 0; k < 4; ++k) b.append(static_cast<char>((v >> (8 * k)) & 0xff));
    };
    auto u16 = [](QByteArray& b, uint16_t v) {
        b.append(static_cast<char>(v & 0xff));
        b.append(static_cast<char>(v >> 8));
    };
    QByteArray wav("RIFF");
    u32(wav, 36 + static_cast<uint32_t>(pcm.size()));
    wav.append("WAVEfmt ");
    u32(wav, 16);
    u16(wav, 1);
    u16(wav, 1);
    u32(wav, rate);
    u32(wav, rate * 2);
    u16(wav, 2);
    u16(wav, 16);
    wav.append("data");
    u32(wav, static_cast<uint32_t>(pcm.size()));
    wav.append(pcm);
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

std::string s8(const QString& s) { return s.toLocal8Bit().toStdString(); }

}  // namespace

QString writeExampleProject(const QString& folder) {
    const QDir dir(QDir(folder).absolutePath());
    if (!dir.mkpath(".")) throw torvana::Error("cannot create " + s8(folder));
    auto path = [&](const char* name) { return dir.filePath(name); };
    bool ok = background().save(path("background.bmp"), "BMP");
    ok &= rollover("Slide show").save(path("slides.bmp"), "BMP");
    ok &= rollover("Web site").save(path("web.bmp"), "BMP");
    ok &= rollover("Exit").save(path("exit.bmp"), "BMP");
    ok &= writeTone(path("opening.wav"), 440, 0.6);
    ok &= writeTone(path("over.wav"), 880, 0.08);
    ok &= writeTone(path("click.wav"), 660, 0.12);
    QFile doc(path("slides.txt"));
    ok &= doc.open(QIODevice::WriteOnly) && doc.write("The slide show would start here.\n") > 0;
    doc.close();
    if (!ok) throw torvana::Error("cannot write the example's files into " + s8(folder));

    torvana::Project d;
    d.hotspotCount = 3;
    d.showBrowse = true;
    d.showExit = true;
    d.cdTitle = "Summer Photos";
    d.stagingFolder = s8(path("stage"));
    d.backgroundImage = s8(path("background.bmp"));
    d.openingWav = s8(path("opening.wav"));
    d.hotspots.push_back({s8(path("slides.txt")), s8(path("slides.bmp")), "240", "170", s8(path("over.wav")),
                          s8(path("click.wav"))});
    d.hotspots.push_back({"https://www.example.org/", s8(path("web.bmp")), "240", "260", s8(path("over.wav")),
                          s8(path("click.wav"))});
    d.hotspots.push_back({"exit", s8(path("exit.bmp")), "240", "350", s8(path("over.wav")), ""});
    d.hotspots[0].label = "Show this summer's slides";
    d.hotspots[1].label = "Visit our web site";
    d.hotspots[2].label = "Leave the menu";
    torvana::writeProjectFile(s8(path("sample.cdrom")), d);
    return path("sample.cdrom");
}
