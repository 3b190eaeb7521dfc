#include "player_win/win_text.h"

#include "project/project_text.h"

namespace torvana::winplayer {

std::wstring wide(std::string_view utf8) {
    const std::u16string text = torvana::utf8ToUtf16(utf8);
    return std::wstring(text.begin(), text.end());
}

std::string narrow(std::wstring_view utf16) {
    return torvana::utf16ToUtf8(std::u16string(utf16.begin(), utf16.end()));
}

}  // namespace torvana::winplayer
