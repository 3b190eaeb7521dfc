// Fuzzes the hand-off file readers and their application to a project: any bytes either apply
// inside slots 1 to 99 or fail with the program's Error.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "hotspot/hand_off.h"
#include "project/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    torvana::ProjectState state;
    state.hotspotCount = size % 100;  // any count a project can have
    for (int i = 1; i <= state.hotspotCount; ++i) state.hotspotApplication[i] = "a";
    try {
        torvana::acceptHotspot(state, torvana::parseAcceptFile(bytes));
    } catch (const torvana::Error&) {
    }
    try {
        torvana::deleteHotspot(state, torvana::parseDeleteFile(bytes));
    } catch (const torvana::Error&) {
    }
    if (state.hotspotCount < 0 || state.hotspotCount > torvana::kMaxHotspots) std::abort();
    return 0;
}
