// The File menu's Reopen list: the last eight projects opened or saved, most recent first, kept
// in the settings file, each reopened through Open's question, a vanished one taken off.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/forms.h"
#include "app/main_window.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "settings/recent_projects.h"
#include "test_support/linux_player.h"
#include "test_support/window_fixture.h"

using torvana::toolkit::Answer;

class ReopenTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;

    std::string writeProject(const QString& name) {
        torvana::replaceFileContents(fx.path("back.gif"), "GIF89a");
        torvana::Project d;
        d.hotspotCount = 1;
        d.cdTitle = "Title of " + name.toStdString();
        d.stagingFolder = fx.path("stage");
        d.backgroundImage = fx.path("back.gif");
        d.hotspots.push_back({"exit", fx.path("back.gif"), "1", "1", "", ""});
        const std::string p = fx.path(name);
        torvana::writeProjectFile(p, d);
        return p;
    }

    void open(const std::string& path) {
        fx.hook.chooseFile(path);
        f->Open1Click();
    }

    // Save with a program folder that holds both players, every copy answered with OK.
    void save() {
        QDir(fx.dirPath()).mkdir("program");
        torvana::replaceFileContents(fx.path("program/autorun.exe"), "player");
        makeLinuxPlayerStandIn(fx.path("program"));
        fx.document().setProgramFolder(fx.path("program") + "/");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
    }

    // The Reopen menu's entries as the user reads them.
    QStringList entries() const {
        QStringList texts;
        for (QAction* a : f->Reopen1->actions()) texts << a->text();
        return texts;
    }
    static QString entry(int n, const std::string& path) { return QString("&%1 %2").arg(n).arg(QString::fromStdString(path)); }

private slots:
    void init() {
        fx.setUp();
        f = forms().Form1;
    }
    void cleanup() { VERIFY_NO_PROBLEMS(fx); }

    void theLastEightMostRecentFirstAcrossRestarts() {
        QStringList fileMenu;
        for (QAction* a : f->File1->actions()) fileMenu << a->text();
        QCOMPARE(fileMenu, (QStringList{"&New", "&Open", "&Reopen", "&Save", "&Close", "Chec&k Disc", "&Make Disc Image...", "&Burn Disc...", "", "E&xit"}));
        QVERIFY(!f->Reopen1->menuAction()->isEnabled());  // nothing opened yet

        fx.document().setWarnMe(false);
        std::vector<std::string> paths;
        for (int i = 1; i <= 10; ++i) {
            paths.push_back(writeProject(i == 4 ? "a&b.cdrom" : QString("p%1.cdrom").arg(i)));
            open(paths.back());
        }
        QVERIFY(f->Reopen1->menuAction()->isEnabled());
        QStringList expected;
        for (int n = 1; n <= 8; ++n) expected << entry(n, paths[size_t(10 - n)]);
        expected[6] = "&7 " + QString::fromStdString(fx.path("a&&b.cdrom"));  // shown with its "&"
        QCOMPARE(entries(), expected);
        QCOMPARE(f->Reopen1->actions()[6]->toolTip(), QString::fromStdString(paths[3]));

        // The list is kept: a new start of the editor shows the same entries.
        destroyForms();
        createForms(fx.settingsPath());
        f = forms().Form1;
        QCOMPARE(entries(), expected);

        // Reopening the fifth moves it to the top; the others keep their order.
        f->Reopen1->actions()[4]->trigger();
        QCOMPARE(fx.state().projectPath, paths[5]);
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (p6.cdrom)"));
        QCOMPARE(entries().first(), entry(1, paths[5]));
        QCOMPARE(entries()[4], entry(5, paths[6]));
        QCOMPARE(entries().size(), 8);
        QVERIFY(fx.hook.fileDialogs.size() == 10);  // Reopen shows no dialog
    }

    void saveListsTheProjectFirst() {
        fx.document().setWarnMe(false);
        const std::string mine = writeProject("mine.cdrom");
        open(mine);
        // Another copy of the editor opened a project meanwhile.
        torvana::rememberRecentProject(fx.settingsPath(), fx.path("other.cdrom"));
        save();
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Information"));
        QVERIFY(fx.state().projectSaved);
        QCOMPARE(entries(), (QStringList{entry(1, mine), entry(2, fx.path("other.cdrom"))}));
    }

    // The list is the editor's own addition: when the settings file cannot be written, Open and
    // Save go on exactly as without it, with no box of their own about it.
    void aSettingsFileThatCannotBeWrittenLeavesOpenAndSaveAlone() {
        QDir(fx.dirPath()).mkdir("torvana.ini");  // a folder where the file must go
        fx.document().setWarnMe(false);
        open(writeProject("mine.cdrom"));
        QVERIFY(fx.hook.boxes.empty());
        QCOMPARE(f->Edit1->text(), QString("Title of mine.cdrom"));
        save();
        QCOMPARE(fx.hook.boxes.size(), size_t(1));
        QCOMPARE(fx.hook.boxes.back().kind, std::string("Information"));
        QVERIFY(fx.state().projectSaved);
    }

    void reopenAsksOpensQuestion() {
        const std::string a = writeProject("a.cdrom"), b = writeProject("b.cdrom");
        open(a);
        fx.hook.answer(Answer::Yes);
        open(b);
        QCOMPARE(entries(), (QStringList{entry(1, b), entry(2, a)}));
        fx.hook.answer(Answer::No);
        f->Reopen1->actions()[1]->trigger();
        QCOMPARE(fx.hook.boxes.back().text, std::string("Warning!  Current project is not saved.  Continue?"));
        QCOMPARE(fx.state().projectPath, b);
        fx.hook.answer(Answer::Yes);
        f->Reopen1->actions()[1]->trigger();
        QCOMPARE(fx.state().projectPath, a);
        QCOMPARE(f->Edit1->text(), QString("Title of a.cdrom"));
        QCOMPARE(entries(), (QStringList{entry(1, a), entry(2, b)}));
    }

    void aVanishedProjectLeavesTheListWithAMessage() {
        const std::string a = writeProject("a.cdrom"), b = writeProject("b.cdrom");
        open(a);
        fx.hook.answer(Answer::Yes);
        open(b);
        f->Edit1->setText("typed, not saved");
        QVERIFY(QFile::remove(QString::fromStdString(a)));
        fx.hook.answer(Answer::Ok);
        f->Reopen1->actions()[1]->trigger();
        // No question: nothing would be opened. The open project stays as it was.
        const torvana::toolkit::BoxRecord& box = fx.hook.boxes.back();
        QCOMPARE(box.kind, std::string("Warning"));
        QCOMPARE(box.text, "Project file: \"" + a + "\" does not exist. It has been removed from the \"Reopen\" list.");
        QCOMPARE(fx.state().projectPath, b);
        QCOMPARE(f->Edit1->text(), QString("typed, not saved"));
        QCOMPARE(entries(), QStringList{entry(1, b)});
        QCOMPARE(torvana::loadRecentProjects(fx.settingsPath()), std::vector<std::string>{b});
        // The last one gone leaves the menu disabled.
        QVERIFY(QFile::remove(QString::fromStdString(b)));
        fx.hook.answer(Answer::Ok);
        f->Reopen1->actions()[0]->trigger();
        QVERIFY(entries().isEmpty());
        QVERIFY(!f->Reopen1->menuAction()->isEnabled());
    }
};

QTEST_MAIN(ReopenTest)
#include "reopen_test.moc"
