#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "disc/disc_check.h"
#include "media/media_probe.h"
#include "disc/disc_project.h"
#include "test_support/pictures.h"

namespace fs = std::filesystem;
using namespace torvana;
using disctest::DiscProject;

namespace {

std::string describe(const DiscReport& report) {
    std::string text;
    for (const Finding& f : report.findings) text += std::string(severityName(f.severity)) + ": " + f.text + "\n";
    return text;
}

void sparse(const std::string& path, uint64_t bytes) {
    torvana::replaceFileContents(path, "");
    fs::resize_file(path, bytes);
}

}  // namespace

TEST(DiscCheck, CleanProjectHasNoFinding) {
    DiscProject p;
    DiscReport report = checkDisc(p.state, p.project, p.settings);
    EXPECT_TRUE(report.findings.empty()) << describe(report);
    EXPECT_TRUE(report.strayEntries.empty());
    EXPECT_GT(report.fileBytes, 640u * 480 * 3);
    EXPECT_GT(report.discBytes, report.fileBytes);
    EXPECT_EQ(report.discBytes % 2048, 0u);

    // After a real build the staging folder holds only what the build put there.
    struct Silent : BuildUser {
        void beep() override {}
        void refuse(BuildField, const std::string&) override {}
        void warning(const std::string& m) override { ADD_FAILURE() << m; }
        void error(const std::string& m) override { ADD_FAILURE() << m; }
        void information(const std::string&) override {}
        void busy(bool) override {}
        void succeeded() override {}
        void progress(const std::string&, uint64_t, uint64_t) override {}
    } user;
    ASSERT_EQ(runStagingBuild(p.state, p.project, p.settings, user), BuildResult::Succeeded);
    report = checkDisc(p.state, p.project, p.settings);
    EXPECT_TRUE(report.findings.empty()) << describe(report);
}

// Each finding, triggered on its own in an otherwise clean project.
TEST(DiscCheck, EachFindingOnItsOwn) {
    struct Case {
        const char* name;
        std::function<void(DiscProject&)> change;
        Severity severity;
        std::string text;  // a part of the finding's text
        Subject subject;
        int hotspot;
    };
    const Case cases[] = {
        {"background missing", [](DiscProject& p) { p.project.backgroundImage = p.art + "/none.bmp"; },
         Severity::Error, "The background picture \"", Subject::BackgroundImage, 0},
        {"rollover sound missing", [](DiscProject& p) { p.hotspot(1).rolloverWav = p.art + "/gone.wav"; },
         Severity::Error, "Hotspot 1: the rollover sound \"", Subject::Hotspot, 1},
        {"application missing", [](DiscProject& p) { p.hotspot(1).application = p.art + "/setup.exe /s"; },
         Severity::Error, "is neither exit, a web address nor an existing file.", Subject::Hotspot, 1},
        {"an address no menu opens",
         [](DiscProject& p) { p.hotspot(1).application = "file:///C:/windows/system32/notepad.exe"; },
         Severity::Error, "Hotspot 1: \"file:///C:/windows/system32/notepad.exe\" is a file: address, which no menu opens",
         Subject::Hotspot, 1},
        {"Exit in capitals", [](DiscProject& p) { p.hotspot(1).application = "EXIT"; }, Severity::Warning,
         "\"EXIT\" is taken for a file name; the exit action is written exit.", Subject::Hotspot, 1},
        {"player missing", [](DiscProject& p) { p.state.programFolder = p.art + "/"; }, Severity::Error,
         "The player \"", Subject::Project, 0},
        {"background 800 x 600", [](DiscProject& p) { p.file("back.bmp", disctest::bmpBytes(800, 600)); },
         Severity::Warning, "The background picture is 800 x 600, not 640 x 480.", Subject::BackgroundImage, 0},
        {"GIF background 640 x 479", [](DiscProject& p) { p.project.backgroundImage = p.file("b.gif", disctest::gifBytes(640, 479)); },
         Severity::Warning, "is 640 x 479, not 640 x 480.", Subject::BackgroundImage, 0},
        {"rollover past the right edge", [](DiscProject& p) { p.hotspot(1).x = "541"; }, Severity::Warning,
         "Hotspot 1: the rollover picture (100 x 50 at 541, 20) reaches past 640 x 480.", Subject::Hotspot, 1},
        {"rollover above the top", [](DiscProject& p) { p.hotspot(1).y = "-1"; }, Severity::Warning,
         "(100 x 50 at 10, -1) reaches past", Subject::Hotspot, 1},
        {"rollover coordinate not a number", [](DiscProject& p) { p.hotspot(1).x = "abc"; }, Severity::Warning,
         "Hotspot 1 left out: 'abc' is not a valid integer value.", Subject::Hotspot, 1},
        {"picture that is text", [](DiscProject& p) { p.file("over.gif", "just text"); }, Severity::Warning,
         "over.gif\" is not a picture the players show (BMP, GIF, PNG or JPEG).", Subject::Hotspot, 1},
        {"damaged GIF", [](DiscProject& p) { p.file("over.gif", "GIF89a\x10"); }, Severity::Warning,
         "over.gif\" cannot be shown: ", Subject::Hotspot, 1},
        {"sound that is no WAV", [](DiscProject& p) { p.file("open.wav", "ID3 mp3"); }, Severity::Warning,
         "The opening sound \"", Subject::OpeningWav, 0},
        {"sound the players refuse",
         [](DiscProject& p) {
             std::string wav = disctest::wavBytes();
             wav[20] = 0x55;  // format 85, compressed
             p.file("open.wav", wav);
         },
         Severity::Warning, "open.wav\" cannot be played: compressed WAV data (format 85) cannot be played.",
         Subject::OpeningWav, 0},
        {"two files meet in images/",
         [](DiscProject& p) { p.addHotspot("exit", p.file("other/over.gif", disctest::gifBytes(10, 10))); },
         Severity::Error, "\"images/over.gif\" would hold two different files", Subject::Hotspot, 2},
        {"staging folder's parent missing", [](DiscProject& p) { p.project.stagingFolder = p.dir.file("no/stage"); },
         Severity::Error, "the folder \"", Subject::StagingFolder, 0},
        {"staging folder is a file", [](DiscProject& p) { p.project.stagingFolder = p.project.openingWav; },
         Severity::Error, "is a file, not a folder.", Subject::StagingFolder, 0},
        {"staging folder that resolves to the root",
         [](DiscProject& p) {
             p.project.stagingFolder = p.dir.file("");
             for (int i = 0; i < 40; ++i) p.project.stagingFolder += "..//";
         },
         Severity::Error, "Staging Folder cannot be on the root folder.", Subject::StagingFolder, 0},
        {"staging folder not given", [](DiscProject& p) { p.project.stagingFolder.clear(); }, Severity::Error,
         "Staging Folder is required.", Subject::StagingFolder, 0},
        {"disc over 650 MB", [](DiscProject& p) { sparse(p.hotspot(1).application, 660ull << 20); },
         Severity::Warning, "more than a 650 MB CD holds; it needs a 700 MB CD.", Subject::StagingContent, 0},
        {"disc over 700 MB", [](DiscProject& p) { sparse(p.hotspot(1).application, 704ull << 20); },
         Severity::Warning, "more than a 700 MB CD holds; it needs a DVD.", Subject::StagingContent, 0},
        {"disc over 4.7 GB", [](DiscProject& p) { sparse(p.hotspot(1).application, 4701000000ull); },
         Severity::Warning, "more than a 4.7 GB DVD holds.", Subject::StagingContent, 0},
        {"name Windows cannot hold", [](DiscProject& p) { p.hotspot(1).application = p.file("a:b?.exe"); },
         Severity::Warning, "The name \"a:b?.exe\" in \"1\" holds characters Windows does not allow in a name: :?.",
         Subject::StagingContent, 0},
        {"name over 103 characters",
         [](DiscProject& p) { p.hotspot(1).application = p.file(std::string(100, 'n') + ".exe"); },
         Severity::Warning, "is longer than the 103 characters a disc holds.", Subject::StagingContent, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscProject p;
        c.change(p);
        const DiscReport report = checkDisc(p.state, p.project, p.settings);
        ASSERT_EQ(report.findings.size(), 1u) << describe(report);
        const Finding& f = report.findings[0];
        EXPECT_EQ(f.severity, c.severity);
        EXPECT_NE(f.text.find(c.text), std::string::npos) << f.text;
        EXPECT_EQ(f.subject, c.subject);
        EXPECT_EQ(f.hotspot, c.hotspot);
        EXPECT_EQ(f.text.find('\n'), std::string::npos);
        EXPECT_TRUE(report.strayEntries.empty());
    }
}

TEST(DiscCheck, NamesAtTheLimitsAndSameFilesMeetingAreFine) {
    DiscProject p;
    // 103 characters, and 103 two-byte characters: Joliet holds both.
    p.addHotspot(p.file(std::string(99, 'n') + ".exe"), "");
    std::string accented;
    for (int i = 0; i < 99; ++i) accented += "\xC3\xA9";
    p.addHotspot(p.file(accented + ".exe"), "");
    // The same picture from two folders, byte for byte: nothing is lost.
    p.addHotspot("exit", p.file("copy/over.gif", disctest::gifBytes(100, 50)));
    p.addHotspot("http://example.org/", "");
    const DiscReport report = checkDisc(p.state, p.project, p.settings);
    EXPECT_TRUE(report.findings.empty()) << describe(report);
}

TEST(DiscCheck, LeftoversAreNotedAndRemovedOnlyWhenAsked) {
    DiscProject p;
    fs::create_directories(p.stage + "/images");
    fs::create_directories(p.stage + "/7/deep");
    torvana::replaceFileContents(p.stage + "/7/deep/old.exe", std::string(5000, 'o'));
    torvana::replaceFileContents(p.stage + "/images/Over.GIF", "old");
    torvana::replaceFileContents(p.stage + "/old.cdrom", "1");
    const DiscReport report = checkDisc(p.state, p.project, p.settings);
    EXPECT_EQ(report.count(Severity::Note), 3) << describe(report);
    EXPECT_EQ(report.count(Severity::Warning), 1) << describe(report);  // Over.GIF beside over.gif
    EXPECT_NE(describe(report).find("The names \"Over.GIF\" and \"over.gif\" in \"images\" differ only in case"),
              std::string::npos)
        << describe(report);
    EXPECT_NE(describe(report).find("note: \"7\" (a folder) is in the staging folder but no part of the project"),
              std::string::npos)
        << describe(report);
    ASSERT_EQ(report.strayEntries.size(), 3u);
    EXPECT_TRUE(fs::exists(p.stage + "/7/deep/old.exe"));  // the check removes nothing

    removeStrayEntries(report.strayEntries);
    EXPECT_FALSE(fs::exists(p.stage + "/7"));
    EXPECT_FALSE(fs::exists(p.stage + "/old.cdrom"));
    EXPECT_TRUE(fs::exists(p.stage + "/images"));
    EXPECT_TRUE(checkDisc(p.state, p.project, p.settings).findings.empty());
}

// A staging folder that is the project's folder or a folder above it: the project file and its
// sources are told as burned too, and never offered for removal.
TEST(DiscCheck, TheProjectsOwnFilesAreNeverLeftovers) {
    const struct {
        const char* stage;  // relative to the project's temporary folder
        const char* warned;
    } rows[] = {
        {"proj", "\"art\" (a folder) in the staging folder holds"},
        {"", "\"proj\" (a folder) in the staging folder holds"},
    };
    for (const auto& row : rows) {
        DiscProject p;
        fs::create_directories(p.dir.file("proj"));
        fs::rename(p.art, p.dir.file("proj/art"));
        p.art = p.dir.file("proj/art");
        p.state.projectPath = p.dir.file("proj/menu.cdrom");
        p.project.backgroundImage = p.file("back.bmp", disctest::bmpBytes(640, 480));
        p.project.openingWav = p.file("open.wav", disctest::wavBytes());
        p.hotspot(1) = {p.file("slides.exe", "program"), p.file("over.gif", disctest::gifBytes(100, 50)), "10", "20",
                        "", ""};
        p.save();
        p.project.stagingFolder = p.dir.file(row.stage);
        torvana::replaceFileContents(p.project.stagingFolder + "/stale.txt", "x");
        const DiscReport report = checkDisc(p.state, p.project, p.settings);
        EXPECT_NE(describe(report).find(std::string("warning: ") + row.warned), std::string::npos)
            << row.stage << "\n" << describe(report);
        removeStrayEntries(report.strayEntries);
        EXPECT_FALSE(fs::exists(p.project.stagingFolder + "/stale.txt")) << row.stage;
        for (const std::string& own : {p.state.projectPath, p.project.backgroundImage, p.project.openingWav,
                                       p.hotspot(1).application, p.state.programFolder + "autorun.exe"})
            EXPECT_TRUE(fs::exists(own)) << row.stage << ": " << own;
    }
}

TEST(DiscCheck, FindingsAreSortedBySeverity) {
    DiscProject p;
    fs::create_directories(p.stage);
    torvana::replaceFileContents(p.stage + "/stale.txt", "x");           // note
    p.file("back.bmp", disctest::bmpBytes(320, 200));                    // warning
    p.hotspot(1).application = "/nowhere/app.exe";                  // error
    const DiscReport report = checkDisc(p.state, p.project, p.settings);
    ASSERT_EQ(report.findings.size(), 3u) << describe(report);
    EXPECT_EQ(report.findings[0].severity, Severity::Error);
    EXPECT_EQ(report.findings[1].severity, Severity::Warning);
    EXPECT_EQ(report.findings[2].severity, Severity::Note);
    EXPECT_TRUE(report.hasErrors());
}

// A file is a picture, of its size, exactly when the players show it, whatever its name says.
TEST(MediaProbe, TakesWhatThePlayersShow) {
    std::string topDown = disctest::bmpBytes(2, 3);
    topDown[25] = '\xFF', topDown[24] = '\xFF', topDown[23] = '\xFF', topDown[22] = '\xFD';  // height -3
    const struct {
        const char* name;
        std::string bytes;
        PictureFormat format;
        int width, height;
        std::string problem;
    } rows[] = {
        {"BMP named .gif", disctest::bmpBytes(33, 7), PictureFormat::Bmp, 33, 7, ""},
        {"BMP stored top-down", topDown, PictureFormat::Bmp, 2, 3, ""},
        {"GIF named .bmp", disctest::gifBytes(12, 5), PictureFormat::Gif, 12, 5, ""},
        {"PNG", testpic::solid(testpic::Kind::Png, 20, 10), PictureFormat::Png, 20, 10, ""},
        {"JPEG", testpic::solid(testpic::Kind::Jpeg, 16, 9), PictureFormat::Jpeg, 16, 9, ""},
        {"PNG wider than the players read", testpic::pngHeader(20000), PictureFormat::Unreadable, 0, 0,
         "the picture is too large (more than 16384 pixels wide or high)"},
        // An old core header of width 640 and height 0 is no size at all, not one of 640 x 0.
        {"BMP of no height", std::string("BM") + std::string(12, '\0') + std::string("\x0c\0\0\0\x80\x02\0\0", 8) + std::string(6, '\1'),
         PictureFormat::NotAPicture, 0, 0, "not a BMP, GIF, PNG or JPEG picture"},
        {"text named .png", "just text", PictureFormat::NotAPicture, 0, 0, "not a BMP, GIF, PNG or JPEG picture"},
    };
    TempDir dir;
    for (const auto& row : rows) {
        const std::string path = dir.file(std::string(row.name) + ".png");
        torvana::replaceFileContents(path, row.bytes);
        const PictureProbe probe = probePicture(path);
        EXPECT_EQ(probe.format, row.format) << row.name;
        EXPECT_EQ(probe.width, row.width) << row.name;
        EXPECT_EQ(probe.height, row.height) << row.name;
        EXPECT_EQ(probe.problem, row.problem) << row.name;
    }
    EXPECT_EQ(probePicture(dir.file("none")).format, PictureFormat::Unreadable);
}

TEST(DiscCheck, SizeTexts) {
    EXPECT_EQ(discSizeText(850), "850 bytes");
    EXPECT_EQ(discSizeText(13002342), "12.4 MB");
    EXPECT_EQ(discSizeText(kDvdBytes), "4.70 GB");
}
