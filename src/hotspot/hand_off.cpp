#include "hotspot/hand_off.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "project/file_io.h"
#include "project/paths.h"
#include "project/errors.h"
#include "project/integer.h"
#include "project/text_lines.h"

namespace torvana {

namespace {

namespace fs = std::filesystem;

std::string theFolder;

void removeTheFolder() {
    std::error_code ec;
    if (!theFolder.empty()) fs::remove_all(fsPath(theFolder), ec);
}

}  // namespace

const std::string& handOffFolder() {
    if (theFolder.empty()) {
        theFolder = makePrivateFolder("torvana-");
        std::atexit(removeTheFolder);
    }
    return theFolder;
}

std::string acceptFilePath() { return joinPath(handOffFolder(), kAcceptFileName); }
std::string deleteFilePath() { return joinPath(handOffFolder(), kDeleteFileName); }

std::optional<HotspotRefusal> checkHotspotFields(const Hotspot& fields) {
    using enum HotspotField;
    if (fields.application.empty()) return HotspotRefusal{"Application is required.", application};
    if (fields.rolloverImage.empty()) return HotspotRefusal{"Rollover Image is required.", rolloverImage};
    if (fields.x.empty()) return HotspotRefusal{"X coordinate is required.", x};
    const int32_t left = strToInt(fields.x);
    if (left < 1 || left > 640) return HotspotRefusal{"X coordinate has to be from 1 to 640.", x};
    if (fields.y.empty()) return HotspotRefusal{"Y coordinate is required.", y};
    const int32_t top = strToInt(fields.y);
    if (top < 1 || top > 480) return HotspotRefusal{"Y coordinate has to be from 1 to 480.", y};
    return std::nullopt;
}

std::string formatAcceptFile(const std::string& number, const Hotspot& h) {
    static const std::string file = "the hand-off file";
    std::string out;
    appendValueLine(out, number, "HotSpot number", file);
    appendValueLine(out, h.application, "Application", file);
    appendValueLine(out, h.rolloverImage, "Rollover Image", file);
    appendValueLine(out, h.x, "X coordinate", file);
    appendValueLine(out, h.y, "Y coordinate", file);
    appendValueLine(out, h.rolloverWav, "Rollover WAV", file);
    appendValueLine(out, h.clickWav, "Click WAV", file);
    return out;
}

std::string formatDeleteFile(const std::string& number) {
    std::string out;
    appendValueLine(out, number, "HotSpot number", "the hand-off file");
    return out;
}

AcceptedHotspot parseAcceptFile(const std::string& bytes) {
    LineReader in(bytes);
    AcceptedHotspot a;
    a.number = strToInt(in.next());
    a.fields.application = in.next();
    a.fields.rolloverImage = in.next();
    a.fields.x = in.next();
    a.fields.y = in.next();
    a.fields.rolloverWav = in.next();
    a.fields.clickWav = in.next();
    return a;
}

int32_t parseDeleteFile(const std::string& bytes) {
    LineReader in(bytes);
    return strToInt(in.next());
}

void checkHandedOffNumber(int32_t number) {
    if (number < 1 || number > kMaxHotspots)
        throw Error("The hotspot editor handed back hotspot " + std::to_string(number) +
                    ", but hotspots are numbered 1 to " + std::to_string(kMaxHotspots) + "; nothing was changed");
}

bool deleteHotspot(ProjectState& state, int32_t number) {
    checkHandedOffNumber(number);
    if (number > state.hotspotCount) return false;
    for (int k = number; k <= state.hotspotCount; ++k)
        state.setHotspot(k, k < kMaxHotspots ? state.hotspot(k + 1) : Hotspot{});
    --state.hotspotCount;
    return true;
}

void acceptHotspot(ProjectState& state, const AcceptedHotspot& accepted) {
    checkHandedOffNumber(accepted.number);
    state.editedHotspot = accepted.number;
    // The hotspot editor hands back the six fields of the record; the label and the shape are
    // edited in the layout window and stay.
    Hotspot fields = accepted.fields;
    fields.label = state.hotspotLabel[accepted.number];
    fields.shape = state.hotspot(accepted.number).shape;
    state.setHotspot(accepted.number, fields);
    if (state.hotspotCount < accepted.number) state.hotspotCount = accepted.number;
}

}  // namespace torvana
