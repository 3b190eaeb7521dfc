// Fuzzes what the Windows player reads from the disc before its window opens: the project file
// read, each field's bytes taken as UTF-8 or, failing that, as Windows-1252, then mapped to the
// staged copies with the path rules of Windows (this target compiles the path code with them).
// Properties:
// - the text conversions: valid UTF-8 round-trips through UTF-16 unchanged, and only valid
//   UTF-8 does; no input gives an ill-formed UTF-16 sequence or invalid UTF-8; UTF-16 that is
//   well formed round-trips through UTF-8;
// - decoding keeps every ASCII byte in its place among the others (line ends, numbers);
// - the title for the window bar is valid UTF-8 of at most kMaxTitleBytes, and so is every
//   label and every name a screen reader is given;
// - every staged path is the menu's folder, the part's sub-folder (images, wavs or the
//   hotspot's number) and one name without a separator, and it stays inside the folder once
//   Windows has resolved "." and ".." and trimmed the trailing dots and blanks it trims.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "project/errors.h"
#include "project/project_file.h"
#include "project/project_text.h"
#include "project/staged_menu.h"

using namespace torvana;

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

bool wellFormed(const std::u16string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

std::string ascii(const std::string& text) {
    std::string out;
    for (const char c : text)
        if (uint8_t(c) < 0x80) out += c;
    return out;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A path as Windows resolves it: separators collapsed, "." and ".." resolved (never above the
// drive or the server's share), a single trailing dot of a name dropped, and the trailing dots
// and blanks of the last name dropped. The components, the root first.
std::vector<std::string> resolved(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    size_t rootParts = 1;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i])) {
            part += path[i];
            continue;
        }
        const bool last = i == path.size();
        if (part == "..") {
            if (parts.size() > rootParts) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.') part.pop_back();
            if (last)
                while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
            if (!part.empty()) parts.push_back(part);
            if (parts.size() == 1 && path.rfind("\\\\", 0) == 0) rootParts = 2;  // \\server\share
        }
        part.clear();
    }
    return parts;
}

void checkStaged(const std::string& staged, const std::string& folder, const std::string& sub) {
    if (staged.empty()) return;
    const std::string prefix = folder + "\\" + sub + "\\";
    check(staged.compare(0, prefix.size(), prefix) == 0);
    const std::string name = staged.substr(prefix.size());
    check(name.find_first_of("\\/:") == std::string::npos);
    const std::vector<std::string> base = resolved(folder), full = resolved(staged);
    check(full.size() >= base.size() && std::equal(base.begin(), base.end(), full.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The conversions on their own.
    const std::u16string wide = utf8ToUtf16(bytes);
    check(wellFormed(wide));
    const std::string back = utf16ToUtf8(wide);
    check(isValidUtf8(back));
    check(isValidUtf8(bytes) == (back == bytes));
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) units[i] = char16_t(data[2 * i] | data[2 * i + 1] << 8);
    const std::string narrow = utf16ToUtf8(units);
    check(isValidUtf8(narrow));
    if (wellFormed(units)) check(utf8ToUtf16(narrow) == units);
    const std::u16string ansi = windows1252ToUtf16(bytes);
    check(ansi.size() == bytes.size() && wellFormed(ansi));
    const std::string text = projectText(bytes);
    check(isValidUtf8(text));
    check(ascii(text) == ascii(bytes));

    // The project file as the player reads it.
    Project plain;
    try {
        plain = parseProjectFile(bytes, "D:\\menu.cdrom");
    } catch (const Error&) {
        return 0;
    }
    const Project decoded = withPathsAsText(plain);
    check(decoded.hotspots.size() == plain.hotspots.size());

    // A disc's root, a folder on it, a share on the network.
    for (const std::string folder : {"D:\\", "D:\\menu", "\\\\server\\share\\menu"}) {
        const PlayerProject menu = mapProject(decoded, folder, folder + "\\menu.cdrom");
        check(menu.title.size() <= kMaxTitleBytes && isValidUtf8(menu.title));
        check(wellFormed(utf8ToUtf16(menu.title)));
        checkStaged(menu.background, folder, "images");
        checkStaged(menu.openingWav, folder, "wavs");
        for (const std::string& note : menu.notes) check(isValidUtf8(note));
        for (const PlayerHotspot& h : menu.hotspots) {
            check(isValidUtf8(h.label) && isValidUtf8(hotspotName(h)));
            if (h.kind == ActionKind::File) checkStaged(h.target, folder, std::to_string(h.number));
            checkStaged(h.rolloverImage, folder, "images");
            checkStaged(h.rolloverWav, folder, "wavs");
            checkStaged(h.clickWav, folder, "wavs");
        }
    }
    return 0;
}
