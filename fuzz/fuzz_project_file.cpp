// Fuzzes the project file reader: any bytes either read or fail with the program's Error, and
// whatever reads writes back to bytes that read the same again.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "project/errors.h"
#include "project/project_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    torvana::ProjectFileData parsed;
    try {
        parsed = torvana::parseProjectFile(bytes, "fuzz.cdrom");
    } catch (const torvana::Error&) {
        return 0;
    }
    if (parsed.hotspotCount < 0 || parsed.hotspotCount > 99 ||
        parsed.hotspots.size() != static_cast<size_t>(parsed.hotspotCount))
        std::abort();
    // Values never hold a line end, so they survive a write and a read unchanged.
    if (torvana::parseProjectFile(torvana::formatProjectFile(parsed), "again.cdrom") != parsed) std::abort();
    return 0;
}
