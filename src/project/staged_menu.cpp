#include "project/staged_menu.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/integer.h"
#include "project/paths.h"
#include "project/project_text.h"

namespace torvana {

namespace fs = std::filesystem;

namespace {

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

bool endsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    return startsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// The staged copy of a stored path in `subfolder` of the staging folder; empty stays empty.
std::string stagedCopy(const std::string& folder, const std::string& subfolder, const std::string& stored) {
    if (stored.empty()) return {};
    return joinPath(joinPath(folder, subfolder), fileNamePart(stored));
}

}  // namespace

std::optional<std::string> findProjectFile(const std::string& folder) {
    std::error_code ec;
    fs::directory_iterator it(fsPath(folder), ec);
    if (ec) throw Error("The folder \"" + folder + "\" cannot be read: " + errnoText(ec.value()));

    std::optional<std::string> best;
    std::string bestName;
    fs::file_time_type bestTime{};
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::string name = pathString(it->path().filename());
        if (!endsWithNoCase(name, ".cdrom")) continue;
        std::error_code entryError;
        if (!it->is_regular_file(entryError)) continue;
        const auto changed = it->last_write_time(entryError);
        if (entryError) continue;
        if (!best || changed > bestTime || (changed == bestTime && name < bestName)) {
            best = pathString(it->path());
            bestName = name;
            bestTime = changed;
        }
    }
    if (ec) throw Error("The folder \"" + folder + "\" cannot be read: " + errnoText(ec.value()));
    return best;
}

HotspotRect hotspotRect(int x, int y, int pictureWidth, int pictureHeight, const HotspotShape& shape) {
    if (shape.drawn()) {
        pictureWidth = shape.width;
        pictureHeight = shape.height;
    }
    const bool picture = pictureWidth > 0 && pictureHeight > 0;
    HotspotRect r;
    r.x = std::clamp(x, -kCoordinateLimit, kCoordinateLimit);
    r.y = std::clamp(y, -kCoordinateLimit, kCoordinateLimit);
    r.width = picture ? std::min(pictureWidth, kCoordinateLimit) : kInvisibleHotspotSize;
    r.height = picture ? std::min(pictureHeight, kCoordinateLimit) : kInvisibleHotspotSize;
    return r;
}

CoordinateTexts placedCoordinates(int x, int y) {
    return {std::to_string(std::clamp(x, 1, kStageWidth)), std::to_string(std::clamp(y, 1, kStageHeight))};
}

std::string windowBarTitle(const std::string& title) {
    if (title.size() <= kMaxTitleBytes) return title;
    size_t end = kMaxTitleBytes;
    while (end > 0 && (static_cast<unsigned char>(title[end]) & 0xC0) == 0x80) --end;
    return title.substr(0, end);
}

PlayerProject mapProject(const Project& data, const std::string& folder, const std::string& projectFile,
                         ProjectFiles files) {
    const auto staged = [&](const std::string& base, const std::string& subfolder, const std::string& stored) {
        if (files == ProjectFiles::Staged) return stagedCopy(base, subfolder, stored);
        // A file no longer where the project names it, as for the staged copy of the project
        // file, is taken from beside it when there.
        if (stored.empty() || fileExists(stored)) return stored;
        const std::string copy = stagedCopy(base, subfolder, stored);
        return fileExists(copy) ? copy : stored;
    };
    PlayerProject project;
    project.folder = folder;
    project.projectFile = projectFile;
    project.title = windowBarTitle(projectText(data.cdTitle));
    project.showBrowse = data.showBrowse;
    project.showExit = data.showExit;
    project.buttonStyle = data.buttonStyle;
    project.background = staged(folder, "images", data.backgroundImage);
    project.openingWav = staged(folder, "wavs", data.openingWav);

    for (size_t i = 0; i < data.hotspots.size(); ++i) {
        const Hotspot& stored = data.hotspots[i];
        PlayerHotspot h;
        h.number = static_cast<int>(i) + 1;
        const std::optional<int32_t> x = tryStrToInt(stored.x);
        const std::optional<int32_t> y = tryStrToInt(stored.y);
        if (!x || !y) {
            // Placing it anywhere else would put a live target where the picture shows none.
            project.notes.push_back("Hotspot " + std::to_string(h.number) + " left out: " +
                                    invalidIntegerText(!x ? stored.x : stored.y) + ".");
            continue;
        }
        h.x = *x;
        h.y = *y;
        // The program is the longest part of the text whose file is staged in the hotspot's
        // folder, as the build chose it on the editor's machine; the rest are its options.
        const std::string hotspotFolder = std::to_string(h.number);
        const HotspotAction action = hotspotAction(stored.application, [&](const std::string& prefix) {
            return fileExists(staged(folder, hotspotFolder, prefix));
        });
        h.kind = action.kind;
        h.target = action.kind == ActionKind::WebAddress ? browserAddress(action.target)
                   : action.kind == ActionKind::File     ? staged(folder, hotspotFolder, action.target)
                                                         : action.target;
        h.options = action.options;
        h.rolloverImage = staged(folder, "images", stored.rolloverImage);
        h.rolloverWav = staged(folder, "wavs", stored.rolloverWav);
        h.clickWav = staged(folder, "wavs", stored.clickWav);
        h.label = projectText(stored.label);
        h.shape = stored.shape;
        project.hotspots.push_back(std::move(h));
    }
    return project;
}

HotspotAction hotspotAction(const std::string& application, const std::function<bool(const std::string&)>& isFile) {
    if (application == "exit") return {ActionKind::Exit, {}, {}};
    if (isWebAddress(application)) return {ActionKind::WebAddress, application, {}};
    if (!refusedScheme(application).empty()) return {ActionKind::Refused, application, {}};
    LaunchCommand launch = splitLaunchText(application, isFile);
    return {ActionKind::File, std::move(launch.program), std::move(launch.options)};
}

std::string hotspotActionText(const std::string& application, const std::function<bool(const std::string&)>& isFile) {
    const HotspotAction action = hotspotAction(application, isFile);
    switch (action.kind) {
        case ActionKind::Exit:
            return "exit";
        case ActionKind::WebAddress:
        case ActionKind::Refused:
            return action.target;
        case ActionKind::File:
            break;
    }
    if (!action.target.empty() && isFile(action.target))
        return fileNamePart(action.target) + (action.options.empty() ? "" : " " + action.options);
    // No part of the text names a file: a "/" after its first blank is taken for an option's.
    const size_t blank = application.find(' ');
    if (blank == std::string::npos) return fileNamePart(application);
    return fileNamePart(application.substr(0, blank)) + application.substr(blank);
}

std::string refusedAddressNote(const PlayerHotspot& hotspot) {
    return "Hotspot " + std::to_string(hotspot.number) + ": \"" + visiblePath(hotspot.target) +
           "\" is not opened; a menu opens only web pages and mail addresses.";
}

Project withPathsAsText(Project data) {
    for (std::string* path : {&data.stagingFolder, &data.backgroundImage, &data.openingWav}) *path = projectText(*path);
    for (Hotspot& h : data.hotspots)
        for (std::string* path : {&h.application, &h.rolloverImage, &h.rolloverWav, &h.clickWav}) *path = projectText(*path);
    return data;
}

PlayerProject loadPlayerProject(const std::vector<std::string>& folders, StoredPaths paths) {
    std::string listingFailure;
    for (const std::string& folder : folders) {
        std::optional<std::string> file;
        try {
            file = findProjectFile(folder);
        } catch (const Error& e) {
            // An unreadable folder does not stop the search in the next one.
            if (listingFailure.empty()) listingFailure = e.what();
            continue;
        }
        if (!file) continue;
        Project data;
        try {
            data = readProjectFile(*file);
        } catch (const Error& e) {
            throw Error("The menu cannot be shown: the project file \"" + visiblePath(*file) +
                                 "\" cannot be read (" + e.what() + ").");
        }
        return mapProject(paths == StoredPaths::Text ? withPathsAsText(std::move(data)) : data, folder, *file);
    }
    if (!listingFailure.empty()) throw Error("The menu cannot be shown. " + listingFailure + ".");
    std::string where;
    for (const std::string& folder : folders) where += (where.empty() ? "\"" : " or \"") + folder + "\"";
    throw Error("The menu cannot be shown: there is no project file (*.cdrom) in " + where + ".");
}

namespace {

std::string spokenName(const PlayerHotspot& hotspot) {
    if (!hotspot.label.empty()) return hotspot.label;
    switch (hotspot.kind) {
        case ActionKind::Exit:
            return "Exit";
        case ActionKind::File:
            return "Open " + fileNamePart(hotspot.target);
        case ActionKind::WebAddress: {
            const std::string& address = hotspot.target;
            if (address.compare(0, 7, "mailto:") == 0)
                return "Write to " + address.substr(7, address.find('?') == std::string::npos ? std::string::npos
                                                                                             : address.find('?') - 7);
            const size_t scheme = address.find("://");
            std::string host = scheme == std::string::npos ? address : address.substr(scheme + 3);
            host = host.substr(0, host.find_first_of("/?#"));
            if (host.compare(0, 4, "www.") == 0 && host.size() > 4) host = host.substr(4);
            return "Visit " + (host.empty() ? address : host);
        }
        case ActionKind::Refused:
            break;
    }
    return hotspot.target;
}

}  // namespace

std::string hotspotName(const PlayerHotspot& hotspot) { return projectText(spokenName(hotspot)); }

}  // namespace torvana
