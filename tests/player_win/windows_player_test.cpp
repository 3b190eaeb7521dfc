// The Windows player autorun.exe under Wine on a real X server, with generated staging folders:
// what a user sees (title, pixels, rollover, bar, buttons) and what their clicks and keys do.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "gif/gif_writer.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "project/staged_menu.h"
#include "staging/signing.h"
#include "test_support/bmp.h"
#include "test_support/linux_player.h"
#include "test_support/menu_fixture.h"
#include "test_support/test_ca.h"
#include "test_support/temp_dir.h"
#include "test_support/wait.h"
#include "test_support/wine.h"

namespace {

using winetest::Grab;
using winetest::WineProgram;
using winetest::XServer;

constexpr uint32_t kBack = 0x0A5028;   // the background's colour
constexpr uint32_t kOver = 0xE01010;   // the rollover picture's colour
constexpr uint32_t kBar = 0x282828;    // the bar under the stage

using winetest::uniqueTitle;

// A staging folder as the editor's build leaves it, with the real autorun.exe and a background.
struct Stage : menutest::StagedFolder {
    Stage() {
        put("autorun.exe", torvana::readFileContents(WINDOWS_PLAYER));
        data.backgroundImage = image("back.bmp", testbmp::solid(640, 480, kBack));
    }
};

// A window that goes away between being found and being looked at is "not found", not the end
// of the test program (Xlib's default error handler exits).
TEST(WineHelpers, AWindowThatIsGoneIsNotFound) {
    XServer x;
    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(x.open() && other) << "no X server (run under scripts/with-xvfb)";
    const Window w = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 64, 48, 0, 0, 0x123456);
    XMapWindow(other, w);
    XSync(other, False);
    EXPECT_EQ(x.size(w), std::make_pair(64, 48));
    XDestroyWindow(other, w);
    XCloseDisplay(other);
    EXPECT_FALSE(x.grab(w).has_value());
    EXPECT_EQ(x.title(w), "");
    EXPECT_EQ(x.size(w), std::make_pair(0, 0));
}

class WindowsPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(x.open()) << "no X server (run under scripts/with-xvfb)"; }

    // Starts the player in the stage and waits for its window.
    Window show(Stage& stage, WineProgram& wine) {
        stage.writeProject();
        EXPECT_TRUE(wine.start(stage.path("autorun.exe"), stage.dir.path()));
        const std::optional<Window> w = x.waitFor(stage.data.cdTitle, wine);
        EXPECT_TRUE(w.has_value()) << "no window titled \"" << stage.data.cdTitle << "\"";
        return w.value_or(0);
    }
    // The number of button-coloured runs along a row of the bar above the buttons' labels
    // (whose smoothed edges may take any grey, the bar's too).
    static int buttonsInBar(const Grab& g) {
        int runs = 0;
        bool inRun = false;
        for (int px = 0; px < g.width; ++px) {
            const bool button = g.at(px, 480 + 7) != kBar;
            if (button && !inRun) ++runs;
            inRun = button;
        }
        return runs;
    }

    XServer x;
    WineProgram wine{WINE_TEMPLATE};
};

TEST_F(WindowsPlayerTest, ShowsTheTitleBackgroundAndRolloverAndEndsOnEscape) {
    Stage stage;
    stage.data.cdTitle = uniqueTitle("Menü Ωmega 日本");
    stage.addHotspot("exit", 100, 200).rolloverImage = stage.image("over.bmp", testbmp::solid(40, 30, kOver));
    const Window w = show(stage, wine);
    ASSERT_NE(w, 0u);
    EXPECT_EQ(x.size(w), std::make_pair(640, 480));  // nothing asked for the bar

    auto g = x.grabUntil(w, [](const Grab& g) { return g.at(320, 240) == kBack; });
    ASSERT_TRUE(g);
    EXPECT_EQ(g->at(0, 0), kBack);
    EXPECT_EQ(g->at(639, 479), kBack);
    EXPECT_EQ(g->at(110, 210), kBack);  // no rollover while the pointer is elsewhere

    winetest::movePointer(w, 120, 215);
    g = x.grabUntil(w, [](const Grab& g) { return g.at(110, 210) == kOver; });
    EXPECT_EQ(g->at(100, 200), kOver);
    EXPECT_EQ(g->at(139, 229), kOver);
    EXPECT_EQ(g->at(140, 230), kBack);
    EXPECT_EQ(g->at(99, 199), kBack);

    winetest::movePointer(w, 400, 400);
    g = x.grabUntil(w, [](const Grab& g) { return g.at(110, 210) == kBack; });
    EXPECT_EQ(g->at(110, 210), kBack);

    winetest::key(w, "Escape");
    EXPECT_TRUE(wine.waitForExit(10000)) << "Escape did not end the player";
}

TEST_F(WindowsPlayerTest, AClickStartsTheStagedBatchFileAndExitEnds) {
    Stage stage;
    stage.data.cdTitle = uniqueTitle("Batch");
    stage.put("images/over.bmp", testbmp::solid(40, 40, kOver));
    // The options after the program reach it as its parameters.
    stage.addHotspot("C:\\tools\\mark.bat /s", 50, 50).rolloverImage = Stage::stored("over.bmp");
    stage.addHotspot("exit", 300, 300);  // an invisible 32 x 32 target
    // A file: address is never handed to the shell, even when it names a program.
    const std::string wineFolder = "Z:" + stage.path("3");
    stage.addHotspot("file:///" + wineFolder + "/evil.bat", 150, 50).rolloverImage = Stage::stored("over.bmp");
    // It runs in its own folder, so the marker lands beside it.
    stage.put("1/mark.bat", "@echo off\r\necho %1> marker.txt\r\n");
    stage.put("3/evil.bat", "@echo off\r\necho started> evil.txt\r\n");
    const Window w = show(stage, wine);
    ASSERT_NE(w, 0u);

    // The player refuses the file: address with a note on its bar, in place of starting it.
    winetest::click(w, 160, 60);
    const auto noted = x.grabUntil(w, [](const Grab& g) { return g.height == 516 && g.at(4, 480 + 18) == kBar; });
    ASSERT_TRUE(noted && noted->height == 516) << "the file: address was not refused with a note";
    winetest::click(w, 60, 60);
    const std::string marker = stage.path("1/marker.txt");
    EXPECT_TRUE(testwait::waitUntil(
        [&] { return torvana::fileExists(marker) && torvana::readFileContents(marker) == "/s\r\n"; }, std::chrono::seconds(15)))
        << "the batch file did not run with its option";
    EXPECT_FALSE(torvana::fileExists(stage.path("3/evil.txt"))) << "a file: address was started";
    EXPECT_TRUE(wine.running());

    winetest::click(w, 310, 310);
    EXPECT_TRUE(wine.waitForExit(10000)) << "the exit hotspot did not end the player";
}

// A screen reader asking through oleacc from a program of its own hears, as Tab moves on, a name
// from what a hotspot without a label does, the label of one with it, and the buttons.
TEST_F(WindowsPlayerTest, AScreenReaderHearsTheItemTheKeyboardIsOn) {
    Stage stage;
    stage.data.cdTitle = uniqueTitle("Spoken");
    stage.data.showExit = true;
    stage.addHotspot("C:\\tools\\setup.bat", 50, 50);
    stage.addHotspot("exit", 300, 300).label = "Leave the menu";
    stage.put("1/setup.bat", "@echo off\r\n");
    const Window w = show(stage, wine);
    ASSERT_NE(w, 0u);
    const auto heard = [&] {
        std::filesystem::remove(stage.path("heard.txt"));
        const int code =
            winetest::run({"wine", ACCESSIBLE_CHECK, stage.data.cdTitle, "heard.txt"}, wine.env(), stage.dir.path());
        return torvana::fileExists(stage.path("heard.txt")) ? torvana::readFileContents(stage.path("heard.txt"))
                                                             : "exit code " + std::to_string(code);
    };
    // A second client hears the focus events as they come.
    ASSERT_TRUE(wine.startBeside(ACCESSIBLE_CHECK, stage.dir.path(), {stage.data.cdTitle, "events.txt", "follow"}));
    for (int i = 0; i < 100 && !torvana::fileExists(stage.path("events.txt")); ++i) winetest::sleepMs(100);
    ASSERT_TRUE(torvana::fileExists(stage.path("events.txt"))) << "the listener did not start";
    const std::string items = "link: HotSpot 1: Open setup.bat\nlink: HotSpot 2: Leave the menu\nbutton: Exit\n";
    const std::pair<const char*, const char*> steps[] = {
        {"Tab", "HotSpot 1: Open setup.bat"}, {"Tab", "HotSpot 2: Leave the menu"}, {"Tab", "Exit"},
        {"shift+Tab", "HotSpot 2: Leave the menu"}};
    for (const auto& [key, focus] : steps) {
        SCOPED_TRACE(focus);
        winetest::key(w, key);
        const std::string expected = "window: " + stage.data.cdTitle + "\nfocus: " + focus + "\n" + items;
        std::string got = heard();
        for (int i = 0; i < 20 && got != expected; ++i, winetest::sleepMs(250)) got = heard();
        EXPECT_EQ(got, expected);
    }
    EXPECT_EQ(torvana::readFileContents(stage.path("events.txt")),
              "listening\nHotSpot 1: Open setup.bat\nHotSpot 2: Leave the menu\nExit\nHotSpot 2: Leave the menu\n");
    // The Exit button's default action, asked for by the screen reader's user, ends the menu.
    EXPECT_EQ(winetest::run({"wine", ACCESSIBLE_CHECK, stage.data.cdTitle, "-", "do", "3"}, wine.env(),
                            stage.dir.path()), 0);
    EXPECT_TRUE(wine.waitForExit(10000)) << "the Exit button's default action did not end the player";
}

TEST_F(WindowsPlayerTest, BrowseAndExitButtonsAppearExactlyWhenAsked) {
    struct Case {
        const char* name;
        bool browse, exit;
        int buttons;
    };
    const Case cases[] = {
        {"Browse alone", true, false, 1},
        {"Exit alone", false, true, 1},
        {"Browse and Exit", true, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WineProgram own(WINE_TEMPLATE);
        Stage stage;
        stage.data.cdTitle = uniqueTitle("Buttons");
        stage.data.showBrowse = c.browse;
        stage.data.showExit = c.exit;
        stage.addHotspot("exit", 10, 10);
        const Window w = show(stage, own);
        ASSERT_NE(w, 0u);
        // The bar painted: its own colour left of the buttons (no note), and the buttons on it.
        const auto g = x.grabUntil(w, [&](const Grab& g) {
            return g.height > 480 && g.at(4, 480 + 18) == kBar && buttonsInBar(g) == c.buttons;
        });
        ASSERT_TRUE(g);
        EXPECT_EQ(x.size(w), std::make_pair(640, 516));
        EXPECT_EQ(buttonsInBar(*g), c.buttons);
        EXPECT_EQ(g->at(4, 480 + 18), kBar);
        if (c.exit) {
            // The Exit button is the right-most one.
            winetest::click(w, 640 - 8 - 44, 480 + 18);
            EXPECT_TRUE(own.waitForExit(10000)) << "the Exit button did not end the player";
        }
    }
}

TEST_F(WindowsPlayerTest, AMissingPictureGivesTheNoteBar) {
    Stage stage;
    stage.data.cdTitle = uniqueTitle("Notes");
    stage.data.backgroundImage = "C:\\artwork\\gone.bmp";
    stage.addHotspot("exit", 10, 10);
    const Window w = show(stage, wine);
    ASSERT_NE(w, 0u);
    const auto g = x.grabUntil(w, [](const Grab& g) { return g.height == 516 && g.at(4, 480 + 18) == kBar; });
    ASSERT_TRUE(g);
    EXPECT_EQ(g->at(320, 240), 0x000000u);  // no background: black
    int text = 0;
    for (int px = 0; px < 400; ++px)
        for (int py = 480; py < 516; ++py) text += g->at(px, py) != kBar;
    EXPECT_GT(text, 50) << "the note line shows no text";
    EXPECT_TRUE(wine.running());
}

// A compressed BMP of a kilobyte that declares 16384 x 16383 pixels (a gigabyte once made)
// counts against the pictures' memory budget: four of them are notes, and the player lives.
TEST_F(WindowsPlayerTest, HugeDeclaredBitmapsAreNotesNotTheEndOfThePlayer) {
    std::string bmp = "BM";
    const auto u32 = [&bmp](uint32_t v) { for (int i = 0; i < 4; ++i) bmp += char((v >> (8 * i)) & 0xFF); };
    const auto u16 = [&bmp](uint16_t v) { bmp += char(v & 0xFF); bmp += char(v >> 8); };
    for (uint32_t v : {1080u, 0u, 1078u, 40u, 16384u, 16383u}) u32(v);  // file header, size
    u16(1);
    u16(8);
    for (uint32_t v : {1u /* RLE8 */, 2u, 2835u, 2835u, 256u, 0u}) u32(v);
    bmp += std::string(256 * 4, '\0') + std::string("\0\1", 2);  // the palette, then "end of picture"
    ASSERT_EQ(bmp.size(), 1080u);
    Stage stage;
    stage.data.cdTitle = uniqueTitle("Huge");
    for (int i = 0; i < 4; ++i) {
        stage.addHotspot("exit", 10 + 100 * i, 10).rolloverImage = stage.image("huge" + std::to_string(i) + ".bmp", bmp);
    }
    const Window w = show(stage, wine);
    ASSERT_NE(w, 0u);
    const auto g = x.grabUntil(w, [](const Grab& g) { return g.height == 516 && g.at(4, 480 + 18) == kBar; });
    ASSERT_TRUE(g) << "no note bar";
    EXPECT_EQ(g->at(320, 240), kBack);
    // The player goes on answering: Tab puts the keyboard on the first hotspot, and its edge shows.
    winetest::key(w, "Tab");
    const uint32_t edge = torvana::menu::kFocusEdgeLight & 0xFFFFFF;
    const auto focused = x.grabUntil(w, [&](const Grab& g) { return g.at(10, 10) == edge; });
    ASSERT_TRUE(focused) << "the window is gone";
    EXPECT_EQ(focused->at(10, 10), edge) << "the player no longer answers the keyboard";
    EXPECT_TRUE(wine.running());
}

TEST_F(WindowsPlayerTest, AnAnimatedGifBackgroundChangesOverTime) {
    Stage stage;
    stage.data.cdTitle = uniqueTitle("Animated");
    const giftest::Bytes red(640 * 480, 1), blue(640 * 480, 2);
    giftest::GifBuilder gif;
    gif.Header(640, 480, {{0, 0, 0}, {200, 0, 0}, {0, 0, 200}, {0, 0, 0}})
        .Loop(0)
        .Gce(0, 15)
        .Image(0, 0, 640, 480, red, 2)
        .Gce(0, 15)
        .Image(0, 0, 640, 480, blue, 2)
        .Trailer();
    stage.data.backgroundImage = stage.image("back.gif", gif.str());
    stage.addHotspot("exit", 10, 10);
    const Window w = show(stage, wine);
    ASSERT_NE(w, 0u);
    bool sawRed = false, sawBlue = false;
    for (int i = 0; i < 100 && !(sawRed && sawBlue); ++i, winetest::sleepMs(50)) {
        const auto g = x.grab(w);
        if (!g) continue;
        sawRed |= g->at(320, 240) == 0xC80000;
        sawBlue |= g->at(320, 240) == 0x0000C8;
    }
    EXPECT_TRUE(sawRed);
    EXPECT_TRUE(sawBlue);
}

TEST_F(WindowsPlayerTest, ATitleInWindows1252ShowsAsText) {
    Stage stage;
    stage.data.cdTitle = "Caf\xE9 " + std::to_string(std::random_device{}());  // Windows-1252, not UTF-8
    stage.addHotspot("exit", 10, 10);
    stage.writeProject();
    ASSERT_TRUE(wine.start(stage.path("autorun.exe"), stage.dir.path()));
    const std::string shown = "Café" + stage.data.cdTitle.substr(4);
    EXPECT_TRUE(x.waitFor(shown, wine).has_value()) << "no window titled \"" << shown << "\"";
}

// The example's menu with a button and an area added, staged by the editor's command line, in
// both players: the Linux one on this X server and the Windows one under Wine show the same
// pixels at rest, with the first hotspot's rollover and with the pointer on the button and on
// the area, as the engine draws them for both.
TEST_F(WindowsPlayerTest, BothPlayersShowTheExampleWithTheSamePixels) {
    TempDir dir;
    const std::string example = dir.file("example"), stage = example + "/stage";
    ASSERT_EQ(winetest::run({MAKE_EXAMPLE, example}, {}, {}, dir.file("make.log")), 0);
    torvana::Project project = torvana::readProjectFile(example + "/sample.cdrom");
    torvana::Hotspot button{"exit", "", "440", "400", "", ""};
    button.label = "Leave the menu";
    button.shape = {torvana::HotspotKind::Button, 150, 34};
    torvana::Hotspot area{"exit", "", "20", "400", "", ""};
    area.shape = {torvana::HotspotKind::Area, 120, 60};
    project.hotspots.insert(project.hotspots.end(), {button, area});
    project.hotspotCount = int(project.hotspots.size());
    project.buttonStyle.look = "raised";
    torvana::writeProjectFile(example + "/sample.cdrom", project);
    ASSERT_EQ(winetest::run({EDITOR, "build", "sample.cdrom"}, {"XDG_CONFIG_HOME=" + dir.file("config")}, example,
                            dir.file("build.log")), 0);
    const auto engine = menutest::loadedEngine(torvana::loadPlayerProject({stage}));
    ASSERT_GT(engine->input().spotCount(), 2);
    const std::vector<uint32_t> atRest = menutest::engineView(stage);
    // The pointer away from every hotspot, then on the first hotspot, the button and the area.
    std::vector<std::pair<int, int>> places{{1, 1}};
    for (const int spot : {0, engine->input().spotCount() - 2, engine->input().spotCount() - 1}) {
        const torvana::HotspotRect r = engine->input().spot(spot);
        places.emplace_back(r.x + r.width / 2, r.y + r.height / 2);
    }

    // What a player shows at each place, each grab once it differs from the one before.
    const auto look = [&](auto& program) {
        std::vector<std::optional<Grab>> grabs;
        const std::optional<Window> w = x.waitFor("Summer Photos", program);
        if (!w) return grabs;
        const auto settled = [&](const Grab& g) { return g.width == engine->width() && g.height == engine->height(); };
        for (const auto& [px, py] : places) {
            winetest::movePointer(*w, px, py);
            const std::optional<Grab> before = grabs.empty() ? std::nullopt : grabs.back();
            // At rest the window shows what the engine draws at rest; each next place changes it.
            grabs.push_back(x.grabUntil(*w, [&](const Grab& g) {
                return settled(g) && (before ? g.rgb != before->rgb : g.rgb == atRest);
            }));
        }
        return grabs;
    };
    std::vector<std::optional<Grab>> linux, windows;
    {
        ChildProcess player({LINUX_PLAYER}, stage);
        linux = look(player);
    }
    ASSERT_TRUE(wine.start(stage + "/autorun.exe", stage));
    windows = look(wine);
    const char* names[] = {"at rest", "with the rollover", "on the button", "on the area"};
    ASSERT_EQ(linux.size(), places.size()) << "the Linux player showed no menu";
    ASSERT_EQ(windows.size(), places.size()) << "the Windows player showed no menu";
    for (size_t i = 0; i < places.size(); ++i) {
        ASSERT_TRUE(linux[i] && windows[i]) << names[i];
        EXPECT_TRUE(linux[i]->rgb == windows[i]->rgb) << "the players differ " << names[i];
        if (i > 0) EXPECT_TRUE(linux[i]->rgb != linux[i - 1]->rgb) << "nothing changed " << names[i];
        if (const char* shots = std::getenv("TORVANA_WINE_SHOTS")) {
            linux[i]->save(std::string(shots) + "/both-linux-" + std::to_string(i) + ".ppm");
            windows[i]->save(std::string(shots) + "/both-windows-" + std::to_string(i) + ".ppm");
        }
    }
}

// Signed as the build signs it, the player verifies against the signing CA and still starts.
TEST_F(WindowsPlayerTest, ASignedPlayerStarts) {
    const TestCa ca;
    ASSERT_TRUE(ca.made);
    Stage stage;
    stage.data.cdTitle = uniqueTitle("Signed");
    stage.addHotspot("exit", 10, 10);
    torvana::signWindowsProgram(stage.path("autorun.exe"), {ca.p12, ca.password, "", std::nullopt}, "Signed");
    EXPECT_TRUE(ca.verifies(stage.path("autorun.exe")));
    const Window w = show(stage, wine);
    ASSERT_NE(w, 0u);
    winetest::key(w, "Escape");
    EXPECT_TRUE(wine.waitForExit(10000));
}

}  // namespace

// The core's file writers as compiled for Windows: new files, a replaced file and a name
// outside ASCII are written whole, under their UTF-8 names, and no temporary file stays.
TEST(WindowsFileWriters, WriteReplaceAndLeaveNoTemporaryFile) {
    TempDir dir;
    WineProgram wine{WINE_TEMPLATE};
    // Wine names files on this side in the encoding of the locale; en_US may not be installed.
    wine.extraEnv = {"LC_ALL=C.UTF-8"};
    ASSERT_TRUE(wine.start(FILE_IO_CHECK, dir.path()));
    ASSERT_TRUE(wine.waitForExit(120000));
    EXPECT_EQ(wine.exitCode(), 0);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Caf\xC3\xA9 \xE2\x9C\x93.cdrom", "copy.bin", "menu.cdrom"}));
    EXPECT_EQ(torvana::readFileContents(dir.path() + "/menu.cdrom"), "second, longer\r\n");
}
