#pragma once
// Failures the program does not foresee: the command that meets one ends at that step and the
// window shows the text in the error box. The text is what the user reads.

#include <stdexcept>
#include <string>

namespace torvana {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
};

// What the user reads when memory runs out anywhere, instead of the program ending.
inline constexpr const char* kOutOfMemoryText = "Out of memory";

// The user-facing text of an operating-system error number ("File not found", "Disk full", ...).
// The one place where errno values become words.
std::string errnoText(int err);

// A text taken from a file, as a message may quote it: control bytes and bytes that are not
// UTF-8 become visible escapes (\x1A), and a text longer than `maxCharacters` is cut with
// "...". Printable UTF-8 within the limit stays byte for byte.
std::string visibleText(const std::string& text, size_t maxCharacters = 80);

// A stored path as a message quotes it: escaped as visibleText does, but cut only past the
// longest path a file system takes, so every real path is shown whole.
std::string visiblePath(const std::string& path);

// Throws Error with errnoText(err).
[[noreturn]] void throwErrno(int err);

}  // namespace torvana
