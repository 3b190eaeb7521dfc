#pragma once
// What the player shows, taken from the project file that the editor's build placed beside it.
// The stored paths name files on the editor's machine; the build copied each one into the
// staging folder under its file-name part (pictures in images/, sounds in wavs/, the file that
// hotspot i launches in i/), so every path is mapped to that copy here. No Qt.

#include <optional>
#include <string>
#include <vector>

#include "project/project_file.h"

namespace player {

enum class ActionKind {
    Exit,        // the application is exactly "exit": the click ends the player
    WebAddress,  // opened in the browser
    File,        // the staged copy in i/, opened with its program or started
};

struct PlayerHotspot {
    int number = 0;       // 1-based, as in the project file
    ActionKind kind = ActionKind::File;
    std::string target;   // Exit: empty; WebAddress: the address to open; File: staged path
    std::string rolloverImage;  // staged path; empty when the project names none
    int x = 0;
    int y = 0;
    std::string rolloverWav;  // staged paths; empty when the project names none
    std::string clickWav;
};

struct PlayerProject {
    std::string folder;       // where the project file was found; staged copies lie below it
    std::string projectFile;  // full path of the project file
    std::string title;
    bool showBrowse = false;
    bool showExit = false;
    std::string background;   // staged path; empty when the project names none
    std::string openingWav;   // staged path; empty when the project names none
    std::vector<PlayerHotspot> hotspots;
    // One line for each hotspot that had to be left out (a coordinate that is not a number).
    std::vector<std::string> notes;
};


// The project file in `folder`: the only regular file whose name ends in ".cdrom" (any case),
// or the most recently changed one when there are several (the first by name among equally
// recent ones). nullopt when there is none. Throws torvana::Error when the folder cannot be
// listed.
std::optional<std::string> findProjectFile(const std::string& folder);

// Maps the stored project to the staged copies under `folder`.
PlayerProject mapProject(const torvana::ProjectFileData& data, const std::string& folder,
                         const std::string& projectFile);

// Finds the project file in the first of `folders` that holds one, reads it and maps it; a
// folder that cannot be listed is passed over. Throws torvana::Error with a text for the user
// when no folder holds a project file (naming the first listing failure, if any) or the file
// cannot be read.
PlayerProject loadPlayerProject(const std::vector<std::string>& folders);

}  // namespace player
