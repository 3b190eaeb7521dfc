// The built Linux player as a process on a real X server (Xvfb): its window appears with the CD
// title, shows exactly what the menu engine draws at rest and with a rollover, starts what a
// hotspot names, and ends by key and by its exit hotspot. The window is found, read and driven
// through the X server, as a user's hands and eyes would (Xlib, xdotool).

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>

#include "menu/menu_engine.h"
#include "test_support/linux_player.h"
#include "test_support/menu_fixture.h"
#include "test_support/wine.h"

using namespace winetest;

namespace {

// The engine's picture of the same menu, after `events`, as 0xRRGGBB.
std::vector<uint32_t> engineView(const std::string& folder, const std::vector<torvana::menu::Event>& events) {
    const auto engine = menutest::loadedEngine(torvana::loadPlayerProject({folder}));
    for (const auto& e : events) engine->handle(e);
    std::vector<uint32_t> rgb;
    for (const uint32_t px : engine->render().argb) rgb.push_back(px & 0xFFFFFF);
    return rgb;
}

// How many pixels differ and where the first one is, for the failure message.
std::string difference(const Grab& shown, const std::vector<uint32_t>& expected) {
    if (shown.rgb.size() != expected.size()) return "the sizes differ";
    int count = 0;
    std::ostringstream first;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (shown.rgb[i] == expected[i]) continue;
        if (count++ == 0)
            first << " first at " << i % size_t(shown.width) << ", " << i / size_t(shown.width) << ": " << std::hex
                  << shown.rgb[i] << " instead of " << expected[i];
    }
    return std::to_string(count) + " pixels differ;" + first.str();
}

struct RunningMenu {
    menutest::StagedFolder staged;
    std::string title = uniqueTitle("Process Menu");
    std::unique_ptr<ChildProcess> player;
    XServer x;
    std::optional<Window> window;

    // The example's menu, changed by `change`, shown by the player with `env` added.
    explicit RunningMenu(const std::vector<std::string>& env = {},
                         const std::function<void(menutest::StagedFolder&)>& change = {}) {
        menutest::exampleMenu(staged, title);
        if (change) change(staged);
        staged.writeProject();
        player = std::make_unique<ChildProcess>(std::vector<std::string>{PLAYER_EXE}, staged.dir.path(), env);
        window = x.waitFor(title, *player, 20000);
    }
    // Waits until the menu answers as a whole, as a user sees it: the pointer on the exit
    // hotspot shows its rollover.
    bool ready() {
        if (!window) return false;
        movePointer(*window, 120, 60);
        const auto g = x.grabUntil(*window, [](const Grab& g) { return g.at(110, 55) == 0xC02020; });
        return g && g->at(110, 55) == 0xC02020;
    }
};

bool ignoresFileSizeSignal(pid_t pid) {
    for (int waited = 0; waited < 10000; waited += 50) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("SigIgn:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (SIGXFSZ - 1) & 1))
                return true;
        }
        sleepMs(50);
    }
    return false;
}

}  // namespace

TEST(PlayerProcess, ShowsWhatTheEngineDrawsAtRestAndWithARollover) {
    RunningMenu m;
    ASSERT_TRUE(m.x.open());
    ASSERT_TRUE(m.window) << "no window with the CD title appeared";
    EXPECT_EQ(m.x.size(*m.window), std::make_pair(640, 480 + torvana::menu::kBarHeight));

    // The pointer off every hotspot (wherever it rested), then on the exit hotspot.
    for (const auto& [x, y, shot] : {std::tuple{600, 10, "player"}, std::tuple{120, 60, "player-rollover"}}) {
        movePointer(*m.window, x, y);
        const std::vector<uint32_t> expected = engineView(
            m.staged.dir.path(), {torvana::menu::Event::pointer(torvana::menu::Event::PointerMoved, x, y)});
        const auto grab = m.x.grabUntil(*m.window, [&](const Grab& g) { return g.rgb == expected; });
        ASSERT_TRUE(grab) << shot;
        EXPECT_TRUE(grab->rgb == expected) << shot << ": " << difference(*grab, expected);
        if (const char* dir = std::getenv("TORVANA_PLAYER_SHOTS")) grab->save(std::string(dir) + "/" + shot + ".ppm");
    }
}

// A desktop that asks for twice the size on a 1280 x 1024 screen: a menu without a bar is shown
// at 2 (1280 x 960 fits); with the bar, 1280 x 1032 would put the bar off the screen, so the
// menu stays at 1. Either way the window is centred at the size it is shown at.
TEST(PlayerProcess, TheDesktopsScaleWhenTheWholeWindowFits) {
    for (const bool bar : {false, true}) {
        RunningMenu m({"GDK_SCALE=2"}, [bar](menutest::StagedFolder& s) { s.data.showBrowse = s.data.showExit = bar; });
        ASSERT_TRUE(m.window);
        const auto size = bar ? std::make_pair(640, 480 + torvana::menu::kBarHeight) : std::make_pair(1280, 960);
        EXPECT_EQ(m.x.size(*m.window), size);
        EXPECT_EQ(m.x.position(*m.window), std::make_pair((1280 - size.first) / 2, (1024 - size.second) / 2)) << bar;
    }
}

// Without a desktop there is nothing to show the menu on: the player says so at once and ends,
// rather than run on unseen. Named nowhere, or named and not there, where SDL falls back to an
// output that shows nothing.
TEST(PlayerProcess, WithoutADesktopItSaysSoAndEnds) {
    menutest::StagedFolder staged;
    menutest::exampleMenu(staged, uniqueTitle("No Desktop"));
    staged.writeProject();
    for (const char* environment : {"-u WAYLAND_DISPLAY", "WAYLAND_DISPLAY=no-such-display"}) {
        const std::string command = std::string("exec env -u DISPLAY ") + environment + " \"$0\" 2>said";
        ChildProcess player({"/bin/sh", "-c", command, PLAYER_EXE}, staged.dir.path());
        EXPECT_EQ(player.waitForExit(10000), 1) << environment;
        const std::string said = torvana::readFileContents(staged.dir.file("said"), 1 << 16);
        EXPECT_NE(said.find(std::string("torvana-player: ") + torvana::kNoDesktopText + "\n"), std::string::npos)
            << environment << ": " << said;
    }
}

TEST(PlayerProcess, AClickStartsTheStagedProgramInItsFolderAndTheExitHotspotEnds) {
    unsetenv("XCOMPOSEFILE");  // the user's own: none
    RunningMenu m;
    ASSERT_TRUE(m.ready());
    click(*m.window, 320, 220);
    const std::string ran = m.staged.dir.file("2/run.sh.ran");
    for (int waited = 0; waited < 10000 && !torvana::fileExists(ran); waited += 100) sleepMs(100);
    ASSERT_TRUE(torvana::fileExists(ran)) << "the hotspot's program did not run";
    std::ifstream in(ran);
    std::string folder;
    std::getline(in, folder);
    EXPECT_TRUE(std::filesystem::equivalent(folder, m.staged.dir.file("2")));
    std::string arguments;
    std::getline(in, arguments);
    EXPECT_EQ(arguments, "/s|two words|");  // the options, split as a shell would
    std::string composeFile;
    std::getline(in, composeFile);
    EXPECT_EQ(composeFile, "unset");  // as the user had it, not what the player starts with

    click(*m.window, 120, 60);  // the exit hotspot
    EXPECT_EQ(m.player->waitForExit(10000), 0);
}

// The opening sound is heard: SDL's disk output (a file in place of a sound card) receives it.
TEST(PlayerProcess, TheOpeningSoundIsPlayed) {
    TempDir out;
    const std::string heard = out.file("heard.raw");
    // The pointer away from where the window comes: a hotspot under it would play its rollover
    // sound at once, which stops the opening sound, as any sound stops the one before.
    xdotool({"mousemove", "0", "0"});
    RunningMenu m({"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + heard}, [](menutest::StagedFolder& s) {
        s.sound("open.wav", menutest::wave(500, '\xF0'));  // loud, not silence
    });
    bool sounded = false;
    for (int waited = 0; waited < 20000 && !sounded && m.player->running(); waited += 100) {
        sleepMs(100);
        if (!torvana::fileExists(heard)) continue;
        const std::string bytes = torvana::readFileContents(heard, uint64_t(1) << 30);
        sounded = bytes.find_first_not_of('\0') != std::string::npos;
    }
    EXPECT_TRUE(sounded) << "nothing but silence reached the sound output";
}

TEST(PlayerProcess, KeysEndTheMenu) {
    for (const char* keys : {"Escape", "alt+x"}) {
        RunningMenu m;
        ASSERT_TRUE(m.ready()) << keys;
        key(*m.window, keys);
        EXPECT_EQ(m.player->waitForExit(10000), 0) << keys;
    }
}

TEST(PlayerProcess, WithoutAProjectItShowsWhyAndWaits) {
    TempDir empty;
    ChildProcess player({PLAYER_EXE}, empty.path());
    XServer x;
    // The message box carries the program's name; it stays until the user answers it.
    const std::optional<Window> box = x.waitFor("Autorun", player, 20000);
    EXPECT_TRUE(ignoresFileSizeSignal(player.pid()));
    EXPECT_TRUE(player.running()) << "the player ended without showing why";
    EXPECT_TRUE(box) << "no message box appeared";
}

// The editor writes projects and copies whole discs: under a file size limit a write must
// fail and be reported, not kill it.
TEST(PlayerProcess, TheEditorIgnoresTheFileSizeSignal) {
    TempDir config;
    ChildProcess editor({EDITOR_EXE}, config.path(), {"XDG_CONFIG_HOME=" + config.path()});
    EXPECT_TRUE(ignoresFileSizeSignal(editor.pid()));
}
