// Renders an icon drawn as SVG into the PNG sizes of an icon theme.
// Usage: torvana-make-icons ICON.svg OUTDIR CONTEXT
// writes OUTDIR/<n>x<n>/CONTEXT/<name>.png for n = 16, 32, 48, 64, 128 and 256, <name> being the
// SVG file's name without ".svg", and copies the SVG to OUTDIR/scalable/CONTEXT/<name>.svg.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s ICON.svg OUTDIR CONTEXT\n", argv[0]);
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
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
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
