#include "player/player_app.h"

#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <clocale>
#include <future>
#include <system_error>
#include <thread>

#include "project/staged_menu.h"
#include "player/launcher.h"
#include "player/picture.h"
#include "player/player_window.h"
#include "project/errors.h"

namespace torvana::player {

namespace {

QString& namedProgramFolder() {
    static QString folder;
    return folder;
}

// Reads the project from where the player looks for it; false with the text for the user when
// there is none to show.
bool readProject(torvana::PlayerProject& project, QString& error) {
    try {
        project = torvana::loadPlayerProject(projectFolders());
        return true;
    } catch (const torvana::Error& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (const std::bad_alloc&) {
        error = QString::fromLatin1(torvana::kOutOfMemoryText) + QLatin1Char('.');
    }
    return false;
}

// The menu as prepared before the application was made: the project (or why there is none),
// and the thread that reads the font configuration and then decodes the pictures.
class MenuPreparation {
public:
    ~MenuPreparation() {
        if (thread_.joinable()) thread_.join();
    }

    void start() {
        if (started_) return;
        started_ = true;
        if (!readProject(project_, error_)) return;
        std::promise<void> fontsRead;
        std::promise<std::vector<Picture>> decoded;
        std::future<void> fontsDone = fontsRead.get_future();
        std::future<std::vector<Picture>> picturesDone = decoded.get_future();
        try {
            thread_ = std::thread([fontsRead = std::move(fontsRead), decoded = std::move(decoded),
                                   paths = menuPicturePaths(project_).paths]() mutable {
                FcInit();
                fontsRead.set_value();
                try {
                    decoded.set_value(loadPictures(paths));
                } catch (...) {
                    decoded.set_exception(std::current_exception());
                }
            });
        } catch (const std::system_error&) {
            return;  // no thread: the fonts are read when first needed, the window loads the pictures
        }
        fontsRead_ = std::move(fontsDone);
        pictures_ = std::move(picturesDone);
    }

    // Gives what was prepared: false when nothing was.
    bool take(torvana::PlayerProject& project, QString& error, std::future<std::vector<Picture>>& pictures) {
        if (!started_) return false;
        started_ = false;
        project = std::move(project_);
        error = error_;
        pictures = std::move(pictures_);
        return true;
    }

    // Qt would read the configuration a second time if it came to its first font first.
    void waitForFonts() {
        if (fontsRead_.valid()) fontsRead_.wait();
    }

private:
    bool started_ = false;
    torvana::PlayerProject project_;
    QString error_;
    std::thread thread_;
    std::future<void> fontsRead_;
    std::future<std::vector<Picture>> pictures_;
};

MenuPreparation& preparation() {
    static MenuPreparation prepared;
    return prepared;
}

}  // namespace

void setProgramFolder(const QString& folder) { namedProgramFolder() = folder; }

QString programFolder() {
    if (!namedProgramFolder().isEmpty()) return namedProgramFolder();
    if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
    // Before the application is made: the folder of the running program, as Qt finds it.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

std::vector<std::string> projectFolders() {
    std::vector<std::string> folders{QDir::currentPath().toLocal8Bit().toStdString()};
    const std::string own = programFolder().toLocal8Bit().toStdString();
    if (QDir(QString::fromLocal8Bit(own.c_str())) != QDir::current()) folders.push_back(own);
    return folders;
}

void prepareMenu() {
    // The locale the application sets first, so that the project reads as it would afterwards.
    std::setlocale(LC_ALL, "");
    preparation().start();
}

int runPlayer(Launcher& launcher, const std::function<void(PlayerWindow&)>& beforeShow) {
    torvana::PlayerProject project;
    QString error;
    std::future<std::vector<Picture>> pictures;
    if (!preparation().take(project, error, pictures)) readProject(project, error);
    preparation().waitForFonts();
    if (!error.isEmpty()) {
        launcher.showError(error);
        return 1;
    }
    PlayerWindow window(std::move(project), launcher, nullptr, nullptr, std::move(pictures));
    if (beforeShow) beforeShow(window);
    window.show();
    return QApplication::exec();
}

}  // namespace torvana::player
