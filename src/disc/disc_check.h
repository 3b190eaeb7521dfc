#pragma once
// The check before burning: what a build of the project into its staging folder would put on
// the disc, and what would go wrong there (files missing, pictures of the wrong size or kind,
// rollovers off the screen, two files meeting under one name, leftovers of earlier builds,
// a disc too large, names a disc or Windows cannot hold). It reads the same plan the build
// follows and the same mapping the players use, and changes nothing. No Qt.

#include <cstdint>
#include <string>
#include <vector>

#include "staging/staging_build.h"

namespace torvana {

enum class Severity { Error, Warning, Note };

// "error", "warning", "note".
const char* severityName(Severity severity);

// What a finding concerns, so the editor can take the user to the field or hotspot.
enum class Subject { Project, StagingFolder, BackgroundImage, OpeningWav, Hotspot, StagingContent };

struct Finding {
    Severity severity = Severity::Note;
    std::string text;  // one line, for the user
    std::string file;  // the file it concerns: a stored path, or a path inside the staging folder
    Subject subject = Subject::Project;
    int hotspot = 0;   // for Subject::Hotspot
};

struct DiscReport {
    std::vector<Finding> findings;  // errors, then warnings, then notes; found order within each
    uint64_t fileBytes = 0;         // the files' sizes added up
    uint64_t discBytes = 0;         // about what the disc image takes, with its sectors and folders
    // Entries of the staging folder that no part of the project puts there (full paths). They
    // are only reported; removeStrayEntries removes them once the user has said yes.
    std::vector<std::string> strayEntries;

    bool hasErrors() const;
    int count(Severity severity) const;
};

// Disc capacities: a 74-minute CD ("650 MB"), an 80-minute CD ("700 MB") and a single-layer
// DVD ("4.7 GB"), in bytes.
constexpr uint64_t kCd650Bytes = 333000ull * 2048;
constexpr uint64_t kCd700Bytes = 360000ull * 2048;
constexpr uint64_t kDvdBytes = 2295104ull * 2048;

// The longest name Joliet's long-name form holds, in UTF-16 characters.
constexpr size_t kJolietNameLimit = 103;

// `forUsbStick`: the staging folder is also to be copied onto a USB stick, which Windows never
// starts a program from by itself; the report says so.
DiscReport checkDisc(const ProjectState& state, const Project& project, const BuildSettings& settings,
                     bool forUsbStick = false);

// Why a disc image of this project may not be written to `imagePath`, or empty when it may: the
// path is the project file, a source of the project, or lies inside the staging folder (where
// the image would be burned into itself, or a build would replace it).
// What imageFileRefusal refuses is refused too.
std::string imageTargetRefusal(const ProjectState& state, const Project& project, const BuildSettings& settings,
                               const std::string& imagePath);

// Why no disc image may be written at `imagePath`, whatever the project, or empty: it exists and
// is not a regular file (a folder, a FIFO, a device), or it is a link that leads nowhere. A link
// to a regular file is written through, never replaced.
std::string imageFileRefusal(const std::string& imagePath);

// The address of a file or FIFO that stands in for a blank disc ("stdio:/path/disc.iso").
constexpr const char* kStdioPrefix = "stdio:";

// Where a burn may go. A drive's address is taken as it is; a file ("stdio:PATH") is refused when
// it is the project file, a source of the project or lies inside the staging folder, as an image
// is, and an existing regular file that holds bytes is written over only once the user agrees.
struct BurnTarget {
    std::string refusal;         // why the disc may not be burned there; empty when it may
    uint64_t replacedBytes = 0;  // the bytes of the file it would replace; 0 for none
};
BurnTarget burnTargetCheck(const ProjectState& state, const Project& project, const BuildSettings& settings,
                           const std::string& drive);

// The question before a burn replaces a file of `bytes` bytes at the "stdio:" address `drive`.
std::string burnOverFileQuestion(const std::string& drive, uint64_t bytes);

// Why an image of the built staging folder would show the menu's files to Windows under other
// names than the menu uses, naming the first such file; empty when it would not. A name Joliet
// cannot hold (longer than its 103 characters, or with characters it or Windows replaces) or one
// that meets another name of its folder but for case makes a player on Windows miss the file.
// Throws Error when the staging folder cannot be read.
std::string windowsNameFailure(const ProjectState& state, const Project& project, const BuildSettings& settings);

// The disc image Make Disc Image proposes: the CD title (characters a file name cannot hold
// become "_"; "disc" when nothing is left) with ".iso", beside the staging folder.
std::string proposedImagePath(const std::string& stagingFolder, const std::string& cdTitle);

// Removes each entry (a file, or a folder with all it holds). Throws Error naming the first
// entry that cannot be removed; the ones before it are gone.
void removeStrayEntries(const std::vector<std::string>& paths);

// A size for people, in the units discs are sold in: "850 bytes", "12.4 MB", "4.70 GB"
// (1 MB = 1024 x 1024 bytes, as CD sizes are counted; 1 GB = 10^9 bytes, as DVD sizes are).
std::string discSizeText(uint64_t bytes);

}  // namespace torvana
