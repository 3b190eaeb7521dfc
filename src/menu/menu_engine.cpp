#include "menu/menu_engine.h"

#include <algorithm>
#include <cmath>

#include "menu/menu_font.h"
#include "project/errors.h"
#include "project/file_io.h"

namespace torvana::menu {

using torvana::ActionKind;
using torvana::PlayerHotspot;

namespace {

std::string numbered(const char* text, int n) {
    std::string out = text;
    out.replace(out.find("%1"), 2, std::to_string(n));
    return out;
}

// A rectangle of the unscaled window in pixels at `scale`.
HotspotRect scaledRect(const HotspotRect& r, double scale) {
    const int x = scaled(r.x, scale), y = scaled(r.y, scale);
    return {x, y, scaled(r.x + r.width, scale) - x, scaled(r.y + r.height, scale) - y};
}

void fillRect(Pixels& target, const HotspotRect& r, uint32_t colour) {
    const int left = std::max(0, r.x), top = std::max(0, r.y);
    const int right = std::min(target.width, r.x + r.width), bottom = std::min(target.height, r.y + r.height);
    for (int y = top; y < bottom; ++y)
        std::fill_n(&target.argb[size_t(y) * size_t(target.width) + size_t(left)], std::max(0, right - left), colour);
}

// A frame `thickness` pixels wide just inside `r`.
void frameRect(Pixels& target, const HotspotRect& r, int thickness, uint32_t colour) {
    fillRect(target, {r.x, r.y, r.width, thickness}, colour);
    fillRect(target, {r.x, r.y + r.height - thickness, r.width, thickness}, colour);
    fillRect(target, {r.x, r.y, thickness, r.height}, colour);
    fillRect(target, {r.x + r.width - thickness, r.y, thickness, r.height}, colour);
}

}  // namespace

MenuEngine::MenuEngine(torvana::PlayerProject project, Clock clock)
    : project_(std::move(project)), clock_(std::move(clock)) {
    bar_ = layoutBar(!project_.notes.empty(), project_.showBrowse, project_.showExit);
    input_ = std::make_unique<MenuInput>(std::vector<HotspotRect>{}, int(buttons().size()));
    stage_.width = torvana::kStageWidth;
    stage_.height = torvana::kStageHeight;
    stage_.argb.assign(size_t(stage_.width) * size_t(stage_.height), kStageColour);
}

// ---------------------------------------------------------------------------------------------
// Loading

std::string MenuEngine::shown(const std::string& path) const { return shownPath(path, project_.folder); }

void MenuEngine::loadBackground() {
    loadBackground(project_.background.empty() ? Picture{} : loadPicture(project_.background));
}

void MenuEngine::loadBackground(Picture picture) {
    for (const std::string& note : project_.notes) addNote(note);
    if (project_.background.empty()) return;
    background_ = std::move(picture);
    if (background_.isNull()) {
        addNote("Background picture " + shown(project_.background) + " not shown: " + background_.error + ".");
    } else if (background_.animation) {
        background_.animation->restart(clock_());
    }
    stageDirty_ = true;
}

std::vector<Action> MenuEngine::loadHotspots() {
    if (hotspotsLoaded_) return {};
    hotspotsLoaded_ = true;
    // Pictures shared by several hotspots are loaded once, and said once when they fail.
    std::map<std::string, std::shared_ptr<Picture>> loaded;
    std::vector<HotspotRect> rects;
    for (const PlayerHotspot& h : project_.hotspots) {
        std::shared_ptr<Picture> picture;
        if (!h.rolloverImage.empty()) {
            auto found = loaded.find(h.rolloverImage);
            if (found == loaded.end()) {
                found = loaded.emplace(h.rolloverImage, std::make_shared<Picture>(loadPicture(h.rolloverImage))).first;
                if (found->second->isNull()) {
                    addNote("Rollover picture " + shown(h.rolloverImage) + " not shown: " + found->second->error + ".");
                }
            }
            if (!found->second->isNull()) picture = found->second;
        }
        const int width = picture ? picture->still.width : 0, height = picture ? picture->still.height : 0;
        rects.push_back(torvana::hotspotRect(h.x, h.y, width, height));
        spotPictures_.push_back(std::move(picture));
    }
    const int focusedButton = input_->focusedButton();
    input_ = std::make_unique<MenuInput>(std::move(rects), int(buttons().size()));
    input_->focusButton(focusedButton);

    prepareSound(project_.openingWav);
    for (const PlayerHotspot& h : project_.hotspots) {
        prepareSound(h.rolloverWav);
        prepareSound(h.clickWav);
    }
    std::vector<Action> actions;
    playSound(project_.openingWav, actions);
    stageDirty_ = true;
    return actions;
}

void MenuEngine::prepareSound(const std::string& path) {
    if (path.empty() || sounds_.count(path)) return;
    const torvana::WaveInfo wave = torvana::inspectWave(path);
    sounds_.emplace(path, wave);
    if (!wave.error.empty()) addNote("Sound " + shown(path) + " not played: " + wave.error + ".");
}

// A prepared, playable sound; `heardMs` gets how long it will be heard (0 without output).
void MenuEngine::playSound(const std::string& path, std::vector<Action>& actions, int* heardMs) {
    if (heardMs) *heardMs = 0;
    const auto found = sounds_.find(path);
    if (path.empty() || found == sounds_.end() || !found->second.error.empty() || !soundOutput_) return;
    actions.push_back({Action::Play, -1, path});
    if (heardMs) *heardMs = found->second.durationMs;
}

// ---------------------------------------------------------------------------------------------
// Notes

void MenuEngine::addNote(const std::string& note) {
    if (std::find(notes_.begin(), notes_.end(), note) != notes_.end()) return;
    notes_.push_back(note);
    bar_ = layoutBar(true, project_.showBrowse, project_.showExit);
    dirty_ = true;
}

std::string MenuEngine::noteLine() const {
    if (notes_.empty()) return {};
    std::string line = notes_.front();
    if (notes_.size() > 1) line += " (and " + std::to_string(notes_.size() - 1) + " more)";
    return line;
}

void MenuEngine::soundFailed(const std::string& path, const std::string& why) {
    addNote("Sound " + shown(path) + " not played: " + why + ".");
}

void MenuEngine::startFailed(int index) {
    if (index < 0 || index >= int(project_.hotspots.size())) return;
    const PlayerHotspot& h = project_.hotspots[size_t(index)];
    if (h.kind == ActionKind::WebAddress) {
        addNote("Could not open " + torvana::visiblePath(h.target) + ".");
    } else {
        addNote(numbered("Hotspot %1: no program could open ", h.number) + shown(h.target) + ".");
    }
}

void MenuEngine::browseFailed() { addNote("Could not open the folder " + torvana::visiblePath(project_.folder) + "."); }

// ---------------------------------------------------------------------------------------------
// Input

std::vector<MenuEngine::ButtonKind> MenuEngine::buttons() const {
    std::vector<ButtonKind> out;
    if (project_.showBrowse) out.push_back(ButtonKind::Browse);
    if (project_.showExit) out.push_back(ButtonKind::Exit);
    return out;
}

std::vector<HotspotRect> MenuEngine::buttonRects() const {
    std::vector<HotspotRect> out;
    for (const ButtonKind b : buttons()) {
        HotspotRect r = b == ButtonKind::Browse ? bar_.browse : bar_.exit;
        r.y += torvana::kStageHeight;
        out.push_back(r);
    }
    return out;
}

int MenuEngine::buttonAt(int x, int y) const {
    const std::vector<HotspotRect> rects = buttonRects();
    for (size_t i = 0; i < rects.size(); ++i)
        if (rects[i].contains(x, y)) return int(i);
    return -1;
}

void MenuEngine::highlighted(int index, std::vector<Action>& actions) {
    if (index < 0) return;
    playSound(project_.hotspots[size_t(index)].rolloverWav, actions);
    const auto& picture = spotPictures_[size_t(index)];
    if (picture && picture->animation) picture->animation->restart(clock_());
    stageDirty_ = true;
}

void MenuEngine::pointerLeftStage() {
    input_->mouseLeave();
    handCursor_ = false;
}

std::vector<Action> MenuEngine::handle(const Event& event) {
    std::vector<Action> actions;
    if (ending_) return actions;
    const int changesBefore = input_->changes();
    const int hoveredBefore = hoveredButton_, pressedBefore = pressedButton_;
    // The pointer in unscaled window pixels; the stage is the window's top 640 x 480.
    const int x = int(std::floor(event.x / scale_)), y = int(std::floor(event.y / scale_));
    const bool onStage = x >= 0 && y >= 0 && x < torvana::kStageWidth && y < torvana::kStageHeight;
    switch (event.kind) {
    case Event::PointerMoved:
        if (rested_) dirty_ = true;  // the tooltip goes while the pointer moves
        rested_ = false;
        restSince_ = clock_();
        hoveredButton_ = buttonAt(x, y);
        if (onStage) {
            highlighted(input_->mouseMove(x, y), actions);
            handCursor_ = input_->spotAt(x, y) >= 0;
        } else {
            pointerLeftStage();
        }
        break;
    case Event::PointerLeft:
        hoveredButton_ = -1;
        pointerLeftStage();
        break;
    case Event::PointerPressed:
        hoveredButton_ = pressedButton_ = buttonAt(x, y);
        if (pressedButton_ >= 0) {
            input_->focusButton(pressedButton_);
        } else {
            input_->focusButton(-1);
            if (onStage) {
                // A press moves the pointer there first, as a move would.
                highlighted(input_->mouseMove(x, y), actions);
                input_->press(x, y);
            }
        }
        break;
    case Event::PointerReleased: {
        const int pressed = pressedButton_;
        pressedButton_ = -1;
        if (pressed >= 0) {
            if (buttonAt(x, y) == pressed) actions = press(buttons()[size_t(pressed)]);
            break;
        }
        const int clicked = onStage ? input_->release(x, y) : input_->release(-1000000, -1000000);
        if (clicked >= 0) actions = activate(clicked);
        break;
    }
    case Event::FocusGained:
    case Event::FocusLost:
        focused_ = event.kind == Event::FocusGained;
        stageDirty_ = dirty_ = true;
        break;
    case Event::KeyPressed:
        switch (event.key) {
        case Key::Escape:
            return exitNow();
        case Key::Tab:
            highlighted(input_->tab(!event.shift), actions);
            break;
        case Key::Left:
        case Key::Up:
        case Key::Right:
        case Key::Down:
            highlighted(input_->arrow(event.key == Key::Right || event.key == Key::Down), actions);
            break;
        case Key::Enter:
        case Key::Space:
            if (input_->focusedButton() >= 0) {
                actions = press(buttons()[size_t(input_->focusedButton())]);
            } else if (input_->enter() >= 0) {
                actions = activate(input_->enter());
            }
            break;
        case Key::AltB:
            if (project_.showBrowse) actions = press(ButtonKind::Browse);
            break;
        case Key::AltX:
            if (project_.showExit) actions = press(ButtonKind::Exit);
            break;
        }
        break;
    }
    if (input_->changes() != changesBefore) stageDirty_ = dirty_ = true;
    if (hoveredButton_ != hoveredBefore || pressedButton_ != pressedBefore) dirty_ = true;
    return actions;
}

std::vector<Action> MenuEngine::press(ButtonKind button) {
    if (button == ButtonKind::Exit) return exitNow();
    return {{Action::Browse, -1, project_.folder}};
}

std::vector<Action> MenuEngine::exitNow() {
    ending_ = true;
    exitDue_.reset();
    return {{Action::StopSounds, -1, {}}, {Action::Exit, -1, {}}};
}

std::vector<Action> MenuEngine::activate(int index) {
    std::vector<Action> actions;
    if (ending_ || index < 0 || index >= int(project_.hotspots.size())) return actions;
    const PlayerHotspot& h = project_.hotspots[size_t(index)];
    int heardMs = 0;
    playSound(h.clickWav, actions, &heardMs);
    switch (h.kind) {
    case ActionKind::Exit:
        if (heardMs <= 0) return exitNow();
        // The click sound is heard before the window goes.
        ending_ = true;
        exitDue_ = clock_() + std::min(heardMs, kLongestExitSoundMs);
        break;
    case ActionKind::WebAddress:
        actions.push_back({Action::Start, index, h.target});
        break;
    case ActionKind::File:
        if (!torvana::fileExists(h.target)) {
            addNote(numbered("Hotspot %1: the file ", h.number) + shown(h.target) + " is missing.");
        } else {
            actions.push_back({Action::Start, index, h.target});
        }
        break;
    case ActionKind::Refused:
        // An address of a scheme no menu opens (file:, ftp://, javascript:) is never started.
        addNote(torvana::refusedAddressNote(h));
        break;
    }
    return actions;
}

// ---------------------------------------------------------------------------------------------
// Time

std::vector<Action> MenuEngine::tick() {
    const int64_t now = clock_();
    if (exitDue_ && now >= *exitDue_) {
        exitDue_.reset();
        return {{Action::Exit, -1, {}}};
    }
    if (ending_) return {};
    bool changed = false;
    if (!rested_ && input_->mouseSpot() >= 0 && now >= restSince_ + kTooltipDelayMs) {
        rested_ = true;
        dirty_ = true;
    }
    if (background_.animation) changed |= background_.animation->advance(now);
    const int current = input_->current();
    if (current >= 0) {
        const auto& picture = spotPictures_[size_t(current)];
        if (picture && picture->animation && picture->animation != background_.animation)
            changed |= picture->animation->advance(now);
    }
    if (changed) stageDirty_ = true;
    return {};
}

std::optional<int64_t> MenuEngine::nextDueMs() const {
    if (exitDue_) return exitDue_;
    if (ending_) return std::nullopt;
    std::optional<int64_t> due;
    const auto consider = [&](const Picture* picture) {
        if (picture && picture->animation && picture->animation->clock->running())
            due = std::min(due.value_or(INT64_MAX), picture->animation->clock->dueMs());
    };
    consider(&background_);
    if (input_->current() >= 0) consider(spotPictures_[size_t(input_->current())].get());
    if (!rested_ && input_->mouseSpot() >= 0) due = std::min(due.value_or(INT64_MAX), restSince_ + kTooltipDelayMs);
    return due;
}

int MenuEngine::tooltipSpot() const {
    const int current = input_->current();
    if (current < 0 || input_->focusedButton() >= 0 || project_.hotspots[size_t(current)].label.empty()) return -1;
    if (input_->currentByKeyboard()) return focused_ ? current : -1;
    return rested_ && input_->mouseSpot() == current ? current : -1;
}

int MenuEngine::itemCount() const { return input_->spotCount() + int(buttons().size()); }

int MenuEngine::focusItem() const {
    if (input_->focusedButton() >= 0) return input_->spotCount() + input_->focusedButton();
    return input_->currentByKeyboard() ? input_->current() : -1;
}

std::string MenuEngine::spokenName(int item) const {
    if (item < 0 || item >= itemCount()) return {};
    if (item >= input_->spotCount()) {
        const ButtonKind kind = buttons()[size_t(item - input_->spotCount())];
        return parseCaption(kind == ButtonKind::Browse ? kBrowseCaption : kExitCaption).text;
    }
    const PlayerHotspot& h = project_.hotspots[size_t(item)];
    return numbered("HotSpot %1: ", h.number) + torvana::hotspotName(h);
}

std::vector<Action> MenuEngine::activateItem(int item) {
    if (ending_ || item < 0 || item >= itemCount()) return {};
    if (item < input_->spotCount()) return activate(item);
    return press(buttons()[size_t(item - input_->spotCount())]);
}

HotspotRect MenuEngine::itemRect(int item) const {
    if (item < 0 || item >= itemCount()) return {};
    if (item < input_->spotCount()) return scaledRect(input_->spot(item), scale_);
    return scaledRect(buttonRects()[size_t(item - input_->spotCount())], scale_);
}

// ---------------------------------------------------------------------------------------------
// Drawing

void MenuEngine::setScale(double scale) {
    if (!(scale > 0) || scale == scale_) return;
    scale_ = scale;
    dirty_ = true;
}

void MenuEngine::composeStage() {
    fill(stage_, kStageColour);
    if (!background_.isNull()) drawOver(stage_, background_.current(), 0, 0);
    const int current = input_->current();
    if (current >= 0) {
        const HotspotRect& r = input_->spot(current);
        if (const auto& picture = spotPictures_[size_t(current)]) drawOver(stage_, picture->current(), r.x, r.y);
        if (focused_ && input_->focusedButton() < 0 && input_->currentByKeyboard()) drawFocusEdge(stage_, r);
    }
    stageDirty_ = false;
}

const Pixels& MenuEngine::render() {
    if (stageDirty_) composeStage();
    window_.width = width();
    window_.height = height();
    window_.argb.assign(size_t(window_.width) * size_t(window_.height), kBarColour);
    // The stage, each picture pixel the nearest one of the scaled window's.
    const int stageHeight = std::min(window_.height, scaled(torvana::kStageHeight, scale_));
    std::vector<int> columns(size_t(window_.width));
    for (int x = 0; x < window_.width; ++x)
        columns[size_t(x)] = std::min(torvana::kStageWidth - 1, int(std::floor((x + 0.5) / scale_)));
    for (int y = 0; y < stageHeight; ++y) {
        const int sy = std::min(torvana::kStageHeight - 1, int(std::floor((y + 0.5) / scale_)));
        const uint32_t* src = &stage_.argb[size_t(sy) * size_t(stage_.width)];
        uint32_t* dst = &window_.argb[size_t(y) * size_t(window_.width)];
        for (int x = 0; x < window_.width; ++x) dst[x] = src[columns[size_t(x)]];
    }
    if (const int tip = tooltipSpot(); tip >= 0) drawTooltip(window_, tip);
    if (bar_.height > 0) drawBar(window_);
    dirty_ = false;
    return window_;
}

// Below the hotspot, or above it when the stage has no room there, kept on the stage.
void MenuEngine::drawTooltip(Pixels& out, int spot) {
    const MenuFont& font = MenuFont::bundled();
    const std::string text = font.elided(project_.hotspots[size_t(spot)].label, kFontPixels, kTooltipMaxWidth);
    const int boxWidth = font.width(text, kFontPixels) + 2 * kTooltipPadding;
    const int boxHeight = font.lineHeight(kFontPixels) + 2 * kTooltipPadding;
    const HotspotRect& r = input_->spot(spot);
    HotspotRect box{r.x, r.y + r.height + 2, boxWidth, boxHeight};
    if (box.y + box.height > torvana::kStageHeight) box.y = r.y - 2 - boxHeight;
    box.x = std::clamp(box.x, 0, std::max(0, torvana::kStageWidth - boxWidth));
    box.y = std::clamp(box.y, 0, std::max(0, torvana::kStageHeight - boxHeight));
    const HotspotRect shown = scaledRect(box, scale_);
    fillRect(out, shown, kTooltipFace);
    frameRect(out, shown, std::max(1, int(std::lround(scale_))), kTooltipBorder);
    const double pixels = kFontPixels * scale_;
    const int padding = scaled(kTooltipPadding, scale_);
    font.draw(out, font.elided(text, pixels, shown.width - 2 * padding), pixels, shown.x + padding,
              shown.y + padding + font.ascent(pixels), kTooltipText, shown);
}

void MenuEngine::drawBar(Pixels& out) {
    const MenuFont& font = MenuFont::bundled();
    const double pixels = kFontPixels * scale_;
    const int ascent = font.ascent(pixels), lineHeight = font.lineHeight(pixels);
    const auto baselineIn = [&](const HotspotRect& r) { return r.y + (r.height - lineHeight) / 2 + ascent; };
    const auto inWindow = [](HotspotRect r) {
        r.y += torvana::kStageHeight;
        return r;
    };

    if (!notes_.empty()) {
        const HotspotRect note = scaledRect(inWindow(bar_.note), scale_);
        font.draw(out, font.elided(noteLine(), pixels, note.width), pixels, note.x, baselineIn(note), kNoteColour, note);
    }
    const std::vector<ButtonKind> kinds = buttons();
    const std::vector<HotspotRect> rects = buttonRects();
    const int line = std::max(1, int(std::lround(scale_)));
    for (size_t i = 0; i < kinds.size(); ++i) {
        const HotspotRect r = scaledRect(rects[i], scale_);
        const bool pressed = pressedButton_ == int(i) && hoveredButton_ == int(i);
        fillRect(out, r, pressed ? kButtonPressedFace : hoveredButton_ == int(i) ? kButtonHoverFace : kButtonFace);
        frameRect(out, r, line, kButtonBorder);
        if (focused_ && input_->focusedButton() == int(i))
            frameRect(out, r, std::max(1, int(std::lround(kFocusRingWidth * scale_))), kFocusRing);
        const Caption caption = parseCaption(kinds[i] == ButtonKind::Browse ? kBrowseCaption : kExitCaption);
        const int textWidth = font.width(caption.text, pixels);
        font.draw(out, caption.text, pixels, r.x + (r.width - textWidth) / 2, baselineIn(r), kButtonText, r,
                  caption.accessIndex);
    }
}

}  // namespace torvana::menu
