#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "project/errors.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "test_support/temp_dir.h"

using namespace torvana;

namespace {

Project sample(int hotspots) {
    Project d;
    d.hotspotCount = hotspots;
    d.showBrowse = true;
    d.cdTitle = "Summer Photos";
    d.stagingFolder = "/stage/summer";
    d.backgroundImage = "/art/back.bmp";
    for (int i = 1; i <= hotspots; ++i)
        d.hotspots.push_back({"/art/app" + std::to_string(i) + ".exe", "/art/over" + std::to_string(i) + ".gif",
                              std::to_string(i * 3), " 0x1" + std::to_string(i), i % 2 ? "/art/hover.wav" : "", ""});
    return d;
}

size_t countLines(const std::string& bytes) {
    size_t n = 0;
    for (size_t p = bytes.find("\r\n"); p != std::string::npos; p = bytes.find("\r\n", p + 2)) ++n;
    return n;
}

std::string errorOf(const std::string& bytes) {
    try {
        parseProjectFile(bytes, "/p/x.cdrom");
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(ProjectFile, OneHotspotByteForByte) {
    Project d;
    d.hotspotCount = 1;
    d.showBrowse = true;
    d.cdTitle = "Summer Photos";
    d.stagingFolder = "/stage/summer";
    d.backgroundImage = "/art/back.bmp";
    d.hotspots.push_back({"/art/slides.exe", "/art/over1.gif", "120", "200", "/art/hover.wav", ""});
    const std::string expected =
        "1\r\nTRUE\r\nFALSE\r\nSummer Photos\r\n/stage/summer\r\n/art/back.bmp\r\n\r\n"
        "/art/slides.exe\r\n/art/over1.gif\r\n120\r\n200\r\n/art/hover.wav\r\n\r\n";
    EXPECT_EQ(formatProjectFile(d), expected);
    EXPECT_EQ(parseProjectFile(expected, "p"), d);
}

TEST(ProjectFile, RoundTripsWith0_1And99Hotspots) {
    TempDir dir;
    for (int n : {0, 1, 99}) {
        const Project d = sample(n);
        const std::string path = dir.file("p" + std::to_string(n) + ".cdrom");
        writeProjectFile(path, d);
        const std::string bytes = readFileContents(path);
        EXPECT_EQ(countLines(bytes), 7u + 6u * static_cast<size_t>(n));
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        EXPECT_EQ(readProjectFile(path), d) << n << " hotspots";
    }
}

TEST(ProjectFile, SwitchesAreOnOnlyForExactlyTRUE) {
    for (const char* text : {"true", "TRUE ", " TRUE", "True", "", "1"}) {
        const auto d = parseProjectFile(std::string("0\r\n") + text + "\r\n" + text + "\r\n", "p");
        EXPECT_FALSE(d.showBrowse) << '"' << text << '"';
        EXPECT_FALSE(d.showExit) << '"' << text << '"';
    }
    EXPECT_TRUE(parseProjectFile("0\r\nTRUE\r\nTRUE\r\n", "p").showExit);
}

TEST(ProjectFile, ShortLongAndCutFiles) {
    // Ends after line 4: the remaining fields are empty.
    auto d = parseProjectFile("0\r\nFALSE\r\nTRUE\r\nTitle", "p");
    EXPECT_EQ(d.cdTitle, "Title");
    EXPECT_TRUE(d.stagingFolder.empty() && d.backgroundImage.empty() && d.openingWav.empty());
    // Lines beyond the records are ignored.
    d = parseProjectFile(formatProjectFile(sample(2)) + "extra\r\nmore\r\n", "p");
    EXPECT_EQ(d, sample(2));
    // A record cut short reads empty values, with no error.
    d = parseProjectFile("2\r\nTRUE\r\nFALSE\r\nT\r\nS\r\nB\r\n\r\na.exe\r\nr.gif\r\n", "p");
    ASSERT_EQ(d.hotspots.size(), 2u);
    EXPECT_EQ(d.hotspots[0].rolloverImage, "r.gif");
    EXPECT_EQ(d.hotspots[0].x, "");
    EXPECT_EQ(d.hotspots[1], Hotspot{});
    // Ctrl-Z ends the data in the middle of a line.
    d = parseProjectFile("0\r\nTRUE\r\nFALSE\r\nTi\x1atle\r\nS\r\n", "p");
    EXPECT_EQ(d.cdTitle, "Ti");
    EXPECT_EQ(d.stagingFolder, "");
    // Empty sounds stay empty.
    d = parseProjectFile(formatProjectFile(sample(2)), "p");
    EXPECT_EQ(d.hotspots[1].rolloverWav, "");
    EXPECT_EQ(d.hotspots[1].clickWav, "");
}

// The [Torvana] block after the records: labels, and the lines this version does not know.
TEST(ProjectFile, LabelBlock) {
    const std::string records = formatProjectFile(sample(3));
    Project d = sample(3);
    d.hotspots[0].label = "Install it";
    d.hotspots[2].label = "L\xC3\xA4s = read";
    d.otherBlockLines = {"Colour2=red", "", "label2=x", "Label02=x", "Label100=x"};
    const std::string block = "[Torvana]\r\nLabel1=Install it\r\nLabel3=L\xC3\xA4s = read\r\nColour2=red\r\n\r\n"
                              "label2=x\r\nLabel02=x\r\nLabel100=x\r\n";
    EXPECT_EQ(formatProjectFile(d), records + block);
    // Read back: junk before the heading is ignored, a later line for a hotspot wins, labels of
    // no hotspot and empty ones are dropped (and with them a block left empty).
    EXPECT_EQ(parseProjectFile(records + "junk\r\n[Torvana]\r\nLabel1=old\r\nLabel4=gone\r\nLabel2=\r\n" +
                                   block.substr(11), "p"), d);
    EXPECT_EQ(formatProjectFile(parseProjectFile(records + "Label1=x\r\n[Torvana]\r\nLabel4=x\r\n", "p")), records);
    d.hotspots[1].label = "two\nlines";
    EXPECT_THROW(formatProjectFile(d), Error);
}

// Buttons, areas and the button look in the block: what a line gives, and the block written
// back in its one order (labels, shapes by hotspot, the look's lines, then the unknown lines).
TEST(ProjectFile, ShapesAndButtonLook) {
    const struct {
        const char* name;
        std::string lines;
        std::function<void(Project&)> expected;
        std::string written;
    } cases[] = {
        {"a button and an area of the largest size", "Area2=640x480\r\nButton1=120x30\r\n",
         [](Project& d) {
             d.hotspots[0].shape = {HotspotKind::Button, 120, 30};
             d.hotspots[1].shape = {HotspotKind::Area, 640, 480};
         },
         "Button1=120x30\r\nArea2=640x480\r\n"},
        {"the look's lines in any order and case", "ButtonTextColour=#ffffff\r\nX=1\r\nButtonLook=raised\r\nButtonColour=#0a0B0c\r\n",
         [](Project& d) {
             d.buttonStyle = {"raised", 0x0A0B0C, 0xFFFFFF};
             d.otherBlockLines = {"X=1"};
         },
         "ButtonLook=raised\r\nButtonColour=#0A0B0C\r\nButtonTextColour=#FFFFFF\r\nX=1\r\n"},
        {"a look of a later version is kept by its name", "ButtonLook=glossy\r\n",
         [](Project& d) { d.buttonStyle.look = "glossy"; }, "ButtonLook=glossy\r\n"},
        {"sizes and colours that cannot be used stay as they were",
         "Button1=0x30\r\nArea1=641x10\r\nButton1=12x\r\nButton1=012x5\r\nButtonColour=red\r\nButtonLook=\r\n",
         [](Project& d) {
             d.otherBlockLines = {"Button1=0x30", "Area1=641x10", "Button1=12x", "Button1=012x5", "ButtonColour=red",
                                  "ButtonLook="};
         },
         "Button1=0x30\r\nArea1=641x10\r\nButton1=12x\r\nButton1=012x5\r\nButtonColour=red\r\nButtonLook=\r\n"},
        {"the shape of no hotspot is dropped, a later line wins", "Button4=10x10\r\nButton1=5x5\r\nArea1=6x6\r\n",
         [](Project& d) { d.hotspots[0].shape = {HotspotKind::Area, 6, 6}; }, "Area1=6x6\r\n"},
    };
    const std::string records = formatProjectFile(sample(2));
    for (const auto& c : cases) {
        Project expected = sample(2);
        c.expected(expected);
        const Project read = parseProjectFile(records + "[Torvana]\r\n" + c.lines, "p");
        EXPECT_EQ(read, expected) << c.name;
        EXPECT_EQ(formatProjectFile(read), records + "[Torvana]\r\n" + c.written) << c.name;
    }
}

TEST(ProjectFile, LineEnds) {
    // A CR alone ends a line; so does a lone LF; CR LF is one line end.
    const auto d = parseProjectFile("0\rTRUE\nFALSE\r\n\r\nS\n", "p");
    EXPECT_TRUE(d.showBrowse);
    EXPECT_EQ(d.cdTitle, "");
    EXPECT_EQ(d.stagingFolder, "S");
    // Values are kept verbatim, blanks included.
    EXPECT_EQ(parseProjectFile("0\r\nX\r\nX\r\n  My Title  \r\n", "p").cdTitle, "  My Title  ");
}

TEST(ProjectFile, BadCountsAreRefused) {
    EXPECT_EQ(errorOf("abc\r\n"), "'abc' is not a valid integer value");
    EXPECT_EQ(errorOf(""), "'' is not a valid integer value");
    EXPECT_EQ(errorOf("1 \r\n"), "'1 ' is not a valid integer value");
    EXPECT_EQ(errorOf("100\r\n"), "The project file /p/x.cdrom gives 100 hotspots; a project holds 0 to 99");
    EXPECT_EQ(errorOf("-1\r\n"), "The project file /p/x.cdrom gives -1 hotspots; a project holds 0 to 99");
    EXPECT_EQ(errorOf("$7FFFFFFF\r\n"),
              "The project file /p/x.cdrom gives 2147483647 hotspots; a project holds 0 to 99");
    EXPECT_EQ(parseProjectFile("$2\r\n", "p").hotspots.size(), 2u);  // the count goes through the conversion
}

TEST(ProjectFile, ReadingAMissingFileOrAFolderFails) {
    TempDir dir;
    // Each failure names the file.
    const std::pair<std::string, std::string> cases[] = {
        {dir.file("none.cdrom"), "File not found: \"" + dir.file("none.cdrom") + "\""},
        {dir.path(), "\"" + dir.path() + "\" is a folder, not a project file"},
    };
    for (const auto& [path, text] : cases) {
        try {
            readProjectFile(path);
            ADD_FAILURE() << path;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), text);
        }
    }
}

// A failed save never damages the project file that was there.
TEST(ProjectFile, AFailedWriteKeepsTheOldFileByteForByte) {
    TempDir dir;
    const std::string path = dir.file("keep.cdrom");
    writeProjectFile(path, sample(3));
    const std::string before = readFileContents(path);

    // A full disk, simulated with a file size limit in a child process.
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            writeProjectFile(path, sample(20));
        } catch (const Error& e) {
            _exit(std::string(e.what()) == "Disk full" ? 3 : 4);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the write should fail as on a full disk";
    EXPECT_EQ(readFileContents(path), before);
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1u) << "the temporary file should be gone";
}
