// Fuzzes what a player makes of a project file on the disc: any bytes either fail with the
// program's Error or map to a menu whose staged files all lie inside the staging folder, whose
// title fits a window bar, and whose hotspot rectangles never overflow nor reach onto the stage
// from far away. The web page menu of it holds no markup of the project's texts: it has as many
// <, > and " as the page of the same menu with every text replaced by plain letters.

#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "staging/web_menu.h"
#include "project/project_text.h"
#include "project/errors.h"
#include "project/project_file.h"
#include "project/staged_menu.h"

namespace {

void checkInside(const std::string& staged) {
    if (staged.empty()) return;
    const std::string normal = std::filesystem::path(staged).lexically_normal().string();
    if (normal.rfind("/stage", 0) != 0) std::abort();
}

// The menu with each text replaced by letters, one name for each distinct path, so the page
// keeps its shape (the same sounds shared, the same pictures missing).
torvana::PlayerProject plain(torvana::PlayerProject menu) {
    std::map<std::string, std::string> names;
    auto rename = [&](std::string& path) {
        if (path.empty()) return;
        auto [at, added] = names.emplace(path, "");
        if (added) at->second = "/stage/p/n" + std::to_string(names.size());
        path = at->second;
    };
    menu.title = "t";
    rename(menu.background);
    rename(menu.openingWav);
    for (std::string& note : menu.notes) note = "n";
    for (torvana::PlayerHotspot& h : menu.hotspots) {
        if (h.kind == torvana::ActionKind::WebAddress)
            h.target = torvana::isScriptAddress(h.target) ? "javascript:w" : "http://w";
        else
            rename(h.target);
        rename(h.rolloverImage);
        rename(h.rolloverWav);
        rename(h.clickWav);
    }
    return menu;
}

size_t markup(const std::string& page) {
    return std::count(page.begin(), page.end(), '<') * 1000000 + std::count(page.begin(), page.end(), '>') * 1000 +
           std::count(page.begin(), page.end(), '"');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    torvana::Project stored;
    try {
        stored = torvana::parseProjectFile(bytes, "fuzz.cdrom");
    } catch (const torvana::Error&) {
        return 0;
    }
    const torvana::PlayerProject menu = torvana::mapProject(stored, "/stage", "/stage/fuzz.cdrom");
    // The title is the stored one read as text, cut to the bytes a window title holds.
    if (menu.title.size() > torvana::kMaxTitleBytes || torvana::projectText(stored.cdTitle).rfind(menu.title, 0) != 0)
        std::abort();
    checkInside(menu.background);
    checkInside(menu.openingWav);
    if (menu.hotspots.size() + menu.notes.size() != stored.hotspots.size()) std::abort();
    for (const torvana::PlayerHotspot& h : menu.hotspots) {
        if (h.number < 1 || h.number > torvana::kMaxHotspots) std::abort();
        if (h.kind == torvana::ActionKind::File) checkInside(h.target);
        checkInside(h.rolloverImage);
        checkInside(h.rolloverWav);
        checkInside(h.clickWav);
        // Any picture size with the stored coordinates.
        const int w = static_cast<int>(size * 2654435761u);
        const int height = static_cast<int>(bytes.empty() ? 0 : uint8_t(bytes.back()) * 99991);
        const torvana::HotspotRect r = torvana::hotspotRect(h.x, h.y, w, height);
        if (int64_t(r.x) + r.width > INT32_MAX || int64_t(r.y) + r.height > INT32_MAX) std::abort();
        const bool farOff = h.x >= 640 || h.y >= 480 || int64_t(h.x) + torvana::kCoordinateLimit < 0 ||
                            int64_t(h.y) + torvana::kCoordinateLimit < 0;
        if (farOff && (r.contains(0, 0) || r.contains(639, 479) || r.contains(320, 240))) std::abort();
    }
    if (markup(torvana::webMenuPage(menu)) != markup(torvana::webMenuPage(plain(menu)))) std::abort();
    return 0;
}
