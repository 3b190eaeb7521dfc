#pragma once
// Everything the player hands to the desktop or the application: opening web addresses, files
// and folders with their programs, starting programs, telling the user why the menu cannot be
// shown, and ending the player. The player calls only this, so a test can put a recorder in
// its place.

#include <QString>
#include <QUrl>

namespace torvana::player {

class Launcher {
public:
    virtual ~Launcher() = default;
    // A web address in the browser, a local file with its associated program, a local folder
    // in the file manager. False when the desktop could not open it.
    virtual bool openUrl(const QUrl& url) = 0;
    // Starts a program detached, with `workingFolder` as its working folder. False when it
    // could not be started.
    virtual bool startProgram(const QString& program, const QString& workingFolder) = 0;
    // A modal error box with the program's name as its caption, answered with OK.
    virtual void showError(const QString& text) = 0;
    // Ends the player.
    virtual void quit() = 0;
};

// The real desktop: QDesktopServices, QProcess, QMessageBox and the application's event loop.
class DesktopLauncher : public Launcher {
public:
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& program, const QString& workingFolder) override;
    void showError(const QString& text) override;
    void quit() override;
};

}  // namespace torvana::player
