#include "staging/staging_build.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <vector>

#include "staging/web_menu.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "project/paths.h"
#include "project/project_file.h"
#include "project/project_text.h"
#include "project/staged_menu.h"
#include "project/text_lines.h"

namespace torvana {

namespace fs = std::filesystem;

std::string launchedFile(const std::string& application) {
    return splitLaunchText(application, [](const std::string& path) { return fileExists(path); }).program;
}

namespace {

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

bool resolvesToRoot(const std::string& folder) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(folder, ec);
    if (ec) return false;
    const fs::path resolved = fs::weakly_canonical(absolute, ec).lexically_normal();
    if (ec) return false;
    return resolved == resolved.root_path() || resolved.relative_path().empty();
}

void CopyIntoStaging(const std::string& source, const std::string& destination, BuildUser& user,
                     bool& copyFailed, const std::function<void(uint64_t)>& done) {
    if (source.empty()) return;
    // The source is taken whole: a missing "photo 2.bmp" is never made up for by "photo".
    const std::string& path = source;
    if (!fileExists(path)) {
        user.warning("File: " + quoted(visiblePath(path)) + " does not exist.");
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
        user.error("Error copying file: " + quoted(visiblePath(path)) + " to " + quoted(visiblePath(destination)));
    }
}

namespace {

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

constexpr const char* kAutorunInf = "autorun.inf";

// A file the build writes for the disc (not the project's own autorun.inf) that could not be
// written: told like a failed copy, and the build goes on.
void writeFailed(const std::string& path, const Error& e, ProjectState& state, BuildUser& user) {
    state.copyFailed = true;
    user.error("Error writing file: " + quoted(path) + " (" + e.what() + ").");
}

// The staged project file without the author's folders, unless it is the user's own file.
void writeStagedProject(const Project& data, ProjectState& state, const std::string& staged, BuildUser& user) {
    if (sameFile(state.projectPath, staged)) {
        user.warning("The project file " + quoted(visiblePath(staged)) +
                     " is kept in the staging folder itself, so the disc carries the folder names it stores. "
                     "Keep it in another folder to leave them off.");
        return;
    }
    try {
        replaceFileContents(staged, formatProjectFile(withoutFolderNames(data)));
    } catch (const Error& e) {
        writeFailed(staged, e, state, user);
    }
}

constexpr const char* kWindowsPlayer = "autorun.exe";

// Signs the player just copied into the staging folder; a failure is a failed copy.
void signStagedPlayer(const StagedCopy& player, const Project& project, const Signing& signing, ProjectState& state,
                      BuildUser& user) {
    const std::string& source = player.source;
    std::string reason;
    if (sameFile(source, player.destination)) {
        reason = "it is the editor's own copy, which is never signed; choose another staging folder";
    } else {
        try {
            signWindowsProgram(player.destination, signing, projectText(project.cdTitle));
            return;
        } catch (const Error& e) {
            reason = e.what();
        }
    }
    state.copyFailed = true;
    user.error("Error signing file: " + quoted(visiblePath(player.destination)) + ": " + reason);
}

// Makes a folder of the staging folder; a failure names the folder, and a file in its place is
// said to be one.
void createFolderIfMissing(const std::string& folder) {
    if (folderExists(folder)) return;
    if (fileExists(folder)) throw Error("\"" + visiblePath(folder) + "\" is a file, not a folder");
    try {
        createFolder(folder);
    } catch (const Error& e) {
        throw Error("The folder \"" + visiblePath(folder) + "\" cannot be made: " + e.what());
    }
}

// The start of autorun.sh as every build writes it, by which a later build knows the file as its
// own.
constexpr const char* kAutorunShMark = "# Shows the disc's menu on a Linux desktop";

bool isOwnAutorunSh(const std::string& text) { return text.find(kAutorunShMark) != std::string::npos; }

// autorun.inf as the build writes it starts with these two lines, in UTF-16 after its mark when
// the drive's label needs more than ASCII.
bool isOwnAutorunInf(const std::string& text) {
    const std::string start = "[autorun]\r\nOPEN=autorun.exe\r\n";
    std::string wide = "\xFF\xFE";
    for (const char c : start) wide += {c, '\0'};
    return text.rfind(start, 0) == 0 || text.rfind(wide, 0) == 0;
}

// A file of the user's own where the build writes one of its files, which it must not replace.
bool isForeignFile(const std::string& path, bool (*isOwn)(const std::string&)) {
    if (!fileExists(path)) return false;
    try {
        return !isOwn(readFileContents(path));
    } catch (const Error&) {
        return true;  // unreadable or too large: certainly not a file the build wrote
    }
}

// The real path of a file, empty when it does not resolve.
std::string realPath(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fsPath(path), ec);
    return ec ? std::string() : pathString(p);
}

// The real paths of every source of the plan that exists.
std::set<std::string> existingSources(const StagingPlan& plan) {
    std::set<std::string> sources;
    for (const StagedCopy& c : plan.copies) {
        const std::string& path = c.source;
        if (!c.source.empty() && fileExists(path)) sources.insert(realPath(path));
    }
    return sources;
}

// The Linux player's folder beside the editor, relative to it: its sub-folders (a folder before
// what it holds) and its files other than the player, both sorted so that every build copies
// in the same order. Nothing when the folder is missing.
void listLinuxPlayerFolder(const std::string& programFolder, std::vector<std::string>& folders,
                           std::vector<std::string>& files) {
    const fs::path root = fsPath(programFolder + kLinuxPlayerFolder);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::string inside = pathString(it->path().lexically_relative(root));
#ifdef _WIN32
        std::replace(inside.begin(), inside.end(), '\\', '/');
#endif
        const std::string relative = std::string(kLinuxPlayerFolder) + "/" + inside;
        std::error_code typeError;
        if (it->is_directory(typeError)) folders.push_back(relative);
        else if (relative != kLinuxPlayer) files.push_back(relative);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
}

}  // namespace

const char* const kAutorunShText =
    "#!/bin/sh\n"
    "# Shows the disc's menu on a Linux desktop, which runs this file from the disc's root. The\n"
    "# player in linux-x86_64/ brings its own SDL and finds the menu in its current folder.\n"
    "\n"
    "# Says why the menu cannot be shown, on standard error and in a box where a desktop has one.\n"
    "fail() {\n"
    "  echo \"autorun.sh: $1\" >&2\n"
    "  if [ -n \"$DISPLAY$WAYLAND_DISPLAY\" ]; then\n"
    "    if command -v zenity >/dev/null 2>&1; then zenity --error --title=\"Disc menu\" --text=\"$1\" 2>/dev/null\n"
    "    elif command -v kdialog >/dev/null 2>&1; then kdialog --title \"Disc menu\" --error \"$1\" 2>/dev/null\n"
    "    elif command -v xmessage >/dev/null 2>&1; then xmessage -center \"$1\" 2>/dev/null\n"
    "    fi\n"
    "  fi\n"
    "  exit 1\n"
    "}\n"
    "\n"
    "# This file's own folder, whatever its name: the x keeps line breaks at the end of the name,\n"
    "# ./ keeps a name starting with - from reading as an option or as the previous folder, and\n"
    "# an empty CDPATH keeps cd from going to a folder of the same name elsewhere.\n"
    "here=$(dirname -- \"$0\"; echo x)\n"
    "here=${here%?x}\n"
    "case $here in /*) ;; *) here=./$here ;; esac\n"
    "CDPATH= cd -P -- \"$here\" || fail \"cannot open the folder of the disc's menu.\"\n"
    "# Without a desktop the menu would run unseen and unheard until ended.\n"
    "[ -n \"$DISPLAY$WAYLAND_DISPLAY\" ] || fail \"" TORVANA_NO_DESKTOP_TEXT "\"\n"
    "player=linux-x86_64/torvana-player\n"
    "[ -f \"$player\" ] || fail \"the player $player is missing from the disc.\"\n"
    "# The player takes this process's place, so the desktop's own handling of it (ending it too)\n"
    "# reaches the player.\n"
    "if [ -x \"$player\" ]; then\n"
    "  exec \"./$player\" \"$@\"\n"
    "fi\n"
    "# A disc mounted without execute permission: the system's dynamic loader runs the player. It\n"
    "# first loads the player without running it, so a mount that lets nothing be mapped to run\n"
    "# (noexec) is said instead of failing silently.\n"
    "for loader in /lib64/ld-linux-x86-64.so.2 /lib/x86_64-linux-gnu/ld-linux-x86-64.so.2 \\\n"
    "    /usr/lib64/ld-linux-x86-64.so.2 /usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2; do\n"
    "  if [ -f \"$loader\" ]; then\n"
    "    \"$loader\" --list \"./$player\" >/dev/null 2>&1 && exec \"$loader\" \"./$player\" \"$@\"\n"
    "    break\n"
    "  fi\n"
    "done\n"
    "fail \"the menu player cannot be started on this computer. The disc may be mounted without\n"
    "permission to run programs (noexec), or this is no 64-bit x86 computer. If the disc holds\n"
    "index.html, open it in a web browser instead.\"\n";

std::string driveLabelFor(const std::string& cdTitle) {
    const std::string title = projectText(cdTitle);
    std::string label;
    size_t characters = 0;
    for (size_t i = 0; i < title.size() && characters < kDriveLabelLimit; ++characters) {
        const char32_t c = nextCharacter(title, i);
        if (c < 0x20 || c == 0x7f) label += ' ';
        else appendUtf8(label, c);
    }
    const size_t first = label.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return label.substr(first, label.find_last_not_of(' ') - first + 1);
}

std::string autorunInfText(const std::string& cdTitle) {
    std::string inf;
    appendLine(inf, "[autorun]");
    appendLine(inf, "OPEN=autorun.exe");
    appendLine(inf, "ICON=autorun.exe");
    const std::string label = driveLabelFor(cdTitle);
    if (label.empty()) return inf;
    appendLine(inf, "label=" + label);
    appendLine(inf, "action=Start " + label);
    if (std::all_of(label.begin(), label.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return inf;
    const std::u16string wide = u"\uFEFF" + utf8ToUtf16(inf);
    std::string bytes;
    for (const char16_t unit : wide) {
        bytes += static_cast<char>(unit & 0xff);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

Project withoutFolderNames(const Project& data) {
    Project named = data;
    auto nameOnly = [](std::string& path) { path = fileNamePart(path); };
    nameOnly(named.stagingFolder);
    nameOnly(named.backgroundImage);
    nameOnly(named.openingWav);
    for (Hotspot& h : named.hotspots) {
        if (h.application != "exit" && !isWebAddress(h.application) && refusedScheme(h.application).empty()) {
            // The program's name and its options: a "/" in the options ("setup.bat /s") is no
            // folder to drop.
            const LaunchCommand launch = splitLaunchText(h.application, fileExists);
            h.application = fileNamePart(launch.program);
            if (h.application == "exit" || isWebAddress(h.application) || !refusedScheme(h.application).empty())
                h.application = "./" + h.application;
            if (!launch.options.empty()) h.application += " " + launch.options;
        }
        nameOnly(h.rolloverImage);
        nameOnly(h.rolloverWav);
        nameOnly(h.clickWav);
    }
    return named;
}

StagingPlan planStaging(const ProjectState& state, const Project& project, const BuildSettings& settings) {
    const std::string& S = project.stagingFolder;
    StagingPlan plan;
    auto copy = [&](const std::string& source, const std::string& relative) {
        plan.copies.push_back({source, joinPath(S, relative), relative});
    };
    const std::string images = "images";
    const std::string wavs = "wavs";
    plan.folders = {images, wavs};
    const int count = static_cast<int>(std::min(project.hotspots.size(), size_t(kMaxHotspots)));
    for (int i = 1; i <= count; ++i) plan.folders.push_back(std::to_string(i));

    copy(state.projectPath, fileNamePart(state.projectPath));
    copy(state.programFolder + kWindowsPlayer, kWindowsPlayer);
    copy(project.backgroundImage, joinPath(images, fileNamePart(project.backgroundImage)));
    if (!project.openingWav.empty()) copy(project.openingWav, joinPath(wavs, fileNamePart(project.openingWav)));
    for (int i = 1; i <= count; ++i) {
        const Hotspot& h = project.hotspots[size_t(i - 1)];
        const std::string& app = h.application;
        // "exit" is the exit action and a web address is opened, not copied.
        // The program is staged under its own name; its options stay in the project file. An
        // address of another scheme is no file: the check tells, and no menu opens it.
        if (app != "exit" && !isWebAddress(app) && refusedScheme(app).empty()) {
            const std::string program = launchedFile(app);
            copy(program, joinPath(std::to_string(i), fileNamePart(program)));
        }
        copy(h.rolloverImage, joinPath(images, fileNamePart(h.rolloverImage)));
        if (!h.rolloverWav.empty())
            copy(h.rolloverWav, joinPath(wavs, fileNamePart(h.rolloverWav)));
        if (!h.clickWav.empty())
            copy(h.clickWav, joinPath(wavs, fileNamePart(h.clickWav)));
    }
    plan.written = {kAutorunInf};
    if (settings.addWebMenu) plan.written.push_back(kWebMenuFile);

    if (settings.addLinuxPlayer) {
        std::vector<std::string> folders, files;
        listLinuxPlayerFolder(state.programFolder, folders, files);
        plan.folders.push_back(kLinuxPlayerFolder);
        plan.folders.insert(plan.folders.end(), folders.begin(), folders.end());
        // The player first: without the folder it is the one missing file reported.
        copy(state.programFolder + kLinuxPlayer, kLinuxPlayer);
        for (const std::string& f : files) copy(state.programFolder + f, f);
        plan.written.push_back(kAutorunSh);
    }
    return plan;
}

std::vector<StagingMeeting> findMeetings(const StagingPlan& plan) {
    std::vector<StagingMeeting> meetings;
    // For each destination, the different sources met so far, in copy order.
    std::map<std::string, std::vector<size_t>> sourcesOf;
    for (size_t i = 0; i < plan.copies.size(); ++i) {
        const StagedCopy& c = plan.copies[i];
        if (c.source.empty()) continue;
        const std::string& path = c.source;
        if (!fileExists(path)) continue;
        std::vector<size_t>& seen = sourcesOf[c.relative];
        if (std::any_of(seen.begin(), seen.end(),
                        [&](size_t j) { return sameContents(plan.copies[j].source, path); }))
            continue;
        if (!seen.empty()) meetings.push_back({seen.front(), i});
        seen.push_back(i);
    }
    return meetings;
}

std::vector<size_t> copiesOverSources(const StagingPlan& plan) {
    const std::set<std::string> sources = existingSources(plan);
    std::vector<size_t> over;
    for (size_t i = 0; i < plan.copies.size(); ++i) {
        const StagedCopy& c = plan.copies[i];
        if (c.source.empty() || !fileExists(c.destination)) continue;
        const std::string destination = realPath(c.destination);
        // A copy of a file onto itself leaves it as it is.
        if (!destination.empty() && sources.count(destination) && realPath(c.source) != destination)
            over.push_back(i);
    }
    return over;
}

std::vector<std::string> writtenOverSources(const StagingPlan& plan, const std::string& stagingFolder) {
    const std::set<std::string> sources = existingSources(plan);
    std::vector<std::string> over;
    for (const std::string& w : plan.written) {
        const std::string destination = joinPath(stagingFolder, w);
        if (fileExists(destination) && sources.count(realPath(destination))) over.push_back(w);
    }
    return over;
}

bool isOwnTemporaryName(const std::string& name) {
    if (name.size() != 17 || name.compare(0, 3, ".tv") != 0 || name.compare(13, 4, ".tmp") != 0) return false;
    return std::all_of(name.begin() + 3, name.begin() + 13,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

namespace {

// Thrown out of a copy's progress when the user cancels; the copy removes its temporary file.
struct BuildCancelled {};

// Removes what an earlier build or image killed midway left in the staging folder, so it is
// neither kept nor burned. Links are not followed.
void removeStaleTemporaries(const std::string& folder) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(fsPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (isOwnTemporaryName(pathString(it->path().filename())) && it->is_regular_file(typeError) &&
            !it->is_symlink(typeError))
            fs::remove(it->path(), typeError);
    }
}

}  // namespace

BuildResult runStagingBuild(ProjectState& state, const Project& project, const BuildSettings& settings,
                            BuildUser& user) {
    BusyGuard arrowAtTheEnd(user);
    state.copyFailed = false;

    if (!state.projectOpen() || project.hotspotCount < 1) {
        user.beep();
        return BuildResult::Refused;
    }
    const std::string& S = project.stagingFolder;
    if (S.empty()) {
        user.refuse(BuildField::StagingFolder, "Staging Folder is required.");
        return BuildResult::Refused;
    }
    if (S.size() < 4 || resolvesToRoot(S)) {
        user.refuse(BuildField::StagingFolder, "Staging Folder cannot be on the root folder.");
        return BuildResult::Refused;
    }
    if (project.backgroundImage.empty()) {
        user.refuse(BuildField::BackgroundImage, "Background Image is required.");
        return BuildResult::Refused;
    }

    // Formatted before anything is written: a value that would not read back is refused here.
    const std::string projectFile = formatProjectFile(project);
    createFolderIfMissing(S);
    replaceFileContents(state.projectPath, projectFile);
    state.projectSaved = true;

    const StagingPlan plan = planStaging(state, project, settings);
    user.busy(true);
    removeStaleTemporaries(S);
    for (const std::string& folder : plan.folders) createFolderIfMissing(joinPath(S, folder));

    // Found before the first copy, so a file that one copy needs is never lost to another.
    for (const StagingMeeting& m : findMeetings(plan)) {
        state.copyFailed = true;
        user.warning("Files: " + quoted(visiblePath(plan.copies[m.first].source)) + " and " +
                     quoted(visiblePath(plan.copies[m.second].source)) + " are both copied to " +
                     quoted(visiblePath(plan.copies[m.second].destination)) + ", which can hold only one of them.");
    }
    // A hotspot the players would leave out (a coordinate that is not a number) is a failure too.
    for (const std::string& note : mapProject(project, S, "").notes) {
        state.copyFailed = true;
        user.warning(note);
    }
    std::vector<bool> skipped(plan.copies.size());
    for (size_t i : copiesOverSources(plan)) {
        skipped[i] = true;
        state.copyFailed = true;
        user.warning("File: " + quoted(visiblePath(plan.copies[i].source)) + " is not copied: its destination " +
                     quoted(visiblePath(plan.copies[i].destination)) + " is the source of another copy.");
    }

    uint64_t total = 0;
    for (size_t i = 0; i < plan.copies.size(); ++i)
        if (!skipped[i]) total += fileSize(plan.copies[i].source);
    uint64_t before = 0;
    const std::string stagedProject = joinPath(S, fileNamePart(state.projectPath));
    for (size_t i = 0; i < plan.copies.size(); ++i) {
        if (skipped[i]) continue;
        if (user.cancelled()) return BuildResult::Cancelled;
        const StagedCopy& c = plan.copies[i];
        const std::string name = fileNamePart(c.destination);
        user.progress(name, before, total);
        if (settings.keepFolderNamesOff && c.source == state.projectPath && c.destination == stagedProject) {
            writeStagedProject(project, state, stagedProject, user);
            before += fileSize(c.source);  // counted in the total as the user's file is
            user.progress(name, before, total);
            continue;
        }
        uint64_t thisFile = 0;
        const bool failedBefore = state.copyFailed;
        state.copyFailed = false;
        try {
            CopyIntoStaging(c.source, c.destination, user, state.copyFailed, [&](uint64_t done) {
                thisFile = done;
                user.progress(name, before + done, total);
                if (user.cancelled()) throw BuildCancelled{};
            });
        } catch (const BuildCancelled&) {
            state.copyFailed = state.copyFailed || failedBefore;
            return BuildResult::Cancelled;
        }
        before += thisFile;
        if (c.relative == kWindowsPlayer && settings.signing.on() && !state.copyFailed)
            signStagedPlayer(c, project, settings.signing, state, user);
        state.copyFailed = state.copyFailed || failedBefore;
    }
    if (user.cancelled()) return BuildResult::Cancelled;

    // The files the build writes itself. One that another copy took as its source, or one of the
    // user's own under the build's name, stays as it is and is told like a failed copy.
    const std::vector<std::string> overSources = writtenOverSources(plan, S);
    auto mayWrite = [&](const std::string& name, bool (*isOwn)(const std::string&), const std::string& advice) {
        const std::string path = joinPath(S, name);
        if (std::find(overSources.begin(), overSources.end(), name) != overSources.end()) {
            state.copyFailed = true;
            user.warning("File: " + quoted(visiblePath(path)) + " is not written: it is the source of another copy.");
            return false;
        }
        if (isForeignFile(path, isOwn)) {
            state.copyFailed = true;
            user.error("File: " + quoted(visiblePath(path)) + " was not made by Torvana and is left as it is. " + advice);
            return false;
        }
        return true;
    };

    if (mayWrite(kAutorunInf, isOwnAutorunInf, "Remove it, so the disc starts its menu.")) {
        replaceFileContents(joinPath(S, kAutorunInf), autorunInfText(project.cdTitle));
    }

    if (settings.addWebMenu) {
        // The page is made from the staged copies, as a player on the disc sees them. Like a
        // failed copy, a page that cannot be written is said at once and the build goes on.
        const std::string page = joinPath(S, kWebMenuFile);
        user.progress(kWebMenuFile, before, total);
        if (mayWrite(kWebMenuFile, isOwnWebMenu,
                     "Remove it, or switch off Settings > Add a web page menu to keep it on the disc.")) {
            try {
                // In the language of the menu's own words (Browse, Exit and its notes are English
                // in every player), never the builder's locale: the same project builds one page.
                replaceFileContents(page, webMenuPage(mapProject(project, S, joinPath(S, fileNamePart(state.projectPath)))));
            } catch (const Error& e) {
                writeFailed(page, e, state, user);
            }
        }
    }

    if (settings.addLinuxPlayer &&
        mayWrite(kAutorunSh, isOwnAutorunSh, "Remove it, or switch off Settings > Add a Linux player to keep it.")) {
        // The Linux player's start: like the page, a failure is said at once and the build goes on.
        const std::string script = joinPath(S, kAutorunSh);
        try {
            replaceFileContents(script, kAutorunShText);
            makeExecutable(script);
        } catch (const Error& e) {
            writeFailed(script, e, state, user);
        }
    }

    if (state.copyFailed) return BuildResult::CompletedWithFailures;
    user.busy(false);
    user.succeeded();
    user.information("All Files copied over to " + quoted(visiblePath(S)) + ", and can to be copied to a CDROM.");
    return BuildResult::Succeeded;
}

}  // namespace torvana
