#pragma once
// Text of the Windows player. The program keeps text as UTF-8 byte strings and converts it to
// UTF-16 for every Windows call. The project file our editor writes is UTF-8; one written by
// hand in an editor of the ANSI code page is read in that code page. Pure functions, built
// into the core library as well, so they are tested natively.

#include <functional>
#include <string>
#include <string_view>

namespace torvana::menu {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut sequence.
bool isValidUtf8(std::string_view text);

// Conversions; what cannot be converted (an invalid byte, a lone surrogate) becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// Converts bytes of the ANSI code page to UTF-16 (MultiByteToWideChar on Windows).
using AnsiDecoder = std::function<std::u16string(std::string_view bytes)>;

// A project file's bytes as UTF-8: a UTF-8 byte-order mark is dropped, valid UTF-8 stays as it
// is, anything else is read in the ANSI code page.
std::string projectTextAsUtf8(const std::string& bytes, const AnsiDecoder& ansi);

// Windows-1252, the ANSI code page of Western European Windows: what the ANSI decoder falls
// back to when the code page itself cannot convert.
std::u16string windows1252ToUtf16(std::string_view bytes);

}  // namespace torvana::menu
