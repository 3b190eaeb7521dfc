#include "project/errors.h"

#include <cerrno>

namespace torvana {

std::string errnoText(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return "File not found";
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return "File access denied";
    case ENOSPC:
    case EFBIG:  // past the process's file size limit: the file cannot grow, as on a full disk
#ifdef EDQUOT
    case EDQUOT:
#endif
        return "Disk full";
    default:
        return "I/O error " + std::to_string(err);
    }
}

void throwErrno(int err) { throw Error(errnoText(err)); }

namespace {

// The length of the valid UTF-8 sequence at `i`, or 0 when none starts there.
size_t utf8Length(const std::string& s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size() || (n == 2 && b < 0xC2) || (n == 4 && b > 0xF4)) return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    const auto b1 = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
    if ((n == 3 && b == 0xE0 && b1 < 0xA0) || (n == 3 && b == 0xED && b1 >= 0xA0) || (n == 4 && b == 0xF0 && b1 < 0x90) ||
        (n == 4 && b == 0xF4 && b1 >= 0x90))
        return 0;  // overlong forms, surrogates, beyond U+10FFFF
    return n;
}

}  // namespace

std::string visibleText(const std::string& text, size_t maxCharacters) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++characters) {
        if (characters == maxCharacters) return out + "...";
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t n = utf8Length(text, i);
        // C0 and C1 controls (U+0080 to U+009F: a terminal reads U+009B as an escape too).
        const bool c1 = n == 2 && b == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (c1) {
            out += "\\u00";
            out += hex[static_cast<unsigned char>(text[i + 1]) >> 4];
            out += hex[static_cast<unsigned char>(text[i + 1]) & 0xF];
            i += 2;
        } else if (n == 0 || b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0xF];
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string visiblePath(const std::string& path) { return visibleText(path, 4096); }

}  // namespace torvana
