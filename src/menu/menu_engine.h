#pragma once
// The menu engine: everything a player shows and how the menu reacts, as one model and one
// renderer. A player is a thin shell around it: it turns its platform's pointer, key and focus
// events into Events, carries out the Actions that come back (sounds, starting what a hotspot
// names, Browse, Exit), asks tick() when nextDueMs() comes, and puts render()'s pixels on the
// screen whenever changed() says so. Time comes from an injected clock, so tests step it.
//
// State between events (besides MenuInput's hotspot and focus state): the pointer's button
// under it and the one it pressed, whether the window has the keyboard focus, the notes, the
// sounds as checked, and `ending_` once the menu is on its way out (an exit hotspot's click
// sound is heard first): from then on every event is ignored and tick() says Exit when due.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "menu/menu_look.h"
#include "menu/menu_model.h"
#include "menu/menu_picture.h"
#include "project/staged_menu.h"
#include "media/wave_info.h"

namespace torvana::menu {

enum class Key { Tab, Enter, Space, Escape, AltB, AltX, Left, Right, Up, Down };

struct Event {
    enum Kind { PointerMoved, PointerPressed, PointerReleased, PointerLeft, KeyPressed, FocusGained, FocusLost };
    Kind kind = PointerMoved;
    int x = 0, y = 0;  // pointer events: window pixels at the menu's scale
    Key key = Key::Tab;
    bool shift = false;  // with Tab: backwards

    static Event pointer(Kind kind, int x, int y) { return {kind, x, y, Key::Tab, false}; }
    static Event keyPress(Key key, bool shift = false) { return {KeyPressed, 0, 0, key, shift}; }
    static Event of(Kind kind) { return {kind, 0, 0, Key::Tab, false}; }
};

struct Action {
    enum Kind {
        Play,        // the sound `path` from its start, stopping the one before
        StopSounds,  // before the menu ends
        Start,       // what hotspot `hotspot` names: a web address or its staged file
        Browse,      // the menu's folder in the file manager
        Exit,        // the menu ends now
    };
    Kind kind = Exit;
    int hotspot = -1;
    std::string path;
    bool operator==(const Action&) const = default;
};

using Clock = std::function<int64_t()>;  // milliseconds, never going back

// The longest the menu waits for a click sound to finish before an exit hotspot ends it.
constexpr int kLongestExitSoundMs = 3000;

class MenuEngine {
public:
    MenuEngine(torvana::PlayerProject project, Clock clock);

    const torvana::PlayerProject& project() const { return project_; }

    // Before the first frame: the project's notes and the background picture, which is all the
    // first frame shows. The hotspots answer only after loadHotspots.
    void loadBackground();
    // The same with the background picture already loaded (loadPicture of the project's
    // background, which a player may run on another thread while its window is being made).
    void loadBackground(Picture picture);
    // Once the first frame is on the screen: the rollover pictures (which give the hotspots
    // their size) and the sounds; returns the opening sound to play.
    std::vector<Action> loadHotspots();

    std::vector<Action> handle(const Event& event);
    // Advances the animations and a delayed exit to the clock's time.
    std::vector<Action> tick();
    // When tick() next has something to do; nullopt when nothing is waiting.
    std::optional<int64_t> nextDueMs() const;

    // The window's scale (see chooseScale) and its size in pixels at that scale. The size
    // changes when the bar appears (the first note of a menu without buttons).
    void setScale(double scale);
    double scale() const { return scale_; }
    int unscaledHeight() const { return torvana::kStageHeight + bar_.height; }
    int width() const { return scaled(torvana::kStageWidth, scale_); }
    int height() const { return scaled(unscaledHeight(), scale_); }

    // The pointer is over a hotspot: the pointing hand.
    bool handCursor() const { return handCursor_; }
    // Something changed on screen since the last render.
    bool changed() const { return dirty_ || stageDirty_; }
    // The whole window at the scale: stage, rollover, focus marks, bar, buttons and note.
    const Pixels& render();

    // The hotspot whose label shows as a tooltip, -1 for none: the one the keyboard reached
    // while the window has the focus, or the one under the pointer once it has rested there
    // kTooltipDelayMs. Only a hotspot with a label has one, and a button only when its label is
    // cut short on it.
    int tooltipSpot() const;
    // What a screen reader reaches, in Tab's order: items 0 to hotspots - 1 are the hotspots,
    // the rest the bar's buttons. The item the keyboard is on (a hotspot chosen with Tab or the
    // arrows, or a button), -1 when it is on none; whether the window has the focus is the
    // shell's to know.
    int itemCount() const;
    int focusItem() const;
    // What a screen reader says of an item: "HotSpot 2: Install the program" (after the number
    // the label, or without one a name from what it does: "HotSpot 2: Open setup.bat"), a
    // button's caption ("Browse"); empty for no item.
    std::string spokenName(int item) const;
    // Where an item is, in window pixels at the scale.
    HotspotRect itemRect(int item) const;
    // What a screen reader's default action on an item does: the same as clicking it.
    std::vector<Action> activateItem(int item);

    // What the shell found out.
    void setSoundOutput(bool available) { soundOutput_ = available; }
    // The output refused a sound, for the reason given.
    void soundFailed(const std::string& path, const std::string& why = "the sound cannot be played");
    void startFailed(int hotspot);              // nothing could open what it names
    void browseFailed();
    void addNote(const std::string& note);

    // Every note, oldest first, and the line the bar shows.
    const std::vector<std::string>& notes() const { return notes_; }
    std::string noteLine() const;
    bool ending() const { return ending_; }
    const MenuInput& input() const { return *input_; }
    // The bar's buttons in their order (Browse before Exit), unscaled, relative to the window.
    std::vector<HotspotRect> buttonRects() const;
    int hoveredButton() const { return hoveredButton_; }
    bool focused() const { return focused_; }

private:
    enum class ButtonKind { Browse, Exit };
    std::vector<ButtonKind> buttons() const;
    int buttonAt(int x, int y) const;
    std::vector<Action> press(ButtonKind button);
    std::vector<Action> activate(int index);
    std::vector<Action> exitNow();
    void highlighted(int index, std::vector<Action>& actions);
    void playSound(const std::string& path, std::vector<Action>& actions, int* heardMs = nullptr);
    void prepareSound(const std::string& path);
    void pointerLeftStage();
    void composeStage();
    void drawBar(Pixels& out);
    void drawSpots(Pixels& out);
    void drawTooltip(Pixels& out, int spot);
    std::string shown(const std::string& path) const;

    torvana::PlayerProject project_;
    Clock clock_;
    double scale_ = 1;
    BarLayout bar_;

    Picture background_;
    std::vector<std::shared_ptr<Picture>> spotPictures_;  // one per hotspot; null without one
    std::unique_ptr<MenuInput> input_;
    bool hotspotsLoaded_ = false;
    bool focused_ = true;
    bool handCursor_ = false;
    int64_t restSince_ = 0;  // when the pointer last moved
    bool rested_ = false;    // it has stayed still on its hotspot for kTooltipDelayMs since
    int hoveredButton_ = -1;
    int pressedButton_ = -1;

    std::vector<std::string> notes_;
    std::map<std::string, torvana::WaveInfo> sounds_;
    bool soundOutput_ = true;
    bool ending_ = false;
    std::optional<int64_t> exitDue_;

    Pixels stage_;  // 640 x 480, unscaled
    Pixels window_;
    bool stageDirty_ = true;
    bool dirty_ = true;
};

}  // namespace torvana::menu
