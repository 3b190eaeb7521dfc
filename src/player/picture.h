#pragma once
// Loading the menu's pictures. GIF files go through the program's own GIF reader and
// compositor; every other format (BMP, PNG, ...) through Qt's image readers. Which reader is
// used follows the file's first bytes, not its name.

#include <QImage>
#include <QString>
#include <memory>
#include <vector>

#include "gif/qt/gif_picture.h"

namespace player {

struct Picture {
    // The composed frames, in order; a still picture has one. Empty when loading failed.
    std::vector<QImage> frames;
    // How long each frame stays, in milliseconds (0 where the file gives no time).
    std::vector<int> delaysMs;
    // An animated GIF (more than one frame) as a picture that animates itself when drawn,
    // through the same painter as the editor's pictures; null for a still picture.
    std::shared_ptr<torvana::gif::GifPicture> animation;
    // Why nothing could be loaded, for the note the window shows; empty on success.
    QString error;

    bool isNull() const { return frames.empty(); }
    // The picture as first shown; a null image when loading failed.
    QImage first() const { return frames.empty() ? QImage() : frames.front(); }
    QSize size() const { return frames.empty() ? QSize() : frames.front().size(); }
};

// Composed frames of an animated GIF are kept until they would take more than this many bytes;
// the frames after that are left out (the first frame is always kept).
constexpr qint64 kComposedFramesBudget = qint64(256) << 20;

Picture loadPicture(const QString& path);

}  // namespace player
