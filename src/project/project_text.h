#pragma once
// Text in a project file. The file carries no mark of its encoding: this program writes UTF-8,
// while older project files and files written by hand on Windows hold Windows-1252 (the code page
// they were written in). Each field is therefore read on its own: as UTF-8 where its bytes are
// valid UTF-8, otherwise as Windows-1252, which gives every byte a character. Whatever shows a
// field's text (the editor's fields, the players' window title, labels and screen-reader names,
// the web page, autorun.inf's drive label) decodes it through projectText; the field's bytes
// themselves are kept, so a field nobody changed is written back as it was read.
// Pure functions, no Qt; the Windows player compiles them too.

#include <string>
#include <string_view>

namespace torvana {

// A field's bytes as UTF-8 text by the rule above; valid UTF-8 comes back unchanged, and the
// result is always valid UTF-8.
std::string projectText(std::string_view bytes);

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no cut sequence.
bool isValidUtf8(std::string_view text);

// The character at `pos` of UTF-8 text, moving `pos` past it. An ill-formed sequence gives
// U+FFFD and moves past the longest start of a valid sequence (at least one byte).
char32_t nextCharacter(std::string_view text, size_t& pos);
void appendUtf8(std::string& out, char32_t character);

// Conversions; what cannot be converted (an invalid byte, a lone surrogate) becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// Windows-1252: its characters 0x80 to 0x9F, the rest of its upper half being Latin-1. The five
// bytes it leaves undefined become U+FFFD.
std::u16string windows1252ToUtf16(std::string_view bytes);

}  // namespace torvana
