#include "player/picture.h"

#include <algorithm>
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

size_t MenuPicturePaths::rollover(const std::string& rolloverImage) const {
    const QString path = QString::fromLocal8Bit(rolloverImage.c_str());
    return size_t(std::find(paths.begin() + qsizetype(firstRollover), paths.end(), path) - paths.begin());
}

MenuPicturePaths menuPicturePaths(const torvana::PlayerProject& project) {
    MenuPicturePaths menu;
    if (!project.background.empty()) menu.paths.push_back(QString::fromLocal8Bit(project.background.c_str()));
    menu.firstRollover = menu.paths.size();
    for (const torvana::PlayerHotspot& h : project.hotspots) {
        if (!h.rolloverImage.empty() && menu.rollover(h.rolloverImage) == menu.paths.size())
            menu.paths.push_back(QString::fromLocal8Bit(h.rolloverImage.c_str()));
    }
    return menu;
}

std::vector<Picture> loadPictures(const std::vector<QString>& paths,
                                  const std::shared_ptr<torvana::gif::PainterClock>& clock) {
    std::vector<Picture> pictures;
    pictures.reserve(paths.size());
    for (const QString& path : paths) pictures.push_back(loadPicture(path, clock));
    return pictures;
}

std::future<std::vector<Picture>> loadPicturesAside(std::vector<QString> paths,
                                                    std::shared_ptr<torvana::gif::PainterClock> clock) {
    auto load = [clock](const std::vector<QString>& all) { return loadPictures(all, clock); };
    try {
        return std::async(std::launch::async, load, paths);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, load, std::move(paths));
    }
}

}  // namespace torvana::player
