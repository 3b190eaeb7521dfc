#include "project/project_file.h"

#include <optional>
#include <string_view>
#include <utility>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/integer.h"
#include "project/staged_menu.h"
#include "project/text_lines.h"

namespace torvana {

namespace {

constexpr const char* kBlockHeading = "[Torvana]";

// The hotspot number of a line "<key><n>=<value>" (n in decimal, no sign, no leading zero), 0
// for any other line; `valueStart` gets where the value begins.
int numberedKey(const std::string& line, std::string_view key, size_t* valueStart) {
    if (line.compare(0, key.size(), key) != 0) return 0;
    const size_t equals = line.find('=', key.size());
    if (equals == std::string::npos || equals == key.size() || equals - key.size() > 2 || line[key.size()] == '0')
        return 0;
    int n = 0;
    for (size_t i = key.size(); i < equals; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        n = n * 10 + (line[i] - '0');
    }
    *valueStart = equals + 1;
    return n;
}

// "<width>x<height>" of a button or an area: whole numbers from 1 to the stage's size.
std::optional<HotspotShape> shapeOf(HotspotKind kind, const std::string& text) {
    const size_t x = text.find('x');
    const auto number = [](const std::string& digits, int most) -> std::optional<int> {
        if (digits.empty() || digits.size() > 3 || digits[0] == '0' ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        const int n = std::stoi(digits);
        return n <= most ? std::optional<int>(n) : std::nullopt;
    };
    if (x == std::string::npos) return std::nullopt;
    const std::optional<int> width = number(text.substr(0, x), kStageWidth);
    const std::optional<int> height = number(text.substr(x + 1), kStageHeight);
    if (!width || !height) return std::nullopt;
    return HotspotShape{kind, *width, *height};
}

// Reads one line of the block into `d`; false when it is not one this version knows (or its
// value is not one it can use), so it is kept as it was.
bool readKnownLine(const std::string& line, Project& d) {
    size_t value = 0;
    if (const int n = numberedKey(line, "Label", &value)) {
        if (n <= d.hotspotCount) d.hotspots[size_t(n - 1)].label = line.substr(value);
        return true;
    }
    for (const HotspotKind kind : {HotspotKind::Button, HotspotKind::Area}) {
        const int n = numberedKey(line, kind == HotspotKind::Button ? "Button" : "Area", &value);
        if (n == 0) continue;
        const std::optional<HotspotShape> shape = shapeOf(kind, line.substr(value));
        if (!shape) return false;
        if (n <= d.hotspotCount) d.hotspots[size_t(n - 1)].shape = *shape;
        return true;
    }
    ButtonStyle& style = d.buttonStyle;
    if (line.rfind("ButtonLook=", 0) == 0 && line.size() > 11) {
        style.look = line.substr(11);
        return true;
    }
    for (auto [key, colour] : {std::pair{"ButtonColour=", &style.colour}, std::pair{"ButtonTextColour=", &style.textColour}}) {
        if (line.rfind(key, 0) != 0) continue;
        const std::optional<uint32_t> rgb = parseRgb(line.substr(std::string_view(key).size()));
        if (!rgb) return false;
        *colour = rgb;
        return true;
    }
    return false;
}

void readBlock(LineReader& in, Project& d) {
    while (!in.atEnd() && in.next() != kBlockHeading) {
    }
    while (!in.atEnd()) {
        std::string line = in.next();
        if (!readKnownLine(line, d)) d.otherBlockLines.push_back(std::move(line));
    }
}

}  // namespace

std::optional<uint32_t> parseRgb(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    uint32_t rgb = 0;
    for (const char c : text.substr(1)) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return std::nullopt;
        rgb = rgb << 4 | uint32_t(digit);
    }
    return rgb;
}

std::string rgbText(uint32_t rgb) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "#";
    for (int shift = 20; shift >= 0; shift -= 4) text += digits[rgb >> shift & 0xF];
    return text;
}

std::string formatProjectFile(const Project& d) {
    static const std::string file = "the project file";
    std::string out;
    appendLine(out, std::to_string(d.hotspotCount));
    appendLine(out, d.showBrowse ? "TRUE" : "FALSE");
    appendLine(out, d.showExit ? "TRUE" : "FALSE");
    appendValueLine(out, d.cdTitle, "CD Title", file);
    appendValueLine(out, d.stagingFolder, "Staging Folder", file);
    appendValueLine(out, d.backgroundImage, "Background Image", file);
    appendValueLine(out, d.openingWav, "Opening WAV", file);
    int number = 0;
    for (const Hotspot& h : d.hotspots) {
        const std::string hotspot = "HotSpot " + std::to_string(++number) + ", ";
        appendValueLine(out, h.application, hotspot + "Application", file);
        appendValueLine(out, h.rolloverImage, hotspot + "Rollover Image", file);
        appendValueLine(out, h.x, hotspot + "X coordinate", file);
        appendValueLine(out, h.y, hotspot + "Y coordinate", file);
        appendValueLine(out, h.rolloverWav, hotspot + "Rollover WAV", file);
        appendValueLine(out, h.clickWav, hotspot + "Click WAV", file);
    }
    std::string block;
    number = 0;
    for (const Hotspot& h : d.hotspots) {
        ++number;
        if (h.label.empty()) continue;
        block += "Label" + std::to_string(number) + "=";
        appendValueLine(block, h.label, "HotSpot " + std::to_string(number) + ", Label", file);
    }
    number = 0;
    for (const Hotspot& h : d.hotspots) {
        ++number;
        if (!h.shape.drawn()) continue;
        block += (h.shape.kind == HotspotKind::Button ? "Button" : "Area") + std::to_string(number) + "=";
        appendLine(block, std::to_string(h.shape.width) + "x" + std::to_string(h.shape.height));
    }
    if (!d.buttonStyle.look.empty()) {
        block += "ButtonLook=";
        appendValueLine(block, d.buttonStyle.look, "The button look", file);
    }
    if (d.buttonStyle.colour) appendLine(block, "ButtonColour=" + rgbText(*d.buttonStyle.colour));
    if (d.buttonStyle.textColour) appendLine(block, "ButtonTextColour=" + rgbText(*d.buttonStyle.textColour));
    for (const std::string& line : d.otherBlockLines) appendValueLine(block, line, "A line of the [Torvana] block", file);
    if (!block.empty()) {
        appendLine(out, kBlockHeading);
        out += block;
    }
    return out;
}

Project parseProjectFile(const std::string& bytes, const std::string& path) {
    // A UTF-8 byte-order mark, as Windows' Notepad puts before a file it saves as UTF-8, is no
    // part of the count.
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const bool marked = bytes.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0;
    const std::string unmarked = marked ? bytes.substr(kByteOrderMark.size()) : std::string();
    LineReader in(marked ? unmarked : bytes);
    Project d;
    d.hotspotCount = strToInt(in.next());
    if (d.hotspotCount < 0 || d.hotspotCount > kMaxHotspots)
        throw Error("The project file " + path + " gives " + std::to_string(d.hotspotCount) +
                    " hotspots; a project holds 0 to " + std::to_string(kMaxHotspots));
    d.showBrowse = in.next() == "TRUE";
    d.showExit = in.next() == "TRUE";
    d.cdTitle = in.next();
    d.stagingFolder = in.next();
    d.backgroundImage = in.next();
    d.openingWav = in.next();
    d.hotspots.resize(static_cast<size_t>(d.hotspotCount));
    for (Hotspot& h : d.hotspots) {
        h.application = in.next();
        h.rolloverImage = in.next();
        h.x = in.next();
        h.y = in.next();
        h.rolloverWav = in.next();
        h.clickWav = in.next();
    }
    readBlock(in, d);
    return d;
}

void writeProjectFile(const std::string& path, const Project& data) {
    replaceFileContents(path, formatProjectFile(data));
}

Project readProjectFile(const std::string& path) {
    // A failure to read says which file: the user may have typed the name.
    if (folderExists(path)) throw Error("\"" + visiblePath(path) + "\" is a folder, not a project file");
    std::string bytes;
    try {
        bytes = readFileContents(path);
    } catch (const Error& e) {
        const std::string text = e.what();
        throw Error(text.find(path) != std::string::npos ? text : text + ": \"" + visiblePath(path) + "\"");
    }
    return parseProjectFile(bytes, path);
}

std::vector<Hotspot> hotspotsOf(const ProjectState& state) {
    std::vector<Hotspot> out;
    const int count = std::min(state.hotspotCount, kMaxHotspots);
    for (int slot = 1; slot <= count; ++slot) out.push_back(state.hotspot(slot));
    return out;
}

void storeHotspots(ProjectState& state, const std::vector<Hotspot>& hotspots) {
    int slot = 1;
    for (const Hotspot& h : hotspots) state.setHotspot(slot++, h);
}

}  // namespace torvana
