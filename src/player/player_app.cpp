#include "player/player_app.h"

#include <fontconfig/fontconfig.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <chrono>
#include <clocale>
#include <future>
#include <system_error>
#include <thread>

#include <sched.h>

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

// The longest the window waits for the font configuration before Qt reads it itself.
constexpr std::chrono::milliseconds kLongestWaitForFonts{30};

// The menu as prepared before the application was made: the project (or why there is none),
// and a thread that reads the font configuration and then decodes the pictures. The thread has
// the lowest priority, so it never delays the application's own start (nor the display
// server's answers to it): it runs while they wait. The window waits for its work a little at
// most; a busy computer may leave such a thread without a turn, and what it has not done by then
// is done where it is needed (Qt reads the font configuration when it comes to its first font;
// the window decodes the pictures).
class MenuPreparation {
public:
    ~MenuPreparation() { finish(); }

    void start() {
        if (started_) return;
        started_ = true;
        if (!readProject(project_, error_)) return;
        auto pictures = std::make_shared<SharedPictureLoad>(menuPicturePaths(project_).paths);
        std::promise<void> fontsRead;
        std::future<void> fontsDone = fontsRead.get_future();
        try {
            thread_ = std::thread([pictures, fontsRead = std::move(fontsRead)]() mutable {
                sched_param lowest{};
                if (sched_setscheduler(0, SCHED_IDLE, &lowest) == 0) sched_yield();
                FcInit();
                fontsRead.set_value();
                try {
                    pictures->loadAside();
                } catch (...) {
                    // Whatever a picture of its own cannot catch: the window decodes what is left.
                }
            });
        } catch (const std::system_error&) {
            return;  // no thread: Qt reads the font configuration, the window loads the pictures
        }
        pictures_ = std::move(pictures);
        fontsRead_ = std::move(fontsDone);
    }

    // Waits a little for the font configuration, which Qt would otherwise read a second time
    // when it comes to its first font.
    void waitForFonts() {
        if (fontsRead_.valid()) fontsRead_.wait_for(kLongestWaitForFonts);
    }

    // Gives what was prepared: false when nothing was.
    bool take(torvana::PlayerProject& project, QString& error, PreparedMenu& prepared) {
        if (!started_) return false;
        started_ = false;
        project = std::move(project_);
        error = error_;
        if (pictures_) {
            prepared.beforeFirstFont = [this] { waitForFonts(); };
            prepared.pictures = pictures_;
        }
        return true;
    }

    // Stops the thread after its current step and waits for it, before the application ends.
    void finish() {
        if (pictures_) pictures_->cancel();
        if (thread_.joinable()) thread_.join();
    }

private:
    bool started_ = false;
    torvana::PlayerProject project_;
    QString error_;
    std::thread thread_;
    std::shared_ptr<SharedPictureLoad> pictures_;
    std::future<void> fontsRead_;
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
    PreparedMenu prepared;
    if (!preparation().take(project, error, prepared)) readProject(project, error);
    int status = 1;
    if (!error.isEmpty()) {
        launcher.showError(error);
    } else {
        PlayerWindow window(std::move(project), launcher, nullptr, nullptr, std::move(prepared));
        if (beforeShow) beforeShow(window);
        window.show();
        status = QApplication::exec();
    }
    preparation().finish();
    return status;
}

}  // namespace torvana::player
