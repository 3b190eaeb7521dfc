// The one mapping from a hotspot's X, Y and picture to its rectangle on the stage.

#include <gtest/gtest.h>

#include <climits>

#include <filesystem>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/integer.h"
#include "project/paths.h"
#include "project/project_file.h"
#include "project/staged_menu.h"
#include "test_support/temp_dir.h"

using torvana::hotspotRect;

TEST(HotspotRect, PictureSizeAtXYOrAnInvisibleSquare) {
    struct Case { int x, y, w, h; int rx, ry, rw, rh; };
    const Case cases[] = {
        {10, 20, 100, 50, 10, 20, 100, 50},             // the picture's size at X, Y
        {500, 400, 0, 0, 500, 400, 32, 32},             // no picture: 32 x 32
        {500, 400, 100, 0, 500, 400, 32, 32},           // an empty picture counts as none
        {INT_MAX, INT_MAX, 100, 100, 100000, 100000, 100, 100},  // far off, without overflow
        {INT_MIN, -5, 10, 10, -100000, -5, 10, 10},
    };
    for (const Case& c : cases) {
        const torvana::HotspotRect r = hotspotRect(c.x, c.y, c.w, c.h);
        EXPECT_EQ(r.x, c.rx);
        EXPECT_EQ(r.y, c.ry);
        EXPECT_EQ(r.width, c.rw);
        EXPECT_EQ(r.height, c.rh);
    }
    // A far-off hotspot never reaches back onto the stage.
    EXPECT_FALSE(hotspotRect(INT_MAX, INT_MAX, 100, 100).contains(320, 240));
    EXPECT_TRUE(hotspotRect(10, 20, 100, 50).contains(10, 20));
    EXPECT_FALSE(hotspotRect(10, 20, 100, 50).contains(110, 20));
}

TEST(HotspotRect, PlacedCoordinatesStayWhereTheEditorAcceptsThem) {
    struct Case { int x, y; const char* tx; const char* ty; };
    const Case cases[] = {
        {1, 1, "1", "1"}, {640, 480, "640", "480"}, {0, 481, "1", "480"},
        {-7, 300, "1", "300"}, {INT_MAX, INT_MIN, "640", "1"},
    };
    for (const Case& c : cases) {
        const torvana::CoordinateTexts t = torvana::placedCoordinates(c.x, c.y);
        EXPECT_EQ(t, (torvana::CoordinateTexts{c.tx, c.ty}));
        // Read back through the one integer conversion, they are the hotspot's rectangle.
        EXPECT_EQ(hotspotRect(torvana::strToInt(t.x), torvana::strToInt(t.y), 0, 0).x, std::stoi(c.tx));
    }
}

// A title of megabytes would make the window system drop the player: the bar gets at most
// kMaxTitleBytes, never half a character.
TEST(WindowBarTitle, CutsLongTitlesOnACharacterBoundary) {
    using torvana::kMaxTitleBytes;
    EXPECT_EQ(torvana::windowBarTitle("Summer Photos"), "Summer Photos");
    EXPECT_EQ(torvana::windowBarTitle(std::string(17 << 20, 'T')), std::string(kMaxTitleBytes, 'T'));
    std::string accents;
    while (accents.size() < 2 * kMaxTitleBytes) accents += "\xC3\xA9";  // é, two bytes each
    const std::string cut = torvana::windowBarTitle("x" + accents);
    EXPECT_EQ(cut.size(), kMaxTitleBytes - 1);
    EXPECT_EQ(cut, "x" + accents.substr(0, kMaxTitleBytes - 2));
}

// A project file of gigabytes is refused unread: the player says why instead of running out
// of memory.
TEST(LoadPlayerProject, AHugeProjectFileIsRefusedUnread) {
    TempDir dir;
    const std::string file = dir.file("menu.cdrom");
    torvana::replaceFileContents(file, "0\r\n");
    std::filesystem::resize_file(file, uint64_t{3} << 30);
    try {
        torvana::loadPlayerProject({dir.path()});
        ADD_FAILURE();
    } catch (const torvana::Error& e) {
        EXPECT_EQ(std::string(e.what()), "The menu cannot be shown: the project file \"" + file +
                                             "\" cannot be read (\"" + file + "\" is larger than 16 MB).");
    }
}

// Every player reads the title and the labels as text, each field by itself; the Linux player
// keeps the paths' bytes, which name the files, and the Windows player, which names files in
// UTF-16, reads them as text too. A file Notepad saved as UTF-8 starts with a byte-order mark.
TEST(LoadPlayerProject, TitleLabelsAndPathsAreReadFieldByField) {
    TempDir dir;
    torvana::Project data;
    data.hotspotCount = 1;
    data.cdTitle = "Caf\xC3\xA9 Fotos";
    data.backgroundImage = "back.gif";
    data.hotspots.push_back({"exit", "\xDC" "ber.gif", "1", "1", "", "", "Leave the men\xFC"});
    torvana::replaceFileContents(dir.file("menu.cdrom"), "\xEF\xBB\xBF" + torvana::formatProjectFile(data));
    const std::string images = torvana::joinPath(dir.path(), "images");
    const torvana::PlayerProject bytes = torvana::loadPlayerProject({dir.path()});
    EXPECT_EQ(bytes.title, "Caf\xC3\xA9 Fotos");
    EXPECT_EQ(bytes.hotspots.at(0).label, "Leave the men\xC3\xBC");
    EXPECT_EQ(bytes.hotspots.at(0).rolloverImage, torvana::joinPath(images, "\xDC" "ber.gif"));
    const torvana::PlayerProject text = torvana::loadPlayerProject({dir.path()}, torvana::StoredPaths::Text);
    EXPECT_EQ(text.hotspots.at(0).rolloverImage, torvana::joinPath(images, "\xC3\x9C" "ber.gif"));
}
