// The whole road on the example project: open it, Save into its staging folder, compare the
// tree, run the staged Windows player under Wine, start the staged autorun.sh as a Linux desktop
// does, and Test Run the real Linux player.

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <csignal>

#include "app/forms.h"
#include "app/main_window.h"
#include "project/file_io.h"
#include "test_support/window_fixture.h"
#ifdef WINE_TEMPLATE
#include "test_support/wine.h"
#endif

using torvana::toolkit::Answer;

class EndToEndTest : public QObject {
    Q_OBJECT
    WindowFixture fx;
    TForm1* f = nullptr;

    QStringList tree(const QString& root) {
        QStringList out;
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            out << QDir(root).relativeFilePath(p) + (QFileInfo(p).isDir() ? "/" : "");
        }
        out.sort();
        return out;
    }

    // What xwininfo says of the window named `title`; empty when there is none. xwininfo walks
    // the whole window tree; when a window of another client closes during the walk it stops with
    // an X error and says no window has the name, which tells nothing about ours, so it is asked
    // again. Checks built on this must not flip from true to false at random: QTRY_VERIFY
    // evaluates its check once more after the wait, and then reports a timeout never reached.
    QByteArray windowInfo(const QString& title) {
        for (int attempt = 0; attempt < 20; ++attempt) {
            QProcess xwininfo;
            xwininfo.start(QStringLiteral(XWININFO), {"-name", title});
            if (!xwininfo.waitForFinished(10000)) return "no answer";  // neither shown nor gone
            if (xwininfo.exitCode() == 0) return xwininfo.readAllStandardOutput();
            if (!xwininfo.readAllStandardError().contains("X Error")) return {};
        }
        return {};
    }
    // The window named `title` is shown.
    bool windowShown(const QString& title) { return windowInfo(title).contains("Map State: IsViewable"); }

    // Where the players started by this test write their sound (SDL's disk output): the player
    // opens its sound output once the menu's first frame is out, so the file says the menu
    // has been shown, also on the offscreen platform, where the player draws off screen too.
    QString soundFile() const { return fx.dirPath() + "/sound.raw"; }
    void playersWriteTheirSoundToAFile() {
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", soundFile().toLocal8Bit());
        if (QGuiApplication::platformName() != "xcb") qputenv("SDL_VIDEODRIVER", "offscreen");
    }
    bool menuShown() const { return QFileInfo::exists(soundFile()); }

    // Runs the staged autorun.sh as a desktop does, in an environment that names no library
    // folder, until the menu shows: the process is the staged player, with SDL linked in (no SDL
    // library of the system's is mapped) and the libraries it carries taken from beside it.
    void startFromAutorunSh(const QString& stage, const QString& title) {
        QProcess sh;
        sh.setWorkingDirectory(stage);
        sh.start("/usr/bin/env", {"-i", "DISPLAY=" + qEnvironmentVariable("DISPLAY"), "PATH=/usr/bin:/bin", "sh",
                                  "autorun.sh"});
        QVERIFY(sh.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(windowShown(title) || sh.state() == QProcess::NotRunning, 20000);
        QVERIFY2(sh.state() == QProcess::Running, sh.readAllStandardError().constData());
        QVERIFY(windowShown(title));
        // env and sh hand their process on to the player.
        const QString maps = QString("/proc/%1/maps").arg(sh.processId());
        const auto mapped = [&] {
            QFile file(maps);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(mapped().contains("/linux-x86_64/lib/libdecor-0.so.0"), 10000);
        QStringList ours;
        for (const QByteArray& line : mapped().split('\n')) {
            const QString path = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
            if (line.contains('/') && (path.contains("/libSDL2") || path.contains("/libdecor") || path.contains("/linux-x86_64/")))
                ours << path;
        }
        ours.removeDuplicates();
        ours.sort();
        QCOMPARE(ours, QStringList({stage + "/linux-x86_64/lib/libXss.so.1", stage + "/linux-x86_64/lib/libdecor-0.so.0",
                                    stage + "/linux-x86_64/torvana-player"}));
        sh.terminate();
        QVERIFY(sh.waitForFinished(10000));
        // The X server closes the window of a client that has ended only when it gets to it,
        // which takes a while on a loaded machine; until then the window, still shown, would
        // answer for the next player of the same title and then vanish.
        QTRY_VERIFY_WITH_TIMEOUT(windowInfo(title).isEmpty(), 10000);
    }

private slots:
    void init() {
        fx.setUp();
        playersWriteTheirSoundToAFile();
        f = forms().Form1;
    }
    void cleanup() {
        for (long long pid : fx.hook.startedProcesses) ::kill(static_cast<pid_t>(pid), SIGTERM);
        VERIFY_NO_PROBLEMS(fx);
    }

    void openSaveAndTestRunTheExample() {
        const QString ex = fx.dirPath() + "/example";
        QCOMPARE(QProcess::execute(TORVANA_MAKE_EXAMPLE, {ex}), 0);
        // Open it the way the user does: the chooser, then the Open dialog.
        whenModal("TForm5", [](QWidget* w) { w->close(); });
        fx.hook.chooseFile((ex + "/sample.cdrom").toStdString());
        f->FormActivate();
        QCOMPARE(f->windowTitle(), QString("Torvana - Ver. 3.5 - (sample.cdrom)"));

        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QCOMPARE(fx.hook.boxes.back().text,
                 "All Files copied over to \"" + (ex + "/stage").toStdString() + "\", and can to be copied to a CDROM.");
        QStringList staged = tree(ex + "/stage");
        staged.removeIf([](const QString& p) { return p.startsWith("linux-x86_64/") && p != "linux-x86_64/"; });
        QCOMPARE(staged, QStringList({"1/", "1/slides.txt", "2/", "3/", "autorun.exe", "autorun.inf", "autorun.sh",
                                      "images/", "images/background.bmp", "images/exit.bmp", "images/slides.bmp",
                                      "images/web.bmp", "index.html", "linux-x86_64/", "sample.cdrom", "wavs/", "wavs/click.wav",
                                      "wavs/opening.wav", "wavs/over.wav"}));
        // The Linux player's folder as the build made it beside the editor.
        const QString bundle = QCoreApplication::applicationDirPath() + "/linux-x86_64";
        QCOMPARE(tree(ex + "/stage/linux-x86_64"), tree(bundle));
        QVERIFY(tree(bundle).contains("torvana-player"));
        QVERIFY(tree(bundle).contains("lib/libdecor-0.so.0"));
        QVERIFY(f->BitBtn4->isEnabled());

        // The staged player is a 64-bit Windows program (PE32+)...
        const std::string exe = torvana::readFileContents((ex + "/stage/autorun.exe").toStdString());
        QVERIFY(exe.size() > 0x40 && exe.compare(0, 2, "MZ") == 0);
        const uint32_t pe = uint8_t(exe[0x3C]) | uint8_t(exe[0x3D]) << 8 | uint8_t(exe[0x3E]) << 16 | uint32_t(uint8_t(exe[0x3F])) << 24;
        QVERIFY(pe + 26 < exe.size());
        QCOMPARE(exe.substr(pe, 4), std::string("PE\0\0", 4));
        QCOMPARE(uint8_t(exe[pe + 24]) | uint8_t(exe[pe + 25]) << 8, 0x20B);
#ifdef WINE_TEMPLATE
        // ... which shows the menu under Wine, started in the staging folder.
        if (qEnvironmentVariableIsSet("DISPLAY") && QGuiApplication::platformName() == "xcb") {
            winetest::WineProgram wine(WINE_TEMPLATE);
            winetest::XServer x;
            QVERIFY(x.open());
            QVERIFY(wine.start((ex + "/stage/autorun.exe").toStdString(), (ex + "/stage").toStdString()));
            QVERIFY2(x.waitFor("Summer Photos", wine).has_value(), "the Windows player showed no menu");
        }
#endif

        // Test Run starts the real player in the staging folder.
        f->BitBtn4->click();
        QCOMPARE(fx.hook.startedProcesses.size(), size_t(1));
        const QString proc = QString("/proc/%1").arg(fx.hook.startedProcesses[0]);
        QTRY_COMPARE(QFileInfo(proc + "/exe").symLinkTarget(),
                     QFileInfo(QCoreApplication::applicationDirPath() + "/torvana-player").canonicalFilePath());
        QCOMPARE(QFileInfo(proc + "/cwd").symLinkTarget(), QFileInfo(ex + "/stage").canonicalFilePath());
        QVERIFY2(QTest::qWaitFor([&] { return menuShown(); }, 20000), "the player showed no menu");
        QVERIFY2(QFileInfo::exists(proc), "the player keeps running");

        // Without the player in the staging folder Test Run says so.
        QFile::remove(ex + "/stage/autorun.exe");
        fx.hook.answer(Answer::Ok);
        f->BitBtn4->click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("ERROR! Could not launch file: \"autorun.exe\"."));
    }

    // A staging folder typed relative to the current folder: Save builds it, and Test Run starts
    // the real Linux player there, whose window shows the CD title.
    void testRunFromARelativeStagingFolder() {
        const QString ex = fx.dirPath() + "/example";
        QCOMPARE(QProcess::execute(TORVANA_MAKE_EXAMPLE, {ex}), 0);
        fx.hook.chooseFile((ex + "/sample.cdrom").toStdString());
        f->Open1Click();  // the project's folder becomes current
        f->FormActivate();  // records the program's folder, where the player is
        const QString title = QStringLiteral("Relative %1").arg(QCoreApplication::applicationPid());
        f->Edit1->setText(title);
        f->Edit2->setText("relative-stage");
        fx.hook.answer(Answer::Ok);
        f->BitBtn1->click();
        QVERIFY(f->BitBtn4->isEnabled());
        if (QGuiApplication::platformName() == "xcb") {
            // The disc on a Linux desktop: autorun.sh shows the menu with the player's own SDL,
            // also when the disc is mounted without execute permission.
            const QString staged = QFileInfo(ex + "/relative-stage").canonicalFilePath();
            startFromAutorunSh(staged, title);
            if (QTest::currentTestFailed()) return;  // a player left running would show the same title
            QVERIFY(QFile::setPermissions(staged + "/linux-x86_64/torvana-player",
                                          QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
            startFromAutorunSh(staged, title);
            if (QTest::currentTestFailed()) return;
        }
        f->BitBtn4->click();
        QCOMPARE(fx.hook.boxes.size(), size_t(1));
        QCOMPARE(fx.hook.startedProcesses.size(), size_t(1));
        const QString proc = QString("/proc/%1").arg(fx.hook.startedProcesses[0]);
        const QString stage = QFileInfo(ex + "/relative-stage").canonicalFilePath();
        QTRY_COMPARE(QFileInfo(proc + "/exe").symLinkTarget(),
                     QFileInfo(QCoreApplication::applicationDirPath() + "/torvana-player").canonicalFilePath());
        QCOMPARE(QFileInfo(proc + "/cwd").symLinkTarget(), stage);
        QCOMPARE(QDir::currentPath(), stage);
        if (QGuiApplication::platformName() == "xcb") {
            // The player's own window, found through the X server.
            QTRY_VERIFY_WITH_TIMEOUT(windowShown(title), 20000);
        } else {
            QVERIFY2(QTest::qWaitFor([&] { return menuShown(); }, 20000), "the player showed no menu");
        }
        QVERIFY2(QFileInfo::exists(proc), "the player keeps running");
    }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
