#include "player/picture.h"

#include <system_error>

#include "project/errors.h"

namespace torvana::player {

Picture loadPicture(const QString& path, std::shared_ptr<torvana::gif::PainterClock> clock) {
    Picture picture;
    try {
        std::shared_ptr<torvana::gif::Graphic> graphic = torvana::gif::LoadGraphic(path.toLocal8Bit().toStdString());
        picture.still = graphic->FirstFrame();
        auto gif = std::dynamic_pointer_cast<torvana::gif::GifPicture>(graphic);
        if (gif && gif->Model().frames.Count() > 1) {
            gif->Clock = std::move(clock);
            picture.animation = std::move(gif);
        }
    } catch (const torvana::gif::GifOutOfMemory&) {
        picture = Picture();
        picture.error = QStringLiteral("not enough memory for the picture");
    } catch (const torvana::Error& e) {
        picture = Picture();
        picture.error = QString::fromLocal8Bit(e.what());
    } catch (const std::bad_alloc&) {
        picture = Picture();
        picture.error = QStringLiteral("not enough memory for the picture");
    }
    return picture;
}

std::future<std::vector<Picture>> loadPicturesAside(std::vector<QString> paths,
                                                    std::shared_ptr<torvana::gif::PainterClock> clock) {
    auto load = [clock](const std::vector<QString>& all) {
        std::vector<Picture> pictures;
        pictures.reserve(all.size());
        for (const QString& path : all) pictures.push_back(loadPicture(path, clock));
        return pictures;
    };
    try {
        return std::async(std::launch::async, load, paths);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, load, std::move(paths));
    }
}

}  // namespace torvana::player
