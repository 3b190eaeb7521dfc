#pragma once
// The Windows player's text at the Windows boundary: the program's UTF-8 strings become
// UTF-16 for every Windows call and back.

#include <string>
#include <string_view>

namespace torvana::winplayer {

std::wstring wide(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
// Bytes of the ANSI code page as UTF-16; Windows-1252 when the code page cannot convert them.
std::u16string ansiToUtf16(std::string_view bytes);

}  // namespace torvana::winplayer
