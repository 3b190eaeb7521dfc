// The menu player autorun.exe for Windows: shows the menu that the project file beside it
// describes. It reads no command line; it finds the project in its current folder (the disc's
// root when Windows starts it from "autorun.inf") or else in its own folder.

#include <windows.h>

#include <string>
#include <vector>

#include "player_win/menu_window.h"
#include "player_win/win_text.h"
#include "project/errors.h"
#include "project/staged_menu.h"

namespace {

std::wstring currentFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    DWORD n = GetCurrentDirectoryW(DWORD(folder.size()), folder.data());
    if (n > folder.size()) {
        folder.resize(n);
        n = GetCurrentDirectoryW(DWORD(folder.size()), folder.data());
    }
    folder.resize(n);
    return folder;
}

std::wstring programFolder() {
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    path.resize(n);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring withoutTrailingSeparator(std::wstring folder) {
    // A drive root keeps its separator ("D:\"); joined paths then show a doubled one, which
    // Windows accepts.
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const std::wstring current = withoutTrailingSeparator(currentFolder());
    const std::wstring own = withoutTrailingSeparator(programFolder());
    std::vector<std::string> folders{torvana::winplayer::narrow(current)};
    if (!own.empty() && CompareStringOrdinal(own.c_str(), -1, current.c_str(), -1, TRUE) != CSTR_EQUAL)
        folders.push_back(torvana::winplayer::narrow(own));

    torvana::PlayerProject project;
    try {
        // Windows names files in UTF-16: the stored paths are read as text, as the title is.
        project = torvana::loadPlayerProject(folders, torvana::StoredPaths::Text);
    } catch (const torvana::Error& e) {
        MessageBoxW(nullptr, torvana::winplayer::wide(e.what()).c_str(), L"Autorun", MB_OK | MB_ICONERROR);
        return 1;
    }
    torvana::winplayer::MenuWindow window(std::move(project));
    return window.run(instance, show);
}
