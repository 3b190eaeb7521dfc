// Fuzzes the settings file: read both keys, write one, read both again. The written key reads
// as written, the other key reads as before, and every byte of the file that was not the
// written key's line is kept. The first byte chooses the key and the value, the rest is the
// file.

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "project/errors.h"
#include "project/file_io.h"
#include "settings/settings_file.h"
#include "scratch_file.h"

namespace {

// What the write added or changed: `after` with every new line and the section header taken
// out must be empty once line ends are dropped.
bool onlyNewLines(std::string_view added, const std::string& line) {
    std::string rest(added);
    for (const std::string& piece : {line, std::string("[Options]")})
        for (size_t at; (at = rest.find(piece)) != std::string::npos;) rest.erase(at, piece.size());
    return rest.find_first_not_of("\r\n") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool writeWarnMe = data[0] & 1;
    const bool value = data[0] & 2;
    const std::string before(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string& path = scratchPath("fuzz_settings", ".ini");
    torvana::replaceFileContents(path, before);

    const torvana::EditorSettings old = torvana::loadSettings(path);
    if (!old.problem.empty()) std::abort();
    const char* key = writeWarnMe ? torvana::kWarnMeKey : torvana::kToolTipsKey;
    torvana::writeSetting(path, key, value);
    const torvana::EditorSettings now = torvana::loadSettings(path);
    if (writeWarnMe ? (now.warnMe != value || now.toolTips != old.toolTips)
                    : (now.toolTips != value || now.warnMe != old.warnMe))
        std::abort();

    // Every other byte kept: after the common start and end, what was removed is at most one
    // line's text and what was added is the key's line, perhaps a section header, line ends.
    const std::string after = torvana::readFileContents(path);
    size_t head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
    size_t tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const std::string_view removed = std::string_view(before).substr(head, before.size() - head - tail);
    const std::string_view added = std::string_view(after).substr(head, after.size() - head - tail);
    const std::string line = std::string(key) + "=" + (value ? "1" : "0");
    if (removed.find_first_of("\r\n") != std::string_view::npos) std::abort();
    if (added.find_first_of("\r\n") == std::string_view::npos) {
        // The key's line was rewritten in place: the line around the change is the new one.
        if (removed.empty() && added.empty()) return 0;
        const size_t start = after.find_last_of("\r\n", head == 0 ? std::string::npos : head - 1);
        const size_t begin = (start == std::string::npos || head == 0) ? 0 : start + 1;
        const size_t end = std::min(after.find_first_of("\r\n", head), after.size());
        if (after.substr(begin, end - begin) != line) std::abort();
    } else if (!removed.empty() || !onlyNewLines(added, line)) {
        std::abort();
    }
    return 0;
}
