#include "project/project_file.h"

#include "project/errors.h"
#include "project/file_io.h"
#include "project/integer.h"

namespace torvana {

namespace {

constexpr char kCtrlZ = 26;

// Reads lines the way the project file is read: CR, CR LF or LF end a line; Ctrl-Z or the end
// of the bytes ends the data, after which every line is empty.
class LineReader {
public:
    explicit LineReader(const std::string& bytes) : bytes_(bytes) {
        const size_t z = bytes_.find(kCtrlZ);
        end_ = z == std::string::npos ? bytes_.size() : z;
    }

    std::string next() {
        const size_t start = pos_;
        while (pos_ < end_ && bytes_[pos_] != '\r' && bytes_[pos_] != '\n') ++pos_;
        std::string line = bytes_.substr(start, pos_ - start);
        if (pos_ < end_) {
            if (bytes_[pos_] == '\r' && pos_ + 1 < end_ && bytes_[pos_ + 1] == '\n') ++pos_;
            ++pos_;
        }
        return line;
    }

private:
    const std::string& bytes_;
    size_t end_;
    size_t pos_ = 0;
};

void put(std::string& out, const std::string& line) {
    out += line;
    out += "\r\n";
}

}  // namespace

std::string formatProjectFile(const ProjectFileData& d) {
    std::string out;
    put(out, std::to_string(d.hotspotCount));
    put(out, d.showBrowse ? "TRUE" : "FALSE");
    put(out, d.showExit ? "TRUE" : "FALSE");
    put(out, d.cdTitle);
    put(out, d.stagingFolder);
    put(out, d.backgroundImage);
    put(out, d.openingWav);
    for (const Hotspot& h : d.hotspots) {
        put(out, h.application);
        put(out, h.rolloverImage);
        put(out, h.x);
        put(out, h.y);
        put(out, h.rolloverWav);
        put(out, h.clickWav);
    }
    return out;
}

ProjectFileData parseProjectFile(const std::string& bytes, const std::string& path) {
    LineReader in(bytes);
    ProjectFileData d;
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
    return d;
}

void writeProjectFile(const std::string& path, const ProjectFileData& data) {
    replaceFileContents(path, formatProjectFile(data));
}

ProjectFileData readProjectFile(const std::string& path) {
    return parseProjectFile(readFileContents(path), path);
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
