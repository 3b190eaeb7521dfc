#include "toolkit/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>


#include "project/paths.h"
#include "toolkit/message_box.h"
#include "toolkit/test_hook.h"

namespace torvana::toolkit {


bool openTarget(const std::string& target) {
    if (TestHook* hook = testHook()) {
        hook->openedTargets.push_back(target);
        return !hook->failOpenings;
    }
    const QString text = QString::fromLocal8Bit(target.c_str());
    const QUrl url = torvana::isWebAddress(target)
                         ? QUrl(QString::fromLocal8Bit(torvana::browserAddress(target).c_str()))
                         : QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
    return QDesktopServices::openUrl(url);
}

void openOrSay(const std::string& target, QWidget* parent) {
    if (!openTarget(target)) showError("ERROR! Could not open \"" + target + "\".", parent);
}

bool startProgram(const std::string& program, const std::string& workingFolder) {
    const QString folder = QString::fromLocal8Bit(workingFolder.c_str());
    QString path = QString::fromLocal8Bit(program.c_str());
    if (QFileInfo(path).isRelative()) path = QDir(folder).absoluteFilePath(path);
    if (!QFileInfo(path).isExecutable() || QFileInfo(path).isDir()) return false;
    qint64 pid = 0;
    const bool started = QProcess::startDetached(path, {}, folder, &pid);
    if (started)
        if (TestHook* hook = testHook()) hook->startedProcesses.push_back(pid);
    return started;
}

}  // namespace torvana::toolkit
