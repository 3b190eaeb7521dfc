#include "player/player_app.h"

#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QDir>
#include <system_error>
#include <thread>

#include "project/staged_menu.h"
#include "player/launcher.h"
#include "player/player_window.h"
#include "project/errors.h"

namespace torvana::player {

namespace {

QString& namedProgramFolder() {
    static QString folder;
    return folder;
}

// The thread that reads the font configuration; whoever needs the fonts first waits for it, and
// the program's end does at the latest.
class FontConfigurationReader {
public:
    ~FontConfigurationReader() { wait(); }
    void start() {
        if (thread_.joinable()) return;
        try {
            thread_ = std::thread([] { FcInit(); });
        } catch (const std::system_error&) {
            // No thread: Qt reads the configuration itself when it first needs a font.
        }
    }
    void wait() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

FontConfigurationReader& fontConfigurationReader() {
    static FontConfigurationReader reader;
    return reader;
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

void startReadingFontConfiguration() { fontConfigurationReader().start(); }

int runPlayer(Launcher& launcher, const std::function<void(PlayerWindow&)>& beforeShow) {
    torvana::PlayerProject project;
    try {
        project = torvana::loadPlayerProject(projectFolders());
    } catch (const torvana::Error& e) {
        fontConfigurationReader().wait();
        launcher.showError(QString::fromLocal8Bit(e.what()));
        return 1;
    } catch (const std::bad_alloc&) {
        fontConfigurationReader().wait();
        launcher.showError(QString::fromLatin1(torvana::kOutOfMemoryText) + QLatin1Char('.'));
        return 1;
    }
    // Qt would read the configuration a second time if it came to its first font first.
    fontConfigurationReader().wait();
    PlayerWindow window(std::move(project), launcher);
    if (beforeShow) beforeShow(window);
    window.show();
    return QApplication::exec();
}

}  // namespace torvana::player
