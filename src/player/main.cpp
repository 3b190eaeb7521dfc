// The Linux menu player: shows the menu that the project file beside it describes, through the
// menu engine, in a window of SDL's. It reads no command line; it finds the project in its
// current folder (the disc's root when autorun.sh starts it) or else in its own folder. This
// file is the thin shell: the window and its scale, the engine's pixels onto it, the pointer
// and keys into the engine, and the engine's actions out to the sound output and the desktop.

#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "menu/menu_engine.h"
#include "player/accessibility.h"
#include "player/launch.h"
#include "player/sound.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "project/staged_menu.h"

namespace {

using torvana::menu::Action;
using torvana::menu::Event;
using torvana::menu::Key;

int64_t nowMs() { return int64_t(SDL_GetTicks64()); }

// The folder of this program as it was started, also when the system's loader started it
// (autorun.sh on a disc mounted without execute permission), where /proc/self/exe names the
// loader.
std::string programFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&programFolder), &info) != 0 && info.dli_fname && info.dli_fname[0]) {
        std::error_code ec;
        const auto path = std::filesystem::absolute(info.dli_fname, ec);
        if (!ec) return path.parent_path().string();
    }
    return {};
}

std::vector<std::string> projectFolders() {
    std::error_code ec;
    const std::string current = std::filesystem::current_path(ec).string();
    std::vector<std::string> folders{current};
    const std::string own = programFolder();
    if (!own.empty() && !std::filesystem::equivalent(own, current, ec)) folders.push_back(own);
    return folders;
}

// What the desktop asks the window to be enlarged by: GDK_SCALE where a desktop sets it for
// its high-DPI screens, else the X resources' Xft.dpi over 96, else 1.
double platformFactor(SDL_Window* window) {
    if (const char* gdk = std::getenv("GDK_SCALE")) {
        const int factor = std::atoi(gdk);
        if (factor >= 1 && factor <= 8) return factor;
    }
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    // Xlib's own function, from the Xlib that SDL loaded for its window.
    using ResourcesFn = char* (*)(Display*);
    const auto resourceManagerString = reinterpret_cast<ResourcesFn>(dlsym(RTLD_DEFAULT, "XResourceManagerString"));
    if (resourceManagerString && SDL_GetWindowWMInfo(window, &wm) && wm.subsystem == SDL_SYSWM_X11) {
        if (const char* resources = resourceManagerString(wm.info.x11.display)) {
            if (const char* at = std::strstr(resources, "Xft.dpi:")) {
                const double dpi = std::atof(at + 8);
                if (dpi >= 48 && dpi <= 960) return dpi / 96;
            }
        }
    }
    return 1;
}

// Says why the menu cannot be shown: on standard error, and in a box where there is a desktop.
void tell(const std::string& why) { std::fprintf(stderr, "torvana-player: %s\n", why.c_str()); }
void report(const std::string& why) {
    tell(why);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Autorun", why.c_str(), nullptr);
}

// A video driver named in SDL_VIDEODRIVER is the caller's choice (tests draw off screen so);
// otherwise a menu needs a desktop: without one SDL falls back to outputs that show nothing,
// and the menu would run unseen and unheard until ended.
bool videoDriverChosen() {
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    return chosen && *chosen;
}
bool desktopNamed() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}
bool showsNothing(const char* driver) {
    return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0 ||
                      std::strcmp(driver, "evdev") == 0);
}

// What SDL would set up before the first frame that the menu never uses, turned off unless the
// user's environment asks for it (a hint set here gives way to the same variable in the
// environment):
// - the window surface is presented through XShm rather than an OpenGL context, which SDL would
//   otherwise make (a hidden test window and context, loading the GL driver and compiling its
//   shaders) just to ask whose driver it is: about 55 ms with Mesa, for a still picture;
// - the screen saver is left alone, as the Windows player leaves it: keeping it off would be one
//   more call over the session bus before the window shows.
void preferQuickStart() {
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
}

// SDL_Init(SDL_INIT_VIDEO) without two things it would set up for text input, which the menu
// does not take: Xlib's input method parses the locale's whole Compose file (thousands of lines,
// about 7 ms) for dead keys and compose sequences, and SDL connects to the session bus for input
// method servers and the screen saver (where no bus is known, libdbus even starts dbus-launch).
// XCOMPOSEFILE names an empty file and DBUS_SESSION_BUS_ADDRESS no bus while SDL starts; both are
// back as they were afterwards, so the screen reader bridge and the programs the menu starts see
// the user's own. Returns what SDL_Init returns.
int initVideoForMenu() {
    const std::pair<const char*, const char*> during[] = {{"XCOMPOSEFILE", "/dev/null"},
                                                          {"DBUS_SESSION_BUS_ADDRESS", "disabled:"}};
    std::vector<std::optional<std::string>> before;
    for (const auto& [name, value] : during) {
        const char* own = std::getenv(name);
        before.push_back(own ? std::optional<std::string>(own) : std::nullopt);
        setenv(name, value, 1);
    }
    const int status = SDL_Init(SDL_INIT_VIDEO);
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i])
            setenv(during[i].first, before[i]->c_str(), 1);
        else
            unsetenv(during[i].first);
    }
    return status;
}

// The background picture decoded on a thread of its own while SDL starts, so that the first
// frame waits for the slower of the two rather than for both. No future (the picture is then
// loaded where it is needed) without a background or when no thread can be started.
std::future<torvana::menu::Picture> loadBackgroundAhead(const torvana::PlayerProject& project) {
    if (project.background.empty()) return {};
    try {
        return std::async(std::launch::async, [path = project.background] { return torvana::menu::loadPicture(path); });
    } catch (const std::system_error&) {
        return {};
    }
}

class PlayerWindow {
public:
    PlayerWindow(torvana::PlayerProject project, std::future<torvana::menu::Picture> background)
        : engine_(std::move(project), nowMs), background_(std::move(background)), activateEvent_(SDL_RegisterEvents(1)), accessibility_([this](int item) {
              // From the bridge's thread: the item is clicked on the player's. Nothing is sent
              // once the window is going: SDL would wake the event loop by an X event to the
              // window, and one sent to a window already destroyed ends the process.
              if (closing_) return;
              SDL_Event e{};
              e.type = activateEvent_;
              e.user.code = item;
              SDL_PushEvent(&e);
          }) {}

    ~PlayerWindow() {
        closing_ = true;
        for (SDL_Cursor* c : {hand_, arrow_})
            if (c) SDL_FreeCursor(c);
        if (window_) SDL_DestroyWindow(window_);
    }

    int run() {
        if (background_.valid())
            engine_.loadBackground(background_.get());
        else
            engine_.loadBackground();
        window_ = SDL_CreateWindow(engine_.project().title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   engine_.width(), engine_.height(), SDL_WINDOW_HIDDEN);
        if (!window_) return fail(SDL_GetError());
        chooseScale();
        // The surface is made while the window is still hidden: making it, SDL may put a new
        // window (one it can draw on with OpenGL) in place of the first, which once shown would
        // appear, vanish and appear again.
        SDL_GetWindowSurface(window_);
        // Centred once that is done: the new window takes the place the first one was given when
        // it was made, centred for its size at scale 1.
        const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
        SDL_ShowWindow(window_);
        present();

        bool hotspotsLoaded = false;
        while (running_) {
            int timeout = -1;
            if (!hotspotsLoaded) {
                timeout = 0;  // the first frame is out: the rest is loaded at once
            } else if (const auto due = engine_.nextDueMs()) {
                timeout = int(std::clamp<int64_t>(*due - nowMs(), 0, 60000));
            }
            SDL_Event event;
            if (timeout < 0 ? SDL_WaitEvent(&event) : SDL_WaitEventTimeout(&event, timeout)) {
                handle(event);
                while (running_ && SDL_PollEvent(&event)) handle(event);
            }
            if (!running_) break;
            if (!hotspotsLoaded) {
                hotspotsLoaded = true;
                createCursors();
                const std::vector<Action> opening = engine_.loadHotspots();
                if (!sound_.open()) engine_.setSoundOutput(false);
                carryOut(opening);
                pointAgain();
                accessibility_.start(accessibleMenu());
            }
            carryOut(engine_.tick());
            update();
            if (accessibility_.started()) accessibility_.update(accessibleMenu());
        }
        sound_.stop();
        return 0;
    }

private:
    // The pointer's shapes, once the first frame is out: loading them reads the cursor theme's
    // files, and until the hotspots are in the pointer is the window's arrow anyway.
    void createCursors() {
        hand_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND);
        arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    }

    int fail(const std::string& why) {
        report(why);
        return 1;
    }

    // The scale for the desktop's DPI and the usable area of the window's screen, less the
    // window's frame where the desktop tells it.
    void chooseScale() {
        SDL_Rect usable{0, 0, 0, 0};
        const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
        if (SDL_GetDisplayUsableBounds(display, &usable) != 0) usable = {0, 0, 0, 0};
        int top = 0, left = 0, bottom = 0, right = 0;
        SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right);
        const double scale =
            torvana::menu::chooseScale(platformFactor(window_), usable.w - left - right, usable.h - top - bottom,
                                       torvana::kStageWidth, engine_.unscaledHeight());
        engine_.setScale(scale);
        SDL_SetWindowSize(window_, engine_.width(), engine_.height());
    }

    void present() {
        const torvana::menu::Pixels& pixels = engine_.render();
        SDL_Surface* target = SDL_GetWindowSurface(window_);
        if (!target) return;
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint32_t*>(pixels.argb.data()), pixels.width, pixels.height, 32, pixels.width * 4,
            SDL_PIXELFORMAT_ARGB8888);
        if (!source) return;
        SDL_BlitSurface(source, nullptr, target, nullptr);
        SDL_FreeSurface(source);
        SDL_UpdateWindowSurface(window_);
    }

    void update() {
        int width = 0, height = 0;
        SDL_GetWindowSize(window_, &width, &height);
        if (width != engine_.width() || height != engine_.height()) {
            // The bar appeared: the window grows downwards, its top left staying where it is.
            SDL_SetWindowSize(window_, engine_.width(), engine_.height());
            present();
        } else if (engine_.changed()) {
            present();
        }
        const bool hand = engine_.handCursor();
        if (hand != handShown_) {
            handShown_ = hand;
            SDL_SetCursor(hand ? hand_ : arrow_);
        }
    }

    // The menu as a screen reader is told of it.
    torvana::player::AccessibleMenu accessibleMenu() const {
        torvana::player::AccessibleMenu m;
        m.title = engine_.project().title;
        const int hotspots = int(engine_.project().hotspots.size());
        for (int i = 0; i < engine_.itemCount(); ++i) m.items.push_back({engine_.spokenName(i), i >= hotspots, engine_.itemRect(i)});
        m.focus = engine_.focusItem();
        m.windowFocused = engine_.focused();
        SDL_GetWindowPosition(window_, &m.window.x, &m.window.y);
        m.window.width = engine_.width();
        m.window.height = engine_.height();
        return m;
    }

    // A pointer already resting on the window counts as a move there once the hotspots are in.
    void pointAgain() {
        int x = 0, y = 0;
        if (SDL_GetMouseFocus() == window_) {
            SDL_GetMouseState(&x, &y);
            carryOut(engine_.handle(Event::pointer(Event::PointerMoved, x, y)));
        }
    }

    void handle(const SDL_Event& e) {
        if (e.type == activateEvent_ && activateEvent_ != Uint32(-1)) {
            if (e.user.code >= 0 && e.user.code < engine_.itemCount()) carryOut(engine_.activateItem(e.user.code));
            return;
        }
        switch (e.type) {
        case SDL_QUIT:
            carryOut(engine_.handle(Event::keyPress(Key::Escape)));
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                carryOut(engine_.handle(Event::keyPress(Key::Escape)));
                break;
            case SDL_WINDOWEVENT_LEAVE:
                carryOut(engine_.handle(Event::of(Event::PointerLeft)));
                break;
            case SDL_WINDOWEVENT_FOCUS_GAINED:
                carryOut(engine_.handle(Event::of(Event::FocusGained)));
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST:
                carryOut(engine_.handle(Event::of(Event::FocusLost)));
                break;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                present();
                break;
            default:
                break;
            }
            break;
        case SDL_MOUSEMOTION:
            carryOut(engine_.handle(Event::pointer(Event::PointerMoved, e.motion.x, e.motion.y)));
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT) {
                const auto kind = e.type == SDL_MOUSEBUTTONDOWN ? Event::PointerPressed : Event::PointerReleased;
                carryOut(engine_.handle(Event::pointer(kind, e.button.x, e.button.y)));
            }
            break;
        case SDL_KEYDOWN:
            if (const std::optional<Event> key = keyEvent(e.key.keysym)) carryOut(engine_.handle(*key));
            break;
        default:
            break;
        }
    }

    static std::optional<Event> keyEvent(const SDL_Keysym& key) {
        const bool alt = (key.mod & KMOD_ALT) != 0, shift = (key.mod & KMOD_SHIFT) != 0;
        switch (key.sym) {
        case SDLK_TAB: return Event::keyPress(Key::Tab, shift);
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return Event::keyPress(Key::Enter);
        case SDLK_SPACE: return Event::keyPress(Key::Space);
        case SDLK_ESCAPE: return Event::keyPress(Key::Escape);
        case SDLK_LEFT: return Event::keyPress(Key::Left);
        case SDLK_RIGHT: return Event::keyPress(Key::Right);
        case SDLK_UP: return Event::keyPress(Key::Up);
        case SDLK_DOWN: return Event::keyPress(Key::Down);
        case SDLK_b: return alt ? std::optional(Event::keyPress(Key::AltB)) : std::nullopt;
        case SDLK_x: return alt ? std::optional(Event::keyPress(Key::AltX)) : std::nullopt;
        default: return std::nullopt;
        }
    }

    void carryOut(const std::vector<Action>& actions) {
        for (const Action& a : actions) {
            switch (a.kind) {
            case Action::Play:
                if (const std::string why = sound_.play(a.path); !why.empty() && sound_.isOpen())
                    engine_.soundFailed(a.path, why);
                break;
            case Action::StopSounds:
                sound_.stop();
                break;
            case Action::Start:
                if (!torvana::player::startFirst(torvana::player::commandsFor(engine_.project().hotspots[size_t(a.hotspot)])))
                    engine_.startFailed(a.hotspot);
                break;
            case Action::Browse: {
                std::error_code ec;
                const auto folder = std::filesystem::absolute(a.path, ec);
                if (!torvana::player::spawnDetached(torvana::player::openerFor(ec ? a.path : folder.string())))
                    engine_.browseFailed();
                break;
            }
            case Action::Exit:
                running_ = false;
                break;
            }
        }
    }

    torvana::menu::MenuEngine engine_;
    std::future<torvana::menu::Picture> background_;  // while it is being decoded
    torvana::player::SoundOutput sound_;
    SDL_Window* window_ = nullptr;
    SDL_Cursor* hand_ = nullptr;
    SDL_Cursor* arrow_ = nullptr;
    bool handShown_ = false;
    bool running_ = true;
    Uint32 activateEvent_;
    std::atomic<bool> closing_{false};
    // Last: its thread ends before the rest goes.
    torvana::player::AccessibilityBridge accessibility_;
};

}  // namespace

int main(int, char**) {
    // A write past a file size limit fails and is reported like a full disk.
    torvana::ignoreFileSizeSignal();
    const bool driverChosen = videoDriverChosen();
    if (!driverChosen && !desktopNamed()) {
        tell(torvana::kNoDesktopText);
        return 1;
    }
    torvana::PlayerProject project;
    std::string error;
    try {
        project = torvana::loadPlayerProject(projectFolders());
    } catch (const torvana::Error& e) {
        error = e.what();
    } catch (const std::bad_alloc&) {
        error = std::string(torvana::kOutOfMemoryText) + ".";
    }
    if (!error.empty()) {
        report(error);
        return 1;
    }
    std::future<torvana::menu::Picture> background = loadBackgroundAhead(project);
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_APP_NAME, "Autorun");
    // SDL's own resampler for sounds of another rate than the output's: the player on a disc
    // carries no libsamplerate (no_samplerate.cpp).
    SDL_SetHintWithPriority(SDL_HINT_AUDIO_RESAMPLING_MODE, "default", SDL_HINT_OVERRIDE);
    preferQuickStart();
    if (initVideoForMenu() != 0) {
        report(std::string("The menu cannot be shown: ") + SDL_GetError());
        return 1;
    }
    if (!driverChosen && showsNothing(SDL_GetCurrentVideoDriver())) {
        SDL_Quit();
        tell(torvana::kNoDesktopText);
        return 1;
    }
    int status;
    {
        PlayerWindow window(std::move(project), std::move(background));
        status = window.run();
    }
    SDL_Quit();
    return status;
}
