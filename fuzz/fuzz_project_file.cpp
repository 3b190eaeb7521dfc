// Fuzzes the project file both ways. Read: any bytes either read or fail with the program's
// Error, and whatever reads writes back to bytes that read the same again. Write: the same bytes
// cut at each NUL become the values of a project; the writer either refuses a value that holds
// a line break or a Ctrl-Z with the program's Error, or writes a file that reads back unchanged.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "project/errors.h"
#include "project/project_file.h"

namespace {

void readThenWrite(const std::string& bytes) {
    torvana::Project parsed;
    try {
        parsed = torvana::parseProjectFile(bytes, "fuzz.cdrom");
    } catch (const torvana::Error&) {
        return;
    }
    if (parsed.hotspotCount < 0 || parsed.hotspotCount > 99 ||
        parsed.hotspots.size() != static_cast<size_t>(parsed.hotspotCount))
        std::abort();
    // Values read never hold a line end, so they survive a write and a read unchanged.
    if (torvana::parseProjectFile(torvana::formatProjectFile(parsed), "again.cdrom") != parsed) std::abort();
}

void writeThenRead(const std::string& bytes) {
    std::vector<std::string> values(1);
    for (char c : bytes) {
        if (c == '\0') values.emplace_back();
        else values.back() += c;
    }
    values.resize(4 + 6 * ((values.size() + 1) / 6), std::string());
    torvana::Project d;
    d.showBrowse = !bytes.empty() && (bytes[0] & 1);
    d.showExit = !bytes.empty() && (bytes[0] & 2);
    d.cdTitle = values[0];
    d.stagingFolder = values[1];
    d.backgroundImage = values[2];
    d.openingWav = values[3];
    for (size_t i = 4; i + 6 <= values.size() && d.hotspots.size() < 99; i += 6)
        d.hotspots.push_back({values[i], values[i + 1], values[i + 2], values[i + 3], values[i + 4], values[i + 5]});
    d.hotspotCount = static_cast<int32_t>(d.hotspots.size());
    bool breaks = false;
    for (size_t i = 0; i < 4 + 6 * d.hotspots.size(); ++i)
        breaks = breaks || values[i].find_first_of("\r\n\x1a") != std::string::npos;
    std::string file;
    try {
        file = torvana::formatProjectFile(d);
    } catch (const torvana::Error&) {
        if (!breaks) std::abort();  // refused a value that would have read back
        return;
    }
    if (torvana::parseProjectFile(file, "written.cdrom") != d) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    readThenWrite(bytes);
    writeThenRead(bytes);
    return 0;
}
