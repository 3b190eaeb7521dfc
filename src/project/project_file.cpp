#include "project/project_file.h"

#include <string_view>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/integer.h"
#include "project/text_lines.h"

namespace torvana {

namespace {

constexpr const char* kBlockHeading = "[Torvana]";

// The hotspot number of a line "Label<n>=<text>" (n in decimal, no sign, no leading zero), 0
// for any other line.
int labelNumber(const std::string& line, size_t* textStart) {
    const std::string key = "Label";
    if (line.rfind(key, 0) != 0) return 0;
    const size_t equals = line.find('=', key.size());
    if (equals == std::string::npos || equals == key.size() || equals - key.size() > 2 || line[key.size()] == '0')
        return 0;
    int n = 0;
    for (size_t i = key.size(); i < equals; ++i) {
        if (line[i] < '0' || line[i] > '9') return 0;
        n = n * 10 + (line[i] - '0');
    }
    *textStart = equals + 1;
    return n;
}

void readBlock(LineReader& in, Project& d) {
    while (!in.atEnd() && in.next() != kBlockHeading) {
    }
    while (!in.atEnd()) {
        std::string line = in.next();
        size_t text = 0;
        const int n = labelNumber(line, &text);
        if (n == 0)
            d.otherBlockLines.push_back(std::move(line));
        else if (n <= d.hotspotCount)
            d.hotspots[static_cast<size_t>(n - 1)].label = line.substr(text);
    }
}

}  // namespace


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
