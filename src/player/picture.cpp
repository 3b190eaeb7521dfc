#include "player/picture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <cstring>

#include "gif/gif_compositor.h"
#include "gif/gif_image.h"
#include "project/errors.h"

namespace player {

namespace {

bool startsLikeGif(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(6);
    return head == "GIF87a" || head == "GIF89a";
}

QImage toQImage(const torvana::gif::RgbaCanvas& canvas) {
    QImage image(canvas.width, canvas.height, QImage::Format_RGBA8888);
    const int rowBytes = canvas.width * 4;
    for (int y = 0; y < canvas.height; ++y) {
        std::memcpy(image.scanLine(y), canvas.pixels.data() + size_t(y) * rowBytes, rowBytes);
    }
    return image;
}

Picture loadGif(const QString& path) {
    Picture picture;
    try {
        auto animation = std::make_shared<torvana::gif::GifPicture>();
        animation->LoadFromFile(path.toLocal8Bit().toStdString());
        const torvana::gif::GifImage& gif = animation->Model();
        if (gif.Empty() || gif.Width() <= 0 || gif.Height() <= 0) {
            picture.error = QStringLiteral("the GIF file holds no picture");
            return picture;
        }
        torvana::gif::GifCompositor compositor(gif);
        picture.still = toQImage(compositor.Compose(0));
        if (gif.frames.Count() > 1) picture.animation = std::move(animation);
    } catch (const torvana::Error& e) {
        picture = Picture();
        picture.error = QString::fromLocal8Bit(e.what());
    } catch (const std::bad_alloc&) {
        picture = Picture();
        picture.error = QStringLiteral("not enough memory for the picture");
    }
    return picture;
}

}  // namespace

Picture loadPicture(const QString& path) {
    Picture picture;
    const QFileInfo info(path);
    if (!info.exists()) {
        picture.error = QStringLiteral("file not found");
        return picture;
    }
    if (!info.isFile()) {
        picture.error = QStringLiteral("not a file");
        return picture;
    }
    if (startsLikeGif(path)) return loadGif(path);

    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull()) {
        picture.error = reader.errorString();
        return picture;
    }
    picture.still = std::move(image);
    return picture;
}

}  // namespace player
