#include "player_win/menu_window.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <new>

#include "menu/menu_model.h"
#include "player_win/late_dll.h"
#include "player_win/win_text.h"
#include "project/file_io.h"
#include "media/wave_info.h"

namespace torvana::winplayer {

namespace menu = torvana::menu;
using menu::Action;
using menu::Event;
using menu::Key;

namespace {

constexpr wchar_t kClassName[] = L"TorvanaMenu";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT_PTR kClockTimer = 1;
constexpr UINT_PTR kLoadHotspotsTimer = 2;

int64_t nowMs() { return int64_t(GetTickCount64()); }

// The window's DPI: per window where Windows tells it (10 and later), else the screen's.
int windowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && hwnd) {
        if (const UINT dpi = getDpiForWindow(hwnd)) return int(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The window's outer rectangle for a client area of width x height.
RECT frameFor(int width, int height, int dpi) {
    RECT r{0, 0, width, height};
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjustForDpi) {
        adjustForDpi(&r, kStyle, FALSE, 0, UINT(dpi));
    } else {
        AdjustWindowRectEx(&r, kStyle, FALSE, 0);
    }
    return r;
}

std::optional<Key> keyOf(WPARAM key, bool alt) {
    switch (key) {
    case VK_TAB: return Key::Tab;
    case VK_RETURN: return Key::Enter;
    case VK_SPACE: return Key::Space;
    case VK_ESCAPE: return Key::Escape;
    case VK_LEFT: return Key::Left;
    case VK_RIGHT: return Key::Right;
    case VK_UP: return Key::Up;
    case VK_DOWN: return Key::Down;
    case 'B': return alt ? std::optional(Key::AltB) : std::nullopt;
    case 'X': return alt ? std::optional(Key::AltX) : std::nullopt;
    default: return std::nullopt;
    }
}

}  // namespace

MenuWindow::MenuWindow(torvana::PlayerProject project) : engine_(std::move(project), nowMs) {}

int MenuWindow::run(HINSTANCE instance, int show) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    // The first frame needs only the background; the rest is loaded once it is on screen.
    engine_.loadBackground();
    hwnd_ = CreateWindowExW(0, kClassName, wide(engine_.project().title).c_str(), kStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, torvana::kStageWidth, torvana::kStageHeight, nullptr, nullptr, instance, this);
    if (!hwnd_) return 1;
    dpi_ = windowDpi(hwnd_);
    chooseScale();
    layout();
    ShowWindow(hwnd_, show);
    UpdateWindow(hwnd_);
    SetFocus(hwnd_);
    schedule();
    SetTimer(hwnd_, kLoadHotspotsTimer, USER_TIMER_MINIMUM, nullptr);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}

// The scale for the window's DPI and the work area of its screen, less the window's frame.
void MenuWindow::chooseScale(const RECT* suggested) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HMONITOR on = suggested ? MonitorFromRect(suggested, MONITOR_DEFAULTTONEAREST)
                            : MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY);
    GetMonitorInfoW(on, &monitor);
    const RECT frame = frameFor(0, 0, dpi_);
    const int usableWidth = int(monitor.rcWork.right - monitor.rcWork.left) - (frame.right - frame.left);
    const int usableHeight = int(monitor.rcWork.bottom - monitor.rcWork.top) - (frame.bottom - frame.top);
    engine_.setScale(menu::chooseScale(dpi_ / 96.0, usableWidth, usableHeight, torvana::kStageWidth,
                                       engine_.unscaledHeight()));
}

// Sizes the window for the engine's picture; `suggested` is where Windows wants the window
// after a DPI change. Centred on the work area the first time, where it is afterwards.
void MenuWindow::layout(const RECT* suggested) {
    laidOutHeight_ = engine_.height();
    const RECT outer = frameFor(engine_.width(), engine_.height(), dpi_);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    int x, y;
    if (suggested) {
        x = suggested->left;
        y = suggested->top;
    } else if (IsWindowVisible(hwnd_)) {
        RECT now{};
        GetWindowRect(hwnd_, &now);
        x = now.left;
        y = now.top;
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
        const RECT& work = monitor.rcWork;
        x = work.left + std::max(0, int((work.right - work.left - width) / 2));
        y = work.top + std::max(0, int((work.bottom - work.top - height) / 2));
    }
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    updateTooltip();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void MenuWindow::paint(HDC dc) {
    const menu::Pixels& pixels = engine_.render();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, DWORD(pixels.width), DWORD(pixels.height), 0, 0, 0, UINT(pixels.height),
                      pixels.argb.data(), &info, DIB_RGB_COLORS);
}

void MenuWindow::send(const Event& event) {
    carryOut(engine_.handle(event));
    afterChange();
}

// The window follows the engine: its size when the bar appeared, its pixels when they
// changed, the note's tooltip when a note came, the clock's next timer.
void MenuWindow::afterChange() {
    if (!hwnd_) return;
    if (engine_.height() != laidOutHeight_) {
        layout();
    } else if (engine_.changed()) {
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    if (engine_.notes().size() != notesShown_) updateTooltip();
    announceFocus();
    schedule();
}

// Tells screen readers which item the keyboard is on when that changed while the window has the
// focus (Windows itself announces the window when it gains the focus).
void MenuWindow::announceFocus() {
    const int item = GetFocus() == hwnd_ ? engine_.focusItem() : -2;
    if (item == focusAnnounced_) return;
    const bool leftAnItem = item == -1 && focusAnnounced_ >= 0;
    focusAnnounced_ = item;
    if (item >= 0 || leftAnItem) NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd_, OBJID_CLIENT, LONG(item + 1));
}

void MenuWindow::schedule() {
    KillTimer(hwnd_, kClockTimer);
    if (const auto due = engine_.nextDueMs())
        SetTimer(hwnd_, kClockTimer, UINT(std::clamp<int64_t>(*due - nowMs(), USER_TIMER_MINIMUM, 60000)), nullptr);
}

void MenuWindow::carryOut(const std::vector<Action>& actions) {
    for (const Action& a : actions) {
        switch (a.kind) {
        case Action::Play:
            // Windows reads the file itself and converts it as it plays; the engine has refused
            // sounds longer than a menu holds. Memory running out here is said, not fatal.
            try {
                if (!late::playSound(wide(a.path).c_str(), SND_FILENAME | SND_ASYNC | SND_NODEFAULT))
                    engine_.soundFailed(a.path);
            } catch (const std::bad_alloc&) {
                engine_.soundFailed(a.path, torvana::kNoMemoryForSound);
            }
            break;
        case Action::StopSounds:
            late::playSound(nullptr, 0);
            break;
        case Action::Start:
            if (!start(engine_.project().hotspots[size_t(a.hotspot)])) engine_.startFailed(a.hotspot);
            break;
        case Action::Browse:
            if (!browse(a.path)) engine_.browseFailed();
            break;
        case Action::Exit:
            DestroyWindow(hwnd_);
            hwnd_ = nullptr;
            return;
        }
    }
}

// A web address with the browser; a staged file with its program, a program in its own folder
// with the options typed after it as its parameters.
bool MenuWindow::start(const torvana::PlayerHotspot& h) {
    std::wstring folder;
    if (h.kind == torvana::ActionKind::File) folder = wide(menu::windowsFolderOf(h.target));
    const std::wstring parameters = wide(h.options);
    const auto result = reinterpret_cast<INT_PTR>(
        late::shellExecute(hwnd_, L"open", wide(h.target).c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                           folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL));
    return result > 32;
}

// The disc's folder in Explorer.
bool MenuWindow::browse(const std::string& folder) {
    const std::wstring path = wide(folder);
    auto result =
        reinterpret_cast<INT_PTR>(late::shellExecute(hwnd_, L"explore", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        result = reinterpret_cast<INT_PTR>(late::shellExecute(hwnd_, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

// The whole of every note in the note line's tooltip. Made only when there is a note, so a menu
// without notes never loads the tooltip control at start.
void MenuWindow::updateTooltip() {
    notesShown_ = engine_.notes().size();
    if (engine_.notes().empty() || !hwnd_) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = hwnd_;
    tool.uId = 1;
    if (!tooltip_) {
        late::initCommonControls(ICC_WIN95_CLASSES);
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0,
                                   0, 0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!tooltip_) return;
        tool.uFlags = TTF_SUBCLASS;
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
    }
    const menu::BarLayout bar = menu::layoutBar(true, engine_.project().showBrowse, engine_.project().showExit);
    const double s = engine_.scale();
    tool.rect = RECT{menu::scaled(bar.note.x, s), menu::scaled(torvana::kStageHeight + bar.note.y, s),
                     menu::scaled(bar.note.x + bar.note.width, s),
                     menu::scaled(torvana::kStageHeight + bar.note.y + bar.note.height, s)};
    SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    std::string all;
    for (const std::string& n : engine_.notes()) all += (all.empty() ? "" : "\r\n") + n;
    std::wstring text = wide(all);
    tool.lpszText = text.data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK MenuWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MenuWindow* self;
    if (message == WM_NCCREATE) {
        self = static_cast<MenuWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<MenuWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self || !self->hwnd_) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT MenuWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = hwnd_;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // painting covers the whole client area
    case WM_MOUSEMOVE:
        if (!trackingLeave_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
            trackingLeave_ = TrackMouseEvent(&track);
        }
        send(Event::pointer(Event::PointerMoved, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        if (GetCapture() != hwnd) send(Event::of(Event::PointerLeft));
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd) {
            SetCursor(LoadCursorW(nullptr, engine_.handCursor() ? IDC_HAND : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetFocus(hwnd);
        SetCapture(hwnd);
        send(Event::pointer(Event::PointerPressed, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd) ReleaseCapture();
        send(Event::pointer(Event::PointerReleased, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
        return 0;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const bool alt = message == WM_SYSKEYDOWN && (lParam & (1 << 29));
        if (const std::optional<Key> key = keyOf(wParam, alt)) {
            send(Event::keyPress(*key, GetKeyState(VK_SHIFT) < 0));
            return 0;
        }
        break;
    }
    case WM_SYSCHAR:
        if (wParam == 'b' || wParam == 'B' || wParam == 'x' || wParam == 'X') return 0;  // no beep
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        send(Event::of(message == WM_SETFOCUS ? Event::FocusGained : Event::FocusLost));
        return 0;
    case WM_TIMER:
        if (wParam == kClockTimer) {
            carryOut(engine_.tick());
            afterChange();
        }
        if (wParam == kLoadHotspotsTimer) {
            KillTimer(hwnd, kLoadHotspotsTimer);
            // Asked on first need: a machine without sound output plays nothing and the menu goes on.
            engine_.setSoundOutput(late::waveOutDevices() > 0);
            carryOut(engine_.loadHotspots());
            if (hwnd_) NotifyWinEvent(EVENT_OBJECT_REORDER, hwnd, OBJID_CLIENT, CHILDID_SELF);  // the items came
            // A pointer already resting on the stage highlights what it is over, as a move would.
            POINT cursor;
            if (hwnd_ && GetCursorPos(&cursor) && WindowFromPoint(cursor) == hwnd && ScreenToClient(hwnd, &cursor))
                carryOut(engine_.handle(Event::pointer(Event::PointerMoved, cursor.x, cursor.y)));
            afterChange();
        }
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        chooseScale(suggested);
        layout(suggested);
        return 0;
    }
    case WM_GETOBJECT:
        if (LONG(DWORD(lParam)) == OBJID_CLIENT && late::startComApartment()) {
            if (!accessible_) accessible_ = new MenuAccessible(hwnd, engine_);
            return late::lresultFromObject(__uuidof(IAccessible), wParam, accessible_);
        }
        break;
    case kDoDefaultAction:
        carryOut(engine_.activateItem(int(wParam)));
        afterChange();
        return 0;
    case WM_CLOSE:
        send(Event::keyPress(Key::Escape));
        return 0;
    case WM_DESTROY:
        if (accessible_) {
            accessible_->detach();
            accessible_->Release();
            accessible_ = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace torvana::winplayer
