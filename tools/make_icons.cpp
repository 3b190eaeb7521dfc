// Renders an icon drawn as SVG into the PNG sizes of an icon theme, or into a Windows icon file.
// Usage: torvana-make-icons ICON.svg OUTDIR CONTEXT
// writes OUTDIR/<n>x<n>/CONTEXT/<name>.png for n = 16, 32, 48, 64, 128 and 256, <name> being the
// SVG file's name without ".svg", and copies the SVG to OUTDIR/scalable/CONTEXT/<name>.svg.
// Usage: torvana-make-icons --ico ICON.svg OUTPUT.ico
// writes the sizes Windows asks for (16 to 256) into one icon file, each stored as PNG, which
// Windows reads from Vista on: the Windows player's icon.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <vector>

namespace {

QImage render(QSvgRenderer& renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

int writeIco(QSvgRenderer& renderer, const QString& path) {
    const std::vector<int> sizes{16, 20, 24, 32, 40, 48, 64, 256};
    std::vector<QByteArray> pngs;
    for (const int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        render(renderer, size).save(&buffer, "PNG");
        pngs.push_back(png);
    }
    QByteArray ico;
    const auto u16 = [&ico](quint32 v) { ico.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    const auto u32 = [&](quint32 v) { u16(v & 0xFFFF); u16(v >> 16); };
    u16(0);
    u16(1);  // an icon
    u16(quint32(sizes.size()));
    quint32 offset = 6 + 16 * quint32(sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const char side = char(sizes[i] >= 256 ? 0 : sizes[i]);  // 0 stands for 256
        ico.append(side).append(side).append(char(0)).append(char(0));  // no palette
        u16(1);   // planes
        u16(32);  // bits per pixel
        u32(quint32(pngs[i].size()));
        u32(offset);
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray& png : pngs) ico.append(png);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(ico) != ico.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == "--ico") {
        QSvgRenderer renderer(QString::fromLocal8Bit(argv[2]));
        if (!renderer.isValid()) {
            std::fprintf(stderr, "%s: not a drawable SVG file\n", argv[2]);
            return 1;
        }
        return writeIco(renderer, QString::fromLocal8Bit(argv[3]));
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ICON.svg OUTDIR CONTEXT | --ico ICON.svg OUTPUT.ico\n", argv[0]);
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const QString context = QString::fromLocal8Bit(argv[3]);
    const QString name = QFileInfo(svg).completeBaseName();

    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "%s: not a drawable SVG file\n", argv[1]);
        return 1;
    }
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1x%1/%2").arg(size).arg(context);
        const QImage image = render(renderer, size);
        const QString path = out.filePath(folder + "/" + name + ".png");
        if (!out.mkpath(folder) || !image.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QString scalable = "scalable/" + context;
    const QString copy = out.filePath(scalable + "/" + name + ".svg");
    QFile::remove(copy);
    if (!out.mkpath(scalable) || !QFile::copy(svg, copy)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(copy));
        return 1;
    }
    return 0;
}
