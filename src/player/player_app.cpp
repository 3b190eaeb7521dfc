#include "player/player_app.h"

#include <QApplication>
#include <QDir>

#include "project/staged_menu.h"
#include "player/launcher.h"
#include "player/player_window.h"
#include "project/errors.h"

namespace player {

namespace {

QString& namedProgramFolder() {
    static QString folder;
    return folder;
}

}  // namespace

void setProgramFolder(const QString& folder) { namedProgramFolder() = folder; }

QString programFolder() {
    return namedProgramFolder().isEmpty() ? QCoreApplication::applicationDirPath() : namedProgramFolder();
}

std::vector<std::string> projectFolders() {
    std::vector<std::string> folders{QDir::currentPath().toLocal8Bit().toStdString()};
    const std::string own = programFolder().toLocal8Bit().toStdString();
    if (QDir(QString::fromLocal8Bit(own.c_str())) != QDir::current()) folders.push_back(own);
    return folders;
}

int runPlayer(Launcher& launcher, const std::function<void(PlayerWindow&)>& beforeShow) {
    torvana::PlayerProject project;
    try {
        project = torvana::loadPlayerProject(projectFolders());
    } catch (const torvana::Error& e) {
        launcher.showError(QString::fromLocal8Bit(e.what()));
        return 1;
    } catch (const std::bad_alloc&) {
        launcher.showError(QString::fromLatin1(torvana::kOutOfMemoryText) + QLatin1Char('.'));
        return 1;
    }
    PlayerWindow window(std::move(project), launcher);
    if (beforeShow) beforeShow(window);
    window.show();
    return QApplication::exec();
}

}  // namespace player
