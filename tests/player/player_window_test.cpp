// The menu window on a real staging folder: background and rollover drawing (checked on the
// grabbed window's pixels), hotspot clicks reaching the launcher for each kind of target, the
// Browse and Exit buttons, sounds, notes for missing files, and the keyboard.

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "gif/fake_clock.h"
#include "project/staged_menu.h"
#include "player/player_window.h"
#include "player/sounds.h"
#include "staging_builder.h"

using namespace testing_player;

namespace {

const QColor kBackground(20, 40, 120);
const QColor kEdge(Qt::white);
const QColor kRed(220, 30, 30);
const QColor kGreen(30, 200, 60);
const QColor kYellow(240, 220, 20);

// Four hotspots over a 640 x 480 background:
//   1 a document (not executable) at 100,50 with a red 80 x 40 PNG, rollover and click sounds;
//   2 a web address at 300,200 with a green 60 x 30 GIF whose middle column is transparent;
//   3 exit at 500,400 whose rollover picture is missing (a 32 x 32 invisible square);
//   4 a program with an argument at 10,400 with a yellow 50 x 50 BMP.
void buildStandardStaging(StagingBuilder& s, bool browse, bool exit) {
    s.data.showBrowse = browse;
    s.data.showExit = exit;
    s.data.backgroundImage = StagingBuilder::stored("back.bmp");
    s.data.openingWav = StagingBuilder::stored("open.wav");
    s.writeImage("images/back.bmp", framedImage(640, 480, kBackground, kEdge), "BMP");
    s.writeWave("wavs/open.wav", 120);
    s.writeWave("wavs/hover.wav", 80);
    s.writeWave("wavs/click.wav", 60);

    torvana::Hotspot doc;
    doc.application = "/home/maker/docs/readme.txt";
    doc.rolloverImage = StagingBuilder::stored("over-doc.png");
    doc.x = "100";
    doc.y = "50";
    doc.rolloverWav = StagingBuilder::stored("hover.wav");
    doc.clickWav = StagingBuilder::stored("click.wav");
    s.writeImage("images/over-doc.png", framedImage(80, 40, kRed, kRed), "PNG");
    s.writeFile("1/readme.txt", "Read me.\n");

    torvana::Hotspot web;
    web.application = "www.example.org";
    web.rolloverImage = StagingBuilder::stored("over-web.gif");
    web.x = "$12C";  // 300
    web.y = " 200";
    GifFrameSpec frame{0, 0, 60, 30, {}, 0, 1};
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) frame.indices.push_back(x == 30 ? 1 : 0);
    s.writeFile("images/over-web.gif", gifBytes(60, 30, {kGreen, Qt::black}, {frame}));

    torvana::Hotspot quit;
    quit.application = "exit";
    quit.rolloverImage = StagingBuilder::stored("over-gone.bmp");
    quit.x = "500";
    quit.y = "400";
    quit.clickWav = StagingBuilder::stored("click.wav");

    torvana::Hotspot program;
    program.application = "/opt/tools/run.sh -s";
    program.rolloverImage = StagingBuilder::stored("over-run.bmp");
    program.x = "10";
    program.y = "400";
    s.writeImage("images/over-run.bmp", framedImage(50, 50, kYellow, kYellow), "BMP");
    s.writeFile("4/run.sh -s", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(s.folder() + "/4/run.sh -s",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    s.data.hotspots = {doc, web, quit, program};
    s.writeProject();
}

// A hotspot at 200,200 whose 40 x 40 rollover animates: red, then a green 20 x 20 middle.
torvana::Hotspot spinningRollover(StagingBuilder& s) {
    torvana::Hotspot spot;
    spot.application = "www.example.org";
    spot.rolloverImage = StagingBuilder::stored("spin.gif");
    spot.x = "200";
    spot.y = "200";
    GifFrameSpec red{0, 0, 40, 40, std::vector<quint8>(40 * 40, 0), 25};
    GifFrameSpec green{10, 10, 20, 20, std::vector<quint8>(20 * 20, 1), 5};
    s.writeFile("images/spin.gif", gifBytes(40, 40, {kRed, kGreen}, {red, green}));
    return spot;
}

// Remembers where the stage last saw the mouse, so a test can wait for a move to arrive: on
// a real X server QTest moves the real pointer, whose events come back asynchronously.
class MoveWatcher : public QObject {
public:
    QPoint last{-1, -1};
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseMove) last = static_cast<QMouseEvent*>(event)->position().toPoint();
        return false;
    }
};

struct Menu {
    StagingBuilder staging;
    MoveWatcher moves;
    RecordingLauncher launcher;
    std::shared_ptr<torvana::gif::PainterClock> clock;  // the animations' (the system clock when null)
    std::unique_ptr<torvana::player::PlayerWindow> window;

    explicit Menu(bool browse = false, bool exit = false, bool standard = true) {
        if (standard) buildStandardStaging(staging, browse, exit);
    }
    torvana::player::PlayerWindow& open() {
        window = std::make_unique<torvana::player::PlayerWindow>(
            torvana::loadPlayerProject({staging.folder().toStdString()}), launcher, clock);
        window->stage()->installEventFilter(&moves);
        QSignalSpy shown(window->stage(), &torvana::player::PlayerStage::firstPainted);
        window->show();
        window->activateWindow();
        // Keys and focus need the active window: a test that cannot get it fails, saying why.
        if (!QTest::qWaitForWindowActive(window.get()))
            QTest::qFail("the player window did not become active", __FILE__, __LINE__);
        // What follows the first frame (the opening sound) is done before the test goes on.
        if (shown.isEmpty() && !shown.wait(2000)) QTest::qFail("the stage was not painted", __FILE__, __LINE__);
        QCoreApplication::processEvents();
        return *window;
    }
    torvana::player::PlayerStage* stage() const { return window->stage(); }
    QImage grabStage() const { return stage()->grab().toImage(); }
    QColor at(int x, int y) const { return grabStage().pixelColor(x, y); }
    void moveTo(int x, int y) {
        QTest::mouseMove(stage(), QPoint(x, y));
        if (!QTest::qWaitFor([&] { return moves.last == QPoint(x, y); }, 2000))
            QTest::qFail(qPrintable(QString("the mouse move to %1,%2 did not arrive").arg(x).arg(y)), __FILE__, __LINE__);
    }
    void click(int x, int y) {
        moveTo(x, y);
        QTest::mouseClick(stage(), Qt::LeftButton, {}, QPoint(x, y));
    }
    void key(int k, Qt::KeyboardModifiers mods = {}) const {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, Qt::Key(k), mods);
    }
    QString file(const QString& relative) const { return staging.folder() + "/" + relative; }
};

}  // namespace

class PlayerWindowTest : public QObject {
    Q_OBJECT
private slots:
    void showsTitleAndBackground() {
        Menu m;
        torvana::player::PlayerWindow& w = m.open();
        QCOMPARE(w.windowTitle(), QString("Summer Photos"));
        QCOMPARE(m.stage()->size(), QSize(640, 480));
        QVERIFY2(w.notes().size() == 1, qPrintable(w.notes().join("\n")));  // the missing rollover only
        const QImage shot = m.grabStage();
        QCOMPARE(shot.pixelColor(0, 0), kEdge);
        QCOMPARE(shot.pixelColor(639, 479), kEdge);
        QCOMPARE(shot.pixelColor(320, 240), kBackground);
        // Nothing highlighted before the mouse or the keyboard moves.
        QCOMPARE(shot.pixelColor(110, 60), kBackground);
        QCOMPARE(m.stage()->current(), -1);
        // No button asked for and one note: the bar is there for the note.
        QVERIFY(!w.findChild<QPushButton*>("browseButton"));
        QVERIFY(!w.findChild<QPushButton*>("exitButton"));
        QVERIFY(w.findChild<QWidget*>("bar")->isVisible());
    }

    void hoverDrawsTheRolloverAtXYAndLeavingRestores() {
        Menu m;
        m.open();
        QSignalSpy played(m.window->sounds(), &torvana::player::SoundBank::played);
        m.moveTo(120, 70);
        QCOMPARE(m.stage()->current(), 0);
        QImage shot = m.grabStage();
        // The 80 x 40 picture covers 100..179 x 50..89 and nothing else.
        QCOMPARE(shot.pixelColor(100, 50), kRed);
        QCOMPARE(shot.pixelColor(179, 89), kRed);
        QCOMPARE(shot.pixelColor(99, 50), kBackground);
        QCOMPARE(shot.pixelColor(180, 89), kBackground);
        QCOMPARE(shot.pixelColor(179, 90), kBackground);
        QCOMPARE(m.stage()->cursor().shape(), Qt::PointingHandCursor);
        // The rollover sound plays once on entering, not on every move inside.
        QCOMPARE(played.count(), 1);
        QCOMPARE(played.at(0).at(0).toString(), m.file("wavs/hover.wav"));
        m.moveTo(150, 80);
        QCOMPARE(played.count(), 1);

        m.moveTo(400, 300);
        QCOMPARE(m.stage()->current(), -1);
        shot = m.grabStage();
        QCOMPARE(shot.pixelColor(100, 50), kBackground);
        QCOMPARE(shot.pixelColor(179, 89), kBackground);
        QCOMPARE(m.stage()->cursor().shape(), Qt::ArrowCursor);

        // Entering again plays it again.
        m.moveTo(101, 51);
        QCOMPARE(played.count(), 2);
    }

    void gifRolloverKeepsItsTransparentPixels() {
        Menu m;
        m.open();
        m.moveTo(305, 205);
        const QImage shot = m.grabStage();
        QCOMPARE(shot.pixelColor(300, 200), kGreen);
        QCOMPARE(shot.pixelColor(359, 229), kGreen);
        // Column 30 of the GIF is transparent: the background shows through.
        QCOMPARE(shot.pixelColor(330, 210), kBackground);
        QCOMPARE(shot.pixelColor(360, 210), kBackground);
    }

    void animatedGifsPlayOnTheStage() {
        // An animated background (a patch appears after 60 ms) and an animated rollover (red,
        // then green): the stage shows the later frames, not only the first.
        Menu m(false, false, false);
        auto clock = std::make_shared<StepClock>();
        m.clock = clock;
        // Time moves only as the test waits for what should show after it.
        const auto afterTimePasses = [&](auto shows) {
            return QTest::qWaitFor([&] {
                clock->Advance(10);
                return shows();
            }, 5000);
        };
        StagingBuilder& s = m.staging;
        s.data.backgroundImage = StagingBuilder::stored("back.gif");
        GifFrameSpec whole{0, 0, 640, 480, std::vector<quint8>(640 * 480, 0), 5};
        GifFrameSpec patch{0, 0, 100, 100, std::vector<quint8>(100 * 100, 1), 5};
        s.writeFile("images/back.gif", gifBytes(640, 480, {kBackground, kYellow}, {whole, patch}));
        s.data.hotspots = {spinningRollover(s)};
        s.writeProject();
        m.open();
        QVERIFY(afterTimePasses([&] { return m.at(50, 50) == kYellow; }));
        QVERIFY(clock->Waits() > 0);
        QCOMPARE(m.at(150, 150), kBackground);
        m.moveTo(205, 205);
        QVERIFY(afterTimePasses([&] { return m.at(220, 220) == kGreen; }));
        QCOMPARE(m.at(205, 205), kRed);  // outside the second frame: the first stays
        m.moveTo(400, 400);
        QCOMPARE(m.at(220, 220), kBackground);
        // Hidden, the rollover stops animating; shown again, it starts from its first frame.
        m.moveTo(205, 205);
        QCOMPARE(m.at(220, 220), kRed);
        QVERIFY(afterTimePasses([&] { return m.at(220, 220) == kGreen; }));
    }

    void anAnimationWithoutMemoryShowsItsFirstFrameAndSaysSo() {
        Menu m(false, false, false);
        StagingBuilder& s = m.staging;
        s.data.hotspots = {spinningRollover(s)};
        s.writeProject();
        torvana::player::PlayerWindow& w = m.open();
        // The program's pictures have taken all their memory: the rollover's painter gets none.
        torvana::gif::GifMemoryBudget& budget = torvana::gif::GifMemoryBudget::Program();
        torvana::gif::GifMemoryCharge elsewhere(&budget);
        elsewhere.Add(budget.Limit() - budget.InUse());
        m.moveTo(210, 210);
        const QString note = "Rollover picture \"images/spin.gif\" not animated: Not enough memory for the picture: "
                             "the pictures open would need more than 1 GiB.";
        QVERIFY(QTest::qWaitFor([&] { return w.notes().contains(note); }, 2000));
        QCOMPARE(w.notes().size(), 1);
        // A note longer than the bar is cut there; the window keeps the stage's width.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(w.width(), 640);
        QCOMPARE(m.at(205, 205), kRed);
        QCOMPARE(m.at(220, 220), kRed);  // the first frame, still
        // Hidden and shown again, it is not tried again and not said again.
        m.moveTo(400, 400);
        m.moveTo(210, 210);
        QCoreApplication::processEvents();
        QCOMPARE(m.at(220, 220), kRed);
        QCOMPARE(w.notes().size(), 1);
    }

    void clicksReachTheLauncherForEachKindOfTarget() {
        Menu m;
        m.open();
        QSignalSpy played(m.window->sounds(), &torvana::player::SoundBank::played);

        m.click(120, 70);  // a document: opened with its program
        QCOMPARE(m.launcher.openedUrls.size(), size_t(1));
        QCOMPARE(m.launcher.openedUrls[0], QUrl::fromLocalFile(m.file("1/readme.txt")));
        QVERIFY(m.launcher.startedPrograms.empty());
        QVERIFY(played.count() >= 2);  // rollover on entering, then the click sound
        QCOMPARE(played.last().at(0).toString(), m.file("wavs/click.wav"));

        m.click(310, 210);  // a web address
        QCOMPARE(m.launcher.openedUrls.size(), size_t(2));
        QCOMPARE(m.launcher.openedUrls[1], QUrl("http://www.example.org"));

        m.click(20, 410);  // a program, started in its own folder
        QCOMPARE(m.launcher.startedPrograms.size(), size_t(1));
        QCOMPARE(m.launcher.startedPrograms[0].first, m.file("4/run.sh -s"));
        QCOMPARE(m.launcher.startedPrograms[0].second, m.file("4"));
        QCOMPARE(m.launcher.quits, 0);

        // exit, on its invisible 32 x 32 square (the picture is missing): the player ends.
        QCOMPARE(m.stage()->spot(2).rect, QRect(500, 400, 32, 32));
        m.click(531, 431);
        QCOMPARE(m.launcher.quits, 1);
        QCOMPARE(m.launcher.openedUrls.size(), size_t(2));
        QVERIFY(m.window->notes().filter("Rollover picture \"images/over-gone.bmp\" not shown").size() == 1);
    }

    void aClickNeedsPressAndReleaseOnTheSameHotspot() {
        Menu m;
        m.open();
        m.moveTo(120, 70);
        QTest::mousePress(m.stage(), Qt::LeftButton, {}, QPoint(120, 70));
        m.moveTo(310, 210);
        QTest::mouseRelease(m.stage(), Qt::LeftButton, {}, QPoint(310, 210));
        QTest::mouseClick(m.stage(), Qt::RightButton, {}, QPoint(310, 210));
        QTest::mouseClick(m.stage(), Qt::LeftButton, {}, QPoint(400, 300));  // background
        QCOMPARE(m.launcher.calls(), 0);
    }

    void programThatCannotStartIsOpenedInstead() {
        Menu m;
        m.launcher.startSucceeds = false;
        m.open();
        m.click(20, 410);
        QCOMPARE(m.launcher.startedPrograms.size(), size_t(1));
        QCOMPARE(m.launcher.openedUrls.size(), size_t(1));
        QCOMPARE(m.launcher.openedUrls[0], QUrl::fromLocalFile(m.file("4/run.sh -s")));
        // And when nothing can open it, a note says so.
        m.launcher.openSucceeds = false;
        m.click(120, 70);
        QVERIFY2(m.window->notes().contains("Hotspot 1: no program could open \"1/readme.txt\"."),
                 qPrintable(m.window->notes().join("\n")));
        m.click(310, 210);
        QVERIFY(m.window->notes().contains("Could not open http://www.example.org."));
    }

    void missingStagedFileIsANoteNotALaunch() {
        Menu m;
        QFile::remove(m.file("1/readme.txt"));
        m.open();
        m.click(120, 70);
        QCOMPARE(m.launcher.calls(), 0);
        QVERIFY2(m.window->notes().contains("Hotspot 1: the file \"1/readme.txt\" is missing."),
                 qPrintable(m.window->notes().join("\n")));
        auto* line = m.window->findChild<QLabel*>("noteLine");
        QVERIFY(line->isVisible());
        QVERIFY(line->toolTip().contains("1/readme.txt"));
    }

    void browseAndExitAppearExactlyWhenAsked_data() {
        QTest::addColumn<bool>("browse");
        QTest::addColumn<bool>("exit");
        QTest::newRow("neither") << false << false;
        QTest::newRow("browse") << true << false;
        QTest::newRow("exit") << false << true;
        QTest::newRow("both") << true << true;
    }
    void browseAndExitAppearExactlyWhenAsked() {
        QFETCH(bool, browse);
        QFETCH(bool, exit);
        Menu m(browse, exit);
        m.open();
        auto* browseButton = m.window->findChild<QPushButton*>("browseButton");
        auto* exitButton = m.window->findChild<QPushButton*>("exitButton");
        QCOMPARE(browseButton != nullptr, browse);
        QCOMPARE(exitButton != nullptr, exit);
        if (browseButton) {
            QVERIFY(browseButton->isVisible());
            QCOMPARE(browseButton->text(), QString("&Browse"));
            // The whole caption fits.
            QVERIFY(browseButton->width() >= browseButton->sizeHint().width());
            QTest::mouseClick(browseButton, Qt::LeftButton);
            QCOMPARE(m.launcher.openedUrls.size(), size_t(1));
            QCOMPARE(m.launcher.openedUrls[0], QUrl::fromLocalFile(m.staging.folder()));
        }
        if (exitButton) {
            QVERIFY(exitButton->isVisible());
            QCOMPARE(exitButton->text(), QString("E&xit"));
            QVERIFY(exitButton->width() >= exitButton->sizeHint().width());
            QTest::mouseClick(exitButton, Qt::LeftButton);
            QCOMPARE(m.launcher.quits, 1);
        }
        // The stage keeps its size whatever sits below it.
        QCOMPARE(m.stage()->geometry(), QRect(0, 0, 640, 480));
    }

    void noBarWhenThereIsNothingToSay() {
        Menu m(false, false, false);
        m.staging.data.backgroundImage = StagingBuilder::stored("back.png");
        m.staging.writeImage("images/back.png", framedImage(640, 480, kBackground, kEdge), "PNG");
        m.staging.writeProject();
        torvana::player::PlayerWindow& w = m.open();
        QVERIFY(w.notes().isEmpty());
        QVERIFY(!w.findChild<QWidget*>("bar")->isVisible());
        QCOMPARE(w.size(), QSize(640, 480));
    }

    void missingAndBrokenFilesAreNotesNotCrashes() {
        Menu m(false, true, false);
        StagingBuilder& s = m.staging;
        s.data.backgroundImage = StagingBuilder::stored("gone\x01.bmp");  // the control byte is shown escaped
        s.data.openingWav = StagingBuilder::stored("broken.wav");
        s.writeFile("wavs/broken.wav", "RIFF, but not really");
        torvana::Hotspot h;
        h.application = "exit";
        h.rolloverImage = StagingBuilder::stored("junk.gif");
        s.writeFile("images/junk.gif", "GIF89a and then nothing useful");
        h.x = "0";
        h.y = "0";
        h.rolloverWav = StagingBuilder::stored("silent.wav");
        torvana::Hotspot bad = h;
        bad.x = "left";
        s.data.hotspots = {h, bad};
        s.writeProject();
        torvana::player::PlayerWindow& w = m.open();
        const QStringList notes = w.notes();
        // In the order met, although the pictures are read on a thread of their own.
        QVERIFY2(notes.size() == 5, qPrintable(notes.join("\n")));
        QCOMPARE(notes[0], "Hotspot 2 left out: 'left' is not a valid integer value.");
        QCOMPARE(notes[1], "Background picture \"images/gone\\x01.bmp\" not shown: file not found.");
        QVERIFY(QRegularExpression("^Rollover picture \"images/junk.gif\" not shown: .+\\.$").match(notes[2]).hasMatch());
        QCOMPARE(notes[3], "Sound \"wavs/broken.wav\" not played: not a WAV file.");
        QCOMPARE(notes[4], "Sound \"wavs/silent.wav\" not played: file not found.");
        auto* line = w.findChild<QLabel*>("noteLine");
        QCOMPARE(line->text(), notes.back() + " (and 4 more)");  // the latest problem
        QCOMPARE(line->toolTip(), notes.join("\n"));
        // The stage is black without a background; the hotspot still answers on 32 x 32.
        QCOMPARE(m.at(320, 240), QColor(Qt::black));
        QCOMPARE(m.stage()->spotCount(), 1);
        m.click(31, 31);
        QCOMPARE(m.launcher.quits, 1);
    }

    void openingSoundPlaysWhenThePictureIsShown() {
        const auto soundModuleMapped = [] {
            QFile maps("/proc/self/maps");
            return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/modules/torvana-player-sound.so");
        };
        Menu m;
        m.window = std::make_unique<torvana::player::PlayerWindow>(
            torvana::loadPlayerProject({m.staging.folder().toStdString()}), m.launcher);
        QSignalSpy played(m.window->sounds(), &torvana::player::SoundBank::played);
        QCOMPARE(played.count(), 0);
        m.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m.window.get()));
        // Right after the first frame, which the sound output does not hold up.
        QTRY_COMPARE(played.count(), 1);
        QCOMPARE(played.at(0).at(0).toString(), m.file("wavs/open.wav"));
        QVERIFY(soundModuleMapped());
        QVERIFY2(m.window->notes().filter("Sounds not played").isEmpty(), qPrintable(m.window->notes().join("\n")));
        m.window->hide();
        m.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m.window.get()));
        m.window->repaint();
        QCoreApplication::processEvents();
        QCOMPARE(played.count(), 1);  // once, not at every showing
    }

    void keyboardMovesThroughHotspotsAndClicks() {
        Menu m;
        m.open();
        QSignalSpy played(m.window->sounds(), &torvana::player::SoundBank::played);
        QVERIFY(m.stage()->hasFocus());
        m.key(Qt::Key_Tab);
        QCOMPARE(m.stage()->current(), 0);
        QCOMPARE(m.at(110, 60), kRed);  // drawn as if hovered
        QCOMPARE(played.count(), 1);    // with its rollover sound
        m.key(Qt::Key_Tab);
        QCOMPARE(m.stage()->current(), 1);
        QCOMPARE(m.at(110, 60), kBackground);
        QCOMPARE(m.at(305, 205), kGreen);
        // The keyboard's place is marked on the hotspot's edge.
        const QColor corner = m.at(300, 200);
        QVERIFY2(corner == Qt::black || corner == Qt::white, qPrintable(corner.name()));
        m.key(Qt::Key_Return);
        QCOMPARE(m.launcher.openedUrls.size(), size_t(1));
        QCOMPARE(m.launcher.openedUrls[0], QUrl("http://www.example.org"));
        m.key(Qt::Key_Tab);
        m.key(Qt::Key_Tab);
        QCOMPARE(m.stage()->current(), 3);
        m.key(Qt::Key_Enter);
        QCOMPARE(m.launcher.startedPrograms.size(), size_t(1));
        // Without buttons, Tab wraps around; Shift+Tab goes back.
        m.key(Qt::Key_Tab);
        QCOMPARE(m.stage()->current(), 0);
        m.key(Qt::Key_Backtab);
        QCOMPARE(m.stage()->current(), 3);
        // A mouse resting over the background does not take the keyboard's choice away.
        m.moveTo(400, 300);
        QCOMPARE(m.stage()->current(), 3);
        m.key(Qt::Key_Escape);
        QCOMPARE(m.launcher.quits, 1);
    }

    void tabPassesToTheButtonsAfterTheLastHotspot() {
        Menu m(true, true);
        m.open();
        for (int i = 0; i < 4; ++i) m.key(Qt::Key_Tab);
        QCOMPARE(m.stage()->current(), 3);
        m.key(Qt::Key_Tab);
        auto* browseButton = m.window->findChild<QPushButton*>("browseButton");
        QCOMPARE(QApplication::focusWidget(), browseButton);
        QCOMPARE(m.stage()->current(), -1);
        QCOMPARE(m.at(20, 410), kBackground);  // the highlight went with the focus
        m.key(Qt::Key_Return);
        QCOMPARE(m.launcher.openedUrls.size(), size_t(1));
        m.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m.window->findChild<QPushButton*>("exitButton"));
        m.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m.stage());
        QCOMPARE(m.stage()->current(), 0);
        m.key(Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), m.window->findChild<QPushButton*>("exitButton"));
        m.key(Qt::Key_Escape);  // from a button too
        QCOMPARE(m.launcher.quits, 1);
    }

    // Numbers at the edge of what a project file holds: a hotspot at X = Y = 2147483647 lies
    // far off the stage and covers none of it; a title of megabytes is cut for the window bar.
    void hostileNumbersAndTitles() {
        Menu m(false, false, false);
        StagingBuilder& s = m.staging;
        s.data.cdTitle = std::string(2 << 20, 'T');
        s.data.backgroundImage = StagingBuilder::stored("back.png");
        s.writeImage("images/back.png", framedImage(640, 480, kBackground, kEdge), "PNG");
        torvana::Hotspot far;
        far.application = "exit";
        far.rolloverImage = StagingBuilder::stored("big.png");
        s.writeImage("images/big.png", framedImage(64, 64, kRed, kRed), "PNG");
        far.x = "2147483647";
        far.y = "2147483647";
        s.data.hotspots = {far};
        s.writeProject();
        torvana::player::PlayerWindow& w = m.open();
        QCOMPARE(w.windowTitle(), QString(int(torvana::kMaxTitleBytes), 'T'));
        for (const QPoint p : {QPoint(0, 0), QPoint(320, 240), QPoint(639, 479)})
            QCOMPARE(m.stage()->spotAt(p), -1);
        m.click(320, 240);
        QCOMPARE(m.launcher.quits, 0);
        QCOMPARE(m.at(320, 240), kBackground);
    }

    void savesAScreenshot() {
        // For looking at the window as a person would: a hotspot chosen with the keyboard.
        Menu m(true, true);
        m.open();
        m.key(Qt::Key_Tab);
        m.key(Qt::Key_Tab);
        QCOMPARE(m.stage()->current(), 1);
        const QString out = QStringLiteral(PLAYER_SCREENSHOT_DIR "/player-%1.png").arg(QGuiApplication::platformName());
        QVERIFY(m.window->grab().save(out));
    }
};

QTEST_MAIN(PlayerWindowTest)
#include "player_window_test.moc"
