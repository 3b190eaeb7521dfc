// The menu player: shows the menu that the project file beside it describes. It reads no
// command line; it finds everything through its current folder.

#include <QApplication>

#include "player/launcher.h"
#include "player/player_app.h"
#include "project/file_io.h"

int main(int argc, char** argv) {
    // A write past a file size limit fails and is reported like a full disk.
    torvana::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Autorun"));
    player::DesktopLauncher launcher;
    return player::runPlayer(launcher);
}
