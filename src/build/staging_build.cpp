#include "build/staging_build.h"

#include <vector>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/paths.h"
#include "project/project_file.h"
#include "project/text_lines.h"

namespace torvana {

std::string cutCommandLine(const std::string& source) {
    // From the fifth character on, the first blank with a full stop four places before it.
    for (size_t i = 4; i < source.size(); ++i)
        if (source[i] == ' ' && source[i - 4] == '.') return source.substr(0, i + 1);
    return source;
}

namespace {

// The path the file system is asked about: the cut's trailing blank named the same file on the
// platform the rule comes from, so it is dropped here; messages keep it.
std::string fileSystemPath(const std::string& cut) {
    const size_t n = cut.size();
    if (n >= 5 && cut[n - 1] == ' ' && cut[n - 5] == '.') return cut.substr(0, n - 1);
    return cut;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

void CopyIntoStaging(const std::string& source, const std::string& destination, BuildUser& user,
                     bool& copyFailed, const std::function<void(uint64_t)>& done) {
    if (source.empty()) return;
    const std::string cut = cutCommandLine(source);
    const std::string path = fileSystemPath(cut);
    if (!fileExists(path)) {
        user.warning("File: " + quoted(cut) + " does not exist.");
        copyFailed = true;
        return;
    }
    // A source that already is the destination stays as it is.
    if (sameFile(path, destination)) return;
    bool copied = true;
    try {
        copyFileReplacing(path, destination, done);
    } catch (const Error&) {
        copied = false;
    }
    // A failed copy is reported even when an older file of that name remains at the destination.
    if (!copied || !fileExists(destination)) {
        copyFailed = true;
        user.error("Error copying file: " + quoted(cut) + " to " + quoted(destination));
    }
}

namespace {

struct Copy {
    std::string source;
    std::string destination;
};

// Resets the pointer when the build ends, however it ends.
class BusyGuard {
public:
    explicit BusyGuard(BuildUser& user) : user_(user) {}
    ~BusyGuard() { user_.busy(false); }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    BuildUser& user_;
};

void createFolderIfMissing(const std::string& folder) {
    if (!folderExists(folder)) createFolder(folder);
}

}  // namespace

BuildResult runStagingBuild(ProjectState& state, const BuildFields& fields, BuildUser& user) {
    BusyGuard arrowAtTheEnd(user);
    state.copyFailed = false;

    if (!state.projectOpen() || fields.trackBarMaximum < 2) {
        user.beep();
        return BuildResult::Refused;
    }
    const std::string& S = fields.stagingFolder;
    if (S.empty()) {
        user.refuse(BuildField::StagingFolder, "Staging Folder is required.");
        return BuildResult::Refused;
    }
    if (S.size() < 4) {
        user.refuse(BuildField::StagingFolder, "Staging Folder cannot be on the root folder.");
        return BuildResult::Refused;
    }
    if (fields.backgroundImage.empty()) {
        user.refuse(BuildField::BackgroundImage, "Background Image is required.");
        return BuildResult::Refused;
    }

    createFolderIfMissing(S);

    ProjectFileData data;
    data.hotspotCount = state.hotspotCount;
    data.showBrowse = fields.showBrowse;
    data.showExit = fields.showExit;
    data.cdTitle = fields.cdTitle;
    data.stagingFolder = fields.stagingFolder;
    data.backgroundImage = fields.backgroundImage;
    data.openingWav = fields.openingWav;
    data.hotspots = hotspotsOf(state);
    writeProjectFile(state.projectPath, data);
    state.projectSaved = true;

    user.busy(true);
    const std::string images = joinPath(S, "images");
    const std::string wavs = joinPath(S, "wavs");
    createFolderIfMissing(images);
    createFolderIfMissing(wavs);
    const int count = std::min(state.hotspotCount, kMaxHotspots);
    for (int i = 1; i <= count; ++i) createFolderIfMissing(joinPath(S, std::to_string(i)));

    // Every copy in its order, planned first so the progress knows the total.
    std::vector<Copy> copies;
    copies.push_back({state.projectPath, joinPath(S, fileNamePart(state.projectPath))});
    copies.push_back({state.programFolder + "autorun.exe", joinPath(S, "autorun.exe")});
    copies.push_back({fields.backgroundImage, joinPath(images, fileNamePart(fields.backgroundImage))});
    if (!fields.openingWav.empty()) copies.push_back({fields.openingWav, joinPath(wavs, fileNamePart(fields.openingWav))});
    for (int i = 1; i <= count; ++i) {
        const std::string& app = state.hotspotApplication[i];
        // "exit" is the exit action and a web address is opened, not copied.
        if (app != "exit" && !isWebAddress(app))
            copies.push_back({app, joinPath(joinPath(S, std::to_string(i)), fileNamePart(app))});
        copies.push_back({state.hotspotRolloverImage[i], joinPath(images, fileNamePart(state.hotspotRolloverImage[i]))});
        if (!state.hotspotRolloverWav[i].empty())
            copies.push_back({state.hotspotRolloverWav[i], joinPath(wavs, fileNamePart(state.hotspotRolloverWav[i]))});
        if (!state.hotspotClickWav[i].empty())
            copies.push_back({state.hotspotClickWav[i], joinPath(wavs, fileNamePart(state.hotspotClickWav[i]))});
    }

    uint64_t total = 0;
    for (const Copy& c : copies) total += fileSize(fileSystemPath(cutCommandLine(c.source)));
    uint64_t before = 0;
    for (const Copy& c : copies) {
        const std::string name = fileNamePart(c.destination);
        user.progress(name, before, total);
        uint64_t thisFile = 0;
        CopyIntoStaging(c.source, c.destination, user, state.copyFailed, [&](uint64_t done) {
            thisFile = done;
            user.progress(name, before + done, total);
        });
        before += thisFile;
    }

    std::string inf;
    appendLine(inf, "[autorun]");
    appendLine(inf, "OPEN=autorun.exe");
    appendLine(inf, "ICON=autorun.exe");
    replaceFileContents(joinPath(S, "autorun.inf"), inf);

    if (state.copyFailed) return BuildResult::CompletedWithFailures;
    user.busy(false);
    user.succeeded();
    user.information("All Files copied over to " + quoted(S) + ", and can to be copied to a CDROM.");
    return BuildResult::Succeeded;
}

}  // namespace torvana
