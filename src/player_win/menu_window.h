#pragma once
// The menu window of the Windows player: a thin Win32 shell around the menu engine. The CD
// title on its bar; the engine draws the whole client area (stage, rollovers, bar, buttons,
// note), which this window blits; Windows' pointer, key and focus messages become the engine's
// events, and its actions become PlaySound and ShellExecuteW calls. Screen readers find the
// items and follow the keyboard through menu_accessible.h. On a high-DPI screen the
// engine draws at the scale the window's DPI and the screen's work area allow.

#include <windows.h>

#include <string>

#include "menu/menu_engine.h"
#include "player_win/menu_accessible.h"
#include "project/staged_menu.h"

namespace torvana::winplayer {

class MenuWindow {
public:
    explicit MenuWindow(torvana::PlayerProject project);
    ~MenuWindow() = default;
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;

    // Creates and shows the window and runs the message loop until the menu ends.
    int run(HINSTANCE instance, int show);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    void chooseScale(const RECT* suggested = nullptr);
    void layout(const RECT* suggested = nullptr);
    void paint(HDC dc);
    // Sends an event to the engine, carries out what it answers and shows what changed.
    void send(const torvana::menu::Event& event);
    void carryOut(const std::vector<torvana::menu::Action>& actions);
    void afterChange();
    void schedule();
    void updateTooltip();
    void announceFocus();
    bool start(const torvana::PlayerHotspot& hotspot);
    bool browse(const std::string& folder);

    torvana::menu::MenuEngine engine_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    MenuAccessible* accessible_ = nullptr;  // made when a screen reader first asks
    int focusAnnounced_ = -2;               // the item screen readers last heard of; -2 for none
    int dpi_ = 96;
    int laidOutHeight_ = 0;
    size_t notesShown_ = 0;
    bool trackingLeave_ = false;
    bool hotspotsLoaded_ = false;
};

}  // namespace torvana::winplayer
