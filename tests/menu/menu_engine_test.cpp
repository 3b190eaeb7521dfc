#include "menu/menu_engine.h"

#include <gtest/gtest.h>

#include "gif/gif_timing.h"
#include "gif/gif_writer.h"
#include "menu/menu_font.h"
#include "menu/menu_picture.h"
#include "test_support/menu_fixture.h"

using namespace torvana;
using namespace torvana::menu;

namespace {

constexpr uint32_t kBack = 0x103050, kOver = 0xC02020;

// The example's shape: a background, two hotspots (exit and a file), Browse and Exit.
struct EngineFixture {
    menutest::MenuFolder folder;
    int64_t now = 1000;
    std::unique_ptr<MenuEngine> engine;

    explicit EngineFixture(bool buttons = true) {
        auto& p = folder.project;
        p.background = folder.write("back.bmp", testbmp::solid(640, 480, kBack));
        p.openingWav = folder.write("open.wav", menutest::wave(100));
        p.showBrowse = p.showExit = buttons;
        auto& exit = folder.addHotspot(ActionKind::Exit, "", 100, 50, 40, 30, kOver);
        exit.rolloverWav = folder.write("over.wav", menutest::wave(50));
        exit.clickWav = folder.write("click.wav", menutest::wave(400));
        folder.addHotspot(ActionKind::File, folder.write("slides.sh", "#!/bin/sh\n"), 300, 200, 60, 60, 0x20C020);
    }
    MenuEngine& start() {
        engine = menutest::loadedEngine(folder.project, [this] { return now; });
        return *engine;
    }
};

// What the window shows, drawn from the layout's numbers alone: the stage, the rollover, the bar
// and the buttons' faces and borders, every pixel equal; within each label some pixels carry text.
// The picture is written as PNG to look at.
void expectLooksLike(MenuEngine& engine, const HotspotRect* rollover, uint32_t rolloverRgb, const std::string& name) {
    Pixels expected;
    expected.width = kStageWidth;
    expected.height = engine.unscaledHeight();
    expected.argb.assign(size_t(expected.width) * size_t(expected.height), kBarColour);
    const auto rect = [&](const HotspotRect& r, uint32_t colour) {
        for (int y = r.y; y < r.y + r.height; ++y)
            for (int x = r.x; x < r.x + r.width; ++x) expected.argb[size_t(y) * size_t(expected.width) + size_t(x)] = colour;
    };
    rect({0, 0, kStageWidth, kStageHeight}, 0xFF000000u | kBack);
    if (rollover) rect(*rollover, 0xFF000000u | rolloverRgb);
    std::vector<HotspotRect> text;
    for (const HotspotRect& b : engine.buttonRects()) {
        rect(b, kButtonBorder);
        rect({b.x + 1, b.y + 1, b.width - 2, b.height - 2}, kButtonFace);
        text.push_back({b.x + 2, b.y + 2, b.width - 4, b.height - 4});
    }

    const Pixels& shown = engine.render();
    ASSERT_EQ(shown.width, expected.width);
    ASSERT_EQ(shown.height, expected.height);
    torvana::menu::writePng(std::string(MENU_SHOTS_DIR) + "/" + name + ".png", shown);
    int differing = 0;
    std::vector<int> inked(text.size(), 0);
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            const size_t i = size_t(y) * size_t(shown.width) + size_t(x);
            bool inText = false;
            for (size_t t = 0; t < text.size(); ++t) {
                if (!text[t].contains(x, y)) continue;
                inText = true;
                if (shown.argb[i] != expected.argb[i]) ++inked[t];
            }
            if (!inText && shown.argb[i] != expected.argb[i]) ++differing;
        }
    }
    EXPECT_EQ(differing, 0) << name;
    for (size_t t = 0; t < text.size(); ++t) EXPECT_GT(inked[t], 20) << name << ": no text in area " << t;
}

std::vector<Action> play(const std::string& path) { return {{Action::Play, -1, path}}; }

}  // namespace

TEST(MenuEngine, DrawsTheWindowFromTheLayoutsNumbers) {
    EngineFixture f;
    MenuEngine& e = f.start();
    EXPECT_EQ(e.width(), 640);
    EXPECT_EQ(e.height(), 480 + kBarHeight);

    expectLooksLike(e, nullptr, 0, "engine-rest");

    e.handle(Event::pointer(Event::PointerMoved, 110, 60));
    EXPECT_TRUE(e.changed());
    EXPECT_TRUE(e.handCursor());
    const HotspotRect over{100, 50, 40, 30};
    expectLooksLike(e, &over, kOver, "engine-rollover");

    // At 2 every pixel is a 2 x 2 square of the window at 1, the text drawn anew at its size.
    const Pixels one = e.render();
    e.setScale(2);
    const Pixels& two = e.render();
    ASSERT_EQ(two.width, 1280);
    ASSERT_EQ(two.height, 2 * (480 + kBarHeight));
    int differing = 0;
    for (int y = 0; y < 2 * 480; ++y)
        for (int x = 0; x < 1280; ++x)
            differing += two.argb[size_t(y) * 1280 + size_t(x)] != one.argb[size_t(y / 2) * 640 + size_t(x / 2)];
    EXPECT_EQ(differing, 0);
    // A pointer at window pixels of the scale finds the same hotspot.
    e.handle(Event::pointer(Event::PointerMoved, 0, 0));
    e.handle(Event::pointer(Event::PointerMoved, 2 * 139, 2 * 79));
    EXPECT_EQ(e.input().current(), 0);
}

// A label shows as a tooltip under its hotspot once the pointer rests there for 0.6 s on the
// engine's clock, at once when Tab reaches it, and never for a hotspot without one.
TEST(MenuEngine, TheLabelIsATooltipAfterARestOrByKeyboard) {
    EngineFixture f;
    f.folder.project.hotspots[0].label = "Leave the menu";
    MenuEngine& e = f.start();
    const std::tuple<std::optional<Event>, int64_t, int> steps[] = {
        {Event::pointer(Event::PointerMoved, 110, 60), kTooltipDelayMs - 1, -1}, {{}, 1, 0},
        {Event::pointer(Event::PointerMoved, 111, 61), 0, -1},  // a move starts the rest again
        {Event::pointer(Event::PointerMoved, 320, 220), 10 * kTooltipDelayMs, -1},  // no label
        {Event::pointer(Event::PointerLeft, 0, 0), 0, -1},      {Event::keyPress(Key::Tab), 0, 0},
        {Event::of(Event::FocusLost), 0, -1}};
    for (const auto& [event, ms, tip] : steps) {
        if (event) e.handle(*event);
        f.now += ms;
        e.tick();
        EXPECT_EQ(e.tooltipSpot(), tip) << f.now;
    }
    e.handle(Event::of(Event::FocusGained));
    EXPECT_EQ(e.spokenName(e.focusItem()), "HotSpot 1: Leave the menu");
    // The box's border just under the hotspot (100, 50, 40 x 30), its face inside.
    EXPECT_EQ(e.render().argb[82 * 640 + 100], kTooltipBorder);
    EXPECT_EQ(e.render().argb[83 * 640 + 101], kTooltipFace);
    // What a screen reader hears as Tab goes on: a name from the action where there is no
    // label, then the buttons' captions, and round again.
    for (const std::string name : {"HotSpot 2: Open slides.sh", "Browse", "Exit", "HotSpot 1: Leave the menu"}) {
        e.handle(Event::keyPress(Key::Tab));
        EXPECT_EQ(e.spokenName(e.focusItem()), name);
    }
    EXPECT_EQ(e.itemCount(), 4);
    EXPECT_EQ(e.spokenName(4), "");
    EXPECT_EQ(e.activateItem(2), (std::vector<Action>{{Action::Browse, -1, f.folder.project.folder}}));
}

TEST(MenuEngine, NotesShowInTheBarAndAMenuWithoutButtonsGrowsOne) {
    EngineFixture f(false);
    f.folder.project.hotspots[1].target = f.folder.dir.file("gone.sh");
    MenuEngine& e = f.start();
    EXPECT_EQ(e.height(), 480);  // nothing to say, no buttons: no bar
    EXPECT_TRUE(e.handle(Event::keyPress(Key::AltX)).empty());  // no Exit button to press

    e.handle(Event::pointer(Event::PointerPressed, 310, 210));
    EXPECT_TRUE(e.handle(Event::pointer(Event::PointerReleased, 310, 210)).empty());
    EXPECT_EQ(e.noteLine(), "Hotspot 2: the file \"gone.sh\" is missing.");
    EXPECT_EQ(e.height(), 480 + kBarHeight);
    e.startFailed(1);
    e.soundFailed(f.folder.project.openingWav);
    EXPECT_EQ(e.noteLine(), "Hotspot 2: the file \"gone.sh\" is missing. (and 2 more)");
    EXPECT_EQ(e.notes(), (std::vector<std::string>{"Hotspot 2: the file \"gone.sh\" is missing.",
                                                   "Hotspot 2: no program could open \"gone.sh\".",
                                                   "Sound \"open.wav\" not played: the sound cannot be played."}));

    // The note line is drawn in the note colour, cut to the bar.
    const Pixels& shown = e.render();
    int noteInk = 0;
    for (int y = 480; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x) noteInk += shown.argb[size_t(y) * 640 + size_t(x)] != kBarColour;
    EXPECT_GT(noteInk, 200);

    // An address of a scheme no menu opens is told and never started.
    f.folder.project.hotspots[1].kind = ActionKind::Refused;
    f.folder.project.hotspots[1].target = "file:///C:/windows/system32/notepad.exe";
    MenuEngine& refused = f.start();
    refused.handle(Event::pointer(Event::PointerPressed, 310, 210));
    EXPECT_TRUE(refused.handle(Event::pointer(Event::PointerReleased, 310, 210)).empty());
    EXPECT_EQ(refused.noteLine(), "Hotspot 2: \"file:///C:/windows/system32/notepad.exe\" is not opened; a menu opens "
                                  "only web pages and mail addresses.");
}

TEST(MenuEngine, EventSequencesGiveTheirActions) {
    EngineFixture f;
    const std::string over = f.folder.project.hotspots[0].rolloverWav;
    const std::string click = f.folder.project.hotspots[0].clickWav;
    const std::string slides = f.folder.project.hotspots[1].target;
    const std::vector<Action> exit{{Action::StopSounds, -1, {}}, {Action::Exit, -1, {}}};
    const std::vector<Action> browse{{Action::Browse, -1, f.folder.project.folder}};
    const std::vector<Action> start{{Action::Start, 1, slides}};
    const auto move = [](int x, int y) { return Event::pointer(Event::PointerMoved, x, y); };
    const auto down = [](int x, int y) { return Event::pointer(Event::PointerPressed, x, y); };
    const auto up = [](int x, int y) { return Event::pointer(Event::PointerReleased, x, y); };
    const auto key = [](Key k, bool shift = false) { return Event::keyPress(k, shift); };
    const HotspotRect browseButton = layoutBar(false, true, true).browse;
    const int bx = browseButton.x + 5, by = 480 + browseButton.y + 5;
    struct Row {
        const char* name;
        std::vector<Event> events;
        std::vector<Action> last;  // what the last event gives
        int current;               // the highlighted hotspot afterwards
        int button;                // the focused button afterwards
    };
    const std::vector<Row> rows{
        {"entering plays the rollover sound", {move(110, 60)}, play(over), 0, -1},
        {"moving within it plays nothing", {move(110, 60), move(111, 61)}, {}, 0, -1},
        {"leaving the window drops the rollover", {move(110, 60), Event::of(Event::PointerLeft)}, {}, -1, -1},
        {"a click on a file starts it", {down(310, 210), up(320, 220)}, start, 1, -1},
        {"press and release on different hotspots", {down(310, 210), up(110, 60)}, {}, 1, -1},
        {"Tab goes to the first hotspot", {key(Key::Tab)}, play(over), 0, -1},
        {"Tab, Tab, Enter", {key(Key::Tab), key(Key::Tab), key(Key::Enter)}, start, 1, -1},
        {"Space like Enter", {key(Key::Tab), key(Key::Tab), key(Key::Space)}, start, 1, -1},
        {"Shift+Tab from the stage goes to the last hotspot", {key(Key::Tab, true)}, {}, 1, -1},
        {"after the last hotspot Tab goes to Browse", {key(Key::Tab), key(Key::Tab), key(Key::Tab)}, {}, -1, 0},
        {"Enter on the focused Browse", {key(Key::Tab), key(Key::Tab), key(Key::Tab), key(Key::Enter)}, browse, -1, 0},
        {"arrows go round the hotspots", {key(Key::Right), key(Key::Right), key(Key::Right)}, play(over), 0, -1},
        {"Left from the start goes to the last", {key(Key::Left)}, {}, 1, -1},
        {"arrows move between the buttons", {key(Key::Tab), key(Key::Tab), key(Key::Tab), key(Key::Right)}, {}, -1, 1},
        {"Alt+B browses", {key(Key::AltB)}, browse, -1, -1},
        {"Alt+X exits", {key(Key::AltX)}, exit, -1, -1},
        {"Escape exits", {key(Key::Escape)}, exit, -1, -1},
        {"a click on Browse", {down(bx, by), up(bx, by)}, browse, -1, 0},
        {"a press on Browse released beside it", {down(bx, by), up(bx, by - 20)}, {}, -1, 0},
        {"the exit hotspot's click sound is heard first", {down(110, 60), up(110, 60)}, play(click), 0, -1},
        {"nothing answers once the menu is ending", {down(110, 60), up(110, 60), key(Key::Escape)}, {}, 0, -1},
    };
    for (const Row& row : rows) {
        f.now = 1000;
        MenuEngine& e = f.start();
        std::vector<Action> last;
        for (const Event& event : row.events) last = e.handle(event);
        EXPECT_EQ(last, row.last) << row.name;
        EXPECT_EQ(e.input().current(), row.current) << row.name;
        EXPECT_EQ(e.input().focusedButton(), row.button) << row.name;
    }
}

TEST(MenuEngine, TheClockRunsAnimationsAndTheDelayedExit) {
    EngineFixture f;
    // A background of two frames of 10 delay units each, looping for ever.
    giftest::GifBuilder g;
    g.Header(640, 480, giftest::Palette(4)).Loop(0);
    for (int colour : {1, 2}) g.Gce(0, 10).Image(0, 0, 640, 480, giftest::Bytes(640 * 480, uint8_t(colour)), 2);
    f.folder.project.background = f.folder.write("back.gif", g.Trailer().str());
    MenuEngine& e = f.start();
    EXPECT_EQ(f.engine->loadHotspots(), std::vector<Action>{});  // once only
    const uint32_t first = e.render().argb[0];
    const int64_t delay = 10 * gif::delayUnitMs;
    ASSERT_EQ(e.nextDueMs(), std::optional<int64_t>(1000 + delay));
    f.now = 1000 + delay - 1;
    e.tick();
    EXPECT_FALSE(e.changed());
    f.now = 1000 + delay;
    e.tick();
    EXPECT_TRUE(e.changed());
    EXPECT_NE(e.render().argb[0], first);
    f.now = 1000 + 2 * delay;
    e.tick();
    EXPECT_EQ(e.render().argb[0], first);

    // The exit hotspot's 400 ms click sound ends the menu 400 ms later; without sound output at once.
    e.handle(Event::pointer(Event::PointerPressed, 110, 60));
    EXPECT_EQ(e.handle(Event::pointer(Event::PointerReleased, 110, 60)), play(f.folder.project.hotspots[0].clickWav));
    EXPECT_TRUE(e.ending());
    EXPECT_EQ(e.nextDueMs(), std::optional<int64_t>(f.now + 400));
    f.now += 399;
    EXPECT_TRUE(e.tick().empty());
    f.now += 1;
    EXPECT_EQ(e.tick(), (std::vector<Action>{{Action::Exit, -1, {}}}));
    EXPECT_EQ(e.nextDueMs(), std::nullopt);

    MenuEngine& quiet = f.start();
    quiet.setSoundOutput(false);
    quiet.handle(Event::pointer(Event::PointerPressed, 110, 60));
    EXPECT_EQ(quiet.handle(Event::pointer(Event::PointerReleased, 110, 60)).back().kind, Action::Exit);
}

TEST(MenuEngine, AnAnimationBringsOverWhatItsFramesChanged) {
    // Small frames with holes move over a full first one and go back to the background, to what
    // lay under them, or stay: after every step the shown pixels are the whole canvas's.
    EngineFixture f;
    giftest::GifBuilder g;
    g.Header(64, 48, giftest::Palette(8)).Loop(0).Gce(1, 5).Image(0, 0, 64, 48, giftest::Bytes(64 * 48, 1), 3);
    for (int k = 0; k < 12; ++k) {
        giftest::Bytes p(10 * 8);
        for (size_t i = 0; i < p.size(); ++i) p[i] = uint8_t((i + size_t(k)) % 8);  // 7: a hole
        g.Gce(k % 3 == 0 ? 2 : k % 3 == 1 ? 3 : 1, 5, 7).Image(k * 5, k * 3, 10, 8, p, 3);
    }
    const Picture picture = loadPicture(f.folder.write("anim.gif", g.Trailer().str()));
    ASSERT_TRUE(picture.animation);
    Animation& animation = *picture.animation;
    animation.restart(0);
    for (int64_t t = 5 * gif::delayUnitMs; t <= 30 * 5 * gif::delayUnitMs; t += 5 * gif::delayUnitMs) {
        ASSERT_TRUE(animation.advance(t));
        ASSERT_EQ(animation.shown.argb, pixelsFromCanvas(animation.compositor->Canvas()).argb) << t;
    }
}

// A PNG wider than the reader takes is said to be too large, not to be no picture.
TEST(MenuEngine, APictureTooLargeIsSaidToBe) {
    EngineFixture f;
    EXPECT_EQ(loadPicture(f.folder.write("wide.png", testpic::pngHeader(20000))).error,
              "the picture is too large (more than 16384 pixels wide or high)");
    EXPECT_EQ(loadPicture(f.folder.write("text.png", "not a picture")).error, "not a BMP, GIF, PNG or JPEG picture");
}

TEST(MenuEngine, TheFontDrawsAReplacementForWhatItLacks) {
    const MenuFont& font = MenuFont::bundled();
    const auto inkOf = [&](const std::string& text) {
        Pixels p;
        p.width = 40;
        p.height = 20;
        p.argb.assign(800, 0xFF000000u);
        font.draw(p, text, 12, 2, 14, 0xFFFFFFFFu, {0, 0, 40, 20});
        return p.argb;
    };
    // Latin, Greek and Cyrillic are there; a Chinese character is not. Text that is no UTF-8
    // is a project file's Windows-1252.
    for (const char* text : {"A", "\xCE\xA9", "\xD0\x96"}) EXPECT_NE(inkOf(text), inkOf("\xEF\xBF\xBD")) << text;
    EXPECT_EQ(inkOf("\xE6\xBC\xA2"), inkOf("\xEF\xBF\xBD"));
    EXPECT_EQ(inkOf("\xFF"), inkOf("\xC3\xBF"));

    const std::string note = "Background picture \"images/a very long name.bmp\" not shown: file not found.";
    const std::string cut = font.elided(note, 12, 200);
    EXPECT_LE(font.width(cut, 12), 200);
    EXPECT_EQ(cut.substr(cut.size() - 3), "\xE2\x80\xA6");
    EXPECT_EQ(font.elided("Exit", 12, 200), "Exit");

    EXPECT_EQ(parseCaption("E&xit").text, "Exit");
    EXPECT_EQ(parseCaption("E&xit").accessIndex, 1);
    EXPECT_EQ(parseCaption("R&&D").accessIndex, -1);
    EXPECT_EQ(parseCaption("R&&D").text, "R&D");
}

// Buttons and areas the engine draws, in their states: a flat button "Go" (100 x 30 at 200,
// 100), an area (80 x 40 at 400, 300) and a button with a rollover picture (60 x 20 at 50, 350;
// the picture 50 x 50). Each row checks window pixels, equal to a colour or (`same` false) not.
TEST(MenuEngine, ButtonsAndAreasInTheirStates) {
    struct Pixel {
        int x, y;
        uint32_t rgb;
        bool same = true;
    };
    const ButtonLook& flat = buttonLook("");
    const uint32_t face = flat.face & 0xFFFFFF, ring = kFocusRing & 0xFFFFFF;
    const auto moved = [](int x, int y) { return Event::pointer(Event::PointerMoved, x, y); };
    const struct {
        const char* name;
        torvana::ButtonStyle style;
        std::vector<Event> events;
        double scale;
        std::vector<Pixel> pixels;
    } rows[] = {
        {"at rest: the look's face and border, no outline", {}, {}, 1,
         {{203, 115, face}, {200, 115, flat.border & 0xFFFFFF}, {400, 300, kBack}}},
        {"pointed at: another face", {}, {moved(250, 115)}, 1, {{203, 115, face, false}, {203, 115, kBack, false}}},
        {"pressed: the face changes again and the text goes down", {}, {moved(250, 115), Event::pointer(Event::PointerPressed, 250, 115)}, 1,
         {{203, 115, face, false}}},
        {"focused by Tab: the ring inside the border, no dashed edge", {}, {Event::keyPress(Key::Tab)}, 1,
         {{201, 115, ring}, {202, 115, ring}, {200, 100, flat.border & 0xFFFFFF}}},
        {"the project's colours over the look", {"raised", 0x336699, 0xFFFF00}, {}, 1,
         {{205, 115, 0x336699}, {201, 115, 0xFFFFFF}}},
        {"an unknown look is the flat one", {"glossy", {}, {}}, {}, 1, {{203, 115, face}}},
        {"rounded: the corner shows the background", {"rounded", {}, {}}, {}, 1, {{200, 100, kBack}, {220, 115, kBack, false}}},
        {"an area pointed at: an outline in the ring's colour", {}, {moved(420, 320)}, 1,
         {{400, 300, ring}, {401, 301, ring}, {402, 302, kBack}}},
        {"an area reached by Tab", {}, {Event::keyPress(Key::Tab), Event::keyPress(Key::Tab)}, 1,
         {{479, 339, ring}, {203, 115, face}}},
        {"a button's rollover picture shows while pointed at", {}, {moved(60, 360)}, 1, {{52, 352, kOver}, {52, 398, kOver}}},
        {"at twice the size, drawn at the size", {}, {}, 2, {{406, 230, face}, {401, 230, flat.border & 0xFFFFFF}, {402, 230, face}}},
    };
    for (const auto& row : rows) {
        EngineFixture f(false);
        auto& p = f.folder.project;
        p.hotspots.clear();
        auto& go = f.folder.addHotspot(ActionKind::Exit, "", 200, 100, 0, 0, 0);
        go.label = "Go";
        go.shape = {HotspotKind::Button, 100, 30};
        f.folder.addHotspot(ActionKind::Exit, "", 400, 300, 0, 0, 0).shape = {HotspotKind::Area, 80, 40};
        f.folder.addHotspot(ActionKind::Exit, "", 50, 350, 50, 50, kOver).shape = {HotspotKind::Button, 60, 20};
        p.buttonStyle = row.style;
        MenuEngine& e = f.start();
        e.setScale(row.scale);
        for (const Event& event : row.events) e.handle(event);
        const Pixels& shown = e.render();
        for (const Pixel& px : row.pixels) {
            const uint32_t rgb = shown.argb[size_t(px.y) * size_t(shown.width) + size_t(px.x)] & 0xFFFFFF;
            EXPECT_EQ(rgb == px.rgb, px.same) << row.name << " at " << px.x << ", " << px.y << ": " << std::hex << rgb;
        }
        // The label's text, in the text colour, inside the button.
        const uint32_t text = row.style.textColour.value_or(buttonLook(row.style.look).text & 0xFFFFFF);
        int inked = 0;
        for (int y = 100; y < 130; ++y)
            for (int x = 200; x < 300; ++x)
                inked += (shown.argb[size_t(y * row.scale) * size_t(shown.width) + size_t(x * row.scale)] & 0xFFFFFF) == text;
        EXPECT_GT(inked, 0) << row.name;
        torvana::menu::writePng(std::string(MENU_SHOTS_DIR) + "/spots-" + std::to_string(&row - rows) + ".png", shown);
        // A button shows its label; only one cut short on it has a tooltip.
        if (e.input().current() == 0 && e.input().currentByKeyboard()) EXPECT_EQ(e.tooltipSpot(), -1) << row.name;
    }
    EngineFixture f(false);
    f.folder.project.hotspots.clear();
    auto& go = f.folder.addHotspot(ActionKind::Exit, "", 200, 100, 0, 0, 0);
    go.label = "Go to the next page of the photo album";
    go.shape = {HotspotKind::Button, 100, 30};
    f.start().handle(Event::keyPress(Key::Tab));
    EXPECT_EQ(f.engine->tooltipSpot(), 0);
}
