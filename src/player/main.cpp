// The menu player: shows the menu that the project file beside it describes. It reads no
// command line; it finds everything through its current folder.

#include <QApplication>

#include "player/launcher.h"
#include "player/player_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Autorun"));
    player::DesktopLauncher launcher;
    return player::runPlayer(launcher);
}
