#include "player_win/menu_window.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>

#include "project/errors.h"
#include "project/file_io.h"
#include "player_win/late_dll.h"
#include "player_win/win_text.h"

namespace torvana::winplayer {

using torvana::ActionKind;
using torvana::PlayerHotspot;
namespace menu = torvana::menu;

namespace {

constexpr wchar_t kClassName[] = L"TorvanaMenu";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT_PTR kExitTimer = 2;
constexpr UINT_PTR kLoadHotspotsTimer = 3;
constexpr int kBrowseId = 101;
constexpr int kExitId = 102;
// The longest the menu waits for a click sound to finish before an exit hotspot ends it.
constexpr int kLongestExitSoundMs = 3000;
constexpr COLORREF kBarColour = RGB(40, 40, 40);
constexpr COLORREF kNoteColour = RGB(235, 235, 235);

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

RECT scaled(const torvana::HotspotRect& r, int scale, int top) {
    return RECT{r.x * scale, (top + r.y) * scale, (r.x + r.width) * scale, (top + r.y + r.height) * scale};
}

std::string numbered(const char* text, int n) {
    std::string out = text;
    out.replace(out.find("%1"), 2, std::to_string(n));
    return out;
}

}  // namespace

MenuWindow::MenuWindow(torvana::PlayerProject project) : project_(std::move(project)) {}

MenuWindow::~MenuWindow() {
    if (font_) DeleteObject(font_);
}

// ---------------------------------------------------------------------------------------------
// Start

// Before the window shows: the project's notes and the background, which the first frame shows.
void MenuWindow::loadBackground() {
    for (const std::string& note : project_.notes) addNote(note);

    if (!project_.background.empty()) {
        background_ = loadPicture(project_.background);
        if (background_.isNull()) {
            addNote("Background picture " + menu::shownPath(project_.background, project_.folder) +
                    " not shown: " + background_.error + ".");
        }
    }
    // The hotspots answer once their pictures are loaded (loadHotspots); until then the stage
    // has none, and the bar's buttons already work.
    input_ = std::make_unique<menu::MenuInput>(std::vector<torvana::HotspotRect>{},
                                               int(project_.showBrowse) + int(project_.showExit));
    stage_.width = torvana::kStageWidth;
    stage_.height = torvana::kStageHeight;
    stage_.argb.assign(size_t(stage_.width) * size_t(stage_.height), 0xFF000000u);
}

// Right after the first frame is on screen: the rollover pictures, which give the hotspots their
// size, and the sounds. A menu with many large rollover pictures thus appears as soon as its
// background is ready.
void MenuWindow::loadHotspots() {
    // Pictures shared by several hotspots are loaded once.
    std::map<std::string, std::shared_ptr<Picture>> loaded;
    std::vector<torvana::HotspotRect> rects;
    for (const PlayerHotspot& h : project_.hotspots) {
        std::shared_ptr<Picture> picture;
        if (!h.rolloverImage.empty()) {
            auto found = loaded.find(h.rolloverImage);
            if (found == loaded.end()) {
                found = loaded.emplace(h.rolloverImage, std::make_shared<Picture>(loadPicture(h.rolloverImage))).first;
                if (found->second->isNull()) {
                    addNote("Rollover picture " + menu::shownPath(h.rolloverImage, project_.folder) +
                            " not shown: " + found->second->error + ".");
                }
            }
            if (!found->second->isNull()) picture = found->second;
        }
        const int width = picture ? picture->still.width : 0, height = picture ? picture->still.height : 0;
        rects.push_back(torvana::hotspotRect(h.x, h.y, width, height));
        spotPictures_.push_back(std::move(picture));
    }
    const int focusedButton = input_->focusedButton();
    input_ = std::make_unique<menu::MenuInput>(std::move(rects), int(project_.showBrowse) + int(project_.showExit));
    input_->focusButton(focusedButton);

    prepareSound(project_.openingWav);
    for (const PlayerHotspot& h : project_.hotspots) {
        prepareSound(h.rolloverWav);
        prepareSound(h.clickWav);
    }
    playSound(project_.openingWav);

    // A pointer already resting on a hotspot highlights it now, as a move there would.
    POINT cursor;
    if (GetCursorPos(&cursor) && WindowFromPoint(cursor) == hwnd_ && ScreenToClient(hwnd_, &cursor)) {
        if (const std::optional<POINT> p = stagePoint(cursor.x, cursor.y)) highlighted(input_->mouseMove(p->x, p->y));
    }
    stageChanged();
    scheduleAnimation();
}

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

    loadBackground();
    hwnd_ = CreateWindowExW(0, kClassName, wide(project_.title).c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            torvana::kStageWidth, torvana::kStageHeight, nullptr, nullptr, instance, this);
    if (!hwnd_) return 1;

    const auto button = [&](const wchar_t* caption, int id) {
        return CreateWindowExW(0, L"BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, 0, 0,
                               menu::kButtonWidth, menu::kButtonHeight, hwnd_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    if (project_.showBrowse) browseButton_ = button(L"&Browse", kBrowseId);
    if (project_.showExit) exitButton_ = button(L"E&xit", kExitId);
    dpi_ = windowDpi(hwnd_);
    scale_ = int(menu::chooseScale(dpi_ / 96.0, 0, 0, 0, 0));
    updateFont();
    layout();
    ShowWindow(hwnd_, show);
    UpdateWindow(hwnd_);
    SetFocus(hwnd_);
    if (background_.animation) background_.animation->restart(nowMs());
    scheduleAnimation();
    // The rest is loaded once the message loop has put the first frame on screen and gone idle.
    SetTimer(hwnd_, kLoadHotspotsTimer, USER_TIMER_MINIMUM, nullptr);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (handleKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}

void MenuWindow::updateFont() {
    if (font_) DeleteObject(font_);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    LOGFONTW face = metrics.lfMessageFont;
    face.lfHeight = -MulDiv(9, 96 * scale_, 72);
    face.lfWidth = 0;
    font_ = CreateFontIndirectW(&face);
    for (HWND b : {browseButton_, exitButton_}) {
        if (b) SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
}

// Sizes the window for the stage and the bar at the current scale and places the buttons.
// `suggested` is where Windows wants the window after a DPI change.
void MenuWindow::layout(const RECT* suggested) {
    bar_ = menu::layoutBar(!notes_.empty(), project_.showBrowse, project_.showExit);
    RECT client{0, 0, torvana::kStageWidth * scale_, (torvana::kStageHeight + bar_.height) * scale_};
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjustForDpi) {
        adjustForDpi(&client, kStyle, FALSE, 0, UINT(dpi_));
    } else {
        AdjustWindowRectEx(&client, kStyle, FALSE, 0);
    }
    const int width = client.right - client.left, height = client.bottom - client.top;
    int x, y;
    if (suggested) {
        x = suggested->left;
        y = suggested->top;
    } else {
        // Centred on the screen's work area the first time, where it is afterwards.
        RECT now{};
        GetWindowRect(hwnd_, &now);
        if (IsWindowVisible(hwnd_)) {
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
    }
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    const auto place = [&](HWND button, const torvana::HotspotRect& r) {
        if (!button) return;
        const RECT at = scaled(r, scale_, torvana::kStageHeight);
        MoveWindow(button, at.left, at.top, at.right - at.left, at.bottom - at.top, TRUE);
    };
    place(browseButton_, bar_.browse);
    place(exitButton_, bar_.exit);
    updateTooltip();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

// ---------------------------------------------------------------------------------------------
// Painting

void MenuWindow::composeStage() {
    menu::fill(stage_, 0xFF000000u);
    if (!background_.isNull()) menu::drawOver(stage_, background_.current(), 0, 0);
    const int current = input_->current();
    if (current >= 0) {
        const torvana::HotspotRect& r = input_->spot(current);
        if (const auto& picture = spotPictures_[size_t(current)]) menu::drawOver(stage_, picture->current(), r.x, r.y);
        if (focused_ && input_->focusedButton() < 0 && input_->currentByKeyboard()) menu::drawFocusEdge(stage_, r);
    }
    stageDirty_ = false;
}

void MenuWindow::paint(HDC dc) {
    if (stageDirty_) composeStage();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = stage_.width;
    info.bmiHeader.biHeight = -stage_.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // Whole factors with the nearest pixel: every picture pixel becomes a sharp square.
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, stage_.width * scale_, stage_.height * scale_, 0, 0, stage_.width, stage_.height,
                  stage_.argb.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    if (bar_.height == 0) return;

    RECT bar{0, torvana::kStageHeight * scale_, torvana::kStageWidth * scale_, (torvana::kStageHeight + bar_.height) * scale_};
    HBRUSH brush = CreateSolidBrush(kBarColour);
    FillRect(dc, &bar, brush);
    DeleteObject(brush);
    if (!noteText_.empty()) {
        RECT note = scaled(bar_.note, scale_, torvana::kStageHeight);
        HGDIOBJ old = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kNoteColour);
        DrawTextW(dc, noteText_.c_str(), int(noteText_.size()), &note,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        SelectObject(dc, old);
    }
}

void MenuWindow::stageChanged() {
    if (input_->changes() == seenChanges_ && !stageDirty_) return;
    seenChanges_ = input_->changes();
    stageDirty_ = true;
    RECT stage{0, 0, torvana::kStageWidth * scale_, torvana::kStageHeight * scale_};
    InvalidateRect(hwnd_, &stage, FALSE);
}

// One timer for every running animation, set for the frame due first.
void MenuWindow::scheduleAnimation() {
    std::optional<int64_t> due;
    const auto consider = [&](const Picture* picture) {
        if (picture && picture->animation && picture->animation->clock->running())
            due = std::min(due.value_or(INT64_MAX), picture->animation->clock->dueMs());
    };
    consider(&background_);
    if (input_->current() >= 0) consider(spotPictures_[size_t(input_->current())].get());
    KillTimer(hwnd_, kAnimationTimer);
    if (due) SetTimer(hwnd_, kAnimationTimer, UINT(std::clamp<int64_t>(*due - nowMs(), USER_TIMER_MINIMUM, 60000)), nullptr);
}

void MenuWindow::animate() {
    const int64_t now = nowMs();
    bool changed = false;
    if (background_.animation) changed |= background_.animation->advance(now);
    if (input_->current() >= 0) {
        const auto& picture = spotPictures_[size_t(input_->current())];
        if (picture && picture->animation) changed |= picture->animation->advance(now);
    }
    if (changed) {
        stageDirty_ = true;
        stageChanged();
    }
    scheduleAnimation();
}

// ---------------------------------------------------------------------------------------------
// Input

std::optional<POINT> MenuWindow::stagePoint(int clientX, int clientY) const {
    if (clientX < 0 || clientY < 0 || clientX >= torvana::kStageWidth * scale_ || clientY >= torvana::kStageHeight * scale_)
        return std::nullopt;
    return POINT{clientX / scale_, clientY / scale_};
}

// The window's keyboard focus follows MenuInput's: the stage (the window itself) or a button.
void MenuWindow::applyFocus() {
    const int button = input_->focusedButton();
    HWND buttons[2];
    int count = 0;
    if (browseButton_) buttons[count++] = browseButton_;
    if (exitButton_) buttons[count++] = exitButton_;
    HWND target = button >= 0 && button < count ? buttons[button] : hwnd_;
    if (GetFocus() != target) SetFocus(target);
    stageChanged();
}

// A hotspot has just become highlighted: its rollover sound, and its animation from the start.
void MenuWindow::highlighted(int index) {
    if (index < 0) return;
    playSound(project_.hotspots[size_t(index)].rolloverWav);
    const auto& picture = spotPictures_[size_t(index)];
    if (picture && picture->animation) picture->animation->restart(nowMs());
    stageDirty_ = true;
}

bool MenuWindow::handleKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || !hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    switch (msg.wParam) {
    case VK_ESCAPE:
        exitMenu();
        return true;
    case VK_TAB: {
        if (ending_) return true;
        const bool forward = GetKeyState(VK_SHIFT) >= 0;
        highlighted(input_->tab(forward));
        applyFocus();
        scheduleAnimation();
        return true;
    }
    case VK_RETURN: {
        if (ending_) return true;
        const HWND focus = GetFocus();
        if (focus && (focus == browseButton_ || focus == exitButton_)) {
            SendMessageW(focus, BM_CLICK, 0, 0);
        } else if (input_->enter() >= 0) {
            activate(input_->enter());
        }
        return true;
    }
    default:
        return false;
    }
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
    return self ? self->handle(message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT MenuWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        paint(dc);
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // painting covers the whole client area
    case WM_MOUSEMOVE: {
        if (!trackingLeave_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
            trackingLeave_ = TrackMouseEvent(&track);
        }
        if (ending_) return 0;
        const std::optional<POINT> p = stagePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (p) {
            highlighted(input_->mouseMove(p->x, p->y));
        } else {
            input_->mouseLeave();
        }
        stageChanged();
        scheduleAnimation();
        return 0;
    }
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        if (GetCapture() != hwnd_) {
            input_->mouseLeave();
            stageChanged();
        }
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == hwnd_) {
            POINT cursor;
            GetCursorPos(&cursor);
            ScreenToClient(hwnd_, &cursor);
            const std::optional<POINT> p = stagePoint(cursor.x, cursor.y);
            const bool overSpot = p && input_->spotAt(p->x, p->y) >= 0;
            SetCursor(LoadCursorW(nullptr, overSpot ? IDC_HAND : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        SetFocus(hwnd_);
        if (ending_) return 0;
        const std::optional<POINT> p = stagePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (p) {
            input_->press(p->x, p->y);
            SetCapture(hwnd_);
        }
        stageChanged();
        return 0;
    }
    case WM_LBUTTONUP: {
        if (GetCapture() == hwnd_) ReleaseCapture();
        if (ending_) return 0;
        const std::optional<POINT> p = stagePoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        const int clicked = p ? input_->release(p->x, p->y) : input_->release(-1000000, -1000000);
        if (clicked >= 0) activate(clicked);
        return 0;
    }
    case WM_SETFOCUS:
        focused_ = true;
        input_->focusButton(-1);
        stageDirty_ = true;
        stageChanged();
        return 0;
    case WM_KILLFOCUS:
        focused_ = false;
        stageDirty_ = true;
        stageChanged();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == kBrowseId) browse();
            if (LOWORD(wParam) == kExitId) exitMenu();
            return 0;
        }
        if (HIWORD(wParam) == BN_SETFOCUS) {
            const bool browse = LOWORD(wParam) == kBrowseId;
            input_->focusButton(browse || !browseButton_ ? 0 : 1);
            stageChanged();
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kAnimationTimer) animate();
        if (wParam == kExitTimer) DestroyWindow(hwnd_);
        if (wParam == kLoadHotspotsTimer) {
            KillTimer(hwnd_, kLoadHotspotsTimer);
            if (!ending_) loadHotspots();
        }
        return 0;
    case WM_DPICHANGED:
        dpi_ = HIWORD(wParam);
        if (int(menu::chooseScale(dpi_ / 96.0, 0, 0, 0, 0)) != scale_) {
            scale_ = int(menu::chooseScale(dpi_ / 96.0, 0, 0, 0, 0));
            updateFont();
        }
        layout(reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        exitMenu();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

// ---------------------------------------------------------------------------------------------
// Notes, sounds and actions

void MenuWindow::addNote(const std::string& note) {
    if (std::find(notes_.begin(), notes_.end(), note) != notes_.end()) return;
    const bool barWasThere = !notes_.empty() || project_.showBrowse || project_.showExit;
    notes_.push_back(note);
    std::string line = notes_.front();
    if (notes_.size() > 1) line += " (and " + std::to_string(notes_.size() - 1) + " more)";
    noteText_ = wide(line);
    if (!hwnd_) return;
    if (!barWasThere) {
        layout();
    } else {
        updateTooltip();
        RECT bar{0, torvana::kStageHeight * scale_, torvana::kStageWidth * scale_, (torvana::kStageHeight + bar_.height) * scale_};
        InvalidateRect(hwnd_, &bar, FALSE);
    }
}

// The whole of every note in the note line's tooltip. Made only when there is a note, so a menu
// without notes never loads the tooltip control at start.
void MenuWindow::updateTooltip() {
    if (notes_.empty() || !hwnd_) return;
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
    tool.rect = bar_.height ? scaled(bar_.note, scale_, torvana::kStageHeight) : RECT{};
    SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
    std::string all;
    for (const std::string& n : notes_) all += (all.empty() ? "" : "\r\n") + n;
    std::wstring text = wide(all);
    tool.lpszText = text.data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MenuWindow::prepareSound(const std::string& path) {
    if (path.empty() || sounds_.count(path)) return;
    const torvana::WaveInfo wave = torvana::inspectWave(path);
    sounds_.emplace(path, wave);
    if (!wave.error.empty())
        addNote("Sound " + menu::shownPath(path, project_.folder) + " not played: " + wave.error + ".");
}

// Plays a prepared sound from its start, stopping the one before. Returns how long it will be
// heard in milliseconds: 0 when nothing is heard (no such sound, or no sound output).
int MenuWindow::playSound(const std::string& path) {
    const auto found = sounds_.find(path);
    if (path.empty() || found == sounds_.end() || !found->second.error.empty()) return 0;
    // Asked on first need: a machine without sound output plays nothing and the menu goes on.
    if (!soundOutput_) soundOutput_ = late::waveOutDevices() > 0;
    if (!*soundOutput_) return 0;
    if (!late::playSound(wide(path).c_str(), SND_FILENAME | SND_ASYNC | SND_NODEFAULT)) {
        addNote("Sound " + menu::shownPath(path, project_.folder) + " not played: the sound cannot be played.");
        return 0;
    }
    return found->second.durationMs;
}

void MenuWindow::activate(int index) {
    if (ending_ || index < 0 || index >= int(project_.hotspots.size())) return;
    const PlayerHotspot& h = project_.hotspots[size_t(index)];
    const int heardMs = playSound(h.clickWav);
    switch (h.kind) {
    case ActionKind::Exit:
        if (heardMs > 0) {
            // Let the click sound be heard before the window goes.
            ending_ = true;
            EnableWindow(hwnd_, FALSE);
            SetTimer(hwnd_, kExitTimer, UINT(std::min(heardMs, kLongestExitSoundMs)), nullptr);
        } else {
            exitMenu();
        }
        break;
    case ActionKind::WebAddress: {
        const auto result = reinterpret_cast<INT_PTR>(
            late::shellExecute(hwnd_, L"open", wide(h.target).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result <= 32) addNote("Could not open " + torvana::visiblePath(h.target) + ".");
        break;
    }
    case ActionKind::File:
        openStagedFile(h);
        break;
    }
}

// The staged file opened with its program; a program starts in its own folder.
void MenuWindow::openStagedFile(const PlayerHotspot& h) {
    if (!torvana::fileExists(h.target)) {
        addNote(numbered("Hotspot %1: the file ", h.number) + menu::shownPath(h.target, project_.folder) + " is missing.");
        return;
    }
    const std::wstring folder = wide(menu::windowsFolderOf(h.target));
    const auto result = reinterpret_cast<INT_PTR>(late::shellExecute(
        hwnd_, L"open", wide(h.target).c_str(), nullptr, folder.empty() ? nullptr : folder.c_str(), SW_SHOWNORMAL));
    if (result <= 32) {
        addNote(numbered("Hotspot %1: no program could open ", h.number) + menu::shownPath(h.target, project_.folder) +
                ".");
    }
}

// The disc's folder in Explorer.
void MenuWindow::browse() {
    const std::wstring folder = wide(project_.folder);
    auto result = reinterpret_cast<INT_PTR>(
        late::shellExecute(hwnd_, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) {
        result = reinterpret_cast<INT_PTR>(
            late::shellExecute(hwnd_, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    }
    if (result <= 32) addNote("Could not open the folder " + project_.folder + ".");
}

void MenuWindow::exitMenu() {
    ending_ = true;
    if (soundOutput_.value_or(false)) late::playSound(nullptr, 0);
    DestroyWindow(hwnd_);
}

}  // namespace torvana::winplayer
