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

SharedPictureLoad::SharedPictureLoad(std::vector<QString> paths, std::shared_ptr<torvana::gif::PainterClock> clock)
    : paths_(std::move(paths)), clock_(std::move(clock)), pictures_(paths_.size()), states_(paths_.size(), Waiting) {}

void SharedPictureLoad::loadAside() {
    for (size_t i = 0; i < paths_.size() && !cancelled_; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (states_[i] != Waiting) continue;
            states_[i] = Decoding;
        }
        Picture picture = loadPicture(paths_[i], clock_);
        std::lock_guard<std::mutex> lock(mutex_);
        if (states_[i] == Decoding) {
            pictures_[i] = std::move(picture);
            states_[i] = Done;
        }
        decoded_.notify_all();
    }
}

std::vector<Picture> SharedPictureLoad::take(size_t first, size_t count, std::chrono::steady_clock::time_point deadline) {
    const size_t end = std::min(paths_.size(), first + std::min(count, paths_.size()));
    std::vector<Picture> taken(end > first ? end - first : 0);
    std::vector<size_t> own;  // not started by the helper: decoded here
    std::unique_lock<std::mutex> lock(mutex_);
    for (size_t i = first; i < end; ++i) {
        if (states_[i] == Waiting) {
            states_[i] = Taken;
            own.push_back(i);
        }
    }
    lock.unlock();
    for (size_t i : own) taken[i - first] = loadPicture(paths_[i], clock_);
    lock.lock();
    for (size_t i = first; i < end; ++i) {
        if (states_[i] == Taken) continue;  // decoded here
        decoded_.wait_until(lock, deadline, [&] { return states_[i] == Done; });
        if (states_[i] == Done) {
            taken[i - first] = std::move(pictures_[i]);
        } else {
            lock.unlock();
            taken[i - first] = loadPicture(paths_[i], clock_);
            lock.lock();
        }
        states_[i] = Taken;
    }
    return taken;
}

}  // namespace torvana::player
