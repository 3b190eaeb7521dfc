#include "disc/disc_check.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "staging/web_menu.h"
#include "disc/disc_tree.h"
#include "media/media_probe.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "project/paths.h"
#include "project/project_file.h"
#include "project/project_text.h"
#include "project/staged_menu.h"
#include "media/wave_info.h"

namespace torvana {

namespace fs = std::filesystem;

const char* severityName(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Warning: return "warning";
        case Severity::Note: return "note";
    }
    return "note";
}

bool DiscReport::hasErrors() const { return count(Severity::Error) > 0; }

int DiscReport::count(Severity severity) const {
    return static_cast<int>(std::count_if(findings.begin(), findings.end(),
                                          [&](const Finding& f) { return f.severity == severity; }));
}

std::string discSizeText(uint64_t bytes) {
    char text[64];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < 1000000000ull)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    else
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1e9);
    return text;
}

namespace {

constexpr uint64_t kSector = 2048;
constexpr int kStageWidth = 640;
constexpr int kStageHeight = 480;

// Paths and names come from the project file and the disc: bytes that cannot be shown are escaped.
std::string inQuotes(const std::string& s) { return "\"" + visiblePath(s) + "\""; }

// UTF-16 units of a name, read as a project file's text is.
size_t utf16Length(const std::string& name) { return utf8ToUtf16(projectText(name)).size(); }

// What in a name Windows does not allow, as the rest of a sentence; empty when nothing.
std::string forbiddenCharacters(const std::string& name) {
    std::string found;
    bool control = false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 32)
            control = true;
        else if (std::string("<>:\"/\\|?*").find(c) != std::string::npos && found.find(c) == std::string::npos)
            found += c;
    }
    if (!found.empty()) return "holds characters Windows does not allow in a name: " + found;
    if (control) return "holds control characters, which Windows does not allow in a name";
    // Windows takes it, a disc's names for Windows (Joliet) do not: it would show as "_".
    if (name.find(';') != std::string::npos) return "holds \";\", which a disc's names for Windows cannot hold";
    if (!name.empty() && (name.back() == ' ' || name.back() == '.'))
        return "ends in a blank or a full stop, which Windows drops";
    return {};
}

std::string lowerCase(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

// Why Windows would not see the name as it is written on the disc, as the rest of a sentence;
// empty when it would.
std::string windowsNameProblem(const std::string& name) {
    if (utf16Length(name) > kJolietNameLimit) return "is longer than the 103 characters a disc holds";
    return forbiddenCharacters(name);
}

// Everything a build puts into the staging folder, relative, with the folders that hold it.
std::set<std::string> stagedPaths(const StagingPlan& plan) {
    std::set<std::string> staged(plan.folders.begin(), plan.folders.end());
    auto addWithFolders = [&](const std::string& relative) {
        fs::path p(relative);
        for (; !p.empty() && p != p.root_path(); p = p.parent_path()) staged.insert(p.generic_string());
    };
    for (const StagedCopy& c : plan.copies)
        if (!c.source.empty()) addWithFolders(c.relative);
    for (const std::string& w : plan.written) addWithFolders(w);
    return staged;
}

class Checker {
public:
    Checker(const ProjectState& state, const Project& project, const BuildSettings& settings, bool forUsbStick)
        : state_(state), project_(project), plan_(planStaging(state, project, settings)), forUsbStick_(forUsbStick) {}

    DiscReport run() {
        if (!checkRequired()) return finish();
        checkDriveName();
        checkStagingFolder();
        checkSources();
        checkCollisions();
        checkStagingContent();
        checkNames();
        checkSize();
        return finish();
    }

private:
    void add(Severity severity, std::string text, std::string file, Subject subject, int hotspot = 0) {
        report_.findings.push_back({severity, std::move(text), std::move(file), subject, hotspot});
    }

    DiscReport finish() {
        std::stable_sort(report_.findings.begin(), report_.findings.end(),
                         [](const Finding& a, const Finding& b) { return a.severity < b.severity; });
        return std::move(report_);
    }

    // What the build refuses with its own words; nothing else can be checked without them.
    bool checkRequired() {
        const std::string& S = project_.stagingFolder;
        bool ok = true;
        if (!state_.projectOpen()) {
            add(Severity::Error, "No project is open.", "", Subject::Project);
            return false;
        }
        if (project_.hotspotCount < 1)
            add(Severity::Error, "The project has no hotspot yet.", "", Subject::Hotspot, 1);
        if (S.empty()) {
            add(Severity::Error, "Staging Folder is required.", "", Subject::StagingFolder);
            ok = false;
        } else if (S.size() < 4 || resolvesToRoot(S)) {
            add(Severity::Error, "Staging Folder cannot be on the root folder.", S, Subject::StagingFolder);
            ok = false;
        }
        if (project_.backgroundImage.empty())
            add(Severity::Error, "Background Image is required.", "", Subject::BackgroundImage);
        return ok;
    }

    // What Windows calls the drive and offers in its AutoPlay prompt, from autorun.inf.
    void checkDriveName() {
        const std::string label = driveLabelFor(project_.cdTitle);
        if (!label.empty() && label != projectText(project_.cdTitle))
            add(Severity::Note, "Windows names the drive " + inQuotes(label) + ", the part of the CD title it shows.",
                "", Subject::Project);
        if (forUsbStick_)
            add(Severity::Warning,
                "A USB stick does not start the menu by itself: Windows shows its name and AutoPlay entry from "
                "autorun.inf, but the user has to open autorun.exe on it.",
                "", Subject::Project);
    }

    // The build creates only the staging folder's last level.
    void checkStagingFolder() {
        const std::string& S = project_.stagingFolder;
        std::error_code ec;
        const fs::file_status status = fs::status(S, ec);
        if (fs::exists(status)) {
            if (!fs::is_directory(status))
                add(Severity::Error, "The staging folder " + inQuotes(S) + " is a file, not a folder.", S,
                    Subject::StagingFolder);
            return;
        }
        std::string trimmed = S;
        while (trimmed.size() > 1 && trimmed.back() == separator()[0]) trimmed.pop_back();
        const std::string parent = fs::path(trimmed).parent_path().string();
        if (!parent.empty() && !folderExists(parent))
            add(Severity::Error,
                "The staging folder cannot be made: the folder " + inQuotes(parent) + " it goes in does not exist.",
                S, Subject::StagingFolder);
    }

    // A picture's problems: missing, not a picture, or of a size that does not fit.
    // Returns the probe so a rollover's rectangle can be checked.
    PictureProbe checkPicture(const std::string& path, const std::string& what, Subject subject, int hotspot) {
        if (!fileExists(path)) {
            add(Severity::Error, what + " " + inQuotes(path) + " does not exist.", path, subject, hotspot);
            return {};
        }
        PictureProbe probe = probePicture(path);
        if (const std::string problem = pictureProblem(probe); !problem.empty())
            add(Severity::Warning, what + " " + inQuotes(path) + " " + problem + ".", path, subject, hotspot);
        return probe;
    }

    void checkSound(const std::string& path, const std::string& what, Subject subject, int hotspot) {
        if (path.empty()) return;
        if (!fileExists(path))
            add(Severity::Error, what + " " + inQuotes(path) + " does not exist.", path, subject, hotspot);
        else if (const std::string problem = soundProblem(path); !problem.empty())
            add(Severity::Warning, what + " " + inQuotes(path) + " " + problem + ".", path, subject, hotspot);
    }

    void checkSources() {
        const std::string player = state_.programFolder + "autorun.exe";
        if (!fileExists(player))
            add(Severity::Error, "The player " + inQuotes(player) + " does not exist.", player, Subject::Project);

        if (!project_.backgroundImage.empty()) {
            const PictureProbe back =
                checkPicture(project_.backgroundImage, "The background picture", Subject::BackgroundImage, 0);
            if (back.width > 0 && (back.width != kStageWidth || back.height != kStageHeight))
                add(Severity::Warning,
                    "The background picture is " + std::to_string(back.width) + " x " + std::to_string(back.height) +
                        ", not 640 x 480.",
                    project_.backgroundImage, Subject::BackgroundImage);
        }
        checkSound(project_.openingWav, "The opening sound", Subject::OpeningWav, 0);

        // The players' own reading of the hotspots: coordinates they cannot use leave a hotspot out.
        const PlayerProject mapped = mapProject(project_, project_.stagingFolder, "");
        size_t nextNote = 0;

        for (int i = 1; i <= hotspotCount(); ++i) {
            const std::string prefix = "Hotspot " + std::to_string(i) + ": ";
            const auto placed = std::find_if(mapped.hotspots.begin(), mapped.hotspots.end(),
                                             [&](const PlayerHotspot& h) { return h.number == i; });
            // The notes name the left-out hotspots in their order.
            if (placed == mapped.hotspots.end() && nextNote < mapped.notes.size())
                add(Severity::Warning, mapped.notes[nextNote++], "", Subject::Hotspot, i);
            checkApplication(i, prefix);
            const std::string& image = hotspot(i).rolloverImage;
            if (!image.empty()) {
                const PictureProbe probe = checkPicture(image, prefix + "the rollover picture", Subject::Hotspot, i);
                if (probe.width > 0 && placed != mapped.hotspots.end()) {
                    const HotspotRect r = hotspotRect(placed->x, placed->y, probe.width, probe.height);
                    if (r.x < 0 || r.y < 0 || r.x + r.width > kStageWidth || r.y + r.height > kStageHeight)
                        add(Severity::Warning,
                            prefix + "the rollover picture (" + std::to_string(probe.width) + " x " +
                                std::to_string(probe.height) + " at " + std::to_string(placed->x) + ", " +
                                std::to_string(placed->y) + ") reaches past 640 x 480.",
                            image, Subject::Hotspot, i);
                }
            }
            if (placed != mapped.hotspots.end() && placed->shape.drawn()) {
                const HotspotRect r = hotspotRect(placed->x, placed->y, 0, 0, placed->shape);
                if (r.x < 0 || r.y < 0 || r.x + r.width > kStageWidth || r.y + r.height > kStageHeight)
                    add(Severity::Warning,
                        prefix + (placed->shape.kind == HotspotKind::Button ? "the button (" : "the area (") +
                            std::to_string(r.width) + " x " + std::to_string(r.height) + " at " +
                            std::to_string(placed->x) + ", " + std::to_string(placed->y) + ") reaches past 640 x 480.",
                        "", Subject::Hotspot, i);
            }
            checkSound(hotspot(i).rolloverWav, prefix + "the rollover sound", Subject::Hotspot, i);
            checkSound(hotspot(i).clickWav, prefix + "the click sound", Subject::Hotspot, i);
        }
    }

    void checkApplication(int i, const std::string& prefix) {
        const std::string& app = hotspot(i).application;
        if (const std::string scheme = refusedScheme(app); !scheme.empty()) {
            add(Severity::Error,
                prefix + inQuotes(app) + " is a " + scheme +
                    ": address, which no menu opens; a menu opens only http://, https:// and mailto: addresses.",
                "", Subject::Hotspot, i);
            return;
        }
        if (app == "exit" || isWebAddress(app)) return;
        std::string lower = app;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        if (lower == "exit") {
            add(Severity::Warning, prefix + inQuotes(app) + " is taken for a file name; the exit action is written exit.",
                "", Subject::Hotspot, i);
        } else if (app.empty()) {
            add(Severity::Warning, prefix + "it launches nothing.", "", Subject::Hotspot, i);
        } else if (!fileExists(launchedFile(app))) {
            add(Severity::Error, prefix + inQuotes(app) + " is neither exit, a web address nor an existing file.", app,
                Subject::Hotspot, i);
        }
    }

    // The hotspot or field that named a copy's source, for a finding about it.
    std::pair<Subject, int> subjectOf(const StagedCopy& copy) const {
        if (copy.source == project_.backgroundImage) return {Subject::BackgroundImage, 0};
        if (copy.source == project_.openingWav) return {Subject::OpeningWav, 0};
        for (int i = 1; i <= hotspotCount(); ++i)
            if (copy.source == hotspot(i).rolloverImage || copy.source == hotspot(i).rolloverWav ||
                copy.source == hotspot(i).clickWav)
                return {Subject::Hotspot, i};
        return {Subject::Project, 0};
    }

    // Files of one name from different folders meet in one file of images/ or wavs/, and only
    // the last one copied stays. The build finds the same meetings.
    void checkCollisions() {
        for (const StagingMeeting& m : findMeetings(plan_)) {
            const StagedCopy& first = plan_.copies[m.first];
            const StagedCopy& other = plan_.copies[m.second];
            const auto [subject, hotspot] = subjectOf(other);
            add(Severity::Error,
                inQuotes(first.relative) + " would hold two different files, " + inQuotes(first.source) + " and " +
                    inQuotes(other.source) + "; only the one copied last stays.",
                first.relative, subject, hotspot);
        }
    }

    // Every path the build puts into the staging folder, relative to it, with its folders.
    std::set<std::string> expectedPaths() const { return stagedPaths(plan_); }

    void checkStagingContent() {
        const std::string& S = project_.stagingFolder;
        if (!folderExists(S)) return;
        const std::set<std::string> expected = expectedPaths();
        std::error_code ec;
        fs::recursive_directory_iterator it(S, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            const std::string relative = fs::path(it->path()).lexically_relative(S).generic_string();
            std::error_code typeError;
            const bool folder = it->is_directory(typeError) && !it->is_symlink(typeError);
            const uint64_t size = folder ? 0 : fileSize(it->path().string());
            if (expected.count(relative)) {
                present_.push_back(relative);
                continue;
            }
            // A leftover folder is one entry, and everything in it goes with it.
            it.disable_recursion_pending();
            // The project's own files never go: a staging folder that holds the project or its
            // sources (the project's folder, or a folder above it) is told, nothing offered.
            if (const std::string held = heldOwnFile(it->path()); !held.empty()) {
                add(Severity::Warning,
                    inQuotes(relative) + (folder ? " (a folder)" : "") + " in the staging folder " +
                        (folder ? "holds" : "is") + " " + inQuotes(held) +
                        ", a file of the project; it would be burned too, and it is never offered for removal.",
                    it->path().string(), Subject::StagingFolder);
                continue;
            }
            report_.strayEntries.push_back(it->path().string());
            stray_.push_back(relative);
            strayBytes_ += folder ? folderBytes(it->path()) : size;
            add(Severity::Note,
                inQuotes(relative) + (folder ? " (a folder)" : "") +
                    " is in the staging folder but no part of the project puts it there; it would be burned too.",
                it->path().string(), Subject::StagingContent);
        }
        if (ec)
            add(Severity::Warning, "The staging folder " + inQuotes(S) + " cannot be read: " + errnoText(ec.value()) + ".",
                S, Subject::StagingFolder);
        // What the disc image would leave out, and every name it would hold, leftovers' insides too.
        try {
            const DiscTree tree = readDiscTree(S);
            for (const DiscTreeLeftOut& entry : tree.leftOut)
                add(Severity::Warning, leftOutText(entry), joinPath(S, entry.relative), Subject::StagingContent);
            for (const DiscTreeEntry& entry : tree.entries) burned_.push_back(entry.relative);
        } catch (const Error&) {
            // Told above.
        }
    }

    // The project file and every existing source of the plan, as their real paths.
    std::vector<fs::path> ownFiles() const {
        std::vector<fs::path> own;
        auto addReal = [&](const std::string& path) {
            std::error_code ec;
            if (path.empty() || !fileExists(path)) return;
            const fs::path real = fs::canonical(fsPath(path), ec);
            if (!ec) own.push_back(real);
        };
        addReal(state_.projectPath);
        for (const StagedCopy& c : plan_.copies) addReal(c.source);
        return own;
    }

    // The project's own file that the staging folder's entry is, or that lies inside it (a
    // folder); empty when none. A link is an entry of its own: removing it leaves its target.
    std::string heldOwnFile(const fs::path& entry) {
        if (!ownFiles_) ownFiles_ = ownFiles();
        std::error_code ec;
        const fs::path real = fs::canonical(entry.parent_path(), ec) / entry.filename();
        if (ec) return {};
        for (const fs::path& own : *ownFiles_) {
            auto r = real.begin();
            auto o = own.begin();
            for (; r != real.end() && o != own.end() && *r == *o; ++r, ++o) {
            }
            if (r == real.end()) return pathString(own);
        }
        return {};
    }

    static uint64_t folderBytes(const fs::path& folder) {
        uint64_t bytes = 0;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code e;
            if (it->is_regular_file(e)) bytes += it->file_size(e);
        }
        return bytes;
    }

    // Names a disc's Joliet tree or Windows cannot hold, over the whole tree that will be burned:
    // what the build puts there and what is there already.
    void checkNames() {
        std::set<std::string> all = expectedPaths();
        all.insert(present_.begin(), present_.end());
        all.insert(stray_.begin(), stray_.end());
        all.insert(burned_.begin(), burned_.end());
        std::map<std::string, std::map<std::string, std::string>> foldedByFolder;
        for (const std::string& relative : all) {
            const fs::path p(relative);
            const std::string name = p.filename().string();
            const std::string folder = p.parent_path().generic_string();
            const std::string where = folder.empty() ? "the staging folder" : inQuotes(folder);
            if (const std::string bad = windowsNameProblem(name); !bad.empty())
                add(Severity::Warning, "The name " + inQuotes(name) + " in " + where + " " + bad + ".", relative,
                    Subject::StagingContent);
            auto& seen = foldedByFolder[folder];
            const auto [at, inserted] = seen.emplace(lowerCase(name), name);
            if (!inserted)
                add(Severity::Warning,
                    "The names " + inQuotes(at->second) + " and " + inQuotes(name) + " in " + where +
                        " differ only in case; Windows keeps only one of them.",
                    relative, Subject::StagingContent);
        }
    }

    void checkSize() {
        // The last copy to a destination is the one that stays.
        std::map<std::string, uint64_t> files;
        for (const StagedCopy& c : plan_.copies)
            if (!c.source.empty()) files[c.relative] = fileSize(c.source);
        for (const std::string& w : plan_.written) files[w] = 64;
        uint64_t sectors = 0;
        for (const auto& [relative, bytes] : files) {
            report_.fileBytes += bytes;
            sectors += (bytes + kSector - 1) / kSector;
        }
        report_.fileBytes += strayBytes_;
        sectors += (strayBytes_ + kSector - 1) / kSector + stray_.size();
        // Each folder takes a sector in each of the image's trees; the volume's own structures
        // (system area, descriptors, path tables, checksums) take a few dozen more.
        sectors += 3 * (plan_.folders.size() + 1) + 64;
        report_.discBytes = sectors * kSector;

        const uint64_t disc = report_.discBytes;
        const std::string needs = "The disc needs about " + discSizeText(disc) + ": ";
        if (disc > kDvdBytes)
            add(Severity::Warning, needs + "more than a 4.7 GB DVD holds.", "", Subject::StagingContent);
        else if (disc > kCd700Bytes)
            add(Severity::Warning, needs + "more than a 700 MB CD holds; it needs a DVD.", "", Subject::StagingContent);
        else if (disc > kCd650Bytes)
            add(Severity::Warning, needs + "more than a 650 MB CD holds; it needs a 700 MB CD.", "",
                Subject::StagingContent);
    }

    // The project's hotspots, numbered from 1 as the findings name them.
    int hotspotCount() const { return static_cast<int>(std::min(project_.hotspots.size(), size_t(kMaxHotspots))); }
    const Hotspot& hotspot(int i) const { return project_.hotspots[size_t(i - 1)]; }

    const ProjectState& state_;
    const Project& project_;
    const StagingPlan plan_;
    const bool forUsbStick_;
    DiscReport report_;
    std::vector<std::string> present_;  // expected paths already in the staging folder
    std::vector<std::string> stray_;    // stray entries, relative
    std::vector<std::string> burned_;   // everything the image would take from the folder, relative
    uint64_t strayBytes_ = 0;
    std::optional<std::vector<fs::path>> ownFiles_;
};

}  // namespace

DiscReport checkDisc(const ProjectState& state, const Project& project, const BuildSettings& settings,
                     bool forUsbStick) {
    return Checker(state, project, settings, forUsbStick).run();
}

namespace {

// What the file at `path` is to the project, as the end of a sentence ("it is the project
// file."), or empty when it is none of the project's files and lies outside the staging folder.
// Compared through links: an existing file is the same file when it has the same device and
// inode (a symbolic or hard link, a bind mount), a new one when its real path is the same.
std::string projectFileClash(const ProjectState& state, const Project& project, const BuildSettings& settings,
                             const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::weakly_canonical(fs::absolute(fsPath(path), ec), ec);
    if (ec) return {};
    auto same = [&](const std::string& other) {
        if (other.empty()) return false;
        if (sameFile(path, other)) return true;
        std::error_code e;
        return fs::weakly_canonical(fs::absolute(fsPath(other), e), e) == target && !e;
    };
    if (same(state.projectPath)) return "it is the project file.";
    for (const StagedCopy& c : planStaging(state, project, settings).copies)
        if (same(c.source)) return "it is " + inQuotes(c.source) + ", a file of the project.";
    if (!project.stagingFolder.empty()) {
        fs::path folder = fs::weakly_canonical(fs::absolute(fsPath(project.stagingFolder), ec), ec);
        if (folder.filename().empty()) folder = folder.parent_path();  // a typed trailing separator
        const fs::path relative = target.lexically_relative(folder);
        if (!ec && !relative.empty() && *relative.begin() != "..")
            return "it lies inside the staging folder " + inQuotes(project.stagingFolder) + ".";
    }
    return {};
}

}  // namespace

std::string imageTargetRefusal(const ProjectState& state, const Project& project, const BuildSettings& settings,
                               const std::string& imagePath) {
    if (std::string refusal = imageFileRefusal(imagePath); !refusal.empty()) return refusal;
    const std::string clash = projectFileClash(state, project, settings, imagePath);
    return clash.empty() ? clash : "The disc image cannot be written to " + inQuotes(imagePath) + ": " + clash;
}

std::string imageFileRefusal(const std::string& imagePath) {
    const std::string refused = "The disc image cannot be written to " + inQuotes(imagePath) + ": ";
    std::error_code ec;
    const fs::file_status link = fs::symlink_status(fsPath(imagePath), ec);
    const fs::file_status status = fs::status(fsPath(imagePath), ec);
    // A link is written through to its file; one that leads nowhere is not followed.
    if (fs::is_symlink(link) && !fs::exists(status))
        return refused + "it is a link to " + inQuotes(pathString(fs::read_symlink(fsPath(imagePath), ec))) +
               ", which does not exist.";
    if (fs::exists(status) && !fs::is_regular_file(status)) return refused + "it is not a regular file.";
    return {};
}

BurnTarget burnTargetCheck(const ProjectState& state, const Project& project, const BuildSettings& settings,
                           const std::string& drive) {
    BurnTarget target;
    if (drive.rfind(kStdioPrefix, 0) != 0) return target;
    const std::string path = drive.substr(std::string(kStdioPrefix).size());
    const std::string clash = projectFileClash(state, project, settings, path);
    if (!clash.empty()) {
        target.refusal = "The disc cannot be burned to " + inQuotes(drive) + ": " + clash;
        return target;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(fsPath(path), ec);
    if (fs::is_regular_file(status)) target.replacedBytes = fileSize(path);
    return target;
}

std::string burnOverFileQuestion(const std::string& drive, uint64_t bytes) {
    return inQuotes(drive.substr(std::string(kStdioPrefix).size())) + " is a file of " + discSizeText(bytes) +
           ". Burning the disc to it replaces everything it holds. Burn to it anyway?";
}

std::string windowsNameFailure(const ProjectState& state, const Project& project, const BuildSettings& settings) {
    const std::set<std::string> used = stagedPaths(planStaging(state, project, settings));
    // The names each folder of the disc holds, by their folded case.
    std::map<std::string, std::string> folded;
    auto key = [](const fs::path& p) { return p.parent_path().generic_string() + "/" + lowerCase(p.filename().string()); };
    for (const DiscTreeEntry& entry : readDiscTree(project.stagingFolder).entries)
        if (!used.count(entry.relative)) folded.emplace(key(entry.relative), entry.relative);
    for (const std::string& relative : used) {
        const fs::path p(relative);
        const std::string said = "The disc image was not written: the menu uses " + inQuotes(relative) +
                                 ", which Windows would not find on the disc: its name ";
        if (const std::string problem = windowsNameProblem(p.filename().string()); !problem.empty())
            return said + problem + ".";
        const auto [at, inserted] = folded.emplace(key(p), relative);
        if (!inserted)
            return said + "and " + inQuotes(fs::path(at->second).filename().string()) +
                   " differ only in case; Windows keeps only one of them.";
    }
    return {};
}

std::string proposedImagePath(const std::string& stagingFolder, const std::string& cdTitle) {
    std::string name;
    for (const char c : projectText(cdTitle)) {
        const bool bad = static_cast<unsigned char>(c) < 0x20 || std::string("/\\:*?\"<>|").find(c) != std::string::npos;
        name += bad ? '_' : c;
    }
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    while (!name.empty() && (name.front() == ' ' || name.front() == '.')) name.erase(0, 1);
    if (name.empty()) name = "disc";
    fs::path folder = fsPath(stagingFolder);
    while (folder.has_relative_path() && folder.filename().empty()) folder = folder.parent_path();
    return pathString(folder.parent_path() / fsPath(name + ".iso"));
}

void removeStrayEntries(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::error_code ec;
        fs::remove_all(path, ec);
        if (ec) throw Error("\"" + path + "\" cannot be removed: " + errnoText(ec.value()));
    }
}

}  // namespace torvana
