#pragma once
// The menu's pictures as the player shows them, loaded through the program's one picture
// loader (torvana::gif::LoadGraphic): GIF files through our own GIF reader whatever their
// name, every other format through Qt's image readers.

#include <QImage>
#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "gif/qt/gif_picture.h"
#include "project/staged_menu.h"

namespace torvana::player {

struct Picture {
    // The picture as first shown (an animated GIF's first composed frame); null when loading
    // failed.
    QImage still;
    // An animated GIF (more than one frame) as a picture that animates itself when drawn,
    // through the same painter as the editor's pictures; null for a still picture. Its frames
    // are composed as they are shown, never all at once.
    std::shared_ptr<torvana::gif::GifPicture> animation;
    // Why nothing could be loaded, for the note the window shows; empty on success.
    QString error;

    bool isNull() const { return still.isNull(); }
    const QImage& first() const { return still; }
    QSize size() const { return still.size(); }
};

// An animation is timed by `clock` (the system clock when null).
Picture loadPicture(const QString& path, std::shared_ptr<torvana::gif::PainterClock> clock = nullptr);

// The pictures a menu shows, each once: the background first when there is one, then each
// rollover picture in the order of the hotspots, however many hotspots share it.
struct MenuPicturePaths {
    std::vector<QString> paths;
    size_t firstRollover = 0;  // index of the first rollover picture in `paths`

    // Where `rolloverImage` (a hotspot's) is in `paths`.
    size_t rollover(const std::string& rolloverImage) const;
};
MenuPicturePaths menuPicturePaths(const torvana::PlayerProject& project);

// Pictures decoded in advance by a helper thread, and taken by whoever needs them, a few at a
// time. The taker decodes itself what the helper has not started, waits for the picture the
// helper is decoding until a deadline, and past it decodes that one too (the helper's copy is
// then dropped): a busy computer may leave a helper of low priority without a turn for long.
class SharedPictureLoad {
public:
    // Animations are timed by `clock` (the system clock when null).
    explicit SharedPictureLoad(std::vector<QString> paths, std::shared_ptr<torvana::gif::PainterClock> clock = nullptr);

    // On the helper thread: decodes the pictures nobody has taken yet, in order, until
    // everything is done or cancel() is called.
    void loadAside();
    void cancel() { cancelled_ = true; }

    // The pictures at [first, first + count) of the paths, in their order; each only once.
    std::vector<Picture> take(size_t first, size_t count, std::chrono::steady_clock::time_point deadline);

private:
    enum State { Waiting, Decoding, Done, Taken };
    std::vector<QString> paths_;
    std::shared_ptr<torvana::gif::PainterClock> clock_;
    std::vector<Picture> pictures_;
    std::vector<State> states_;  // guarded by mutex_
    std::mutex mutex_;
    std::condition_variable decoded_;
    std::atomic<bool> cancelled_{false};
};

}  // namespace torvana::player
