#pragma once
// The player's run from start to end, shared by its main() and the start-up benchmark.

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace torvana::player {

class Launcher;
class PlayerWindow;

// The folder of the player's program, where its sound module is: the folder Qt reports unless
// main() named it first (a player started through the dynamic loader, which Qt takes for the
// program).
QString programFolder();
void setProgramFolder(const QString& folder);

// Where the player looks for its project file, in order: the current folder (the disc's root
// when the disc starts it, the staging folder at a test run), then the program's own folder,
// for a player started from a file manager with some other current folder.
std::vector<std::string> projectFolders();

// Prepares the menu before the QApplication is made, so the work is done while the application
// connects to the display: finds and reads the project here, then on a thread of its own reads
// the system's font configuration (the bar's buttons need fonts for the first frame, and
// reading their configuration, tens of files, is most of that cost) and decodes the menu's
// pictures. The thread takes only time no other work wants; whatever it has not done when the
// window needs it is done then, as without this call. runPlayer takes what was prepared.
void prepareMenu();

// Finds and reads the project (unless prepareMenu did), shows the menu window and runs the
// event loop until the player ends. Without a readable project it shows a message box saying why and returns 1.
// `beforeShow` may look at the window before it is shown. Needs a QApplication.
int runPlayer(Launcher& launcher, const std::function<void(PlayerWindow&)>& beforeShow = {});

}  // namespace torvana::player
