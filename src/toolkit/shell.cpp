#include "toolkit/shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <cctype>

#include "toolkit/test_hook.h"

namespace toolkit {

namespace {

bool hasScheme(const std::string& target) {
    const size_t colon = target.find(':');
    if (colon == std::string::npos || colon < 2) return false;  // "C:" style paths are not schemes
    for (size_t i = 0; i < colon; ++i) {
        const char c = target[i];
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.')) return false;
    }
    return true;
}

}  // namespace

void openTarget(const std::string& target) {
    if (TestHook* hook = testHook()) {
        hook->openedTargets.push_back(target);
        return;
    }
    const QString text = QString::fromLocal8Bit(target.c_str());
    QUrl url;
    if (hasScheme(target))
        url = QUrl(text);
    else if (target.rfind("www.", 0) == 0)
        url = QUrl(QStringLiteral("http://") + text);
    else
        url = QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
    QDesktopServices::openUrl(url);
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

}  // namespace toolkit
