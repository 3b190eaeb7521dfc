#pragma once
// The menu window of the Windows player: the CD title on its bar, the 640 x 480 stage with the
// background picture and the hotspots, and below it, when there is anything to show, a bar with
// the note line and the Browse and Exit buttons. On a high-DPI screen everything is enlarged by
// a whole factor. What happens on the stage is decided by MenuInput; this class turns Windows
// messages into its calls and paints what it says.

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "menu/menu_model.h"
#include "player_win/pictures.h"
#include "project/staged_menu.h"
#include "project/wave_info.h"

namespace torvana::winplayer {

class MenuWindow {
public:
    explicit MenuWindow(torvana::PlayerProject project);
    ~MenuWindow();
    MenuWindow(const MenuWindow&) = delete;
    MenuWindow& operator=(const MenuWindow&) = delete;

    // Creates and shows the window and runs the message loop until the menu ends.
    int run(HINSTANCE instance, int show);

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool handleKey(const MSG& msg);

    void loadBackground();
    void loadHotspots();
    void layout(const RECT* suggested = nullptr);
    void updateFont();
    void updateTooltip();
    void paint(HDC dc);
    void composeStage();
    void stageChanged();
    void scheduleAnimation();
    void animate();

    // The stage point under a client point, or nullopt outside the stage.
    std::optional<POINT> stagePoint(int clientX, int clientY) const;
    void applyFocus();
    void highlighted(int index);

    void addNote(const std::string& note);
    void prepareSound(const std::string& path);
    int playSound(const std::string& path);
    void activate(int index);
    void openStagedFile(const torvana::PlayerHotspot& hotspot);
    void browse();
    void exitMenu();

    torvana::PlayerProject project_;
    HWND hwnd_ = nullptr;
    HWND browseButton_ = nullptr;
    HWND exitButton_ = nullptr;
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    int dpi_ = 96;
    int scale_ = 1;
    torvana::menu::BarLayout bar_;

    Picture background_;
    std::vector<std::shared_ptr<Picture>> spotPictures_;  // one per hotspot; null without one
    std::unique_ptr<torvana::menu::MenuInput> input_;
    torvana::menu::Pixels stage_;
    bool stageDirty_ = true;
    int seenChanges_ = 0;
    bool focused_ = false;
    bool trackingLeave_ = false;

    std::vector<std::string> notes_;
    std::wstring noteText_;
    std::map<std::string, torvana::WaveInfo> sounds_;
    std::optional<bool> soundOutput_;
    bool ending_ = false;
};

}  // namespace torvana::winplayer
