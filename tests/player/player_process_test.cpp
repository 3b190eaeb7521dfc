// The built Linux player as a process: started with a staging folder as its working folder on a
// real X server, its window must appear with the CD title and the stage's size. Windows of
// another process are found through the X server itself (xwininfo).

#include <QFile>
#include <QProcess>
#include <csignal>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include "staging_builder.h"

using namespace testing_player;

namespace {

struct WindowInfo {
    bool viewable = false;
    int width = 0;
    int height = 0;
};

// Asks the X server for the top-level window named `title`.
std::optional<WindowInfo> findWindow(const QString& title) {
    QProcess xwininfo;
    xwininfo.start(QStringLiteral(XWININFO), {"-name", title});
    if (!xwininfo.waitForFinished(10000) || xwininfo.exitCode() != 0) return std::nullopt;
    const QString out = QString::fromLocal8Bit(xwininfo.readAllStandardOutput());
    WindowInfo info;
    info.viewable = out.contains("Map State: IsViewable");
    info.width = QRegularExpression("Width: (\\d+)").match(out).captured(1).toInt();
    info.height = QRegularExpression("Height: (\\d+)").match(out).captured(1).toInt();
    return info;
}

// Waits up to 20 seconds for a viewable window named `title`, as long as the process runs.
std::optional<WindowInfo> waitForWindow(const QString& title, QProcess& process) {
    std::optional<WindowInfo> found;
    const bool timedOut = !QTest::qWaitFor([&] {
        if (process.state() == QProcess::NotRunning) return true;  // nothing more to wait for
        found = findWindow(title);
        return found && found->viewable;
    }, 20000);
    if (timedOut || !found || !found->viewable) return std::nullopt;
    return found;
}

// The X server answers. The test may start a moment before its server accepts
// connections, which this test (which itself never connects) would otherwise pass on to the
// player.
bool displayAnswers() {
    return QTest::qWaitFor([] {
        QProcess xwininfo;
        xwininfo.start(QStringLiteral(XWININFO), {"-root"});
        return xwininfo.waitForFinished(10000) && xwininfo.exitStatus() == QProcess::NormalExit &&
               xwininfo.exitCode() == 0;
    }, 20000);
}

// The process ignores SIGXFSZ (so a write past a file size limit fails with an error the
// program reports instead of killing it), as /proc shows once its main has begun.
bool ignoresFileSizeSignal(const QProcess& process) {
    return QTest::qWaitFor([&] {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (!status.open(QIODevice::ReadOnly)) return false;
        const QString text = QString::fromLatin1(status.readAll());
        const QString mask = QRegularExpression("SigIgn:\\s*([0-9a-f]+)").match(text).captured(1);
        return (mask.toULongLong(nullptr, 16) >> (SIGXFSZ - 1) & 1) != 0;
    }, 10000);
}

void end(QProcess& process) {
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(10000);
    }
}

}  // namespace

class PlayerProcessTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(displayAnswers(), "the X server does not answer"); }

    void windowAppearsWithTheCdTitle() {
        StagingBuilder s;
        // A title of its own, so no other window on the display can be taken for it.
        const QString title = QStringLiteral("Process Menu %1").arg(QRandomGenerator::global()->generate());
        s.data.cdTitle = title.toStdString();
        s.data.backgroundImage = StagingBuilder::stored("back.bmp");
        s.writeImage("images/back.bmp", framedImage(640, 480, QColor(10, 80, 40), Qt::white), "BMP");
        torvana::Hotspot h;
        h.application = "exit";
        h.rolloverImage = StagingBuilder::stored("over.png");
        h.x = "10";
        h.y = "10";
        s.writeImage("images/over.png", framedImage(40, 40, Qt::red, Qt::red), "PNG");
        s.data.hotspots = {h};
        s.writeProject("photos.cdrom");

        QProcess player;
        player.setWorkingDirectory(s.folder());
        player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        player.start(QStringLiteral(PLAYER_EXE), {});
        QVERIFY2(player.waitForStarted(10000), qPrintable(player.errorString()));
        const std::optional<WindowInfo> window = waitForWindow(title, player);
        const bool running = player.state() == QProcess::Running;
        // The multimedia libraries are not among the player's own: its sound module, loaded
        // from beside it once the menu is on the screen, brings them.
        const auto maps = [&player] {
            QFile f(QStringLiteral("/proc/%1/maps").arg(player.processId()));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const bool moduleLoaded = QTest::qWaitFor([&] { return maps().contains("/modules/torvana-player-sound.so"); }, 10000);
        // The BMP and PNG pictures go straight to Qt's built-in readers: no image plugin (nor the
        // libraries behind one) is loaded to ask whether it reads them.
        const bool imagePluginLoaded = maps().contains("/imageformats/");
        QProcess readelf;
        readelf.start(QStringLiteral("readelf"), {"-d", QStringLiteral(PLAYER_EXE)});
        QVERIFY(readelf.waitForFinished(10000));
        const QByteArray needed = readelf.readAllStandardOutput();
        end(player);
        QVERIFY(moduleLoaded);
        QVERIFY(!imagePluginLoaded);
        QVERIFY(needed.contains("libQt6Widgets"));
        QVERIFY2(!needed.contains("libQt6Multimedia"), needed.constData());
        QVERIFY2(running, "the player ended before its window appeared");
        QVERIFY2(window.has_value(), "no window with the CD title appeared");
        QCOMPARE(window->width, 640);
        QCOMPARE(window->height, 480);  // nothing asked for the bar
    }

    void withoutAProjectItShowsWhyAndWaits() {
        StagingBuilder empty;
        QProcess player;
        player.setWorkingDirectory(empty.folder());
        player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        player.start(QStringLiteral(PLAYER_EXE), {});
        QVERIFY2(player.waitForStarted(10000), qPrintable(player.errorString()));
        // The message box carries the program's name; it stays until the user answers it.
        const std::optional<WindowInfo> box = waitForWindow(QStringLiteral("Autorun"), player);
        const bool running = player.state() == QProcess::Running;
        const bool ignoresSignal = ignoresFileSizeSignal(player);
        end(player);
        QVERIFY(ignoresSignal);
        QVERIFY2(running, "the player ended without showing why");
        QVERIFY2(box.has_value(), "no message box appeared");
    }

    // The editor writes projects and copies whole discs: under a file size limit a write must
    // fail and be reported, not kill it.
    void theEditorIgnoresTheFileSizeSignal() {
        StagingBuilder config;  // a settings folder of its own
        QProcess editor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.folder());
        editor.setProcessEnvironment(env);
        editor.setWorkingDirectory(config.folder());
        editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        editor.start(QStringLiteral(EDITOR_EXE), {});
        QVERIFY2(editor.waitForStarted(10000), qPrintable(editor.errorString()));
        const bool ignoresSignal = ignoresFileSizeSignal(editor);
        end(editor);
        QVERIFY(ignoresSignal);
    }
};

QTEST_GUILESS_MAIN(PlayerProcessTest)
#include "player_process_test.moc"
