#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "project/errors.h"
#include "project/file_io.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "test_support/temp_dir.h"

using namespace torvana;

namespace {
bool readWarnMe(const TempDir& dir, const std::string& contents) {
    const std::string path = dir.file("torvana.ini");
    replaceFileContents(path, contents);
    return loadSettings(path).warnMe;
}
}  // namespace

TEST(Settings, MissingFileSectionOrKeyGiveOn) {
    TempDir dir;
    EXPECT_TRUE(loadSettings(dir.file("none.ini")).warnMe);
    EXPECT_TRUE(loadSettings(dir.file("none.ini")).toolTips);
    EXPECT_TRUE(loadSettings(dir.file("none.ini")).addLinuxPlayer);
    EXPECT_TRUE(loadSettings(dir.file("none.ini")).addWebMenu);
    EXPECT_TRUE(readWarnMe(dir, "[Other]\nwarnme=0\n"));
    EXPECT_TRUE(readWarnMe(dir, "[Options]\ntooltips=0\n"));
    EXPECT_FALSE(loadSettings(dir.file("torvana.ini")).toolTips);
}

TEST(Settings, BooleanValuesReadAsIntegers) {
    TempDir dir;
    for (const char* off : {"0", "0x0", "00", "$0", " 0 "})
        EXPECT_FALSE(readWarnMe(dir, std::string("[Options]\r\nwarnme=") + off + "\r\n")) << off;
    // Only "0x" and "$" start a hexadecimal number; "x0" is no number, so it gives the default.
    for (const char* on : {"1", "-1", "2", "0x10", "yes", "off", "False", "", "0x", "1.0", "x0", "X0", "$", "-0x0"})
        EXPECT_TRUE(readWarnMe(dir, std::string("[Options]\r\nwarnme=") + on + "\r\n")) << on;
}

TEST(Settings, NamesMatchWithoutRegardToCase) {
    TempDir dir;
    EXPECT_FALSE(readWarnMe(dir, "[OPTIONS]\nWarnMe = 0\n"));
    EXPECT_FALSE(readWarnMe(dir, "  [ options ]  \nWARNME=0\n"));
}

TEST(Settings, FirstWriteCreatesFileAndSection) {
    TempDir dir;
    const std::string path = dir.file("torvana.ini");
    writeSetting(path, kToolTipsKey, false);
    EXPECT_EQ(readFileContents(path), "[Options]\ntooltips=0\n");
    writeSetting(path, kWarnMeKey, true);
    EXPECT_EQ(readFileContents(path), "[Options]\ntooltips=0\nwarnme=1\n");
    EXPECT_FALSE(loadSettings(path).toolTips);
    EXPECT_TRUE(loadSettings(path).warnMe);
}

// What the build adds to the disc: each of the two keys reads and writes on its own.
TEST(Settings, TheBuildsTwoSettings) {
    TempDir dir;
    const std::string path = dir.file("torvana.ini");
    writeSetting(path, kWebMenuKey, false);
    EditorSettings s = loadSettings(path);
    EXPECT_FALSE(s.addWebMenu);
    EXPECT_TRUE(s.addLinuxPlayer);
    writeSetting(path, kLinuxPlayerKey, false);
    writeSetting(path, kWebMenuKey, true);
    EXPECT_EQ(readFileContents(path), "[Options]\nwebmenu=1\nlinuxplayer=0\n");
    s = loadSettings(path);
    EXPECT_TRUE(s.addWebMenu);
    EXPECT_FALSE(s.addLinuxPlayer);
    EXPECT_TRUE(s.warnMe && s.toolTips);
}

TEST(Settings, TogglingKeepsTheRestOfTheFileByteForByte) {
    TempDir dir;
    const std::string path = dir.file("torvana.ini");
    const std::string before =
        "; my settings\r\n[Fonts]\r\nwarnme=keep\r\n\r\n[options]\r\nTooltips = 1\r\nother=x y\r\n\r\n[Last]\r\nk=v";
    replaceFileContents(path, before);
    writeSetting(path, kToolTipsKey, false);
    EXPECT_EQ(readFileContents(path),
              "; my settings\r\n[Fonts]\r\nwarnme=keep\r\n\r\n[options]\r\ntooltips=0\r\nother=x y\r\n\r\n[Last]\r\nk=v");
    // A new key goes at the end of its section, before the blank line that separates sections.
    writeSetting(path, kWarnMeKey, false);
    EXPECT_EQ(readFileContents(path),
              "; my settings\r\n[Fonts]\r\nwarnme=keep\r\n\r\n[options]\r\ntooltips=0\r\nother=x y\r\nwarnme=0\r\n\r\n[Last]\r\nk=v");
    writeSetting(path, kWarnMeKey, true);
    writeSetting(path, kToolTipsKey, true);
    EXPECT_EQ(readFileContents(path),
              "; my settings\r\n[Fonts]\r\nwarnme=keep\r\n\r\n[options]\r\ntooltips=1\r\nother=x y\r\nwarnme=1\r\n\r\n[Last]\r\nk=v");
}

TEST(Settings, AFileWithoutTheSectionGetsItAppended) {
    TempDir dir;
    const std::string path = dir.file("torvana.ini");
    replaceFileContents(path, "[Other]\r\na=1");
    writeSetting(path, kWarnMeKey, false);
    EXPECT_EQ(readFileContents(path), "[Other]\r\na=1\r\n[Options]\r\nwarnme=0\r\n");
}

TEST(Settings, AFileThatCannotBeWrittenNamesTheFile) {
    TempDir dir;
    // A folder where the settings file should be, and a path below a regular file.
    const std::string folder = dir.file("torvana.ini");
    std::filesystem::create_directory(folder);
    replaceFileContents(dir.file("plain"), "x");
    for (const std::string& path : {folder, dir.file("plain") + "/torvana.ini"}) {
        try {
            writeSetting(path, kWarnMeKey, false);
            ADD_FAILURE() << "no failure for " << path;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(IniFile, LongValuesAreCutAt2047Characters) {
    TempDir dir;
    const std::string path = dir.file("x.ini");
    replaceFileContents(path, "[S]\nk=" + std::string(3000, '1') + "\n");
    EXPECT_EQ(IniFile(path).readString("s", "K")->size(), 2047u);
}

// Writing one key never changes how the other reads: a CR ends a line for the reader as for
// the writer, wherever it stands (the first case was found by fuzzing: a lone CR at the end of
// the file made "tooltips" read on once "warnme" was written).
TEST(Settings, WritingOneKeyNeverChangesTheOther) {
    TempDir dir;
    const std::string path = dir.file("torvana.ini");
    const std::string files[] = {
        "[Options]ps\nwa\r\ntooltips=+0\r",
        "[Options]\rtooltips=0\rwarnme=0",
        "[Options]\r\n\rtooltips=0\n\r[Other]\rwarnme=1\r",
        "tooltips=1\n[Options]\ntooltips=0",
        "[Options]\ntooltips",
        "[Options]\nwarnme=0\n[options]\ntooltips=0\r\n",
    };
    for (const std::string& before : files) {
        for (const char* key : {kWarnMeKey, kToolTipsKey}) {
            for (const bool value : {false, true}) {
                replaceFileContents(path, before);
                const EditorSettings old = loadSettings(path);
                writeSetting(path, key, value);
                const EditorSettings now = loadSettings(path);
                const bool wroteWarnMe = std::string(key) == kWarnMeKey;
                EXPECT_EQ(now.warnMe, wroteWarnMe ? value : old.warnMe) << before << " " << key;
                EXPECT_EQ(now.toolTips, wroteWarnMe ? old.toolTips : value) << before << " " << key;
            }
        }
    }
    replaceFileContents(path, "[Options]\rtooltips=0\r");
    EXPECT_FALSE(loadSettings(path).toolTips);
    writeSetting(path, kWarnMeKey, true);
    EXPECT_EQ(readFileContents(path), "[Options]\rtooltips=0\rwarnme=1\r");
}

// A settings file that is not a regular file or is too large is never read into memory or
// waited on: both settings are on and the reason is given; a write names the file.
TEST(Settings, UnreadableFilesGiveTheDefaultsAndAReason) {
    TempDir dir;
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string huge = dir.file("huge.ini");
    replaceFileContents(huge, "[Options]\ntooltips=0\n");
    std::filesystem::resize_file(huge, uint64_t{50} << 20);  // then 50 MB of zero bytes
    const std::string device = dir.file("zero.ini");
    std::filesystem::create_symlink("/dev/zero", device);
    struct Case {
        std::string path, problem;
    } cases[] = {
        {fifo, "The settings cannot be read: \"" + fifo + "\" is not a regular file"},
        {device, "The settings cannot be read: \"" + device + "\" is not a regular file"},
        {huge, "The settings cannot be read: \"" + huge + "\" is larger than 16 MB"},
    };
    for (const Case& c : cases) {
        const EditorSettings s = loadSettings(c.path);
        EXPECT_TRUE(s.warnMe && s.toolTips) << c.path;
        EXPECT_EQ(s.problem, c.problem);
        try {
            writeSetting(c.path, kWarnMeKey, false);
            ADD_FAILURE() << "no failure for " << c.path;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + c.path);
        }
    }
    EXPECT_EQ(std::filesystem::file_size(huge), uint64_t{50} << 20);  // kept as it was
    EXPECT_EQ(loadSettings(dir.file("missing.ini")).problem, "");
}
