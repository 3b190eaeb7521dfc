#include "settings/ini_file.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/integer.h"

namespace torvana {

namespace {

// Longest value text that is read, as the platform's profile routines read it.
constexpr size_t kMaxValueLength = 2047;

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// One line of the file with its own line end, so that unchanged lines are written back as read.
struct Line {
    std::string text;
    std::string end;
};

std::vector<Line> splitLines(const std::string& data) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < data.size()) {
        const size_t nl = data.find('\n', pos);
        if (nl == std::string::npos) {
            lines.push_back({data.substr(pos), ""});
            break;
        }
        size_t textEnd = nl;
        if (textEnd > pos && data[textEnd - 1] == '\r') --textEnd;
        lines.push_back({data.substr(pos, textEnd - pos), data.substr(textEnd, nl + 1 - textEnd)});
        pos = nl + 1;
    }
    return lines;
}

// "[name]" -> name; anything else -> nothing.
std::optional<std::string> sectionName(const std::string& line) {
    const std::string t = trim(line);
    if (t.size() >= 2 && t.front() == '[') {
        const size_t close = t.find(']');
        if (close != std::string::npos) return trim(t.substr(1, close - 1));
    }
    return std::nullopt;
}

bool keyLine(const std::string& line, const std::string& key, std::string* value) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    if (!sameName(trim(line.substr(0, eq)), key)) return false;
    if (value) *value = trim(line.substr(eq + 1));
    return true;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return s.str();
}

}  // namespace

std::optional<std::string> IniFile::readString(const std::string& section,
                                               const std::string& key) const {
    const auto data = readWholeFile(path_);
    if (!data) return std::nullopt;
    bool inSection = false;
    for (const Line& line : splitLines(*data)) {
        if (auto name = sectionName(line.text)) {
            inSection = sameName(*name, section);
            continue;
        }
        std::string value;
        if (inSection && keyLine(line.text, key, &value)) {
            if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
            return value;
        }
    }
    return std::nullopt;
}

void IniFile::writeString(const std::string& section, const std::string& key,
                          const std::string& value) {
    const std::string data = readWholeFile(path_).value_or(std::string());
    std::vector<Line> lines = splitLines(data);

    // New lines take the file's own line end; a new file gets the platform's.
    std::string eol = "\n";
    for (const Line& l : lines)
        if (!l.end.empty()) {
            eol = l.end;
            break;
        }
    const std::string newLine = key + "=" + value;

    bool inSection = false;
    bool done = false;
    size_t lastInSection = std::string::npos;  // index of the last non-blank line of the section
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        if (auto name = sectionName(lines[i].text)) {
            if (inSection) break;  // the section ended without the key
            inSection = sameName(*name, section);
            if (inSection) lastInSection = i;
            continue;
        }
        if (!inSection) continue;
        if (keyLine(lines[i].text, key, nullptr)) {
            lines[i].text = newLine;
            done = true;
        } else if (!trim(lines[i].text).empty()) {
            lastInSection = i;
        }
    }
    if (!done) {
        if (lastInSection != std::string::npos) {
            if (lines[lastInSection].end.empty()) lines[lastInSection].end = eol;
            lines.insert(lines.begin() + static_cast<long>(lastInSection) + 1, Line{newLine, eol});
        } else {
            if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
            lines.push_back({"[" + section + "]", eol});
            lines.push_back({newLine, eol});
        }
    }

    std::string out;
    for (const Line& l : lines) out += l.text + l.end;
    try {
        replaceFileContents(path_, out);
    } catch (const Error&) {
        throw Error("Unable to write to " + path_);
    }
}

int IniFile::readInteger(const std::string& section, const std::string& key, int fallback) const {
    const auto text = readString(section, key);
    if (!text) return fallback;
    return tryStrToInt(*text).value_or(fallback);
}

bool IniFile::readBool(const std::string& section, const std::string& key, bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::writeBool(const std::string& section, const std::string& key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

}  // namespace torvana
