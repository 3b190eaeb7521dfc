// Fuzzes what the Windows player does with a GIF once the reader has it, the way its picture
// loader and animation timer do (src/player_win/pictures.cpp): frame 0 composed into a 32-bit
// bitmap, the frame clock run over half a minute of timer ticks and late wake-ups, every frame
// it names composed, and the picture drawn onto the stage at the hotspot's place with the
// keyboard's mark around it. The last four bytes of the input are the hotspot's X and Y.
// The reader itself, with the program's real budget, is fuzz_gif's; here one picture gets
// 16 MiB so the run stays fast. Properties:
// - every bitmap has the picture's size and every pixel is fully opaque or fully transparent;
// - the clock animates exactly the pictures of more than one frame up to the first empty one,
//   gives each frame a positive delay, names only frames that exist, never more at one tick
//   than a second's worth (plus a pass) after a stall, and keeps its next time ahead of now;
// - drawing changes only the stage pixels under the hotspot's rectangle, and only to opaque
//   pixels of the picture; the mark touches only the rectangle's edge.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "gif/gif_compositor.h"
#include "gif/gif_image.h"
#include "menu/menu_model.h"

using namespace torvana;

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

void checkBitmap(const menu::Pixels& p, const gif::GifImage& image) {
    check(p.width == image.Width() && p.height == image.Height());
    check(p.argb.size() == size_t(p.width) * size_t(p.height));
    for (const uint32_t px : p.argb) check((px >> 24) == 0 || (px >> 24) == 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static gif::GifMemoryBudget budget(int64_t(16) << 20);
    gif::GifImage image;
    image.budget = &budget;
    image.pixelBudget = int64_t(16) << 20;
    gif::GifMemoryStream stream(data, size);
    try {
        image.LoadFromStream(stream);
    } catch (const Error&) {
        return 0;  // the player says why and shows no picture
    }
    if (image.Empty() || image.Width() <= 0 || image.Height() <= 0) return 0;

    menu::Pixels still;
    try {
        gif::GifCompositor compositor(image);
        still = menu::pixelsFromCanvas(compositor.Compose(0));
        checkBitmap(still, image);

        menu::FrameClock clock(image);
        size_t frames = 0;
        while (frames < image.frames.Count() && !image.frames[frames].IsEmptyFrame()) ++frames;
        check(clock.frameCount() == frames && clock.animated() == (frames > 1));
        int64_t shortest = INT64_MAX;
        for (size_t i = 0; i < clock.frameCount(); ++i) {
            check(clock.delayMs(i) > 0);
            shortest = std::min(shortest, clock.delayMs(i));
        }
        clock.start(0);
        bool changed = false;
        int64_t now = 0;
        for (int tick = 0; tick < 200 && clock.running(); ++tick) {
            // Mostly on time, now and then late, once in a while after a long sleep.
            now += tick % 97 == 96 ? 5000 : tick % 13 == 12 ? 700 : 10 + (tick * 7) % 40;
            const std::vector<size_t> due = clock.advance(now);
            check(int64_t(due.size()) <= menu::FrameClock::kStallMs / shortest + int64_t(frames) + 1);
            for (const size_t frame : due) {
                check(frame < clock.frameCount());
                compositor.Compose(frame);
            }
            changed = changed || !due.empty();
            if (clock.running()) check(clock.dueMs() > now);
        }
        if (changed) checkBitmap(menu::pixelsFromCanvas(compositor.Canvas()), image);
    } catch (const Error&) {
        // A frame that cannot be composed: the player keeps what it has shown.
        if (still.empty()) return 0;
    }

    const auto coordinate = [&](size_t at) { return size >= 4 ? int(int16_t(data[at] | data[at + 1] << 8)) : 0; };
    const HotspotRect r = hotspotRect(coordinate(size - 4) * 7, coordinate(size - 2) * 7, still.width, still.height);
    menu::Pixels stage;
    stage.width = kStageWidth;
    stage.height = kStageHeight;
    constexpr uint32_t kUnder = 0x00123456;  // no picture pixel is ever drawn with alpha 0
    stage.argb.assign(size_t(stage.width) * stage.height, kUnder);
    menu::drawOver(stage, still, r.x, r.y);
    for (int y = 0; y < stage.height; ++y)
        for (int x = 0; x < stage.width; ++x) {
            const uint32_t px = stage.argb[size_t(y) * stage.width + x];
            if (!r.contains(x, y)) {
                check(px == kUnder);
            } else {
                const uint32_t src = still.argb[size_t(y - r.y) * still.width + (x - r.x)];
                check(px == ((src >> 24) >= 128 ? (src | 0xFF000000u) : kUnder));
            }
        }
    menu::drawFocusEdge(stage, r);
    for (int y = 0; y < stage.height; ++y)
        for (int x = 0; x < stage.width; ++x) {
            const bool edge = r.contains(x, y) && (x == r.x || y == r.y || x == r.x + r.width - 1 || y == r.y + r.height - 1);
            const uint32_t px = stage.argb[size_t(y) * stage.width + x];
            if (!r.contains(x, y)) check(px == kUnder);
            if (edge) check(px == 0xFFFFFFFFu || px == 0xFF000000u);
        }
    return 0;
}
