#include "menu/menu_model.h"

#include <algorithm>
#include <cmath>

#include "gif/gif_timing.h"
#include "project/errors.h"

namespace torvana::menu {

int scaled(int length, double scale) { return int(std::lround(double(length) * scale)); }

double chooseScale(double platformFactor, int usableWidth, int usableHeight, int windowWidth, int windowHeight) {
    const auto fits = [&](double factor) {
        return (usableWidth <= 0 && usableHeight <= 0) ||
               (scaled(windowWidth, factor) <= usableWidth && scaled(windowHeight, factor) <= usableHeight);
    };
    const int asked = std::max(1, int(std::lround(std::isfinite(platformFactor) ? platformFactor : 1.0)));
    for (int whole = asked; whole >= 1; --whole) {
        if (fits(whole)) return whole;
    }
    if (windowWidth <= 0 || windowHeight <= 0 || usableWidth <= 0 || usableHeight <= 0) return 1;
    // The screen is smaller than the window: the largest factor that fits, in 1/1000 steps so
    // rounding never makes the window a pixel too large.
    double factor = std::min(double(usableWidth) / windowWidth, double(usableHeight) / windowHeight);
    factor = std::floor(factor * 1000) / 1000;
    while (factor > 0.001 && !fits(factor)) factor -= 0.001;
    return std::max(factor, 0.001);
}

const ButtonLook& buttonLook(std::string_view name) {
    for (const ButtonLook& look : kButtonLooks) {
        const std::string_view known = look.name;
        if (known.size() == name.size() &&
            std::equal(known.begin(), known.end(), name.begin(), [](char a, char b) { return a == (b | 0x20); }))
            return look;
    }
    return kButtonLooks[0];
}

namespace {

// `colour` moved `percent` of the way towards `towards`.
uint32_t blend(uint32_t colour, uint32_t towards, int percent) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int a = int(colour >> shift & 0xFF), b = int(towards >> shift & 0xFF);
        out |= uint32_t(a + (b - a) * percent / 100) << shift;
    }
    return out;
}

}  // namespace

ButtonColours buttonColours(const ButtonLook& look, const torvana::ButtonStyle& style) {
    ButtonColours c{};
    c.face = style.colour ? 0xFF000000u | *style.colour : look.face;
    c.text = style.textColour ? 0xFF000000u | *style.textColour : look.text;
    c.border = style.colour ? blend(c.face, 0xFF000000u, 35) : look.border;
    // A light face turns towards black, a dark one towards white.
    const int light = int(c.face >> 16 & 0xFF) * 299 + int(c.face >> 8 & 0xFF) * 587 + int(c.face & 0xFF) * 114;
    const uint32_t towards = light >= 128 * 1000 ? 0xFF000000u : 0xFFFFFFFFu;
    c.hover = blend(c.face, towards, 15);
    c.pressed = blend(c.face, towards, 30);
    return c;
}

BarLayout layoutBar(bool hasNotes, bool showBrowse, bool showExit) {
    BarLayout bar;
    if (!hasNotes && !showBrowse && !showExit) return bar;
    bar.height = kBarHeight;
    constexpr int margin = kBarMargin, spacing = kButtonSpacing;
    const int top = (kBarHeight - kButtonHeight) / 2;
    int right = kStageWidth - margin;
    if (showExit) {
        bar.exit = {right - kButtonWidth, top, kButtonWidth, kButtonHeight};
        right -= kButtonWidth + spacing;
    }
    if (showBrowse) {
        bar.browse = {right - kButtonWidth, top, kButtonWidth, kButtonHeight};
        right -= kButtonWidth + spacing;
    }
    bar.note = {margin, 0, std::max(0, right - margin), kBarHeight};
    return bar;
}

// ---------------------------------------------------------------------------------------------
// MenuInput

MenuInput::MenuInput(std::vector<HotspotRect> spots, int buttonCount)
    : spots_(std::move(spots)), buttons_(std::max(0, buttonCount)) {}

int MenuInput::spotAt(int x, int y) const {
    for (int i = spotCount() - 1; i >= 0; --i) {
        if (spots_[size_t(i)].contains(x, y)) return i;
    }
    return -1;
}

int MenuInput::setCurrent(int index, bool byKeyboard) {
    const bool keyboard = index >= 0 && byKeyboard;
    if (keyboard != currentByKeyboard_) ++changes_;
    currentByKeyboard_ = keyboard;
    if (index == current_) return -1;
    current_ = index;
    ++changes_;
    return index;
}

int MenuInput::mouseMove(int x, int y) {
    const int hit = spotAt(x, y);
    if (hit == mouseSpot_) return -1;
    // Only a change of the hotspot under the pointer moves the highlight, so a keyboard choice
    // stays while the pointer rests or moves over the background.
    mouseSpot_ = hit;
    return setCurrent(hit, false);
}

void MenuInput::mouseLeave() {
    mouseSpot_ = -1;
    if (pressedSpot_ >= 0) ++changes_;
    pressedSpot_ = -1;
    if (!currentByKeyboard_) setCurrent(-1, false);
}

void MenuInput::press(int x, int y) {
    mouseMove(x, y);
    if (pressedSpot_ != mouseSpot_) ++changes_;
    pressedSpot_ = mouseSpot_;
}

int MenuInput::release(int x, int y) {
    const int pressed = pressedSpot_;
    if (pressed >= 0) ++changes_;
    pressedSpot_ = -1;
    return pressed >= 0 && spotAt(x, y) == pressed ? pressed : -1;
}

void MenuInput::focusButton(int button) {
    const int target = button >= 0 && button < buttons_ ? button : -1;
    if (target == focus_) return;
    // Leaving the stage drops the keyboard's choice for what the pointer is over.
    if (focus_ < 0 && currentByKeyboard_) setCurrent(mouseSpot_, false);
    focus_ = target;
    ++changes_;
}

int MenuInput::tab(bool forward) {
    if (focus_ < 0 && !spots_.empty()) {
        int index = currentByKeyboard_ ? current_ + (forward ? 1 : -1) : (forward ? 0 : spotCount() - 1);
        if (index >= 0 && index < spotCount()) return setCurrent(index, true);
        if (buttons_ == 0) return setCurrent(forward ? 0 : spotCount() - 1, true);  // nothing else to go to
    }
    if (buttons_ == 0) return -1;
    // The ring: the stage, then the buttons in order.
    const int ring = buttons_ + 1;
    const int position = (focus_ + 1 + (forward ? 1 : ring - 1)) % ring;
    focusButton(position - 1);
    if (position == 0 && !spots_.empty()) return setCurrent(forward ? 0 : spotCount() - 1, true);
    return -1;
}

int MenuInput::arrow(bool forward) {
    if (focus_ >= 0) {
        focusButton((focus_ + (forward ? 1 : buttons_ - 1)) % buttons_);
        return -1;
    }
    if (spots_.empty()) return -1;
    const int count = spotCount();
    const int index = currentByKeyboard_ ? (current_ + (forward ? 1 : count - 1)) % count : (forward ? 0 : count - 1);
    return setCurrent(index, true);
}

// ---------------------------------------------------------------------------------------------
// FrameClock

FrameClock::FrameClock(const gif::GifImage& image) {
    bool loopSeen = false;
    for (size_t i = 0; i < image.frames.Count(); ++i) {
        const gif::GifFrame& frame = image.frames[i];
        // A pass ends at the first empty frame, as the painter's does.
        if (frame.IsEmptyFrame()) break;
        delaysMs_.push_back(gif::FrameDelayUnits(frame, false) * gif::delayUnitMs);
        for (const auto& item : frame.extensionItems.items) {
            const auto* loop = dynamic_cast<const gif::GifLoopExtension*>(item.get());
            if (!loop || loopSeen) continue;
            loopSeen = true;
            loopStart_ = i;
            passes_ = loop->loopCount == 0 ? -1 : loop->loopCount;
        }
    }
}

void FrameClock::start(int64_t nowMs) {
    frame_ = 0;
    passesLeft_ = passes_;
    running_ = animated();
    if (running_) due_ = nowMs + delaysMs_[0];
}

std::vector<size_t> FrameClock::advance(int64_t nowMs) {
    std::vector<size_t> shown;
    if (running_ && nowMs - due_ > kStallMs) due_ = nowMs;  // too late to catch up frame by frame
    while (running_ && nowMs >= due_) {
        size_t next = frame_ + 1;
        if (next >= delaysMs_.size()) {
            if (passesLeft_ > 0) --passesLeft_;
            if (passesLeft_ == 0) {
                running_ = false;  // the last frame stays
                break;
            }
            next = loopStart_;
        }
        frame_ = next;
        shown.push_back(frame_);
        due_ += delaysMs_[frame_];
    }
    return shown;
}

// ---------------------------------------------------------------------------------------------
// Pixels

namespace {

// `count` canvas pixels (red, green, blue, alpha bytes) as ARGB words.
void argbFromRgba(uint32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i, src += 4)
        dst[i] = uint32_t(src[3]) << 24 | uint32_t(src[0]) << 16 | uint32_t(src[1]) << 8 | src[2];
}

}  // namespace

Pixels pixelsFromCanvas(const gif::RgbaCanvas& canvas) {
    Pixels p;
    p.width = canvas.width;
    p.height = canvas.height;
    p.argb.resize(size_t(canvas.width) * size_t(canvas.height));
    argbFromRgba(p.argb.data(), canvas.pixels.data(), p.argb.size());
    return p;
}

void updateFromCanvas(Pixels& target, const gif::RgbaCanvas& canvas, const gif::CanvasArea& area) {
    if (target.width != canvas.width || target.height != canvas.height) {
        target = pixelsFromCanvas(canvas);
        return;
    }
    if (area.Empty()) return;
    const size_t width = size_t(canvas.width);
    for (int y = area.top; y < area.bottom; ++y) {
        const size_t at = size_t(y) * width + size_t(area.left);
        argbFromRgba(&target.argb[at], &canvas.pixels[at * 4], size_t(area.right - area.left));
    }
}

void fill(Pixels& target, uint32_t argb) { std::fill(target.argb.begin(), target.argb.end(), argb); }

void drawOver(Pixels& target, const Pixels& picture, int x, int y) {
    // Coordinates beyond the stage are kept small before any arithmetic (hotspotRect does so).
    const int left = std::max(0, x), top = std::max(0, y);
    const int right = std::min<int64_t>(target.width, int64_t(x) + picture.width);
    const int bottom = std::min<int64_t>(target.height, int64_t(y) + picture.height);
    for (int ty = top; ty < bottom; ++ty) {
        const uint32_t* src = &picture.argb[size_t(ty - y) * size_t(picture.width) + size_t(left - x)];
        uint32_t* dst = &target.argb[size_t(ty) * size_t(target.width)];
        for (int tx = left; tx < right; ++tx, ++src) {
            if ((*src >> 24) >= 128) dst[tx] = *src | 0xFF000000u;
        }
    }
}

void drawFocusEdge(Pixels& target, const HotspotRect& rect) {
    const auto plot = [&](int px, int py, int step) {
        if (px < 0 || py < 0 || px >= target.width || py >= target.height) return;
        // Dashes: light on the dark edge.
        target.argb[size_t(py) * size_t(target.width) + size_t(px)] =
            (step / kFocusDash) % 2 == 0 ? kFocusEdgeLight : kFocusEdgeDark;
    };
    if (rect.width <= 0 || rect.height <= 0) return;
    const int right = rect.x + rect.width - 1, bottom = rect.y + rect.height - 1;
    int step = 0;
    for (int px = rect.x; px <= right; ++px) plot(px, rect.y, step++);
    for (int py = rect.y + 1; py <= bottom; ++py) plot(right, py, step++);
    for (int px = right - 1; px >= rect.x; --px) plot(px, bottom, step++);
    for (int py = bottom - 1; py > rect.y; --py) plot(rect.x, py, step++);
}

// ---------------------------------------------------------------------------------------------
// Paths

std::string windowsFolderOf(const std::string& path) {
    const size_t pos = path.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string shownPath(const std::string& path, const std::string& folder) {
    if (!folder.empty() && path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 &&
        (path[folder.size()] == '\\' || path[folder.size()] == '/')) {
        return "\"" + visiblePath(path.substr(folder.size() + 1)) + "\"";
    }
    return "\"" + visiblePath(path) + "\"";
}

}  // namespace torvana::menu
