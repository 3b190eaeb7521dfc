#pragma once
// The project file: a text file of one value per line, CR LF after every line. Seven header
// lines (hotspot count, the Browse and Exit switches as TRUE/FALSE, CD title, staging folder,
// background picture, opening sound), then six lines for each hotspot. After the last record,
// where readers of the format ignore what follows, a block of this program's own: a line
// "[Torvana]", then "Label<n>=<text>" for each hotspot n with a label, then the block's lines
// that this version does not know, as they were read. A project without labels or such lines
// has no block, so its file is exactly the plain format.

#include <cstdint>
#include <string>
#include <vector>

#include "project/project_state.h"

namespace torvana {

// A project as its file holds it: what Save writes and Open reads, and what the build, the disc
// check, the disc image, the command line and the players take. The editor's project document
// holds ProjectState's tables and the fields, and makes a Project of them in one place.
struct Project {
    int32_t hotspotCount = 0;
    bool showBrowse = false;
    bool showExit = false;
    std::string cdTitle;
    std::string stagingFolder;
    std::string backgroundImage;
    std::string openingWav;
    std::vector<Hotspot> hotspots;  // hotspotCount records (none when the count is 0 or less)
    std::vector<std::string> otherBlockLines;  // unknown lines of the [Torvana] block, in order

    bool operator==(const Project&) const = default;
};

// The file's bytes for `data`: the count, then data.hotspots in order. A value holding a line
// break or a Ctrl-Z, which would read back differently, throws an Error naming its field.
std::string formatProjectFile(const Project& data);

// Reads a project file's bytes, after a UTF-8 byte-order mark if they begin with one; every
// value is kept as the bytes it is (project_text.h says how its text is read). A line ends at a
// CR (an LF right after it belongs to the line end) or at a lone LF; a Ctrl-Z or the end of the
// bytes ends the data, and lines read past the end are empty. A first line that does not convert
// throws the conversion's Error; a count outside 0 to 99 throws an Error that names `path` and
// the count. Lines after the last record are ignored up to a line "[Torvana]"; in that block a
// "Label<n>=" line of a hotspot that exists gives its label (a later line for the same n wins),
// one of a hotspot that does not is dropped, and every other line is kept in otherBlockLines.
Project parseProjectFile(const std::string& bytes, const std::string& path);

// Writes the file through a temporary file beside it, so a failed write keeps the old file.
void writeProjectFile(const std::string& path, const Project& data);

// Reads the whole file before returning anything. Throws Error when it cannot be read (the text
// names the file; a folder is said to be one) or is refused by parseProjectFile.
Project readProjectFile(const std::string& path);

// Copies the fields of `state`'s slots 1..count into data.hotspots (count = state.hotspotCount,
// at most 99), labels included, and back.
std::vector<Hotspot> hotspotsOf(const ProjectState& state);
void storeHotspots(ProjectState& state, const std::vector<Hotspot>& hotspots);

}  // namespace torvana
