#pragma once
// The project the editor holds in memory while the windows work on it. The project's scalar
// fields (title, staging folder, background picture, opening sound and the two switches) are kept
// beside it by the editor's project document, which the main window's controls show; this holds
// the hotspot tables and the status of the project and of the editor (its file, the program's
// folder, saved, a failed copy). The build and the disc check
// take the project as a Project (project_file.h) and only the status from here.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace torvana {

// Hotspot slots are numbered 1 to 99; there is no slot 0.
constexpr int kMaxHotspots = 99;

// Number of slots that New, Open and Close clear.
constexpr int kClearedSlots = 20;

// One hotspot table: 99 strings indexed by slot number. An index outside 1..99 throws, so no
// path of the program can read or write past the table.
class SlotTable {
public:
    std::string& operator[](int slot) { return slots_.at(index(slot)); }
    const std::string& operator[](int slot) const { return slots_.at(index(slot)); }

private:
    static size_t index(int slot) {
        if (slot < 1 || slot > kMaxHotspots)
            throw std::out_of_range("hotspot slot " + std::to_string(slot) + " is outside 1 to 99");
        return static_cast<size_t>(slot - 1);
    }
    std::array<std::string, kMaxHotspots> slots_{};
};

// The six fields of one hotspot, in the order of the project file's record, and its label: a
// short text that says what it does (the players' tooltip, the name a screen reader speaks),
// kept in the file's [Torvana] block after the records. Empty: no label.
struct Hotspot {
    std::string application;
    std::string rolloverImage;
    std::string x;
    std::string y;
    std::string rolloverWav;
    std::string clickWav;
    std::string label{};

    bool operator==(const Hotspot&) const = default;
};

struct ProjectState {
    bool projectSaved = false;
    int32_t hotspotCount = 0;
    std::string programFolder;
    std::string openDialogPath;
    std::string projectName;  // empty: no project is open
    std::string projectPath;
    std::string versionText;
    int32_t editedHotspot = 0;
    bool warnMe = true;
    bool copyFailed = false;

    SlotTable hotspotApplication;
    SlotTable hotspotRolloverImage;
    SlotTable hotspotX;
    SlotTable hotspotY;
    SlotTable hotspotRolloverWav;
    SlotTable hotspotClickWav;
    SlotTable hotspotLabel;
    // The lines of the project file's [Torvana] block that this version does not know, kept to
    // be written back unchanged.
    std::vector<std::string> otherBlockLines;

    bool projectOpen() const { return !projectName.empty(); }

    Hotspot hotspot(int slot) const;
    void setHotspot(int slot, const Hotspot& h);

    // Empties slots `first` to `last` of every table, labels included.
    void clearSlots(int first, int last);
    // Empties the labels of all 99 slots. New, Open and Close clear only the first slots of the
    // six tables; a label is this program's own and never outlives its project, so a hotspot
    // accepted into a higher slot of the next project does not take one on.
    void clearLabels();
};

}  // namespace torvana
