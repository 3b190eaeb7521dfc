#pragma once
// The editor's command line. "torvana check|build|image FILE" run the disc check, the staging
// build and the disc image on a project file without windows and without a display;
// "torvana FILE" opens that project in the editor. No Qt: the editor's main() decides here
// whether it needs its windows at all.

#include <iosfwd>
#include <string>
#include <vector>

#include "staging/staging_build.h"

namespace torvana {

enum class CommandKind {
    Editor,       // no arguments: the editor with its start-up chooser
    OpenProject,  // one project file: the editor with that project open
    Help,
    Version,
    Check,
    Build,
    Image,
    Burn,
    Render,       // the menu window as the players draw it, into a PNG
    Invalid,      // `error` says why
};

struct CommandLine {
    CommandKind kind = CommandKind::Editor;
    std::string project;
    std::string image;  // image: the disc image to write; render: the PNG
    std::string error;
    bool usb = false;  // check --usb: the disc is to be copied onto a USB stick too
    // build and image: --sign CERT, --sign-password-file FILE, --timestamp URL.
    std::string signCertificate;
    std::string signPasswordFile;
    std::string timestampUrl;
    // burn: --drive DRIVE, --speed N, --verify, --overwrite (a stdio: file that holds bytes is
    // written over).
    std::string drive;
    int speed = 0;
    bool verify = false;
    // render: --hover N (the pointer on hotspot N), --focus N (the keyboard on hotspot N),
    // --scale S; 0 for no hotspot.
    int hover = 0;
    int focus = 0;
    double scale = 1;
    bool overwrite = false;
};

// The scales `torvana render --scale` takes.
constexpr double kLeastRenderScale = 0.25;
constexpr double kGreatestRenderScale = 8;

// The command a first argument names, which runs without windows ("check", "build", "image",
// "burn", "render", "--help", "-h", "--version").
bool isConsoleCommand(const std::string& firstArgument);

// Reads the arguments after the program's name.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string helpText();

// "torvana 3.5": the program and its version.
std::string versionText();

// A project file read for the build and the check, with the player taken from `programFolder`
// (ending with a separator) and the build's settings at their defaults. Throws Error when it
// cannot be read.
struct LoadedProject {
    ProjectState state;  // the project file's path and the program folder
    Project project;
    BuildSettings settings;
};
LoadedProject loadProject(const std::string& path, const std::string& programFolder);

// Runs a console command (Help, Check, Build, Image or Invalid) and returns the exit status:
//   check  0 when the disc check finds no error, 1 when it does;
//   build  0 when every copy was made, 1 when a copy failed, 2 when the build stops
//          (refused, or a folder or file that cannot be made);
//   image  as build, and 2 when the image cannot be written; 1 when it is not written since a
//          file the menu uses would have another name on Windows, or a file changed while it
//          was written;
//   render 0 when the picture is written, 2 when it is not;
//   2 for a project that cannot be read (check too), for a build or image stopped by Ctrl+C or
//   SIGTERM, and for arguments that are not understood.
// Findings go to `out`, messages of the build and errors to `err`. `terminal` says that `err` is
// a terminal, where a progress line is kept up to date. What the build adds to the disc (a Linux
// player, a web page menu) is read from the settings file at `settingsPath`, as the editor's
// Settings menu left it; with no path, both are added.
int runConsoleCommand(const CommandLine& command, const std::string& programFolder, std::ostream& out,
                      std::ostream& err, bool terminal, const std::string& settingsPath = {});

}  // namespace torvana
