#include "player_win/late_dll.h"

#include <shellapi.h>

namespace torvana::winplayer::late {

namespace {

// The function `name` of the system DLL `dll`, loaded on the first call; null when either is
// missing. Loaded DLLs stay loaded for the rest of the program.
template <class Function>
Function find(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    if (!module) module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without the update that knows LOAD_LIBRARY_SEARCH_SYSTEM32 refuses the flag.
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER) module = LoadLibraryW(dll);
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

HINSTANCE shellExecute(HWND owner, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* folder, int show) {
    using Fn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    static const Fn fn = find<Fn>(L"shell32.dll", "ShellExecuteW");
    return fn ? fn(owner, verb, file, parameters, folder, show) : reinterpret_cast<HINSTANCE>(SE_ERR_DLLNOTFOUND);
}

bool playSound(const wchar_t* sound, DWORD flags) {
    using Fn = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
    static const Fn fn = find<Fn>(L"winmm.dll", "PlaySoundW");
    return fn && fn(sound, nullptr, flags);
}

UINT waveOutDevices() {
    using Fn = UINT(WINAPI*)();
    static const Fn fn = find<Fn>(L"winmm.dll", "waveOutGetNumDevs");
    return fn ? fn() : 0;
}

bool initCommonControls(DWORD classes) {
    using Fn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    static const Fn fn = find<Fn>(L"comctl32.dll", "InitCommonControlsEx");
    const INITCOMMONCONTROLSEX controls{sizeof controls, classes};
    return fn && fn(&controls);
}

bool startComApartment() {
    using Fn = HRESULT(WINAPI*)(LPVOID, DWORD);
    static const bool started = [] {
        const Fn fn = find<Fn>(L"ole32.dll", "CoInitializeEx");
        return fn && SUCCEEDED(fn(nullptr, COINIT_APARTMENTTHREADED));
    }();
    return started;
}

LRESULT lresultFromObject(REFIID riid, WPARAM wParam, IUnknown* object) {
    using Fn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
    static const Fn fn = find<Fn>(L"oleacc.dll", "LresultFromObject");
    return fn ? fn(riid, wParam, object) : 0;
}

HRESULT accessibleObjectFromWindow(HWND hwnd, DWORD object, REFIID riid, void** out) {
    using Fn = HRESULT(WINAPI*)(HWND, DWORD, REFIID, void**);
    static const Fn fn = find<Fn>(L"oleacc.dll", "AccessibleObjectFromWindow");
    *out = nullptr;
    return fn ? fn(hwnd, object, riid, out) : E_NOTIMPL;
}

BSTR sysAllocString(const wchar_t* text) {
    using Fn = BSTR(WINAPI*)(const OLECHAR*);
    static const Fn fn = find<Fn>(L"oleaut32.dll", "SysAllocString");
    return fn ? fn(text) : nullptr;
}

}  // namespace torvana::winplayer::late
