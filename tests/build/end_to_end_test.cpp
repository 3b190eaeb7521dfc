// The whole road on the example project: open it, Save into its staging folder, compare the
// tree, and Test Run the real player.

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

using toolkit::Answer;

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

private slots:
    void init() {
        fx.setUp();
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
        QCOMPARE(tree(ex + "/stage"),
                 QStringList({"1/", "1/slides.txt", "2/", "3/", "autorun.exe", "autorun.inf", "images/",
                              "images/background.bmp", "images/exit.bmp", "images/slides.bmp", "images/web.bmp",
                              "sample.cdrom", "wavs/", "wavs/click.wav", "wavs/opening.wav", "wavs/over.wav"}));
        QVERIFY(QFileInfo(ex + "/stage/autorun.exe").isExecutable());
        QVERIFY(f->BitBtn4->isEnabled());

        // Test Run starts the real player in the staging folder.
        f->BitBtn4->click();
        QCOMPARE(fx.hook.startedProcesses.size(), size_t(1));
        const QString proc = QString("/proc/%1").arg(fx.hook.startedProcesses[0]);
        QTRY_COMPARE(QFileInfo(proc + "/exe").symLinkTarget(), QFileInfo(ex + "/stage/autorun.exe").canonicalFilePath());
        QCOMPARE(QFileInfo(proc + "/cwd").symLinkTarget(), QFileInfo(ex + "/stage").canonicalFilePath());
        QTest::qWait(300);
        QVERIFY2(QFileInfo::exists(proc), "the player keeps running");

        // Without the player in the staging folder Test Run says so.
        QFile::remove(ex + "/stage/autorun.exe");
        fx.hook.answer(Answer::Ok);
        f->BitBtn4->click();
        QCOMPARE(fx.hook.boxes.back().text, std::string("ERROR! Could not launch file: \"autorun.exe\"."));
    }

    // A staging folder typed relative to the current folder: Save builds it, and Test Run starts
    // the real player there, whose window shows the CD title.
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
        f->BitBtn4->click();
        QCOMPARE(fx.hook.boxes.size(), size_t(1));
        QCOMPARE(fx.hook.startedProcesses.size(), size_t(1));
        const QString proc = QString("/proc/%1").arg(fx.hook.startedProcesses[0]);
        const QString stage = QFileInfo(ex + "/relative-stage").canonicalFilePath();
        QTRY_COMPARE(QFileInfo(proc + "/exe").symLinkTarget(), stage + "/autorun.exe");
        QCOMPARE(QFileInfo(proc + "/cwd").symLinkTarget(), stage);
        QCOMPARE(QDir::currentPath(), stage);
        if (QGuiApplication::platformName() == "xcb") {
            // The player's own window, found through the X server.
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    QProcess xwininfo;
                    xwininfo.start(QStringLiteral(XWININFO), {"-name", title});
                    return xwininfo.waitForFinished(10000) && xwininfo.exitCode() == 0 &&
                           xwininfo.readAllStandardOutput().contains("Map State: IsViewable");
                }(),
                20000);
        } else {
            QTest::qWait(300);
        }
        QVERIFY2(QFileInfo::exists(proc), "the player keeps running");
    }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
