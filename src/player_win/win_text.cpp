#include "player_win/win_text.h"

#include <windows.h>

#include "menu/menu_text.h"

namespace torvana::winplayer {

std::wstring wide(std::string_view utf8) {
    const std::u16string text = torvana::menu::utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string narrow(std::wstring_view utf16) {
    return torvana::menu::utf16ToUtf8(std::u16string(utf16.begin(), utf16.end()));
}

std::u16string ansiToUtf16(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int size = int(bytes.size());
    const int needed = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (needed <= 0) return torvana::menu::windows1252ToUtf16(bytes);
    std::wstring out(size_t(needed), L'\0');
    MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, out.data(), needed);
    return std::u16string(out.begin(), out.end());
}

}  // namespace torvana::winplayer
