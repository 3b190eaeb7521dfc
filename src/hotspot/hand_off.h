#pragma once
// The hand-off files through which the hotspot editor gives its result to the main window.
// "config.$$$" carries an accepted hotspot (its number, then its six fields); "config.del" the
// number of a deleted hotspot, one value per line, CR LF after each line. Both live in a private
// folder of the editor's process, never in the current folder: a file that someone else left
// in a folder the user works in is never read, written or deleted.

#include <cstdint>
#include <optional>
#include <string>

#include "project/project_state.h"

namespace torvana {

inline constexpr const char* kAcceptFileName = "config.$$$";
inline constexpr const char* kDeleteFileName = "config.del";

// The process's own folder for the hand-off files: a new folder under the system's temporary
// folder, open to this user only (mode 0700), made on the first call (the editor calls it at
// start) and removed with what it holds when the process exits. Throws Error when it cannot be
// made.
const std::string& handOffFolder();
// The two hand-off files in it.
std::string acceptFilePath();
std::string deleteFilePath();

// The hotspot editor's fields, as they are checked before they are handed back.
enum class HotspotField { application, rolloverImage, x, y, rolloverWav, clickWav };

// Why the editor refuses its fields: the message for the error box and the field at fault,
// which receives the focus.
struct HotspotRefusal {
    std::string message;
    HotspotField field;
};

// The editor's checks of its fields on OK, in order: application, rollover image and both
// coordinates are required, X lies in 1 to 640 and Y in 1 to 480. Nothing when the fields may
// be handed back. A coordinate that does not convert throws the integer conversion's Error.
std::optional<HotspotRefusal> checkHotspotFields(const Hotspot& fields);

// The file contents. `number` is written as given (the text of the main window's number box).
// A value holding a line break or a Ctrl-Z throws an Error naming its field.
std::string formatAcceptFile(const std::string& number, const Hotspot& fields);
std::string formatDeleteFile(const std::string& number);

struct AcceptedHotspot {
    int32_t number = 0;
    Hotspot fields;
};

// The first line goes through the integer conversion (its Error when it does not convert);
// lines missing at the end read as empty.
AcceptedHotspot parseAcceptFile(const std::string& bytes);
int32_t parseDeleteFile(const std::string& bytes);

// Throws an Error that says so when `number` is not a hotspot slot (1 to 99).
void checkHandedOffNumber(int32_t number);

// Removes hotspot `number`: the hotspots after it move down one slot, the last slot of the
// tables becomes empty, and the count falls by one. A number past the last hotspot changes
// nothing. Returns whether anything changed. The number must be a slot (checkHandedOffNumber).
bool deleteHotspot(ProjectState& state, int32_t number);

// Stores an accepted hotspot in its slot and raises the count to reach it.
void acceptHotspot(ProjectState& state, const AcceptedHotspot& accepted);

}  // namespace torvana
