#include "settings/ini_file.h"

#include <filesystem>
#include <string_view>
#include <system_error>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/integer.h"

namespace torvana {

namespace {

// Longest value text that is read, as the platform's profile routines read it.
constexpr size_t kMaxValueLength = 2047;

std::string_view trim(std::string_view s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// One line of the file, as offsets into it: its text, then its line end. A line ends at LF,
// CR LF or a lone CR, for reading and writing alike, so a CR is never part of a name or value
// and a write never changes where another line ends. Working on offsets keeps the memory of a
// read or a write to the file itself, whatever its lines.
struct LineSpan {
    size_t begin = 0;
    size_t textEnd = 0;
    size_t next = 0;  // where the next line begins
    bool hasEnd() const { return next > textEnd; }
};

class Lines {
public:
    explicit Lines(std::string_view data) : data_(data) {}
    bool next(LineSpan& line) {
        if (pos_ >= data_.size()) return false;
        line.begin = pos_;
        size_t i = data_.find_first_of("\r\n", pos_);
        if (i == std::string_view::npos) i = data_.size();
        line.textEnd = i;
        if (i < data_.size()) i += (data_[i] == '\r' && i + 1 < data_.size() && data_[i + 1] == '\n') ? 2 : 1;
        line.next = pos_ = i;
        return true;
    }
    std::string_view text(const LineSpan& line) const {
        return data_.substr(line.begin, line.textEnd - line.begin);
    }
    std::string_view end(const LineSpan& line) const {
        return data_.substr(line.textEnd, line.next - line.textEnd);
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

// "[name]" -> name; anything else -> nothing.
std::optional<std::string_view> sectionName(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.size() >= 2 && t.front() == '[') {
        const size_t close = t.find(']');
        if (close != std::string_view::npos) return trim(t.substr(1, close - 1));
    }
    return std::nullopt;
}

bool keyLine(std::string_view line, std::string_view key, std::string_view* value) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    if (!sameName(trim(line.substr(0, eq)), key)) return false;
    if (value) *value = trim(line.substr(eq + 1));
    return true;
}

// The file's bytes; nothing when there is no file. Anything else that cannot be read (a
// folder, a pipe, a device, a file over the text-file limit) is an Error naming it.
std::optional<std::string> readWholeFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)) || ec) return std::nullopt;
    if (!std::filesystem::exists(path, ec)) return std::nullopt;  // a link to nothing
    return readFileContents(path);
}

}  // namespace

std::optional<std::string> IniFile::readString(const std::string& section,
                                               const std::string& key) const {
    const auto data = readWholeFile(path_);
    if (!data) return std::nullopt;
    Lines lines(*data);
    LineSpan line;
    bool inSection = false;
    while (lines.next(line)) {
        if (auto name = sectionName(lines.text(line))) {
            inSection = sameName(*name, section);
            continue;
        }
        std::string_view value;
        if (inSection && keyLine(lines.text(line), key, &value))
            return std::string(value.substr(0, kMaxValueLength));
    }
    return std::nullopt;
}

void IniFile::writeString(const std::string& section, const std::string& key,
                          const std::string& value) {
    std::string data;
    try {
        data = readWholeFile(path_).value_or(std::string());
    } catch (const Error&) {
        throw Error("Unable to write to " + path_);
    }
    Lines lines(data);
    LineSpan line;

    // New lines take the file's own line end; a new file gets the platform's.
    std::string eol = "\n";
    while (lines.next(line))
        if (line.hasEnd()) {
            eol = lines.end(line);
            break;
        }
    const std::string newLine = key + "=" + value;

    std::string out;
    lines = Lines(data);
    bool inSection = false;
    std::optional<LineSpan> lastInSection;  // the last non-blank line of the section
    std::optional<LineSpan> found;
    while (lines.next(line)) {
        const std::string_view text = lines.text(line);
        if (auto name = sectionName(text)) {
            if (inSection) break;  // the section ended without the key
            inSection = sameName(*name, section);
            if (inSection) lastInSection = line;
            continue;
        }
        if (!inSection) continue;
        if (keyLine(text, key, nullptr)) {
            found = line;
            break;
        }
        if (!trim(text).empty()) lastInSection = line;
    }
    if (found) {
        out.reserve(data.size() + newLine.size());
        out.append(data, 0, found->begin).append(newLine).append(data, found->textEnd);
    } else if (lastInSection) {
        const size_t at = lastInSection->next;
        out.append(data, 0, at);
        if (!lastInSection->hasEnd()) out += eol;
        out.append(newLine).append(eol).append(data, at);
    } else {
        out = data;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += eol;
        out.append("[" + section + "]").append(eol).append(newLine).append(eol);
    }
    try {
        replaceFileContents(path_, out);
    } catch (const Error&) {
        throw Error("Unable to write to " + path_);
    }
}

bool IniFile::readBool(const std::string& section, const std::string& key, bool fallback) const {
    // A switch reads as the platform's profile routines read an integer: "0x" (with digits
    // after it) and "$" begin a hexadecimal number, anything else must be an optional sign and
    // digits. The general conversion also takes an "x" prefix, which would make "x0" off.
    const auto text = readString(section, key);
    if (!text || text->empty() || text->front() == 'x' || text->front() == 'X') return fallback;
    return tryStrToInt(*text).value_or(fallback ? 1 : 0) != 0;
}

void IniFile::writeBool(const std::string& section, const std::string& key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

}  // namespace torvana
