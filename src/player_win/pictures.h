#pragma once
// The menu's pictures on Windows: BMP files through the system's bitmap loader, GIF files
// through our own reader and compositor. An animated GIF keeps its compositor and frame clock
// so the window can show its frames in time.

#include <cstdint>
#include <memory>
#include <string>

#include "gif/gif_compositor.h"
#include "menu/menu_model.h"

namespace torvana::winplayer {

struct Animation {
    std::unique_ptr<torvana::gif::GifImage> image;
    std::unique_ptr<torvana::gif::GifCompositor> compositor;
    std::unique_ptr<torvana::menu::FrameClock> clock;
    torvana::menu::Pixels shown;  // the frame composed last

    // Back to frame 0 at `nowMs`.
    void restart(int64_t nowMs);
    // Composes the frames whose time has come; true when the shown frame changed.
    bool advance(int64_t nowMs);
};

struct Picture {
    torvana::menu::Pixels still;
    std::shared_ptr<Animation> animation;  // set for a GIF of more than one frame
    std::string error;                     // why there is no picture

    bool isNull() const { return still.empty(); }
    const torvana::menu::Pixels& current() const { return animation ? animation->shown : still; }
};

// Never throws: a picture that cannot be shown comes back empty with the reason in `error`.
Picture loadPicture(const std::string& path);

}  // namespace torvana::winplayer
