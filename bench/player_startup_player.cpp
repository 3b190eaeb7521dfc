// The player as its main() runs it (finding and reading the project, loading pictures and
// sounds, building the window), ended once the stage has painted its first frame.

#include <QApplication>

#include "player/launcher.h"
#include "player/player_app.h"
#include "player/player_window.h"
#include "player_startup_probe.h"

int main(int argc, char** argv) {
    torvana::player::prepareMenu();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Autorun"));
    torvana::player::DesktopLauncher launcher;
    FirstPaintProbe probe;
    return torvana::player::runPlayer(launcher, [&probe](torvana::player::PlayerWindow& window) {
        window.stage()->installEventFilter(&probe);
    });
}
