#pragma once
// What screen readers on Linux desktops learn of the menu: the player offers it to AT-SPI, the
// desktop's accessibility service on D-Bus, as an application whose one frame (the window,
// named by the disc's title) holds the items Tab reaches: the hotspots as links, the bar's
// buttons as push buttons, each named by the engine's spoken name, with their places, their
// states (the focused one marked) and a "click" action that does what a click does. As the
// keyboard moves on, the focused item announces itself, so a screen reader says its name.
//
// SDL offers no such interface and the player carries no library for it: libdbus-1 is loaded
// at run time (SDL loads the same library), and a desktop without it, without a session bus or
// without the accessibility bus simply gets no answer. The connection is made and served on a
// thread of its own, started once the first frame is out, so start-up never waits for the bus.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "project/staged_menu.h"

namespace torvana::player {

// The menu as the player's thread last saw it.
struct AccessibleMenu {
    struct Item {
        std::string name;
        bool button = false;         // a bar button; otherwise a hotspot
        torvana::HotspotRect rect;  // window pixels
        bool operator==(const Item&) const = default;
    };
    std::string title;
    std::vector<Item> items;
    int focus = -1;             // the item the keyboard is on, -1 for none
    bool windowFocused = false;
    torvana::HotspotRect window;  // on the screen
    bool operator==(const AccessibleMenu&) const = default;

    // The item a screen reader is told has the focus: the keyboard's, while the window has it.
    int focusedItem() const { return windowFocused ? focus : -1; }
};

class AccessibilityBridge {
public:
    // `activate` is called on the bridge's thread with the item a screen reader clicks; the
    // player hands it over to its own thread.
    explicit AccessibilityBridge(std::function<void(int item)> activate);
    ~AccessibilityBridge();
    AccessibilityBridge(const AccessibilityBridge&) = delete;
    AccessibilityBridge& operator=(const AccessibilityBridge&) = delete;

    // Starts connecting in the background, with the menu as it is now. Does nothing when
    // neither the accessibility bus nor a session bus is named in the environment.
    void start(AccessibleMenu menu);
    // The menu as it is now, from the player's thread after each round of events; a change of
    // the focused item or of the window's focus is announced.
    void update(AccessibleMenu menu);
    // Whether it started: the player skips building the menu for update() otherwise.
    bool started() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;  // shared with the thread
};

}  // namespace torvana::player
