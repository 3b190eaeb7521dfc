#pragma once
// Saving: writes the project file and assembles the staging folder that is burned onto the
// disc: the project file, the player, "autorun.inf", the pictures in images/, the sounds in
// wavs/, the file each hotspot launches in its numbered folder, and (a setting) the web page
// menu "index.html". Every copy goes through
// CopyIntoStaging. The whole conversation with the user goes through BuildUser, so it can be
// shown in message boxes or checked word for word.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/project_file.h"
#include "project/project_state.h"
#include "project/setting_defaults.h"
#include "staging/signing.h"

namespace torvana {

enum class BuildField { StagingFolder, BackgroundImage };

class BuildUser {
public:
    virtual ~BuildUser() = default;
    // A bare beep, with no message.
    virtual void beep() = 0;
    // A refusal before anything is written: beep, error box, focus into the field.
    virtual void refuse(BuildField field, const std::string& message) = 0;
    // Beep and a warning, error or information box with OK.
    virtual void warning(const std::string& message) = 0;
    virtual void error(const std::string& message) = 0;
    virtual void information(const std::string& message) = 0;
    // The hourglass while the build copies; the arrow again at its end.
    virtual void busy(bool on) = 0;
    // Every copy was made; called just before the closing message.
    virtual void succeeded() = 0;
    // While copying: the file being copied and the bytes done out of the build's total.
    virtual void progress(const std::string& file, uint64_t bytesDone, uint64_t bytesTotal) = 0;
    // The user asked the build to stop (a Cancel button, Ctrl+C on the command line); asked
    // between files and between the pieces of a large copy.
    virtual bool cancelled() { return false; }
    // A fact about the build that needs no answer now (who signed the player), or a warning of
    // that kind (a signature without a timestamp). The editor gathers them into the build's
    // closing message; by default each is an information or a warning at once.
    enum class NoteKind { Fact, Warning };
    virtual void note(const std::string& message, NoteKind kind) {
        if (kind == NoteKind::Warning) warning(message);
        else information(message);
    }
};

// What the build adds to the disc besides the project, and how: the editor's Settings menu.
struct BuildSettings {
    // "Add a Linux player" and "Add a web page menu".
    bool addLinuxPlayer = kDefaultAddLinuxPlayer;
    bool addWebMenu = kDefaultAddWebMenu;
    // "Keep my folder names off the disc": the staged copy of the project file stores each path
    // as its file name alone.
    bool keepFolderNamesOff = kDefaultKeepFolderNamesOff;
    // Settings > Sign the Windows player, with the password asked for this build.
    Signing signing;
};

enum class BuildResult {
    Refused,             // nothing written
    CompletedWithFailures,  // written and copied, but a copy failed
    Succeeded,           // every copy made: Test Run may be enabled
    Cancelled,           // stopped by the user; the copy under way left nothing behind
};

// The project file as the disc carries it without the author's folders: every path (the staging
// folder, pictures, sounds, launched files) is stored as its file-name part, which is all any
// player reads of it. "exit" and web addresses stay as they are; a launched file whose name alone
// would read as one of them ("www.setup.sh", "exit") is stored as "./" and its name.
Project withoutFolderNames(const Project& data);

// Copies one file into the staging folder, telling the user of a missing source or a failed
// copy and setting copyFailed then. The source is a path taken whole; an empty one is ignored. `done` is called between
// chunks of a large copy with the bytes copied so far of this file.
void CopyIntoStaging(const std::string& source, const std::string& destination, BuildUser& user,
                     bool& copyFailed, const std::function<void(uint64_t)>& done = {});

// The file a hotspot's application text launches: the whole text when it names an existing file,
// otherwise the longest part before a blank that does (the program's options follow it); the
// whole text when none does, which is then reported missing as it stands. Only the application
// text is read so: pictures and sounds are named by their whole text.
std::string launchedFile(const std::string& application);

// The folder resolves to the root of its file system ("////", "/tmp/..", a link to "/"), where
// a build would scatter the disc's files and a check would take the whole file system for
// leftovers.
bool resolvesToRoot(const std::string& folder);

// One copy of the build: the source file's path (a path as stored, taken whole; for a hotspot's
// application the file launchedFile finds), its destination, and that destination relative to
// the staging folder ("images/back.gif").
struct StagedCopy {
    std::string source;
    std::string destination;
    std::string relative;
};

// The name a Windows computer gives the drive ("label=" of autorun.inf) and its AutoPlay entry:
// the CD title as text (project_text.h) with control characters made blanks and outer blanks
// trimmed, cut to the 32 characters Windows shows of a drive's name. Empty when the title has
// nothing to show.
constexpr size_t kDriveLabelLimit = 32;
std::string driveLabelFor(const std::string& cdTitle);

// What the build writes into autorun.inf: its three lines "[autorun]", "OPEN=autorun.exe" and
// "ICON=autorun.exe", then "label=" and "action=Start <label>" when the title gives a label,
// each line ended by CR LF. Windows reads such a file in its ANSI code page unless it starts with
// a UTF-16 byte-order mark, so a label beyond ASCII makes the whole file UTF-16LE with that mark.
std::string autorunInfText(const std::string& cdTitle);

// The Linux player's folder, beside the editor and in the staging folder: the player with its
// own Qt libraries and plugins.
constexpr const char* kLinuxPlayerFolder = "linux-x86_64";
constexpr const char* kLinuxPlayer = "linux-x86_64/torvana-player";
// The file a Linux desktop runs from the root of an inserted disc.
constexpr const char* kAutorunSh = "autorun.sh";
// What autorun.sh holds (POSIX shell, LF line ends).
extern const char* const kAutorunShText;

// Everything a build puts into the staging folder, in the order it does so. Whatever else is
// found there was put there by something else.
struct StagingPlan {
    std::vector<std::string> folders;  // relative, in creation order: images, wavs, 1, 2, ...
    std::vector<StagedCopy> copies;    // in copy order
    std::vector<std::string> written;  // files the build writes itself, relative: autorun.inf,
                                       // index.html
};

// The plan of a build of `project` into its staging folder, with the project file and the players
// of `state`. With the Linux player it lists
// the player's folder beside the editor as it is now (its sub-folders and files, sorted); a
// missing folder still plans the player itself, which the copy rule then reports missing.
StagingPlan planStaging(const ProjectState& state, const Project& project, const BuildSettings& settings);

// Two different files that a build copies to one destination (a file of images/ or wavs/), of
// which only the one copied last would stay. Sources that name one file, or files of the same
// bytes, do not meet; a missing source is left to the copy rule. Indices into plan.copies, in
// copy order; each later source of a destination meets the first one.
struct StagingMeeting {
    size_t first;
    size_t second;
};
std::vector<StagingMeeting> findMeetings(const StagingPlan& plan);

// The copies that would replace a file which another copy of the same plan takes as its source
// (a rollover copied onto the background the project takes from the staging folder). The build
// skips them so the user's file stays. Indices into plan.copies.
std::vector<size_t> copiesOverSources(const StagingPlan& plan);

// The same for the files the build writes itself (autorun.inf, autorun.sh, index.html): the
// names of those (relative, as in plan.written) that another copy takes as its source.
std::vector<std::string> writtenOverSources(const StagingPlan& plan, const std::string& stagingFolder);

// Whether a file name is one of the temporary names the program's copies and writes use
// (".tv" and ten hexadecimal digits, ".tmp"): what a build or image killed midway leaves.
bool isOwnTemporaryName(const std::string& name);

// The first step of every build: refuses a project that misses a required field (the user is
// told, and the result is Refused), otherwise writes `project` to state.projectPath and sets
// state.projectSaved (the result is Succeeded). Throws Error when the file cannot be written.
BuildResult saveProjectFile(ProjectState& state, const Project& project, BuildUser& user);

// Runs the whole build: writes `project` to state.projectPath (saveProjectFile), then stages it. Stale temporary files of an earlier build that was killed are removed
// from the staging folder first. With settings.signing on, the staged autorun.exe is signed right
// after it is copied; a signing that fails is a failed copy, told with the tool's reason, and
// leaves the unsigned copy; a signing that succeeds is noted with its signer and timestamp
// server, a missing timestamp server as a warning note, and a certificate file inside the staging
// folder (which would put the private key on the disc) as a warning. The editor's own player is
// never signed. A sound that is no WAV file and a picture the players cannot show are warnings
// too. With settings.keepFolderNamesOff the staged project file is written from
// withoutFolderNames instead of copied; a project file kept in the staging folder itself is the
// user's own and stays as it is (a warning says its folder names go onto the disc). Meetings and copies over sources are reported before the first copy,
// each as a failed copy. Sets state.copyFailed, and state.projectSaved once the project file is
// written. Failures the program does not foresee (a folder that cannot be created, a file that
// cannot be written) throw Error after the user's pointer is reset; what was done stays done.
// A web page menu that cannot be written is reported as a failed copy is.
BuildResult runStagingBuild(ProjectState& state, const Project& project, const BuildSettings& settings,
                            BuildUser& user);

}  // namespace torvana
