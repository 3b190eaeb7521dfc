#pragma once
// What a menu on the disc shows, taken from the project file that the editor's build placed
// beside it. Every player, the web page menu, the disc check and the layout window read a
// project through this one mapping.
// The stored paths name files on the editor's machine; the build copied each one into the
// staging folder under its file-name part (pictures in images/, sounds in wavs/, the file that
// hotspot i launches in i/), so every path is mapped to that copy here. No Qt.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "project/project_file.h"

namespace torvana {

enum class ActionKind {
    Exit,        // the application is exactly "exit": the click ends the player
    WebAddress,  // opened in the browser
    File,        // the staged copy in i/, opened with its program or started
    Refused,     // an address of a scheme no menu opens ("file:", "ftp://"): a note, never started
};

struct PlayerHotspot {
    int number = 0;       // 1-based, as in the project file
    ActionKind kind = ActionKind::File;
    std::string target;   // Exit: empty; WebAddress: the address to open; File: staged path of
                          // the program; Refused: the text as stored
    std::string options;  // File: what follows the program in the application text, as typed
    std::string rolloverImage;  // staged path; empty when the project names none
    int x = 0;
    int y = 0;
    std::string rolloverWav;  // staged paths; empty when the project names none
    std::string clickWav;
    std::string label;  // what the hotspot does, as the project's author put it, as text; may be empty
    HotspotShape shape;  // a button or an area, with its size; a picture hotspot by default
};

// What a hotspot's application text starts, by the one rule the build, every player and the
// editor follow: exactly "exit" ends the menu; a web address is opened in the browser; an
// address of another scheme is refused; anything else is a file, the longest part of the text
// that `isFile` accepts (the whole text when none does), followed by its options.
struct HotspotAction {
    ActionKind kind = ActionKind::File;
    std::string target;   // WebAddress: the address as typed; File: the program as named in the
                          // text; Refused: the text; Exit: empty
    std::string options;  // File: what follows the program, as typed
};
HotspotAction hotspotAction(const std::string& application, const std::function<bool(const std::string&)>& isFile);

// What a hotspot starts, in a few words for the editor ("setup.bat /s", "www.example.com/acme",
// "exit"): the program's file name with its options, the address or the text as typed, "exit".
// A program that names no file is shown as typed, only its folders before the first blank left
// out. Empty for an empty application.
std::string hotspotActionText(const std::string& application, const std::function<bool(const std::string&)>& isFile);

// A hotspot's rectangle on the 640 x 480 stage: a button's or an area's own size at X, Y; else
// its rollover picture's size at X, Y, or an invisible 32 x 32 square when the picture is
// missing or cannot be read.
struct HotspotRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool contains(int px, int py) const {
        return px >= x && py >= y && px - x < width && py - y < height;
    }
    bool operator==(const HotspotRect&) const = default;
};

// The size of the target of a hotspot without a picture.
constexpr int kInvisibleHotspotSize = 32;
// Coordinates are kept within this distance of the stage before any arithmetic, so a stored
// 2147483647 neither overflows a rectangle nor reaches back onto the stage.
constexpr int kCoordinateLimit = 100000;

// The one place that turns a hotspot's X, Y, its shape and its picture's size (0 x 0 when there
// is none) into the rectangle every player hits and draws, and the layout window shows.
HotspotRect hotspotRect(int x, int y, int pictureWidth, int pictureHeight, const HotspotShape& shape = {});

// The stage every menu is shown on. The hotspot editor accepts X from 1 to its width and Y from
// 1 to its height.
constexpr int kStageWidth = 640;
constexpr int kStageHeight = 480;

// The X and Y texts stored for a hotspot placed at (x, y): kept within 1 to 640 and 1 to 480
// and written in decimal, so the hotspot editor shows and accepts them as they are and every
// player reads back the same numbers.
struct CoordinateTexts {
    std::string x;
    std::string y;
    bool operator==(const CoordinateTexts&) const = default;
};
CoordinateTexts placedCoordinates(int x, int y);

// What the Linux player and autorun.sh say when there is no desktop to show the menu on: one
// text, which autorun.sh holds between double quotes (so no quote, $, ` or backslash in it).
#define TORVANA_NO_DESKTOP_TEXT                                                                   \
    "there is no desktop to show the menu on. Open the disc on a desktop, or, if it holds "        \
    "index.html, open that in a web browser."
constexpr const char* kNoDesktopText = TORVANA_NO_DESKTOP_TEXT;

// The longest CD title a player's window bar is given, in bytes: more than any bar shows, and
// far below what a window system accepts (a title of megabytes makes the X server drop the
// program).
constexpr size_t kMaxTitleBytes = 1024;

// The title cut to kMaxTitleBytes, never inside a UTF-8 character.
std::string windowBarTitle(const std::string& title);

struct PlayerProject {
    std::string folder;       // where the project file was found; staged copies lie below it
    std::string projectFile;  // full path of the project file
    std::string title;        // as text, cut for the window bar
    bool showBrowse = false;
    bool showExit = false;
    std::string background;   // staged path; empty when the project names none
    std::string openingWav;   // staged path; empty when the project names none
    std::vector<PlayerHotspot> hotspots;
    ButtonStyle buttonStyle;
    // One line for each hotspot that had to be left out (a coordinate that is not a number).
    std::vector<std::string> notes;
};


// The project file in `folder`: the only regular file whose name ends in ".cdrom" (any case),
// or the most recently changed one when there are several (the first by name among equally
// recent ones). nullopt when there is none. Throws Error when the folder cannot be
// listed.
std::optional<std::string> findProjectFile(const std::string& folder);

// Where mapProject finds the project's files: the staged copies under the folder (a player on
// the disc), or the files the project names, where they are (the menu as the build will stage
// it, drawn before any build), a file that is not there taken from its staged copy when the
// folder has one (the staging folder's copy of the project file).
enum class ProjectFiles { Staged, AsNamed };

// Maps the stored project to its files under `folder` (see ProjectFiles). The title and the
// labels are read as text (project_text.h), so every player and the web page show valid UTF-8;
// paths keep their bytes.
PlayerProject mapProject(const Project& data, const std::string& folder, const std::string& projectFile,
                         ProjectFiles files = ProjectFiles::Staged);

// The name a screen reader speaks for a hotspot: its label, or without one a name from what it
// does ("Open setup.bat", "Visit example.org", "Write to info@example.org", "Exit"); always
// valid UTF-8.
std::string hotspotName(const PlayerHotspot& hotspot);

// The note a player shows when a hotspot of kind Refused is clicked.
std::string refusedAddressNote(const PlayerHotspot& hotspot);

// The project with every path read as text (project_text.h).
Project withPathsAsText(Project data);

// What a player does with the stored paths' bytes: the Linux player opens files by the bytes
// the file system holds, the Windows player names every file in UTF-16 and so needs them as text.
enum class StoredPaths { Bytes, Text };

// Finds the project file in the first of `folders` that holds one, reads it and maps it; a
// folder that cannot be listed is passed over. With StoredPaths::Text every path is read as
// text (project_text.h) before it is mapped. Throws Error with a text for the user when no
// folder holds a project file (naming the first listing failure, if any) or the file cannot be
// read.
PlayerProject loadPlayerProject(const std::vector<std::string>& folders, StoredPaths paths = StoredPaths::Bytes);

}  // namespace torvana
