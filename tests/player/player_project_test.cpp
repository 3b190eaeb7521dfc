// Finding the project, mapping stored paths to the staged copies, loading pictures through the
// right reader, and checking WAV files: everything below the window.

#include <QTest>
#include <chrono>
#include <filesystem>
#include <limits>

#include "player/picture.h"
#include "project/staged_menu.h"
#include "player/sounds.h"
#include "project/errors.h"
#include "player/player_app.h"
#include "staging_builder.h"

using namespace testing_player;
using torvana::ActionKind;

namespace {

void setChanged(const std::string& path, int secondsAgo) {
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() -
                                               std::chrono::seconds(secondsAgo));
}

torvana::Hotspot hotspot(std::string application, std::string x = "10", std::string y = "20") {
    torvana::Hotspot h;
    h.application = std::move(application);
    h.x = std::move(x);
    h.y = std::move(y);
    return h;
}

}  // namespace

class PlayerProjectTest : public QObject {
    Q_OBJECT
private slots:
    void findsTheOnlyProjectFile() {
        StagingBuilder s;
        QVERIFY(!torvana::findProjectFile(s.folder().toStdString()).has_value());
        s.writeFile("readme.txt", "x");
        s.writeFile("menu.cdrom.tmp", "x");          // an editor's interrupted save
        QDir(s.folder()).mkdir("folder.cdrom");      // a folder is no project
        QVERIFY(!torvana::findProjectFile(s.folder().toStdString()).has_value());
        s.writeFile("DISC.CDROM", "0\r\n");          // names on discs are often upper case
        QCOMPARE(torvana::findProjectFile(s.folder().toStdString()).value(), s.path("DISC.CDROM"));
    }

    void prefersTheMostRecentlyChangedProject() {
        StagingBuilder s;
        for (const char* name : {"a.cdrom", "b.cdrom", "c.cdrom"}) s.writeFile(name, "0\r\n");
        setChanged(s.path("a.cdrom"), 300);
        setChanged(s.path("b.cdrom"), 10);
        setChanged(s.path("c.cdrom"), 200);
        QCOMPARE(torvana::findProjectFile(s.folder().toStdString()).value(), s.path("b.cdrom"));
        // Equally recent: the first by name, whatever order the folder lists them in.
        const auto t = std::filesystem::last_write_time(s.path("b.cdrom"));
        std::filesystem::last_write_time(s.path("c.cdrom"), t);
        std::filesystem::last_write_time(s.path("a.cdrom"), t);
        QCOMPARE(torvana::findProjectFile(s.folder().toStdString()).value(), s.path("a.cdrom"));
    }

    void loadingSaysWhyThereIsNoMenu() {
        StagingBuilder empty, other;
        const std::string folder = empty.folder().toStdString();
        try {
            torvana::loadPlayerProject({folder});
            QFAIL("a folder without a project file was accepted");
        } catch (const torvana::Error& e) {
            QCOMPARE(std::string(e.what()),
                     "The menu cannot be shown: there is no project file (*.cdrom) in \"" + folder + "\".");
        }
        // The second folder is the fallback, also when the first cannot be listed.
        const std::string gone = folder + "/gone";
        try {
            torvana::loadPlayerProject({gone});
            QFAIL("a missing folder was accepted");
        } catch (const torvana::Error& e) {
            QCOMPARE(std::string(e.what()),
                     "The menu cannot be shown. The folder \"" + gone + "\" cannot be read: File not found.");
        }
        other.data.cdTitle = "Fallback";
        other.writeProject();
        const torvana::PlayerProject p = torvana::loadPlayerProject({gone, folder, other.folder().toStdString()});
        QCOMPARE(p.title, std::string("Fallback"));
        QCOMPARE(p.folder, other.folder().toStdString());
        // A project file that the reader refuses is named with the reader's reason.
        empty.writeFile("bad.cdrom", "150\r\n");
        try {
            torvana::loadPlayerProject({folder});
            QFAIL("a project file with 150 hotspots was accepted");
        } catch (const torvana::Error& e) {
            const std::string text = e.what();
            QVERIFY2(text.find(empty.path("bad.cdrom")) != std::string::npos, text.c_str());
            QVERIFY2(text.find("150") != std::string::npos, text.c_str());
        }
        // An unreadable first line (not a number) is refused the same way.
        std::filesystem::remove(empty.path("bad.cdrom"));
        empty.writeFile("bad.cdrom", "many\r\n");
        QVERIFY_THROWS_EXCEPTION(torvana::Error, torvana::loadPlayerProject({folder}));
    }

    void mapsStoredPathsByTheirFileNamePart() {
        StagingBuilder s;
        s.data.showBrowse = true;
        s.data.backgroundImage = StagingBuilder::stored("back.bmp");
        s.data.openingWav = "";
        torvana::Hotspot h = hotspot("/opt/tools/slides.exe", "$10", " 20");
        h.rolloverImage = StagingBuilder::stored("over.gif");
        h.rolloverWav = "relative/hover.wav";
        h.clickWav = "click.wav";
        s.data.hotspots = {h};
        s.writeProject();
        const torvana::PlayerProject p = torvana::loadPlayerProject({s.folder().toStdString()});
        QCOMPARE(p.title, std::string("Summer Photos"));
        QVERIFY(p.showBrowse);
        QVERIFY(!p.showExit);
        QCOMPARE(p.projectFile, s.path("menu.cdrom"));
        QCOMPARE(p.background, s.path("images/back.bmp"));
        QCOMPARE(p.openingWav, std::string());  // no opening sound, no path
        QCOMPARE(p.hotspots.size(), size_t(1));
        const torvana::PlayerHotspot& m = p.hotspots[0];
        QCOMPARE(m.number, 1);
        QCOMPARE(m.kind, ActionKind::File);
        QCOMPARE(m.target, s.path("1/slides.exe"));
        QCOMPARE(m.rolloverImage, s.path("images/over.gif"));
        QCOMPARE(m.rolloverWav, s.path("wavs/hover.wav"));
        QCOMPARE(m.clickWav, s.path("wavs/click.wav"));
        QCOMPARE(m.x, 16);  // "$10" is hexadecimal
        QCOMPARE(m.y, 20);  // a leading blank is allowed
    }

    void tellsExitWebAddressesAndFilesApart() {
        torvana::ProjectFileData data;
        data.hotspots = {hotspot("exit"), hotspot("Exit"), hotspot("www.example.org"),
                         hotspot("HTTPS://example.org/a b"), hotspot("mailto:info@example.org"),
                         hotspot("ftp://files.example.org"), hotspot("/opt/tools/setup.exe -s"),
                         hotspot("readme.html")};
        const torvana::PlayerProject p = torvana::mapProject(data, "/disc", "/disc/m.cdrom");
        QCOMPARE(p.hotspots.size(), size_t(8));
        QCOMPARE(p.hotspots[0].kind, ActionKind::Exit);
        // Only "exit" in lower case ends the player; the build copied "Exit" as a file.
        QCOMPARE(p.hotspots[1].kind, ActionKind::File);
        QCOMPARE(p.hotspots[1].target, std::string("/disc/2/Exit"));
        QCOMPARE(p.hotspots[2].kind, ActionKind::WebAddress);
        QCOMPARE(p.hotspots[2].target, std::string("http://www.example.org"));
        QCOMPARE(p.hotspots[3].target, std::string("HTTPS://example.org/a b"));
        QCOMPARE(p.hotspots[4].kind, ActionKind::WebAddress);
        QCOMPARE(p.hotspots[5].kind, ActionKind::WebAddress);
        // The build names the copy after the whole file-name part, arguments included.
        QCOMPARE(p.hotspots[6].kind, ActionKind::File);
        QCOMPARE(p.hotspots[6].target, std::string("/disc/7/setup.exe -s"));
        QCOMPARE(p.hotspots[7].target, std::string("/disc/8/readme.html"));

    }

    void leavesOutAHotspotWithABadCoordinateAndKeepsTheOthersNumbers() {
        torvana::ProjectFileData data;
        data.hotspots = {hotspot("a.txt"), hotspot("b.txt", "12px"), hotspot("c.txt", "1", ""),
                         hotspot("d.txt", "-5", "$FFFFFFFF")};
        const torvana::PlayerProject p = torvana::mapProject(data, "/disc", "/disc/m.cdrom");
        QCOMPARE(p.hotspots.size(), size_t(2));
        QCOMPARE(p.hotspots[1].number, 4);
        QCOMPARE(p.hotspots[1].target, std::string("/disc/4/d.txt"));  // still hotspot 4's folder
        QCOMPARE(p.hotspots[1].x, -5);
        QCOMPARE(p.hotspots[1].y, -1);
        QCOMPARE(p.notes.size(), size_t(2));
        QCOMPARE(p.notes[0], std::string("Hotspot 2 left out: '12px' is not a valid integer value."));
        QCOMPARE(p.notes[1], std::string("Hotspot 3 left out: '' is not a valid integer value."));
    }

    void loadsPicturesThroughTheRightReader() {
        StagingBuilder s;
        s.writeImage("a.bmp", framedImage(40, 30, Qt::red, Qt::white), "BMP");
        s.writeImage("a.png", framedImage(20, 10, Qt::blue, Qt::white), "PNG");
        GifFrameSpec f{0, 0, 3, 2, {0, 1, 2, 2, 1, 0}, 0, 2};
        s.writeFile("a.gif", gifBytes(3, 2, {Qt::red, Qt::green, Qt::blue}, {f}));
        // A GIF under another extension is still read as GIF: the bytes decide.
        s.writeFile("gif-named.bmp", gifBytes(3, 2, {Qt::red, Qt::green, Qt::blue}, {f}));

        const torvana::player::Picture bmp = torvana::player::loadPicture(s.folder() + "/a.bmp");
        QVERIFY2(bmp.error.isEmpty(), qPrintable(bmp.error));
        QCOMPARE(bmp.size(), QSize(40, 30));
        QCOMPARE(bmp.first().pixelColor(5, 5), QColor(Qt::red));
        QCOMPARE(bmp.first().pixelColor(0, 0), QColor(Qt::white));
        const torvana::player::Picture png = torvana::player::loadPicture(s.folder() + "/a.png");
        QCOMPARE(png.first().pixelColor(5, 5), QColor(Qt::blue));

        for (const char* name : {"/a.gif", "/gif-named.bmp"}) {
            const torvana::player::Picture gif = torvana::player::loadPicture(s.folder() + name);
            QVERIFY2(gif.error.isEmpty(), qPrintable(gif.error));
            QCOMPARE(gif.size(), QSize(3, 2));
            QCOMPARE(gif.first().pixelColor(0, 0), QColor(Qt::red));
            QCOMPARE(gif.first().pixelColor(1, 0), QColor(Qt::green));
            QCOMPARE(gif.first().pixelColor(0, 1).alpha(), 0);  // the transparent index
            QCOMPARE(gif.first().pixelColor(1, 1), QColor(Qt::green));
            QCOMPARE(gif.first().pixelColor(2, 1), QColor(Qt::red));
        }
    }

    void anAnimatedGifGivesItsFirstFrameAndAnAnimation() {
        StagingBuilder s;
        GifFrameSpec first{0, 0, 2, 2, {0, 0, 0, 0}, 50, -1};
        GifFrameSpec second{1, 0, 1, 2, {1, 1}, 120, -1};
        s.writeFile("anim.gif", gifBytes(2, 2, {Qt::red, Qt::blue}, {first, second}));
        const torvana::player::Picture gif = torvana::player::loadPicture(s.folder() + "/anim.gif");
        QCOMPARE(gif.size(), QSize(2, 2));
        QCOMPARE(gif.first().pixelColor(1, 0), QColor(Qt::red));
        QVERIFY(gif.animation);
        QCOMPARE(gif.animation->Model().frames.Count(), size_t(2));
        // A still GIF needs no painter.
        s.writeFile("still.gif", gifBytes(2, 2, {Qt::red, Qt::blue}, {first}));
        QVERIFY(!torvana::player::loadPicture(s.folder() + "/still.gif").animation);
    }

    void reportsPicturesThatCannotBeShown() {
        StagingBuilder s;
        QCOMPARE(torvana::player::loadPicture(s.folder() + "/none.bmp").error, QString("file not found"));
        QCOMPARE(torvana::player::loadPicture(s.folder()).error, QString("not a file"));
        s.writeFile("junk.bmp", QByteArray(100, 'x'));
        const torvana::player::Picture junk = torvana::player::loadPicture(s.folder() + "/junk.bmp");
        QVERIFY(junk.isNull());
        QVERIFY(!junk.error.isEmpty());
        // A GIF cut off inside its raster shows the rows that are there, as a browser does;
        // one cut before its first frame is no picture.
        GifFrameSpec f{0, 0, 50, 50, std::vector<quint8>(2500, 1), 0, -1};
        const QByteArray whole = gifBytes(50, 50, {Qt::red, Qt::blue}, {f});
        s.writeFile("cut.gif", whole.left(whole.size() / 2));
        const torvana::player::Picture cut = torvana::player::loadPicture(s.folder() + "/cut.gif");
        QVERIFY2(cut.error.isEmpty(), qPrintable(cut.error));
        QCOMPARE(cut.size(), QSize(50, 50));
        QCOMPARE(cut.first().pixelColor(0, 0), QColor(Qt::blue));
        s.writeFile("header-only.gif", whole.left(13 + 6));
        const torvana::player::Picture headerOnly = torvana::player::loadPicture(s.folder() + "/header-only.gif");
        QVERIFY(headerOnly.isNull());
        QVERIFY(!headerOnly.error.isEmpty());
    }

    // Pictures decoded ahead are taken as decoded (here after their files are gone); what the
    // helper never started, the taker decodes itself.
    void picturesDecodedAheadAreTakenWhoeverDecodedThem() {
        StagingBuilder s;
        s.writeImage("a.bmp", framedImage(40, 30, Qt::red, Qt::white), "BMP");
        s.writeImage("b.png", framedImage(20, 10, Qt::blue, Qt::white), "PNG");
        const std::vector<QString> paths{s.folder() + "/a.bmp", s.folder() + "/b.png"};
        const auto soon = [] { return std::chrono::steady_clock::now() + std::chrono::seconds(5); };

        torvana::player::SharedPictureLoad ahead(paths);
        ahead.loadAside();
        for (const QString& path : paths) QVERIFY(QFile::remove(path));
        const std::vector<torvana::player::Picture> decoded = ahead.take(0, 2, soon());
        QCOMPARE(decoded.size(), size_t(2));
        QCOMPARE(decoded[0].size(), QSize(40, 30));
        QCOMPARE(decoded[1].first().pixelColor(5, 5), QColor(Qt::blue));

        s.writeImage("a.bmp", framedImage(40, 30, Qt::red, Qt::white), "BMP");
        torvana::player::SharedPictureLoad notStarted(paths);
        QCOMPARE(notStarted.take(1, 1, soon()).front().error, QString("file not found"));
        QCOMPARE(notStarted.take(0, 1, soon()).front().first().pixelColor(5, 5), QColor(Qt::red));
        notStarted.loadAside();  // too late: nothing left to decode, nothing changes
    }

    void withoutAProjectTheLauncherSaysWhy() {
        StagingBuilder empty;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(empty.folder()));
        RecordingLauncher launcher;
        const int status = torvana::player::runPlayer(launcher);
        QDir::setCurrent(before);
        QCOMPARE(status, 1);
        QCOMPARE(launcher.errors.size(), size_t(1));
        QVERIFY2(launcher.errors[0].startsWith("The menu cannot be shown: there is no project file (*.cdrom) in "),
                 qPrintable(launcher.errors[0]));
        QCOMPARE(launcher.calls(), 1);
    }

    void checksWaveFiles() {
        StagingBuilder s;
        s.writeWave("ok.wav", 250);
        const torvana::player::WaveInfo ok = torvana::player::inspectWave(s.folder() + "/ok.wav");
        QVERIFY2(ok.error.isEmpty(), qPrintable(ok.error));
        QCOMPARE(ok.durationMs, 250);

        QCOMPARE(torvana::player::inspectWave(s.folder() + "/none.wav").error, QString("file not found"));
        s.writeFile("text.wav", "just some text, no RIFF header at all");
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/text.wav").error, QString("not a WAV file"));
        s.writeFile("cut.wav", waveBytes(250).left(30));
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/cut.wav").error, QString("damaged WAV file"));
        s.writeFile("empty.wav", waveBytes(0));
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/empty.wav").error, QString("the WAV file holds no sound"));
        QByteArray adpcm = waveBytes(100);
        adpcm[20] = 2;  // format tag 2: ADPCM
        s.writeFile("adpcm.wav", adpcm);
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/adpcm.wav").error,
                 QString("compressed WAV data (format 2) cannot be played"));
        // A chunk before "fmt " is skipped; a size past the end is cut to what is there.
        QByteArray withList = waveBytes(100);
        withList.insert(12, QByteArray("LIST\x04\x00\x00\x00" "abcd", 12));
        s.writeFile("list.wav", withList);
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/list.wav").durationMs, 100);
        s.writeFile("short.wav", waveBytes(1000).left(44 + 400));
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/short.wav").durationMs, 50);
        // 2.4 MB at the one byte a second its header states: longer than milliseconds can count,
        // the longest length rather than a negative one.
        QByteArray slow = waveBytes(300000);
        slow[28] = 1;
        slow[29] = slow[30] = slow[31] = 0;
        s.writeFile("slow.wav", slow);
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/slow.wav").durationMs, std::numeric_limits<int>::max());
        // A header and then zeros: no data chunk among the first chunks is a damaged file, found
        // without walking the zeros 8 bytes at a time; a file too large to hold is refused unread.
        QByteArray header = waveBytes(0).left(36);
        s.writeFile("zeros.wav", header + QByteArray(1 << 20, '\0'));
        QCOMPARE(torvana::player::inspectWave(s.folder() + "/zeros.wav").error, QString("damaged WAV file"));
        QFile huge(s.folder() + "/huge.wav");
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.write(header) == header.size());
        QVERIFY(huge.resize(qint64(2) << 30));  // sparse
        huge.close();
        QCOMPARE(torvana::player::inspectWave(huge.fileName()).error, QString("the WAV file is larger than 128 MB"));
    }
};

QTEST_GUILESS_MAIN(PlayerProjectTest)
#include "player_project_test.moc"
