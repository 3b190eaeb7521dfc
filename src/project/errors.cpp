#include "project/errors.h"

#include <cerrno>
#include <string_view>

#include "project/project_text.h"

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

std::string visibleText(const std::string& text, size_t maxCharacters) {
    static const char* hex = "0123456789ABCDEF";
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++characters) {
        if (characters == maxCharacters) return out + "...";
        const auto b = static_cast<unsigned char>(text[i]);
        size_t next = i;
        const char32_t c = nextCharacter(text, next);
        const bool valid = c != 0xFFFD || text.compare(i, kReplacement.size(), kReplacement) == 0;
        if (valid && c >= 0x80 && c < 0xA0) {
            // C1 controls (a terminal reads U+009B as an escape too).
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 0xF];
            i = next;
        } else if (!valid || c < 0x20 || c == 0x7F) {
            // C0 controls and bytes that are no UTF-8, one byte at a time.
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0xF];
            ++i;
        } else {
            out.append(text, i, next - i);
            i = next;
        }
    }
    return out;
}

std::string visiblePath(const std::string& path) { return visibleText(path, 4096); }

}  // namespace torvana
