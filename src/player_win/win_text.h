#pragma once
// The Windows player's text at the Windows boundary: the program's UTF-8 strings become
// UTF-16 for every Windows call and back.

#include <string>
#include <string_view>

namespace torvana::winplayer {

std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace torvana::winplayer
