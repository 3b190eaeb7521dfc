#pragma once
// Running the Windows player under Wine on the test's X server, and looking at it the way a user
// does: windows found by their title, pixels read from the X server (XGetImage), the pointer and
// the keyboard driven through xdotool (XTest). No Qt.
//
// Every program runs in a Wine prefix of its own: a copy of the template prefix made once per
// test run (scripts/wine-prefix), linked file by file, with the registry files copied, the only
// files Wine writes in place.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "test_support/temp_dir.h"

extern char** environ;

namespace winetest {

// A window title no other window on the display has.
inline std::string uniqueTitle(const std::string& base) { return base + " " + std::to_string(std::random_device{}()); }

inline void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// In a child before exec: its output appended to `log` instead of the caller's. Wine's server
// and its background programs outlive the program that started them; holding the caller's
// output, they would keep a pipe such as `| tail` open long after the caller ended.
inline void outputTo(const std::string& log) {
    if (log.empty()) return;
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int target = fd >= 0 ? fd : open("/dev/null", O_WRONLY | O_CLOEXEC);
    dup2(target, STDOUT_FILENO);
    dup2(target, STDERR_FILENO);
}

// Runs a program with arguments and waits for it; its exit code, -1 when it could not start.
// With `log`, its output goes there.
inline int run(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {},
               const std::string& folder = {}, const std::string& log = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> args, envp;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
        outputTo(log);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One Windows program under Wine, in a prefix of its own; ended and cleaned up at the end.
// Everything Wine prints goes to wine.log in the program's temporary folder.
class WineProgram {
public:
    explicit WineProgram(const std::string& templatePrefix) {
        prefix_ = dir_.file("prefix");
        log_ = dir_.file("wine.log");
        run({"cp", "-al", templatePrefix, prefix_});
        for (const char* reg : {"system.reg", "user.reg", "userdef.reg"}) {
            const std::string file = prefix_ + "/" + reg;
            std::filesystem::remove(file);
            std::filesystem::copy_file(templatePrefix + "/" + reg, file);
        }
    }
    ~WineProgram() {
        stop();
        for (const pid_t pid : beside_) {
            ::kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        run({"wineserver", "-k"}, env(), {}, log_);
    }
    WineProgram(const WineProgram&) = delete;
    WineProgram& operator=(const WineProgram&) = delete;

    std::vector<std::string> env() const {
        std::vector<std::string> all{"WINEPREFIX=" + prefix_, "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=",
                                     "LANG=en_US.UTF-8"};
        all.insert(all.end(), extraEnv.begin(), extraEnv.end());
        return all;
    }
    // More variables for the programs started later (they win over the ones above).
    std::vector<std::string> extraEnv;

    // Keeps the prefix's Wine server running between programs until the end.
    void keepServer() { run({"wineserver", "-p"}, env(), {}, log_); }

    // Starts `exe` (a Windows program) with `folder` as its working folder.
    bool start(const std::string& exe, const std::string& folder) {
        pid_ = spawn(exe, folder);
        return pid_ > 0;
    }
    // Starts another program in the same prefix that runs until the end, beside the ones
    // started with start().
    bool startBeside(const std::string& exe, const std::string& folder, const std::vector<std::string>& args = {}) {
        const pid_t pid = spawn(exe, folder, args);
        if (pid > 0) beside_.push_back(pid);
        return pid > 0;
    }

    bool running() {
        if (pid_ <= 0) return false;
        int status = 0;
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = 0;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return false;
        }
        return r == 0;
    }
    // Waits up to `ms` for the program to end by itself.
    bool waitForExit(int ms) {
        for (int waited = 0; waited <= ms; waited += 50) {
            if (!running()) return true;
            sleepMs(50);
        }
        return false;
    }
    std::optional<int> exitCode() const { return exitCode_; }
    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
    }

private:
    // `wine exe` in `folder`, not waited for; its process id, -1 when it could not start.
    pid_t spawn(const std::string& exe, const std::string& folder, const std::vector<std::string>& more = {}) const {
        std::vector<std::string> all;
        for (char** e = environ; *e; ++e) all.emplace_back(*e);
        for (const auto& e : env()) all.push_back(e);
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(folder.c_str()) != 0) _exit(127);
            outputTo(log_);
            std::vector<char*> args{const_cast<char*>("wine"), const_cast<char*>(exe.c_str())};
            for (const std::string& a : more) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            std::vector<char*> envp;
            for (auto& e : all) envp.push_back(e.data());
            envp.push_back(nullptr);
            execvpe("wine", args.data(), envp.data());
            _exit(127);
        }
        return pid;
    }

    TempDir dir_;
    std::string prefix_;
    std::string log_;
    pid_t pid_ = 0;
    std::vector<pid_t> beside_;
    std::optional<int> exitCode_;
};

// A grabbed window: 0xRRGGBB pixels, rows top to bottom.
struct Grab {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgb;
    uint32_t at(int x, int y) const { return rgb[size_t(y) * size_t(width) + size_t(x)]; }

    // As a PPM picture, to look at what a test saw.
    void save(const std::string& path) const {
        std::string out = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
        for (const uint32_t px : rgb) {
            out += char((px >> 16) & 0xFF);
            out += char((px >> 8) & 0xFF);
            out += char(px & 0xFF);
        }
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return;
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
};

// Around the X calls on one window of another program, which may close it at any moment, also
// between finding it and looking at it. While alive, the errors that say the window is gone (or
// no longer viewable) are recorded, so the call at hand reports "not found" instead of reaching
// Xlib's default handler, which ends the test program. Any other error goes on to the handler
// that was there before.
class GoneWindowTrap {
public:
    explicit GoneWindowTrap(Display* display) : display_(display) {
        XSync(display_, False);  // errors of earlier requests are not this call's
        gone() = false;
        previous() = XSetErrorHandler(&onError);
    }
    ~GoneWindowTrap() {
        XSync(display_, False);
        XSetErrorHandler(previous());
    }
    GoneWindowTrap(const GoneWindowTrap&) = delete;
    GoneWindowTrap& operator=(const GoneWindowTrap&) = delete;

    // True when a request made so far met a gone window.
    bool windowGone() {
        XSync(display_, False);
        return gone();
    }

private:
    static int onError(Display* display, XErrorEvent* error) {
        if (error->error_code == BadWindow || error->error_code == BadDrawable || error->error_code == BadMatch) {
            gone() = true;
            return 0;
        }
        return previous() ? previous()(display, error) : 0;
    }
    static bool& gone() {
        static bool value = false;
        return value;
    }
    static XErrorHandler& previous() {
        static XErrorHandler handler = nullptr;
        return handler;
    }
    Display* display_;
};

class XServer {
public:
    XServer() : display_(XOpenDisplay(nullptr)) {}
    ~XServer() {
        if (display_) XCloseDisplay(display_);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    bool open() const { return display_ != nullptr; }

    // The window's title as the X server has it (UTF-8), empty when it has none.
    std::string title(Window window) const {
        const Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string out;
        GoneWindowTrap trap(display_);
        if (XGetWindowProperty(display_, window, netName, 0, 4096, False, utf8, &type, &format, &count, &after, &data) ==
                Success &&
            data) {
            out.assign(reinterpret_cast<char*>(data), count);
            XFree(data);
        }
        return trap.windowGone() ? std::string() : out;
    }

    // A mapped top-level window with this exact title.
    std::optional<Window> find(const std::string& wanted) const {
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        std::optional<Window> found;
        if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) return found;
        for (unsigned int i = 0; i < count && !found; ++i) {
            if (viewable(children[i]) && title(children[i]) == wanted) found = children[i];
        }
        if (children) XFree(children);
        return found;
    }

    // Waits up to `ms` for the window, as long as `program` runs (anything with running()).
    template <class Program>
    std::optional<Window> waitFor(const std::string& wanted, Program& program, int ms = 30000) const {
        for (int waited = 0; waited <= ms; waited += 100) {
            if (auto w = find(wanted)) return w;
            if (!program.running()) return std::nullopt;
            sleepMs(100);
        }
        return std::nullopt;
    }

    // The window's pixels; nullopt when it is gone or not on screen.
    std::optional<Grab> grab(Window window) const {
        XWindowAttributes attributes;
        if (!attributesOf(window, attributes) || attributes.map_state != IsViewable) return std::nullopt;
        GoneWindowTrap trap(display_);
        XImage* image = XGetImage(display_, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height),
                                  AllPlanes, ZPixmap);
        if (trap.windowGone() || !image) {
            if (image) XDestroyImage(image);
            return std::nullopt;
        }
        Grab g;
        g.width = attributes.width;
        g.height = attributes.height;
        g.rgb.resize(size_t(g.width) * size_t(g.height));
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x) g.rgb[size_t(y) * size_t(g.width) + size_t(x)] = XGetPixel(image, x, y) & 0xFFFFFF;
        XDestroyImage(image);
        return g;
    }

    // The window's size, 0 x 0 when it is gone.
    std::pair<int, int> size(Window window) const {
        XWindowAttributes attributes;
        if (!attributesOf(window, attributes)) return {0, 0};
        return {attributes.width, attributes.height};
    }

    // Where the window's top left lies on the screen, (0, 0) when it is gone.
    std::pair<int, int> position(Window window) const {
        int x = 0, y = 0;
        Window child;
        GoneWindowTrap trap(display_);
        const bool got = XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
        return got && !trap.windowGone() ? std::make_pair(x, y) : std::make_pair(0, 0);
    }

    // Waits until `check` holds for a fresh grab of the window; the last grab either way.
    template <class Check>
    std::optional<Grab> grabUntil(Window window, Check check, int ms = 10000) const {
        std::optional<Grab> g;
        for (int waited = 0; waited <= ms; waited += 100) {
            g = grab(window);
            if (g && check(*g)) break;
            sleepMs(100);
        }
        // TORVANA_WINE_SHOTS=DIR keeps every such picture, to look at what the tests saw.
        if (const char* dir = std::getenv("TORVANA_WINE_SHOTS"); dir && g)
            g->save(std::string(dir) + "/wine-" + std::to_string(++shots()) + ".ppm");
        return g;
    }

private:
    bool attributesOf(Window window, XWindowAttributes& attributes) const {
        GoneWindowTrap trap(display_);
        const Status got = XGetWindowAttributes(display_, window, &attributes);
        return !trap.windowGone() && got;
    }
    bool viewable(Window window) const {
        XWindowAttributes attributes;
        return attributesOf(window, attributes) && attributes.map_state == IsViewable;
    }
    static int& shots() {
        static int count = 0;
        return count;
    }
    Display* display_;
};

// Pointer and keyboard through XTest, as a user's hands.
inline void xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{XDOTOOL};
    argv.insert(argv.end(), args.begin(), args.end());
    run(argv);
}
inline void movePointer(Window window, int x, int y) {
    xdotool({"mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y)});
}
inline void click(Window window, int x, int y) {
    movePointer(window, x, y);
    sleepMs(150);
    xdotool({"click", "1"});
}
inline void key(Window window, const std::string& name) {
    xdotool({"windowfocus", "--sync", std::to_string(window)});
    xdotool({"key", name});
}

}  // namespace winetest
