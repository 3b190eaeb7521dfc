#pragma once
// The menu's parts that need no window: the stage's pointer and keyboard state, the scale for
// high-DPI screens, frame timing of animated GIFs, drawing pictures over one another, and the
// folder rules for paths. The menu engine (menu_engine.h) puts them together.

#include <cstdint>
#include <string>
#include <vector>

#include "gif/gif_compositor.h"
#include "menu/menu_look.h"
#include "project/staged_menu.h"

namespace torvana::menu {

// The factor by which the window is enlarged. `platformFactor` is what the platform asks for
// (its dots per inch / 96). It is rounded to a whole factor (at least 1) when the window then
// fits the usable screen area; otherwise the largest whole factor from 1 that fits; only a screen
// smaller than the window at 1 gives a factor below 1, the largest that fits. Whole factors keep
// every picture pixel sharp. A usable area of 0 x 0 (unknown) always fits.
double chooseScale(double platformFactor, int usableWidth, int usableHeight, int windowWidth, int windowHeight);
// A length of the unscaled window at `scale`, in pixels.
int scaled(int length, double scale);

// The stage's state between messages, as the Linux player's stage keeps it: the highlighted
// hotspot (under the pointer or chosen with Tab), a press that becomes a click when released on
// the same hotspot, and the keyboard focus that Tab moves through the hotspots and then the
// bar's buttons.
class MenuInput {
public:
    MenuInput(std::vector<HotspotRect> spots, int buttonCount);

    // The hotspot at a stage point: the last one that contains it, -1 for none.
    int spotAt(int x, int y) const;
    int spotCount() const { return int(spots_.size()); }
    const HotspotRect& spot(int index) const { return spots_[size_t(index)]; }

    int current() const { return current_; }
    bool currentByKeyboard() const { return currentByKeyboard_; }
    int mouseSpot() const { return mouseSpot_; }
    // The hotspot the pointer pressed and has not yet released, -1 for none.
    int pressedSpot() const { return pressedSpot_; }
    // -1 while the stage has the keyboard focus, else the index of the focused bar button.
    int focusedButton() const { return focus_; }

    // Each of these returns the hotspot that has just become highlighted (to play its rollover
    // sound), -1 when none did.
    int mouseMove(int x, int y);
    int tab(bool forward);
    // The arrow keys: the next or previous hotspot, round the stage's hotspots only, or the
    // next or previous button while a button has the focus.
    int arrow(bool forward);
    void mouseLeave();
    void press(int x, int y);
    // The hotspot clicked: pressed and released on the same one; -1 otherwise.
    int release(int x, int y);
    // The hotspot that Enter activates: the highlighted one while the stage has the focus.
    int enter() const { return focus_ < 0 ? current_ : -1; }
    // The window gave the focus to a button (a click on it) or back to the stage.
    void focusButton(int button);

    // Counts every change that shows on the stage, so the window knows when to repaint.
    int changes() const { return changes_; }

private:
    int setCurrent(int index, bool byKeyboard);

    std::vector<HotspotRect> spots_;
    int buttons_;
    int current_ = -1;
    bool currentByKeyboard_ = false;
    int mouseSpot_ = -1;
    int pressedSpot_ = -1;
    int focus_ = -1;
    int changes_ = 0;
};

// When each frame of an animated GIF is shown: its delay by the program's one rule
// (gif/gif_timing.h), loop passes from the NETSCAPE2.0 / ANIMEXTS1.0 extension as the painter
// counts them (0 for ever, none for one pass), and a schedule kept on absolute times so small
// lateness does not add up; after a long stall (the machine slept) it starts afresh.
class FrameClock {
public:
    explicit FrameClock(const gif::GifImage& image);

    size_t frameCount() const { return delaysMs_.size(); }
    int64_t delayMs(size_t frame) const { return delaysMs_[frame]; }
    bool animated() const { return delaysMs_.size() > 1; }

    // Shows frame 0 at `nowMs`.
    void start(int64_t nowMs);
    // The frames to compose in order, when their time has come by `nowMs`; empty when none.
    std::vector<size_t> advance(int64_t nowMs);
    bool running() const { return running_; }
    void stop() { running_ = false; }
    size_t frame() const { return frame_; }
    // When the next frame is due (meaningful while running).
    int64_t dueMs() const { return due_; }

    static constexpr int64_t kStallMs = 1000;

private:
    std::vector<int64_t> delaysMs_;
    size_t loopStart_ = 0;
    int passes_ = 1;  // -1 for ever
    int passesLeft_ = 1;
    size_t frame_ = 0;
    int64_t due_ = 0;
    bool running_ = false;
};

// 32-bit pixels 0xAARRGGBB, rows top to bottom: the layout of a 32-bit Windows DIB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
    bool empty() const { return width <= 0 || height <= 0; }
};

Pixels pixelsFromCanvas(const gif::RgbaCanvas& canvas);
// Brings a copy of the canvas up to date in `area` (all of it when the sizes differ).
void updateFromCanvas(Pixels& target, const gif::RgbaCanvas& canvas, const gif::CanvasArea& area);
void fill(Pixels& target, uint32_t argb);
// Draws `picture` with its top-left corner at x, y: pixels with alpha below 128 are left out,
// everything is clipped to the target.
void drawOver(Pixels& target, const Pixels& picture, int x, int y);
// The keyboard's mark around a hotspot: a black edge with white dashes over it, which shows on
// any picture; clipped to the target.
void drawFocusEdge(Pixels& target, const HotspotRect& rect);

// The folder part of a Windows path (before its last "\" or "/"); empty when it has none.
std::string windowsFolderOf(const std::string& path);
// A path as the note bar shows it: relative to the menu's folder when inside it, in quotes. The
// path comes from the project file: control bytes and bytes that are not UTF-8 show as \xHH.
std::string shownPath(const std::string& path, const std::string& folder);

}  // namespace torvana::menu
