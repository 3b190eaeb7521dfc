#include "menu/menu_model.h"

#include <gtest/gtest.h>

#include "gif/gif_writer.h"
#include "gif/gif_stream.h"

using namespace torvana;
using namespace torvana::menu;

TEST(MenuModel, ScaleAndBar) {
    // The window at 1 is 640 x 516 (with the bar).
    struct Row {
        double asked;
        int usableWidth, usableHeight;
        double expected;
    };
    for (const Row& r : std::initializer_list<Row>{
             {1.0, 1920, 1040, 1},   // 96 dpi
             {1.5, 1920, 1040, 2},   // 144 dpi: a whole 2, which fits
             {1.25, 1920, 1040, 1},  // 120 dpi rounds down
             {2.0, 1280, 994, 1},    // 192 dpi on 1280 x 1024 less a taskbar: 1032 rows would not fit
             {3.0, 1920, 1100, 2},   // the largest whole factor that fits
             {0.0, 1920, 1040, 1},   // nothing asked
             {2.0, 0, 0, 2},         // the usable area unknown
             {1.0, 600, 500, 0.937}, // a screen smaller than the window at 1: the largest factor that fits
         }) {
        EXPECT_DOUBLE_EQ(chooseScale(r.asked, r.usableWidth, r.usableHeight, 640, 516), r.expected)
            << r.asked << " on " << r.usableWidth << " x " << r.usableHeight;
    }

    EXPECT_EQ(layoutBar(false, false, false).height, 0);
    const BarLayout both = layoutBar(false, true, true);
    EXPECT_EQ(both.height, kBarHeight);
    EXPECT_EQ(both.exit.x + both.exit.width, kStageWidth - 8);  // Exit at the right
    EXPECT_LT(both.browse.x + both.browse.width, both.exit.x);  // Browse left of it
    EXPECT_LE(both.note.x + both.note.width, both.browse.x);
    const BarLayout notesOnly = layoutBar(true, false, false);
    EXPECT_EQ(notesOnly.browse.width, 0);
    EXPECT_EQ(notesOnly.note.width, kStageWidth - 16);
}

TEST(MenuModel, PointerHighlightsAndClicks) {
    // The second rectangle overlaps the first: the later one wins, as it is drawn on top.
    MenuInput input({hotspotRect(10, 10, 50, 50), hotspotRect(40, 40, 50, 50)}, 0);
    EXPECT_EQ(input.spotAt(20, 20), 0);
    EXPECT_EQ(input.spotAt(45, 45), 1);
    EXPECT_EQ(input.spotAt(9, 9), -1);
    EXPECT_EQ(input.spotAt(89, 89), 1);
    EXPECT_EQ(input.spotAt(90, 90), -1);

    EXPECT_EQ(input.mouseMove(20, 20), 0);  // entered: its rollover sound plays
    EXPECT_EQ(input.mouseMove(21, 21), -1); // same hotspot, nothing new
    EXPECT_EQ(input.current(), 0);
    input.mouseLeave();
    EXPECT_EQ(input.current(), -1);

    // A click is a press and a release on the same hotspot.
    input.press(20, 20);
    EXPECT_EQ(input.release(25, 25), 0);
    input.press(20, 20);
    EXPECT_EQ(input.release(45, 45), -1);
    input.press(200, 200);
    EXPECT_EQ(input.release(20, 20), -1);
}

TEST(MenuModel, TabGoesThroughHotspotsThenButtons) {
    MenuInput input({hotspotRect(0, 0, 10, 10), hotspotRect(20, 0, 10, 10)}, 2);
    struct Step {
        bool forward;
        int entered, current, button;
    };
    for (const Step& s : std::initializer_list<Step>{
             {true, 0, 0, -1}, {true, 1, 1, -1},    // the hotspots, one by one
             {true, -1, -1, 0}, {true, -1, -1, 1},  // then Browse and Exit
             {true, 0, 0, -1},                      // round to the first hotspot
             {false, -1, -1, 1},                    // and back to Exit
             {false, -1, -1, 0}, {false, 1, 1, -1}}) {
        EXPECT_EQ(input.tab(s.forward), s.entered);
        EXPECT_EQ(input.current(), s.current);
        EXPECT_EQ(input.focusedButton(), s.button);
        EXPECT_EQ(input.enter(), s.button < 0 ? s.current : -1);
    }
    // A keyboard choice stays while the pointer moves over the background.
    EXPECT_TRUE(input.currentByKeyboard());
    input.mouseMove(100, 100);
    EXPECT_EQ(input.current(), 1);
    input.mouseLeave();
    EXPECT_EQ(input.current(), 1);

    // Without buttons Tab wraps within the hotspots.
    MenuInput alone({hotspotRect(0, 0, 10, 10), hotspotRect(20, 0, 10, 10)}, 0);
    EXPECT_EQ(alone.tab(false), 1);
    EXPECT_EQ(alone.tab(true), 0);
    EXPECT_EQ(alone.tab(false), 1);
}

namespace {

std::unique_ptr<gif::GifImage> gifOf(const std::vector<int>& delays, int loop) {
    giftest::GifBuilder b;
    b.Header(2, 1, giftest::Palette(4));
    if (loop >= 0) b.Loop(loop);
    for (size_t i = 0; i < delays.size(); ++i) b.Gce(0, delays[i]).Image(0, 0, 2, 1, {uint8_t(i % 4), 0}, 2);
    b.Trailer();
    auto image = std::make_unique<gif::GifImage>();
    gif::GifMemoryStream stream(b.bytes().data(), b.bytes().size());
    image->LoadFromStream(stream);
    return image;
}

}  // namespace

TEST(MenuModel, FrameClockDelaysAndLoops) {
    // 0 waits the default, 1 is raised to the minimum, 20 stays; 12 ms a unit.
    const auto image = gifOf({0, 1, 20}, 0);
    FrameClock clock(*image);
    EXPECT_EQ(clock.delayMs(0), 120);
    EXPECT_EQ(clock.delayMs(1), 36);
    EXPECT_EQ(clock.delayMs(2), 240);

    clock.start(1000);
    EXPECT_TRUE(clock.advance(1119).empty());
    EXPECT_EQ(clock.advance(1120), std::vector<size_t>{1});
    // Late: every due frame is composed in order, looping for ever, and the schedule keeps
    // its beat (frame 2 was due at 1156, frame 0 at 1396).
    EXPECT_EQ(clock.advance(1400), (std::vector<size_t>{2, 0}));
    EXPECT_EQ(clock.dueMs(), 1516);
    EXPECT_EQ(clock.advance(1516), (std::vector<size_t>{1}));
    // After a stall it starts afresh instead of racing through the missed frames.
    EXPECT_EQ(clock.advance(60000).size(), 1u);
    EXPECT_EQ(clock.dueMs(), 60000 + clock.delayMs(clock.frame()));

    // A loop count of 2 runs two passes and stays on the last frame; without the extension one.
    for (const auto& [loop, passes] : std::initializer_list<std::pair<int, int>>{{2, 2}, {-1, 1}}) {
        const auto counted = gifOf({5, 5}, loop);
        FrameClock c(*counted);
        c.start(0);
        size_t shown = 0;
        for (int64_t t = 0; t < 5000 && c.running(); t += 10) shown += c.advance(t).size();
        EXPECT_FALSE(c.running());
        EXPECT_EQ(shown, size_t(passes * 2 - 1)) << loop;
        EXPECT_EQ(c.frame(), 1u);
    }
    // One frame is no animation.
    const auto still = gifOf({5}, 0);
    FrameClock single(*still);
    single.start(0);
    EXPECT_FALSE(single.running());
}

TEST(MenuModel, DrawingIsClippedAndKeepsTransparency) {
    Pixels target{4, 3, std::vector<uint32_t>(12, 0xFF000000u)};
    Pixels picture{2, 2, {0xFFFF0000u, 0x00FF0000u, 0xFF00FF00u, 0xFF0000FFu}};
    drawOver(target, picture, 3, 2);   // only its top-left pixel lands
    drawOver(target, picture, -1, -1); // only its bottom-right pixel lands
    drawOver(target, picture, 100000, -100000);
    const std::vector<uint32_t> expected{0xFF0000FFu, 0xFF000000u, 0xFF000000u, 0xFF000000u,
                                         0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFF000000u,
                                         0xFF000000u, 0xFF000000u, 0xFF000000u, 0xFFFF0000u};
    EXPECT_EQ(target.argb, expected);
    // A transparent pixel (alpha 0) leaves what was there.
    drawOver(target, picture, 0, 1);
    EXPECT_EQ(target.argb[5], 0xFF000000u);
    EXPECT_EQ(target.argb[4], 0xFFFF0000u);

    Pixels stage{8, 8, std::vector<uint32_t>(64, 0xFF808080u)};
    drawFocusEdge(stage, hotspotRect(-2, 2, 6, 4));  // partly off the stage: no crash, edge shows
    EXPECT_NE(stage.argb[2 * 8 + 0], 0xFF808080u);
    EXPECT_EQ(stage.argb[3 * 8 + 1], 0xFF808080u);  // inside stays
}

TEST(MenuModel, Paths) {
    EXPECT_EQ(windowsFolderOf("D:\\1\\setup.exe"), "D:\\1");
    EXPECT_EQ(windowsFolderOf("D:/menu/2/a b.bat"), "D:/menu/2");
    EXPECT_EQ(windowsFolderOf("setup.exe"), "");
    EXPECT_EQ(shownPath("D:\\menu\\images\\a.gif", "D:\\menu"), "\"images\\a.gif\"");
    EXPECT_EQ(shownPath("D:\\menus\\a.gif", "D:\\menu"), "\"D:\\menus\\a.gif\"");
    EXPECT_EQ(shownPath("D:\\menu\\b\x1b\xff\xc3\xa9.gif", "D:\\menu"), "\"b\\x1B\\xFF\xc3\xa9.gif\"");
}
