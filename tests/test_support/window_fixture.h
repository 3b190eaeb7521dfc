#pragma once
// Support for window tests: the six windows created fresh for each test with a settings file
// in a folder of the test's own, the toolkit's hook standing in for the user at message boxes
// and file dialogs, and a way to act on modal dialogs of our own once they show.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <string>

#include "app/forms.h"
#include "document/project_document.h"
#include "hotspot/hand_off.h"
#include "toolkit/pointer.h"
#include "toolkit/test_hook.h"

class WindowFixture {
public:
    std::unique_ptr<QTemporaryDir> tempDir;  // the test's own folder, current while the test runs
    torvana::toolkit::TestHook hook;

    QString dirPath() const { return tempDir->path(); }
    std::string path(const QString& name) const {
        return tempDir->filePath(name).toLocal8Bit().toStdString();
    }
    std::string settingsPath() const { return path("torvana.ini"); }

    // The open project, which every window shows.
    torvana::ProjectDocument& document() const { return *forms().Document; }
    const torvana::ProjectState& state() const { return document().state(); }
    // Changes hotspot `slot` as the hotspot editor's OK does: one step of the project's history.
    void changeHotspot(int slot, const std::function<void(torvana::Hotspot&)>& change) const {
        torvana::Hotspot fields = state().hotspot(slot);
        change(fields);
        document().acceptHotspot({slot, fields});
    }

    void setUp() {
        QApplication::setApplicationName("Torvana");
        tempDir = std::make_unique<QTemporaryDir>();
        oldCurrent_ = QDir::currentPath();
        QDir::setCurrent(tempDir->path());
        torvana::toolkit::installTestHook(&hook);
        createForms(settingsPath());
    }

    // Returns what went wrong with the user's side of the test (unexpected boxes, answers left).
    std::string tearDown() {
        destroyForms();
        torvana::toolkit::installTestHook(nullptr);
        torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow);
        QDir::setCurrent(oldCurrent_);
        std::string problems = hook.problems();
        hook = torvana::toolkit::TestHook();
        tempDir.reset();
        return problems;
    }

private:
    QString oldCurrent_;
};

// Runs `action` on the next modal window of class `className` as soon as it is shown. A modal
// window of another class is closed and reported through `failure`.
inline void whenModal(const char* className, std::function<void(QWidget*)> action,
                      std::string* failure = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, className, action, failure] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        if (w->metaObject()->className() != std::string(className)) {
            if (failure) *failure += std::string("unexpected modal ") + w->metaObject()->className() + "\n";
            w->close();
            return;
        }
        action(w);
    });
    timer->start();
}

#define VERIFY_NO_PROBLEMS(fixture)                                  \
    do {                                                             \
        const std::string problems_ = (fixture).tearDown();          \
        QVERIFY2(problems_.empty(), problems_.c_str());              \
    } while (0)
