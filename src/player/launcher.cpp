#include "player/launcher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QProcess>

namespace torvana::player {

bool DesktopLauncher::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

bool DesktopLauncher::startProgram(const QString& program, const QString& workingFolder) {
    return QProcess::startDetached(program, {}, workingFolder);
}

void DesktopLauncher::showError(const QString& text) {
    QMessageBox::critical(nullptr, QCoreApplication::applicationName(), text);
}

void DesktopLauncher::quit() { QCoreApplication::quit(); }

}  // namespace torvana::player
