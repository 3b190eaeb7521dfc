// The web page menu as the staging build writes it: escaping, the rectangles and links made
// from the players' mapping, and the setting that leaves it out. How it looks and what its links
// resolve to in a browser is web_menu_browser_test.

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "staging/staging_build.h"
#include "staging/web_menu.h"
#include "disc/disc_check.h"
#include "disc/disc_project.h"
#include "project/file_io.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;
using namespace torvana;

namespace {

struct Said : BuildUser {
    std::vector<std::string> lines;
    void beep() override { lines.push_back("beep"); }
    void refuse(BuildField, const std::string& m) override { lines.push_back(m); }
    void warning(const std::string& m) override { lines.push_back("warning: " + m); }
    void error(const std::string& m) override { lines.push_back("error: " + m); }
    void information(const std::string&) override {}
    void busy(bool) override {}
    void succeeded() override {}
    void progress(const std::string&, uint64_t, uint64_t) override {}
};

// A project of two hotspots built into `stage`: a file with a 30 x 20 rollover at 5,7 and an
// address that would run a script, whose picture is text, at 600,470.
struct PageProject {
    TempDir dir;
    ProjectState state;
    Project project;
    BuildSettings settings;
    Said user;
    std::string stage = dir.file("stage");

    PageProject() {
        fs::create_directories(dir.file("program"));
        replaceFileContents(dir.file("program/autorun.exe"), "player");
        replaceFileContents(dir.file("back.gif"), disctest::gifBytes(640, 480));
        replaceFileContents(dir.file("over.gif"), disctest::gifBytes(30, 20));
        replaceFileContents(dir.file("read me.txt"), "text");
        state.programFolder = dir.file("program") + "/";
        state.projectPath = dir.file("menu.cdrom");
        state.projectName = "menu.cdrom";
        project.hotspotCount = 2;
        project.hotspots.push_back({dir.file("read me.txt"), dir.file("over.gif"), "5", "7", "", ""});
        replaceFileContents(dir.file("text.gif"), "just text");
        project.hotspots.push_back({"javascript://%0Aalert(1)", dir.file("text.gif"), "600", "470", "", ""});
        project.cdTitle = "A & B";
        project.stagingFolder = stage;
        project.backgroundImage = dir.file("back.gif");
        settings.addLinuxPlayer = false;
    }
    BuildResult build() { return runStagingBuild(state, project, settings, user); }
    std::string page() const { return readFileContents(stage + "/index.html"); }
    // What every build of it says first: the players show no picture of text.
    std::string textPictureWarning() const {
        return "warning: Hotspot 2: the rollover picture \"" + dir.file("text.gif") +
               "\" is not a picture the players show (BMP, GIF, PNG or JPEG): the menu does not show it.";
    }
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(WebMenu, TextsAndPathsAreEscaped) {
    EXPECT_EQ(htmlEscaped("<a href=\"x\">Ann & Bo's</a>"),
              "&lt;a href=&quot;x&quot;&gt;Ann &amp; Bo&#39;s&lt;/a&gt;");
    EXPECT_EQ(htmlEscaped(std::string("a\0b", 3)), "a&#xFFFD;b");
    // The page is UTF-8: a title of an older project file, in Windows-1252, is read as such.
    EXPECT_EQ(htmlEscaped("Caf\xE9 & Bo"), "Caf\xC3\xA9 &amp; Bo");
    struct {
        std::string path, url;
    } cases[] = {
        {"images/back.gif", "images/back.gif"},
        {"1/a b#1?c=100%.txt", "1/a%20b%231%3Fc%3D100%25.txt"},
        {"1/\xC3\xA9t\xC3\xA9 <&\">.txt", "1/%C3%A9t%C3%A9%20%3C%26%22%3E.txt"},
        {"wavs/back\\slash:colon.wav", "wavs/back%5Cslash%3Acolon.wav"},
        {"2/A-Z_a.z~0-9", "2/A-Z_a.z~0-9"},
    };
    for (const auto& c : cases) EXPECT_EQ(urlPath(c.path), c.url) << c.path;
}

TEST(WebMenu, AddressesThatRunScriptAreKnown) {
    for (const char* script : {"javascript://%0Aalert(1)", " JavaScript:x", "java\tscript:x", "VBScript:x", "data:text/html,x"})
        EXPECT_TRUE(isScriptAddress(script)) << script;
    for (const char* page : {"http://a.org/javascript:", "https://a", "mailto:a@b.org", "www.a.org", "ftp://a"})
        EXPECT_FALSE(isScriptAddress(page)) << page;
}

// What a screen reader hears for a hotspot without a label.
TEST(WebMenu, HotspotNames) {
    const std::tuple<ActionKind, std::string, std::string> names[] = {
        {ActionKind::WebAddress, "http://www.example.org:80/path?q=1", "Visit example.org:80"},
        {ActionKind::WebAddress, "mailto:info@example.org?subject=Hi", "Write to info@example.org"},
        {ActionKind::File, "/disc/1/Caf\xE9.exe", "Open Caf\xC3\xA9.exe"}};
    for (const auto& [kind, target, name] : names) {
        PlayerHotspot h;
        std::tie(h.kind, h.target) = std::tie(kind, target);
        EXPECT_EQ(hotspotName(h), name);
    }
}

TEST(WebMenu, TheBuildWritesThePageFromTheStagedCopies) {
    PageProject p;
    EXPECT_EQ(p.build(), BuildResult::Succeeded);
    EXPECT_EQ(p.user.lines, std::vector<std::string>{p.textPictureWarning()});
    EXPECT_EQ(planStaging(p.state, p.project, p.settings).written, (std::vector<std::string>{"autorun.inf", "index.html"}));
    const std::string page = p.page();
    EXPECT_TRUE(has(page, "<title>A &amp; B</title>"));
    EXPECT_TRUE(has(page, "<img id=\"background\" src=\"images/back.gif\""));
    // The picture's size at X, Y, and the invisible 32 x 32 square of a hotspot without one.
    EXPECT_TRUE(has(page, "href=\"1/read%20me.txt\" target=\"_blank\" rel=\"noopener\" aria-label=\"Open read me.txt\""));
    EXPECT_TRUE(has(page, "style=\"left: 5px; top: 7px; width: 30px; height: 20px\"><img src=\"images/over.gif\""));
    EXPECT_TRUE(has(page, "style=\"left: 600px; top: 470px; width: 32px; height: 32px\"></a>"));
    // An address that would run script is not a link, and a picture that is none is not shown;
    // the bar says so, as the players' bar does.
    EXPECT_FALSE(has(page, "href=\"javascript:"));
    EXPECT_FALSE(has(page, "src=\"images/text.gif\""));
    EXPECT_TRUE(has(page, "title=\"Rollover picture &quot;images/text.gif&quot; not shown: not a BMP, GIF, PNG or JPEG picture.\n"
                          "Hotspot 2: &quot;javascript://%0Aalert(1)&quot; is not opened; a menu opens only web pages "
                          "and mail addresses.\">"
                          "Hotspot 2: &quot;javascript://%0Aalert(1)&quot; is not opened; a menu opens only web pages "
                          "and mail addresses. (and 1 more)"));
    EXPECT_FALSE(has(page, "id=\"browse\""));
    EXPECT_FALSE(has(page, "id=\"exit\""));
    // Nothing from outside the disc.
    EXPECT_FALSE(has(page, "http"));
    EXPECT_FALSE(has(page, "src=\"/"));
    // A staging folder typed with a trailing separator gives the same page.
    p.project.stagingFolder = p.stage + "/";
    EXPECT_EQ(p.build(), BuildResult::Succeeded);
    EXPECT_EQ(p.page(), page);
}

// A button with its label in the engine's colours of its look, and an area of its own size,
// neither with a picture: the check and the build take them.
TEST(WebMenu, ButtonsShowTheirLabelsAndAreasTheirSize) {
    PageProject p;
    p.project.hotspots[0].label = "Read <me>";
    p.project.hotspots[0].shape = {HotspotKind::Button, 120, 30};
    p.project.hotspots[0].rolloverImage.clear();
    p.project.hotspots.push_back({"exit", "", "100", "200", "", ""});
    p.project.hotspots[2].shape = {HotspotKind::Area, 50, 40};
    p.project.hotspotCount = 3;
    p.project.buttonStyle = {"raised", 0x336699, {}};
    EXPECT_EQ(p.build(), BuildResult::Succeeded);
    EXPECT_EQ(p.user.lines, std::vector<std::string>{p.textPictureWarning()});  // nothing of the button or the area
    const std::string page = p.page();
    EXPECT_TRUE(has(page, "<a class=\"spot button\" id=\"spot1\""));
    EXPECT_TRUE(has(page, "style=\"left: 5px; top: 7px; width: 120px; height: 30px; --face: #336699; --hover: "));
    EXPECT_TRUE(has(page, "; --bevel: inset 1px 1px #ffffff"));
    EXPECT_TRUE(has(page, "\"><span>Read &lt;me&gt;</span></a>"));
    EXPECT_TRUE(has(page, "<a class=\"spot area\" id=\"spot3\""));
    EXPECT_TRUE(has(page, "style=\"left: 100px; top: 200px; width: 50px; height: 40px\"></a>"));
}

// Off, the build neither writes the page nor counts one as its own: a page of an earlier build
// stays as it was and the disc check notes it as a leftover.
TEST(WebMenu, OffLeavesItOutAndAnOldPageIsALeftover) {
    PageProject p;
    ASSERT_EQ(p.build(), BuildResult::Succeeded);
    replaceFileContents(p.stage + "/index.html", "from an earlier build");
    p.settings.addWebMenu = false;
    EXPECT_EQ(planStaging(p.state, p.project, p.settings).written, std::vector<std::string>{"autorun.inf"});
    EXPECT_EQ(p.build(), BuildResult::Succeeded);
    EXPECT_EQ(p.page(), "from an earlier build");
    const DiscReport report = checkDisc(p.state, p.project, p.settings);
    EXPECT_EQ(report.strayEntries, std::vector<std::string>{p.stage + "/index.html"});
}

// A page that cannot be written, or a page of the user's own in its place, is reported at once,
// as a failed copy is: the build goes on and ends without its closing message. The build's own
// page of an earlier build is replaced.
TEST(WebMenu, APageThatCannotBeWrittenOrIsNotOursIsAFailedCopy) {
    PageProject p;
    fs::create_directories(p.stage + "/index.html/in");  // a folder in the page's place
    EXPECT_EQ(p.build(), BuildResult::CompletedWithFailures);
    EXPECT_EQ(p.user.lines, (std::vector<std::string>{p.textPictureWarning(), "error: Error writing file: \"" + p.stage +
                                                                               "/index.html\" (File access denied)."}));
    EXPECT_TRUE(p.state.copyFailed);
    EXPECT_TRUE(fileExists(p.stage + "/autorun.inf"));

    PageProject mine;
    fs::create_directories(mine.stage);
    replaceFileContents(mine.stage + "/index.html", "<html>my own page</html>");
    EXPECT_EQ(mine.build(), BuildResult::CompletedWithFailures);
    EXPECT_EQ(mine.user.lines, (std::vector<std::string>{mine.textPictureWarning(), "error: File: \"" + mine.stage +
                                                         "/index.html\" was not made by Torvana and is left as it "
                                                         "is. Remove it, or switch off Settings > Add a web page menu "
                                                         "to keep it on the disc."}));
    EXPECT_EQ(mine.page(), "<html>my own page</html>");

    PageProject again;
    ASSERT_EQ(again.build(), BuildResult::Succeeded);
    again.project.cdTitle = "Second";
    EXPECT_EQ(again.build(), BuildResult::Succeeded);
    EXPECT_TRUE(has(again.page(), "<title>Second</title>"));
}
