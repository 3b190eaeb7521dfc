// The web page menu the staging build writes, opened from the staging folder (file://) in a
// real headless chromium: the background's pixels, the rollover picture at X, Y while its
// hotspot is hovered or chosen with Tab, links that resolve to the staged files, and a title and
// file names holding <, &, ", #, % and letters outside ASCII; and axe-core's accessibility rules
// on the page with and without labels and on the example project's.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QProcess>
#include <QTest>

#include "cli/command_line.h"
#include "staging/staging_build.h"
#include "staging/web_menu.h"
#include "player/media_files.h"
#include "test_support/staged_folder.h"
#include "project/file_io.h"
#include "test_support/headless_browser.h"
#include "test_support/temp_dir.h"

namespace {

const QColor kBackground(0x20, 0x50, 0xA0);
const QColor kRollover1(0xE0, 0x30, 0x20);
const QColor kRollover2(0x20, 0xC0, 0x40);
const char* kTitle = "Ann & Bo's <\"\xC3\x9Cn\xC3\xAF\x63\xC3\xB8\x64\xC3\xA9\"> #1 100% \xE6\x97\xA5\xE6\x9C\xAC";
const char* kFileName = "a<b&\"c\" #1 100%?\xC3\xA9.txt";
const char* kRolloverName = "r #1 100%\xC3\xA9&.gif";

std::string wave() { return menutest::wave(200); }

std::string solidGif(int width, int height, QColor colour) {
    return testing_player::gifBytes(width, height, {colour}, {{0, 0, width, height, std::vector<quint8>(size_t(width * height), 0)}})
        .toStdString();
}

class QuietUser : public torvana::BuildUser {
public:
    QStringList said;
    void beep() override { said << "beep"; }
    void refuse(torvana::BuildField, const std::string& m) override { said << QString::fromStdString(m); }
    void warning(const std::string& m) override { said << QString::fromStdString(m); }
    void error(const std::string& m) override { said << QString::fromStdString(m); }
    void information(const std::string&) override {}
    void busy(bool) override {}
    void succeeded() override {}
    void progress(const std::string&, uint64_t, uint64_t) override {}
};

bool near(QColor a, QColor b) {
    return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2 && qAbs(a.blue() - b.blue()) <= 2;
}

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

class WebMenuBrowserTest : public QObject {
    Q_OBJECT
    TempDir dir;
    std::string stage = dir.file("stage");
    HeadlessBrowser browser;
    QPoint origin;  // the stage's top-left corner in the viewport
    torvana::ProjectState state;
    torvana::Project project;
    torvana::BuildSettings settings;

    // axe-core's findings on the open page (the rules broken, with their elements), then the
    // page's language and the names of the hotspots' links.
    QString axeFindingsAndNames() {
        QFile axe(qEnvironmentVariable("TORVANA_AXE"));
        if (!axe.open(QIODevice::ReadOnly)) return "no axe-core";
        browser.call("Runtime.evaluate", {{"expression", QString::fromUtf8(axe.readAll())}});
        const char* script = "axe.run(document).then(r => r.violations.map(v => v.id + ': ' + v.nodes.map(n => "
                             "n.target).join(', ')).concat(document.documentElement.lang, Array.from(document"
                             ".querySelectorAll('.spot'), a => a.getAttribute('aria-label'))).join('; '))";
        const QJsonObject r = browser.call(
            "Runtime.evaluate", {{"expression", script}, {"returnByValue", true}, {"awaitPromise", true}});
        return r["result"].toObject()["value"].toString() + browser.error();
    }

    QColor at(const QImage& shot, int x, int y) const { return shot.pixelColor(origin + QPoint(x, y)); }
    QString local(const QString& href) const { return QUrl(href).toLocalFile(); }
    QString staged(const std::string& relative) const { return QString::fromStdString(stage + "/" + relative); }

    // The page staged in `folder`, this project's stage unless another is named.
    void openMenu(const std::string& folder = {}) {
        const std::string page = (folder.empty() ? stage : folder) + "/" + torvana::kWebMenuFile;
        QVERIFY2(browser.open(QUrl::fromLocalFile(QString::fromStdString(page))), qPrintable(browser.error()));
        QVERIFY2(browser.waitFor("Array.from(document.images).every(i => i.complete && i.naturalWidth > 0)"),
                 qPrintable(browser.error()));
        const QJsonValue r = browser.evaluate("(() => { const r = document.getElementById('stage')"
                                              ".getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; })()");
        const QJsonArray box = r.toArray();
        QCOMPARE(box.size(), 4);
        // Centred in the window, the stage may start at half a pixel, which is drawn from the next.
        origin = QPoint(qRound(box[0].toDouble()), qRound(box[1].toDouble()));
        QCOMPARE(QSizeF(box[2].toDouble(), box[3].toDouble()), QSizeF(640, 480));
    }

private slots:
    // One project with every kind of hotspot, built by the staging build, and one browser.
    void initTestCase() {
        const std::string art = dir.file("art");
        std::filesystem::create_directories(art);
        std::filesystem::create_directories(dir.file("program"));
        torvana::replaceFileContents(dir.file("program/autorun.exe"), "player");
        QImage back(640, 480, QImage::Format_RGB32);
        back.fill(kBackground);
        QVERIFY(back.save(QString::fromStdString(art + "/back.bmp"), "BMP"));
        QImage green(80, 40, QImage::Format_RGB32);
        green.fill(kRollover2);
        QVERIFY(green.save(QString::fromStdString(art + "/r2.bmp"), "BMP"));
        torvana::replaceFileContents(art + "/" + kRolloverName, solidGif(100, 60, kRollover1));
        torvana::replaceFileContents(art + "/" + kFileName, "notes");
        for (const char* name : {"/open.wav", "/over.wav", "/click.wav"}) torvana::replaceFileContents(art + name, wave());

        state.programFolder = dir.file("program") + "/";
        state.projectPath = dir.file("menu.cdrom");
        state.projectName = "menu.cdrom";
        project.hotspotCount = 3;
        project.hotspots.push_back({art + "/" + kFileName, art + "/" + kRolloverName, "200", "150", "", ""});
        project.hotspots.push_back({"https://example.org/a?b=1&c=2", art + "/r2.bmp", "20", "400", art + "/over.wav",
                             art + "/click.wav"});
        project.hotspots.push_back({"exit", "", "600", "440", "", ""});
        project.cdTitle = kTitle;
        project.stagingFolder = stage;
        project.backgroundImage = art + "/back.bmp";
        project.openingWav = art + "/open.wav";
        project.showBrowse = project.showExit = true;
        settings.addLinuxPlayer = false;
        QuietUser user;
        QCOMPARE(torvana::runStagingBuild(state, project, settings, user), torvana::BuildResult::Succeeded);
        QCOMPARE(user.said, QStringList());

        QVERIFY2(browser.start(QSize(800, 600)), qPrintable(browser.error()));
    }

    void titleAndBackground() {
        openMenu();
        QCOMPARE(browser.evaluate("document.title").toString(), text(kTitle));
        // Loaded pictures are painted a moment later.
        const QImage shot = browser.screenshotWhen([&](const QImage& s) { return near(at(s, 639, 479), kBackground); });
        QVERIFY2(!shot.isNull(), qPrintable(browser.error()));
        if (qEnvironmentVariableIsSet("TORVANA_WEB_SHOTS"))
            shot.save(qEnvironmentVariable("TORVANA_WEB_SHOTS") + "/web-menu.png");
        // The whole stage shows the background, the hotspot's place included while nothing is
        // hovered; outside the stage is the page's black.
        for (const QPoint p : {QPoint(0, 0), QPoint(639, 479), QPoint(250, 180), QPoint(320, 240)})
            QVERIFY2(near(at(shot, p.x(), p.y()), kBackground), qPrintable(QString("at %1,%2").arg(p.x()).arg(p.y())));
        QVERIFY(near(at(shot, -1, 10), Qt::black));
    }

    void rolloverAtXYWhileHoveredOrFocused() {
        openMenu();
        // Hotspot 1's picture, 100 x 60 at 200,150: its corners are the rollover's, and just
        // outside them the background stays.
        browser.mouseMove(origin.x() + 250, origin.y() + 180);
        QImage shot = browser.screenshotWhen([&](const QImage& s) { return near(at(s, 200, 150), kRollover1); });
        QVERIFY2(near(at(shot, 200, 150), kRollover1), qPrintable(browser.error()));
        QVERIFY(near(at(shot, 299, 209), kRollover1));
        QVERIFY(near(at(shot, 199, 150), kBackground));
        QVERIFY(near(at(shot, 200, 149), kBackground));
        QVERIFY(near(at(shot, 300, 209), kBackground));
        QVERIFY(near(at(shot, 299, 210), kBackground));
        QVERIFY(near(at(shot, 40, 420), kBackground));  // the other rollover is not shown

        browser.mouseMove(origin.x() + 5, origin.y() + 5);
        shot = browser.screenshotWhen([&](const QImage& s) { return near(at(s, 250, 180), kBackground); });
        QVERIFY2(near(at(shot, 250, 180), kBackground), qPrintable(browser.error()));

        // With the keyboard: Tab goes to hotspot 1, then to hotspot 2, each showing its picture.
        browser.key("Tab", 9);
        shot = browser.screenshotWhen([&](const QImage& s) { return near(at(s, 250, 180), kRollover1); });
        QVERIFY2(near(at(shot, 250, 180), kRollover1), qPrintable(browser.error()));
        QCOMPARE(browser.evaluate("document.activeElement.id").toString(), QString("spot1"));
        browser.key("Tab", 9);
        shot = browser.screenshotWhen([&](const QImage& s) {
            return near(at(s, 60, 420), kRollover2) && near(at(s, 250, 180), kBackground);
        });
        QVERIFY2(near(at(shot, 60, 420), kRollover2), qPrintable(browser.error()));
        QCOMPARE(browser.evaluate("document.activeElement.id").toString(), QString("spot2"));
    }

    void linksResolveToTheStagedFiles() {
        openMenu();
        const QJsonObject links =
            browser
                .evaluate("Object.fromEntries(Array.from(document.querySelectorAll('a')).map(a => [a.id, "
                          "{href: a.href, target: a.target, rel: a.rel, img: a.querySelector('img') ? "
                          "a.querySelector('img').src : '', box: (r => [r.left, r.top, r.width, r.height])"
                          "(a.getBoundingClientRect())}]))")
                .toObject();
        QVERIFY2(browser.error().isEmpty(), qPrintable(browser.error()));

        const QJsonObject file = links["spot1"].toObject();
        QCOMPARE(local(file["href"].toString()), staged("1/" + std::string(kFileName)));
        QVERIFY(QFileInfo(local(file["href"].toString())).isFile());
        QCOMPARE(local(file["img"].toString()), staged("images/" + std::string(kRolloverName)));
        QCOMPARE(file["target"].toString(), QString("_blank"));
        QVERIFY(file["rel"].toString().contains("noopener"));

        const QJsonObject web = links["spot2"].toObject();
        QCOMPARE(web["href"].toString(), QString("https://example.org/a?b=1&c=2"));
        QCOMPARE(web["target"].toString(), QString("_blank"));
        QVERIFY(web["rel"].toString().contains("noopener"));
        QCOMPARE(local(web["img"].toString()), staged("images/r2.bmp"));

        // The exit hotspot has no picture: the invisible 32 x 32 square at X, Y.
        const QJsonArray exitBox = links["spot3"].toObject()["box"].toArray();
        QCOMPARE(QRect(qRound(exitBox[0].toDouble()) - origin.x(), qRound(exitBox[1].toDouble()) - origin.y(),
                       qRound(exitBox[2].toDouble()), qRound(exitBox[3].toDouble())),
                 QRect(600, 440, 32, 32));

        QCOMPARE(QDir::cleanPath(local(links["browse"].toObject()["href"].toString())), staged("").chopped(1));

        // Every sound resolves to its staged copy and the browser reads it.
        QVERIFY2(browser.waitFor("Array.from(document.querySelectorAll('audio')).every(a => a.readyState >= 1)"),
                 qPrintable(browser.error()));
        const QJsonArray sounds =
            browser.evaluate("Array.from(document.querySelectorAll('audio')).map(a => a.currentSrc)").toArray();
        QStringList soundFiles;
        for (const QJsonValue& s : sounds) soundFiles << local(s.toString());
        QCOMPARE(soundFiles, QStringList({staged("wavs/open.wav"), staged("wavs/over.wav"), staged("wavs/click.wav")}));

        // The exit hotspot leaves the page (a tab the page did not open itself cannot be closed).
        browser.click(origin.x() + 610, origin.y() + 450);
        QVERIFY2(browser.waitFor("location.href === 'about:blank'"), qPrintable(browser.error()));
    }

    // The page says its language, each link is named by its label or by what it does, and
    // axe-core finds nothing: on this project with a label, without any, and on the example's.
    void accessible_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("example");
        QTest::addColumn<QString>("names");
        QTest::newRow("a label") << "Read the notes" << false << "Read the notes; Visit example.org; Exit";
        QTest::newRow("no label") << "" << false << text("Open ") + text(kFileName) + "; Visit example.org; Exit";
        QTest::newRow("example") << "" << true
                                 << "Show this summer's slides; Visit our web site; Leave the menu";
    }
    void accessible() {
        if (!QFile::exists(qEnvironmentVariable("TORVANA_AXE")))
            QSKIP("axe-core is not in the build folder (npm missing or offline; scripts/axe-core installs it)");
        QFETCH(QString, label);
        QFETCH(bool, example);
        QFETCH(QString, names);
        torvana::LoadedProject loaded{state, project, settings};
        loaded.project.hotspots[0].label = label.toStdString();
        if (example) {
            const QString folder = QString::fromStdString(dir.file("example"));
            QCOMPARE(QProcess::execute(TORVANA_MAKE_EXAMPLE, {folder}), 0);
            loaded = torvana::loadProject(dir.file("example/sample.cdrom"), state.programFolder);
            loaded.settings.addLinuxPlayer = false;
        }
        QuietUser user;
        QCOMPARE(torvana::runStagingBuild(loaded.state, loaded.project, loaded.settings, user), torvana::BuildResult::Succeeded);
        openMenu(loaded.project.stagingFolder);
        QCOMPARE(axeFindingsAndNames(), "en; " + names);
    }

    void cleanupTestCase() { browser.stop(); }
};

QTEST_GUILESS_MAIN(WebMenuBrowserTest)
#include "web_menu_browser_test.moc"
