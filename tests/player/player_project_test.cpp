// Finding the project, mapping stored paths to the staged copies, loading pictures through the
// right reader, and checking WAV files: everything below the players' windows.

#include <QTest>
#include <chrono>
#include <filesystem>

#include "menu/menu_picture.h"
#include "project/errors.h"
#include "project/staged_menu.h"
#include "media/wave_info.h"
#include "media_files.h"
#include "test_support/staged_folder.h"

using namespace testing_player;
using torvana::ActionKind;
using torvana::inspectWave;
using torvana::menu::loadPicture;

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

QSize sizeOf(const torvana::menu::Picture& p) { return {p.still.width, p.still.height}; }

QColor pixelColor(const torvana::menu::Picture& p, int x, int y) {
    return QColor::fromRgba(p.still.argb[size_t(y) * size_t(p.still.width) + size_t(x)]);
}

}  // namespace

class PlayerProjectTest : public QObject {
    Q_OBJECT
private slots:
    void findsTheOnlyProjectFile() {
        menutest::StagedFolder s;
        QVERIFY(!torvana::findProjectFile(s.dir.path()).has_value());
        s.put("readme.txt", "x");
        s.put("menu.cdrom.tmp", "x");          // an editor's interrupted save
        std::filesystem::create_directory(s.path("folder.cdrom"));      // a folder is no project
        QVERIFY(!torvana::findProjectFile(s.dir.path()).has_value());
        s.put("DISC.CDROM", "0\r\n");          // names on discs are often upper case
        QCOMPARE(torvana::findProjectFile(s.dir.path()).value(), s.path("DISC.CDROM"));
    }

    void prefersTheMostRecentlyChangedProject() {
        menutest::StagedFolder s;
        for (const char* name : {"a.cdrom", "b.cdrom", "c.cdrom"}) s.put(name, "0\r\n");
        setChanged(s.path("a.cdrom"), 300);
        setChanged(s.path("b.cdrom"), 10);
        setChanged(s.path("c.cdrom"), 200);
        QCOMPARE(torvana::findProjectFile(s.dir.path()).value(), s.path("b.cdrom"));
        // Equally recent: the first by name, whatever order the folder lists them in.
        const auto t = std::filesystem::last_write_time(s.path("b.cdrom"));
        std::filesystem::last_write_time(s.path("c.cdrom"), t);
        std::filesystem::last_write_time(s.path("a.cdrom"), t);
        QCOMPARE(torvana::findProjectFile(s.dir.path()).value(), s.path("a.cdrom"));
    }

    void loadingSaysWhyThereIsNoMenu() {
        menutest::StagedFolder empty, other;
        const std::string folder = empty.dir.path();
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
        const torvana::PlayerProject p = torvana::loadPlayerProject({gone, folder, other.dir.path()});
        QCOMPARE(p.title, std::string("Fallback"));
        QCOMPARE(p.folder, other.dir.path());
        // A project file that the reader refuses is named with the reader's reason.
        empty.put("bad.cdrom", "150\r\n");
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
        empty.put("bad.cdrom", "many\r\n");
        QVERIFY_THROWS_EXCEPTION(torvana::Error, torvana::loadPlayerProject({folder}));
    }

    void mapsStoredPathsByTheirFileNamePart() {
        menutest::StagedFolder s;
        s.data.showBrowse = true;
        s.data.backgroundImage = menutest::StagedFolder::stored("back.bmp");
        s.data.openingWav = "";
        torvana::Hotspot h = hotspot("/opt/tools/slides.exe", "$10", " 20");
        h.rolloverImage = menutest::StagedFolder::stored("over.gif");
        h.rolloverWav = "relative/hover.wav";
        h.clickWav = "click.wav";
        s.data.hotspots = {h};
        s.writeProject();
        const torvana::PlayerProject p = torvana::loadPlayerProject({s.dir.path()});
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
        torvana::Project data;
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
        // Any other scheme is refused: the player only tells.
        QCOMPARE(p.hotspots[5].kind, ActionKind::Refused);
        QCOMPARE(p.hotspots[5].target, std::string("ftp://files.example.org"));
        // Nothing of the text is staged: the whole text names the copy, without options.
        QCOMPARE(p.hotspots[6].kind, ActionKind::File);
        QCOMPARE(p.hotspots[6].target, std::string("/disc/7/setup.exe -s"));
        QCOMPARE(p.hotspots[6].options, std::string());
        QCOMPARE(p.hotspots[7].target, std::string("/disc/8/readme.html"));

    }

    void leavesOutAHotspotWithABadCoordinateAndKeepsTheOthersNumbers() {
        torvana::Project data;
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
        menutest::StagedFolder s;
        s.put("a.bmp", imageBytes(framedImage(40, 30, Qt::red, Qt::white), "BMP"));
        s.put("a.png", imageBytes(framedImage(20, 10, Qt::blue, Qt::white), "PNG"));
        GifFrameSpec f{0, 0, 3, 2, {0, 1, 2, 2, 1, 0}, 0, 2};
        s.put("a.gif", gifBytes(3, 2, {Qt::red, Qt::green, Qt::blue}, {f}).toStdString());
        // A GIF under another extension is still read as GIF: the bytes decide.
        s.put("gif-named.bmp", gifBytes(3, 2, {Qt::red, Qt::green, Qt::blue}, {f}).toStdString());

        const torvana::menu::Picture bmp = loadPicture(s.dir.path() + "/a.bmp");
        QVERIFY2(bmp.error.empty(), bmp.error.c_str());
        QCOMPARE(sizeOf(bmp), QSize(40, 30));
        QCOMPARE(pixelColor(bmp, 5, 5), QColor(Qt::red));
        QCOMPARE(pixelColor(bmp, 0, 0), QColor(Qt::white));
        const torvana::menu::Picture png = loadPicture(s.dir.path() + "/a.png");
        QCOMPARE(pixelColor(png, 5, 5), QColor(Qt::blue));

        for (const char* name : {"/a.gif", "/gif-named.bmp"}) {
            const torvana::menu::Picture gif = loadPicture(s.dir.path() + name);
            QVERIFY2(gif.error.empty(), gif.error.c_str());
            QCOMPARE(sizeOf(gif), QSize(3, 2));
            QCOMPARE(pixelColor(gif, 0, 0), QColor(Qt::red));
            QCOMPARE(pixelColor(gif, 1, 0), QColor(Qt::green));
            QCOMPARE(pixelColor(gif, 0, 1).alpha(), 0);  // the transparent index
            QCOMPARE(pixelColor(gif, 1, 1), QColor(Qt::green));
            QCOMPARE(pixelColor(gif, 2, 1), QColor(Qt::red));
        }
    }

    void anAnimatedGifGivesItsFirstFrameAndAnAnimation() {
        menutest::StagedFolder s;
        GifFrameSpec first{0, 0, 2, 2, {0, 0, 0, 0}, 50, -1};
        GifFrameSpec second{1, 0, 1, 2, {1, 1}, 120, -1};
        s.put("anim.gif", gifBytes(2, 2, {Qt::red, Qt::blue}, {first, second}).toStdString());
        const torvana::menu::Picture gif = loadPicture(s.dir.path() + "/anim.gif");
        QCOMPARE(sizeOf(gif), QSize(2, 2));
        QCOMPARE(pixelColor(gif, 1, 0), QColor(Qt::red));
        QVERIFY(gif.animation);
        QCOMPARE(gif.animation->image->frames.Count(), size_t(2));
        // A still GIF needs no painter.
        s.put("still.gif", gifBytes(2, 2, {Qt::red, Qt::blue}, {first}).toStdString());
        QVERIFY(!loadPicture(s.dir.path() + "/still.gif").animation);
    }

    void reportsPicturesThatCannotBeShown() {
        menutest::StagedFolder s;
        QCOMPARE(loadPicture(s.dir.path() + "/none.bmp").error, std::string("file not found"));
        QCOMPARE(loadPicture(s.dir.path()).error, std::string("not a file"));
        s.put("junk.bmp", QByteArray(100, 'x').toStdString());
        const torvana::menu::Picture junk = loadPicture(s.dir.path() + "/junk.bmp");
        QVERIFY(junk.isNull());
        QVERIFY(!junk.error.empty());
        // A GIF cut off inside its raster shows the rows that are there, as a browser does;
        // one cut before its first frame is no picture.
        GifFrameSpec f{0, 0, 50, 50, std::vector<quint8>(2500, 1), 0, -1};
        const QByteArray whole = gifBytes(50, 50, {Qt::red, Qt::blue}, {f});
        s.put("cut.gif", whole.left(whole.size() / 2).toStdString());
        const torvana::menu::Picture cut = loadPicture(s.dir.path() + "/cut.gif");
        QVERIFY2(cut.error.empty(), cut.error.c_str());
        QCOMPARE(sizeOf(cut), QSize(50, 50));
        QCOMPARE(pixelColor(cut, 0, 0), QColor(Qt::blue));
        s.put("header-only.gif", whole.left(13 + 6).toStdString());
        const torvana::menu::Picture headerOnly = loadPicture(s.dir.path() + "/header-only.gif");
        QVERIFY(headerOnly.isNull());
        QVERIFY(!headerOnly.error.empty());
        // A 1 x 1 PNG (5 bytes of rows) whose compressed data inflates to 32 MB is not inflated
        // on and on: it is refused soon after what its size needs. (The reader does not check
        // chunks' CRCs, so the new IDAT goes without one.)
        const std::string png = imageBytes(QImage(1, 1, QImage::Format_ARGB32), "PNG");
        const size_t idat = png.find("IDAT") - 4, iend = png.find("IEND") - 4;
        const QByteArray data = qCompress(QByteArray(32 << 20, '\0'), 9).mid(4);  // the zlib stream
        std::string length(4, '\0');
        for (int i = 0; i < 4; ++i) length[size_t(i)] = char(data.size() >> (24 - 8 * i));
        s.put("inflating.png", png.substr(0, idat) + length + "IDAT" + data.toStdString() + std::string(4, '\0') +
                                   png.substr(iend));
        QCOMPARE(loadPicture(s.dir.path() + "/inflating.png").error,
                 std::string("the picture file is damaged: it holds far more data than its size needs"));
    }

    void checksWaveFiles() {
        menutest::StagedFolder s;
        s.put("ok.wav", menutest::wave(250));
        const torvana::WaveInfo ok = inspectWave(s.dir.path() + "/ok.wav");
        QVERIFY2(ok.error.empty(), ok.error.c_str());
        QCOMPARE(ok.durationMs, 250);

        QCOMPARE(inspectWave(s.dir.path() + "/none.wav").error, std::string("file not found"));
        s.put("text.wav", "just some text, no RIFF header at all");
        QCOMPARE(inspectWave(s.dir.path() + "/text.wav").error, std::string("not a WAV file"));
        s.put("cut.wav", menutest::wave(250).substr(0, 30));
        QCOMPARE(inspectWave(s.dir.path() + "/cut.wav").error, std::string("damaged WAV file"));
        s.put("empty.wav", menutest::wave(0));
        QCOMPARE(inspectWave(s.dir.path() + "/empty.wav").error, std::string("the WAV file holds no sound"));
        std::string adpcm = menutest::wave(100);
        adpcm[20] = 2;  // format tag 2: ADPCM
        s.put("adpcm.wav", adpcm);
        QCOMPARE(inspectWave(s.dir.path() + "/adpcm.wav").error,
                 std::string("compressed WAV data (format 2) cannot be played"));
        // A chunk before "fmt " is skipped; a size past the end is cut to what is there.
        std::string withList = menutest::wave(100);
        withList.insert(12, std::string("LIST\x04\x00\x00\x00" "abcd", 12));
        s.put("list.wav", withList);
        QCOMPARE(inspectWave(s.dir.path() + "/list.wav").durationMs, 100);
        s.put("short.wav", menutest::wave(1000).substr(0, 44 + 400));
        QCOMPARE(inspectWave(s.dir.path() + "/short.wav").durationMs, 50);
        // The length is the players': sample frames at the sample rate, whatever byte rate the
        // header states. Longer than twelve minutes is more than a menu holds converted: 2.4 KB
        // at one sample a second as well as 13 minutes at 8 kHz.
        std::string fastBytes = menutest::wave(300);
        fastBytes[28] = '\xFF';
        s.put("fast-bytes.wav", fastBytes);
        QCOMPARE(inspectWave(s.dir.path() + "/fast-bytes.wav").durationMs, 300);
        std::string slow = menutest::wave(300);
        slow[24] = 1;
        slow[25] = slow[26] = slow[27] = 0;
        s.put("slow.wav", slow);
        s.put("long.wav", menutest::wave(13 * 60 * 1000));
        for (const char* name : {"/slow.wav", "/long.wav"})
            QCOMPARE(inspectWave(s.dir.path() + name).error, std::string("the sound is longer than 12 minutes"));
        // A header and then zeros: no data chunk among the first chunks is a damaged file, found
        // without walking the zeros 8 bytes at a time; a file too large to hold is refused unread.
        const std::string header = menutest::wave(0).substr(0, 36);
        s.put("zeros.wav", header + std::string(1 << 20, '\0'));
        QCOMPARE(inspectWave(s.dir.path() + "/zeros.wav").error, std::string("damaged WAV file"));
        QFile huge(QString::fromStdString(s.path("huge.wav")));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.write(header.data(), qint64(header.size())) == qint64(header.size()));
        QVERIFY(huge.resize(qint64(2) << 30));  // sparse
        huge.close();
        QCOMPARE(inspectWave(huge.fileName().toStdString()).error, std::string("the WAV file is larger than 128 MB"));
    }
};

QTEST_GUILESS_MAIN(PlayerProjectTest)
#include "player_project_test.moc"
