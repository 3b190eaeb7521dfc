// The menu player: shows the menu that the project file beside it describes. It reads no
// command line; it finds everything through its current folder.

#include <QApplication>

#include "player/launcher.h"
#include "player/player_app.h"
#include "project/file_io.h"

#ifdef TORVANA_BUNDLED_PLAYER
#include <dlfcn.h>

#include <QDir>
#include <QFileInfo>

namespace {

// The player on a disc carries its own Qt: libraries in lib/ (found through the program's run
// path), plugins in plugins/ and the sound module in modules/ beside it. Qt would also look in
// the plugin folder of the system Qt it was built with, and finds its qt.conf beside what it
// takes for the program, which is the dynamic loader when autorun.sh starts the player through
// it (a disc mounted without execute permission). So the program's folder is found here, from
// where this program was really loaded, before Qt looks for any plugin.
void usePluginsBesideProgram() {
    Dl_info info{};
    // dladdr names the main program by the path it was started with, also through the loader.
    if (dladdr(reinterpret_cast<void*>(&usePluginsBesideProgram), &info) == 0 || info.dli_fname == nullptr ||
        info.dli_fname[0] == '\0')
        return;
    const QString folder = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absolutePath();
    QCoreApplication::setLibraryPaths({QDir(folder).filePath(QStringLiteral("plugins"))});
    torvana::player::setProgramFolder(folder);
}

}  // namespace
#endif

int main(int argc, char** argv) {
    // A write past a file size limit fails and is reported like a full disk.
    torvana::ignoreFileSizeSignal();
#ifdef TORVANA_BUNDLED_PLAYER
    usePluginsBesideProgram();
#endif
    torvana::player::prepareMenu();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Autorun"));
    torvana::player::DesktopLauncher launcher;
    return torvana::player::runPlayer(launcher);
}
