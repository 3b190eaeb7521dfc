#pragma once
// The menu's pictures: GIF files through our own reader and compositor whatever their name,
// BMP (and PNG or JPEG) files through one small image reader. An animated GIF keeps its
// compositor and frame clock, so the menu shows its frames in time. Every player loads its
// pictures here and so shows the same pixels.

#include <cstdint>
#include <memory>
#include <string>

#include "gif/gif_compositor.h"
#include "menu/menu_model.h"

namespace torvana::menu {

struct Animation {
    std::unique_ptr<torvana::gif::GifImage> image;
    std::unique_ptr<torvana::gif::GifCompositor> compositor;
    std::unique_ptr<FrameClock> clock;
    Pixels shown;  // the frame composed last

    // Back to frame 0 at `nowMs`.
    void restart(int64_t nowMs);
    // Composes the frames whose time has come; true when the shown frame changed.
    bool advance(int64_t nowMs);
};

struct Picture {
    Pixels still;
    std::shared_ptr<Animation> animation;  // set for a GIF of more than one frame
    std::string error;                     // why there is no picture
    // A BMP, PNG or JPEG picture's pixels, counted against the program's picture budget (the
    // one GIF pictures share) while the picture lives.
    std::shared_ptr<torvana::gif::GifMemoryCharge> charge;

    bool isNull() const { return still.empty(); }
    const Pixels& current() const { return animation ? animation->shown : still; }
};

// Never throws: a picture that cannot be shown comes back empty with the reason in `error`.
Picture loadPicture(const std::string& path);

}  // namespace torvana::menu
