// The command line as a user runs it: the real editor program, with no display at all, on
// generated projects; its exit statuses, its findings on standard output and the build's
// messages on standard error.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>

#include "cli/command_line.h"
#include "disc/disc_project.h"
#include "menu/menu_look.h"
#include "menu/menu_picture.h"
#include "test_support/test_ca.h"
#include "test_support/wait.h"

namespace fs = std::filesystem;
using namespace torvana;
using disctest::DiscProject;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

// The editor program copied beside a player of its own, so the player the build copies is
// known here whatever the real one becomes.
class Program {
public:
    explicit Program(const std::string& player = "player") {
        fs::create_directories(dir_.file("bin"));
        fs::copy_file(TORVANA_EDITOR, path(), fs::copy_options::overwrite_existing);
        torvana::replaceFileContents(dir_.file("bin/autorun.exe"), player);
        makeLinuxPlayerStandIn(dir_.file("bin"));
    }
    std::string path() const { return dir_.file("bin/torvana"); }
    // The program's settings file, in a configuration folder of its own.
    std::string settings() const { return dir_.file("config/torvana.ini"); }

    std::string player() const { return dir_.file("bin/autorun.exe"); }

    // Runs the program without a display, in `folder`, with `environment` ("NAME=value ...").
    Outcome run(const std::string& arguments, const std::string& folder, const std::string& environment = "") const {
        Outcome r;
        const int raw = std::system(command(arguments, folder, environment).c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return read(r);
    }

    // Starts the program as run() does, sends `signal` once `started` says so, and waits.
    Outcome interrupt(const std::string& arguments, const std::string& folder, int signal,
                      const std::function<bool()>& started) const {
        const pid_t pid = fork();
        if (pid == 0) {
            const std::string c = command(arguments, folder);
            execl("/bin/sh", "sh", "-c", c.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int raw = 0;
        while (!started() && waitpid(pid, &raw, WNOHANG) == 0) usleep(200);
        kill(pid, signal);
        waitpid(pid, &raw, 0);
        Outcome r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return read(r);
    }

private:
    std::string command(const std::string& arguments, const std::string& folder, const std::string& environment = "") const {
        return "cd '" + folder + "' && exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME='" +
               dir_.file("config") + "' " + environment + " '" + path() + "' " + arguments + " >'" + dir_.file("out") + "' 2>'" +
               dir_.file("err") + "' </dev/null";
    }
    Outcome& read(Outcome& r) const {
        r.out = torvana::readFileContents(dir_.file("out"));
        r.err = torvana::readFileContents(dir_.file("err"));
        return r;
    }

    TempDir dir_;
};

const Program& program() {
    static const Program p;
    return p;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What another program prints, standard output and error together.
std::string tool(const std::string& command) {
    TempDir dir;
    std::system((command + " >'" + dir.file("out") + "' 2>&1").c_str());
    return torvana::readFileContents(dir.file("out"));
}

// The program's temporary files under `folder`: what an interrupted copy or image leaves.
std::vector<std::string> temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (torvana::isOwnTemporaryName(e.path().filename().string())) found.push_back(e.path().string());
    return found;
}

}  // namespace

TEST(CommandLine, ArgumentsAreRead) {
    struct Case {
        std::vector<std::string> arguments;
        CommandKind kind;
        std::string project, image, error;
    } cases[] = {
        {{}, CommandKind::Editor, "", "", ""},
        {{"photos.cdrom"}, CommandKind::OpenProject, "photos.cdrom", "", ""},
        {{"--help"}, CommandKind::Help, "", "", ""},
        {{"check", "a.cdrom"}, CommandKind::Check, "a.cdrom", "", ""},
        {{"image", "a.cdrom", "a.iso"}, CommandKind::Image, "a.cdrom", "a.iso", ""},
        {{"build"}, CommandKind::Invalid, "", "", "torvana build needs a project file."},
        {{"image", "a.cdrom"}, CommandKind::Invalid, "", "", "torvana image needs a project file and an image file."},
        {{"photos.cdrom", "more"}, CommandKind::Invalid, "", "", "Unexpected argument 'more'."},
        {{"check", "a.cdrom", "b"}, CommandKind::Invalid, "", "", "Unexpected argument 'b'."},
        {{"--version"}, CommandKind::Version, "", "", ""},
        {{"--versions"}, CommandKind::Invalid, "", "", "Unknown option '--versions'."},
        {{"check", "--usb", "a.cdrom"}, CommandKind::Check, "a.cdrom", "", ""},
        {{"build", "a.cdrom", "--usb"}, CommandKind::Invalid, "", "", "Unknown option '--usb' for torvana build."},
        {{"burn", "a.cdrom", "--drive", "stdio:x", "--speed", "8", "--verify"}, CommandKind::Burn, "a.cdrom", "", ""},
        {{"burn", "a.cdrom", "--speed", "fast"}, CommandKind::Invalid, "", "", "--speed takes a whole number, such as 8 for 8x."},
        {{"image", "a.cdrom", "a.iso", "--verify"}, CommandKind::Invalid, "", "", "Unknown option '--verify' for torvana image."},
        {{"build", "a.cdrom", "--timestamp", "http://t"}, CommandKind::Invalid, "", "",
         "--sign-password-file and --timestamp go with --sign."},
        {{"build", "a.cdrom", "--sign"}, CommandKind::Invalid, "", "", "The option '--sign' needs a value."},
        {{"render", "a.cdrom", "a.png", "--hover", "2", "--focus", "1", "--scale", "1.5"}, CommandKind::Render, "a.cdrom",
         "a.png", ""},
        {{"render", "a.cdrom"}, CommandKind::Invalid, "", "", "torvana render needs a project file and a PNG file."},
        {{"render", "a.cdrom", "a.png", "--scale", "1e3"}, CommandKind::Invalid, "", "",
         "--scale takes a number from 0.25 to 8, such as 2 for twice the size."},
        {{"render", "a.cdrom", "a.png", "--scale", "8.5"}, CommandKind::Invalid, "", "",
         "--scale takes a number from 0.25 to 8, such as 2 for twice the size."},
        {{"render", "a.cdrom", "a.png", "--focus", "0"}, CommandKind::Invalid, "", "",
         "--focus takes a hotspot's number, such as 1 for the first."},
        {{"render", "a.cdrom", "a.png", "--sign", "c"}, CommandKind::Invalid, "", "", "Unknown option '--sign' for torvana render."},
    };
    for (const Case& c : cases) {
        const CommandLine command = parseCommandLine(c.arguments);
        EXPECT_EQ(command.kind, c.kind) << c.error;
        EXPECT_EQ(command.error, c.error);
        if (c.kind != CommandKind::Invalid) {
            EXPECT_EQ(command.project, c.project);
            EXPECT_EQ(command.image, c.image);
        }
    }
    const CommandLine render = parseCommandLine(cases[std::size(cases) - 6].arguments);
    EXPECT_EQ(std::tuple(render.hover, render.focus, render.scale), std::tuple(2, 1, 1.5));
}

TEST(CommandLine, HelpAndUnknownArgumentsNeedNoDisplay) {
    TempDir dir;
    Outcome r = program().run("--help", dir.path());
    EXPECT_EQ(r.status, 0);
    for (const char* part : {"torvana FILE.cdrom", "torvana check FILE.cdrom", "torvana build FILE.cdrom",
                             "torvana image FILE.cdrom OUT.iso", "Exit status"})
        EXPECT_TRUE(has(r.out, part)) << part;
    r = program().run("some.cdrom surplus", dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "torvana: Unexpected argument 'surplus'. Try torvana --help.\n");
    r = program().run("--frobnicate", dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "torvana: Unknown option '--frobnicate'. Try torvana --help.\n");
    r = program().run("--version", dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "torvana 3.5\n");
}

TEST(CommandLine, CheckFindsAndChangesNothing) {
    DiscProject p;
    Outcome r = program().run("check menu.cdrom", p.dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "(0 errors, 0 warnings, 0 notes)")) << r.out;
    EXPECT_FALSE(fs::exists(p.stage));

    p.project.backgroundImage = p.art + "/gone.bmp";
    p.save();
    r = program().run("check menu.cdrom", p.dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.out, "error: The background picture \"" + p.art + "/gone.bmp\" does not exist.\n")) << r.out;
    EXPECT_TRUE(has(r.out, "(1 error, 0 warnings, 0 notes)")) << r.out;

    // A USB stick shows the drive's name but starts nothing; only --usb says so.
    const std::string usb = "warning: A USB stick does not start the menu by itself";
    EXPECT_FALSE(has(r.out, usb));
    r = program().run("check menu.cdrom --usb", p.dir.path());
    EXPECT_TRUE(has(r.out, usb)) << r.out;

    r = program().run("check nothing.cdrom", p.dir.path());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "error: File not found: \"nothing.cdrom\"\n");
}

TEST(CommandLine, BuildStatuses) {
    struct Case {
        const char* name;
        std::function<void(DiscProject&)> change;
        int status;
        std::string said;  // a line of standard error
    } cases[] = {
        {"every copy made", [](DiscProject&) {}, 0, "All Files copied over to \""},
        {"a missing file", [](DiscProject& p) { p.hotspot(1).clickWav = p.art + "/gone.wav"; }, 1,
         "warning: File: \"ART/gone.wav\" does not exist.\n"},
        {"a failed copy", [](DiscProject& p) { fs::create_directories(p.stage + "/1/slides.exe"); }, 1,
         "error: Error copying file: \"ART/slides.exe\" to \"STAGE/1/slides.exe\"\n"},
        {"refused", [](DiscProject& p) { p.project.stagingFolder = "/ab"; }, 2,
         "error: Staging Folder cannot be on the root folder.\n"},
        {"a staging folder that cannot be made", [](DiscProject& p) { p.project.stagingFolder = p.dir.file("no/stage"); },
         2, "/no/stage\" cannot be made: File not found\n"},
        {"a staging folder that is a file", [](DiscProject& p) { p.project.stagingFolder = p.project.openingWav; }, 2,
         "error: \"ART/open.wav\" is a file, not a folder\n"},
        {"a coordinate that is not a number", [](DiscProject& p) { p.hotspot(1).x = "1O"; }, 1,
         "warning: Hotspot 1 left out: '1O' is not a valid integer value.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DiscProject p;
        c.change(p);
        p.save();
        const Outcome r = program().run("build menu.cdrom", p.dir.path());
        EXPECT_EQ(r.status, c.status) << r.err;
        std::string said = c.said;
        for (auto [from, to] : {std::pair<std::string, std::string>{"ART", p.art}, {"STAGE", p.stage}})
            if (const size_t at = said.find(from); at != std::string::npos) said.replace(at, from.size(), to);
        EXPECT_TRUE(has(r.err, said)) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

// The build saves the project with its labels and unknown lines, also in the staged copy.
TEST(CommandLine, BuildKeepsLabelsInTheProjectAndItsStagedCopy) {
    DiscProject p;
    p.hotspot(1).label = "Show the slides";
    p.project.otherBlockLines = {"Colour1=teal"};
    p.save();
    ASSERT_EQ(program().run("build menu.cdrom", p.dir.path()).status, 0);
    for (const std::string& path : {p.state.projectPath, p.stage + "/menu.cdrom"})
        EXPECT_TRUE(has(torvana::readFileContents(path), "\r\n[Torvana]\r\nLabel1=Show the slides\r\nColour1=teal\r\n")) << path;
}

// A picture hotspot, a button and an area without rollover pictures: the check and the build
// take them, and render draws the menu without a display, pointing at the button changing only
// its pixels.
TEST(CommandLine, RenderDrawsButtonsAndAreasThatCheckAndBuildTake) {
    DiscProject p;
    p.project.showExit = true;
    p.addHotspot("exit", "", "200", "300");
    p.hotspot(2).label = "Leave";
    p.hotspot(2).shape = {HotspotKind::Button, 120, 30};
    p.addHotspot("exit", "", "400", "100");
    p.hotspot(3).shape = {HotspotKind::Area, 60, 60};
    p.save();
    for (const char* command : {"check menu.cdrom", "build menu.cdrom", "render menu.cdrom rest.png",
                                "render menu.cdrom over.png --hover 2"}) {
        const Outcome r = program().run(command, p.dir.path());
        EXPECT_EQ(r.status, 0) << command << ": " << r.out << r.err;
    }
    const menu::Picture rest = menu::loadPicture(p.dir.file("rest.png")), over = menu::loadPicture(p.dir.file("over.png"));
    ASSERT_EQ(std::pair(rest.still.width, rest.still.height), std::pair(640, 480 + menu::kBarHeight)) << rest.error;
    ASSERT_EQ(over.still.argb.size(), rest.still.argb.size());
    int changed = 0;
    for (size_t i = 0; i < rest.still.argb.size(); ++i) {
        if (rest.still.argb[i] == over.still.argb[i]) continue;
        ++changed;
        EXPECT_TRUE((HotspotRect{200, 300, 120, 30}.contains(int(i % 640), int(i / 640)))) << i % 640 << ", " << i / 640;
    }
    EXPECT_GT(changed, 0);

    const struct {
        const char* arguments;
        std::string error;
    } failures[] = {
        {"render menu.cdrom x.png --focus 9", "error: --focus 9: the menu shows no hotspot 9 (it has 3)\n"},
        {"render menu.cdrom art", "error: the picture \"art\" cannot be written: "},
        {"render missing.cdrom x.png", "error: "},
    };
    for (const auto& f : failures) {
        const Outcome r = program().run(f.arguments, p.dir.path());
        EXPECT_EQ(r.status, 2) << f.arguments;
        EXPECT_EQ(r.err.substr(0, f.error.size()), f.error) << f.arguments << ": " << r.err;
    }
    EXPECT_FALSE(fs::exists(p.dir.file("x.png")));
}

// The build adds what the editor's Settings menu says: the web page menu unless it is off.
TEST(CommandLine, BuildFollowsTheSettingsFile) {
    DiscProject p;
    fs::remove(program().settings());
    Outcome r = program().run("build menu.cdrom", p.dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(p.stage + "/index.html"));
    fs::remove(p.stage + "/index.html");
    fs::create_directories(fs::path(program().settings()).parent_path());
    torvana::replaceFileContents(program().settings(), "[Options]\nwebmenu=0\nsigncertificate=me.p12\n");
    r = program().run("build menu.cdrom", p.dir.path());
    fs::remove(program().settings());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::exists(p.stage + "/index.html"));
    // A certificate of the editor's Settings is not used without its password: the build says so.
    EXPECT_TRUE(has(r.err, "warning: the Windows player is not signed: the editor's Settings sign it with \"me.p12\", "
                           "but the command line signs only with --sign.\n"))
        << r.err;
}

TEST(CommandLine, ImageIsWrittenOnlyFromACompleteBuild) {
    DiscProject p;
    Outcome r = program().run("image menu.cdrom disc.iso", p.dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.err, "The disc image \"disc.iso\" is written.\n")) << r.err;
    EXPECT_GT(fs::file_size(p.dir.file("disc.iso")), 16u * 2048);

    p.hotspot(1).rolloverWav = p.art + "/gone.wav";
    p.save();
    r = program().run("image menu.cdrom second.iso", p.dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "error: the disc image was not written, since the staging folder is not complete.\n"));
    EXPECT_FALSE(fs::exists(p.dir.file("second.iso")));

}

// Where an image may go: never over the project, a source of it, into the staging folder or over
// what is not a regular file (refused before the build, every file as it was); a link is written
// through and stays a link.
TEST(CommandLine, ImageTargets) {
    const struct {
        const char *name, *out, *make;  // what a shell makes at `out` before
        const char* said;               // after the refusal's "OUT": or the whole success line
    } rows[] = {
        {"the project file", "menu.cdrom", "", "it is the project file."},
        {"the project file by another path", "./art/../menu.cdrom", "", "it is the project file."},
        {"a hard link to the project file", "hard.iso", "ln menu.cdrom hard.iso", "it is the project file."},
        {"a source", "art/back.bmp", "", "it is \""},
        {"inside the staging folder", "stage/disc.iso", "", "it lies inside the staging folder \""},
        {"a FIFO", "disc.fifo", "mkfifo disc.fifo", "it is not a regular file."},
        {"a folder", "disc", "mkdir disc", "it is not a regular file."},
        {"a link that leads nowhere", "link.iso", "ln -s gone.iso link.iso", "it is a link to \""},
        {"a link to an older image", "link.iso", "echo older >old.iso; ln -s old.iso link.iso",
         "The disc image \"link.iso\" is written.\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DiscProject p;
        tool("cd '" + p.dir.path() + "' && (true; " + std::string(row.make) + ")");
        const std::string out = p.dir.file(row.out), project = torvana::readFileContents(p.state.projectPath);
        const fs::file_type before = fs::symlink_status(out).type();
        const Outcome r = program().run(std::string("image menu.cdrom ") + row.out, p.dir.path());
        const bool written = row.said[0] == 'T';
        EXPECT_EQ(r.status, written ? 0 : 2) << r.err;
        const std::string refused = "error: The disc image cannot be written to \"" + std::string(row.out) + "\": ";
        EXPECT_TRUE(has(r.err, (written ? "" : refused) + row.said)) << r.err;
        EXPECT_EQ(torvana::readFileContents(p.state.projectPath), project);
        EXPECT_EQ(fs::exists(p.stage), written);
        EXPECT_TRUE(before == fs::file_type::not_found || fs::symlink_status(out).type() == before);
        // Through the link, into the file it leads to.
        EXPECT_TRUE(!written || fs::file_size(out) > 16u * 2048);
    }
}

// A file the menu uses that Windows would see under another name on the disc fails the image
// (status 1, the file named, no image); Joliet's long names hold 103 characters whole.
TEST(CommandLine, ImageNamesAsWindowsSeesThem) {
    const std::string name110 = std::string(106, 'n') + ".exe", name103 = std::string(99, 'n') + ".exe";
    const std::string notFound = "\", which Windows would not find on the disc: its name ";
    const struct {
        const char* name;
        std::string program, rollover, said;  // the second hotspot's rollover, in art/
    } rows[] = {
        {"110 characters", name110, "", name110 + notFound + "is longer than the 103 characters a disc holds.\n"},
        {"characters Windows does not allow", "a*b?.txt", "",
         "a*b?.txt" + notFound + "holds characters Windows does not allow in a name: *?.\n"},
        {"a semicolon", "name;1", "", "name;1" + notFound + "holds \";\", which a disc's names for Windows cannot hold.\n"},
        {"names that differ only in case", "slides.exe", "other/OVER.GIF",
         "images/over.gif" + notFound + "and \"OVER.GIF\" differ only in case; Windows keeps only one of them.\n"},
        {"103 characters", name103, "", "is written.\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DiscProject p;
        p.hotspot(1).application = p.file(row.program);
        if (!row.rollover.empty()) p.addHotspot("exit", p.file(row.rollover, disctest::gifBytes(10, 10)));
        p.save();
        const Outcome r = program().run("image menu.cdrom disc.iso", p.dir.path());
        const bool written = row.program == name103;
        EXPECT_EQ(r.status, written ? 0 : 1) << r.err;
        EXPECT_TRUE(has(r.err, row.said)) << r.err;
        EXPECT_EQ(fs::exists(p.dir.file("disc.iso")), written);
        EXPECT_TRUE(!written || has(tool("bsdtar --options iso9660:!rockridge -tf '" + p.dir.file("disc.iso") + "'"), name103));
    }
}

// Options and settings that cannot be used are said with the file or the value they concern,
// before anything is built.
TEST(CommandLine, WhatCannotBeUsedIsNamed) {
    const std::string sign = "build menu.cdrom --sign x.p12 --sign-password-file ";
    const std::string rows[][3] = {  // arguments, environment, what is said
        {sign + "art", "", "error: The password file \"art\" is a folder.\n"},
        {sign + "gone.txt", "", "error: The password file \"gone.txt\" does not exist.\n"},
        {"image menu.cdrom disc.iso", "SOURCE_DATE_EPOCH=253402300800",
         "error: SOURCE_DATE_EPOCH is \"253402300800\", a time after the year 9999; a disc image's dates end with "
         "253402300799 (9999-12-31 23:59:59 UTC).\n"},
    };
    for (const auto& [arguments, environment, said] : rows) {
        SCOPED_TRACE(environment + " " + arguments);
        DiscProject p;
        const Outcome r = program().run(arguments, p.dir.path(), environment);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, said);
        EXPECT_FALSE(fs::exists(p.stage));
    }
}

// Ctrl+C or SIGTERM while a large file is copied or the image is written: the work stops, the
// file under way goes, "cancelled" is said and the status is 2. A temporary file an earlier
// killed build left is removed by the next build and never burned.
TEST(CommandLine, InterruptsCancelAndLeaveNoTemporaryFile) {
    const struct {
        const char* command;
        int signal;
        const char* watched;  // where the temporary file under way appears
        const char* said;
    } rows[] = {
        {"build menu.cdrom", SIGINT, "stage/1", "cancelled: the build stopped"},
        {"build menu.cdrom", SIGTERM, "stage/1", "cancelled: the build stopped"},
        {"image menu.cdrom out/disc.iso", SIGINT, "out", "cancelled: the disc image \"out/disc.iso\" was not written."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        DiscProject p;
        const std::string big = p.file("big.bin");
        fs::resize_file(big, uint64_t{1} << 30);  // sparse, but copied byte for byte
        p.hotspot(1).application = big;
        p.save();
        fs::create_directories(p.dir.file("out"));
        if (std::string(row.command).rfind("image", 0) == 0) {
            ASSERT_EQ(program().run("build menu.cdrom", p.dir.path()).status, 0);
            torvana::replaceFileContents(p.stage + "/1/.tv0123456789.tmp", "stale");
        }
        const std::string watched = p.dir.file(row.watched);
        const Outcome r = program().interrupt(row.command, p.dir.path(), row.signal,
                                              [&] { return fs::exists(watched) && !temporaries(watched).empty(); });
        EXPECT_EQ(r.status, 2) << r.err;
        EXPECT_TRUE(has(r.err, row.said)) << r.err;
        EXPECT_EQ(temporaries(p.dir.path()), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(p.dir.file("out/disc.iso")));
    }
}

// Escape sequences in a project's paths never reach the terminal: every line is escaped, the
// build's closing line too.
TEST(CommandLine, EscapeSequencesAreShownNotSent) {
    DiscProject p;
    p.project.stagingFolder = p.dir.file("stage\x1b]0;retitled\x07\xC2\x9B" "2J");
    p.hotspot(1).clickWav = p.art + "/\x1b[2Jgone.wav";
    p.save();
    const struct {
        const char* command;
        const char* shown;
    } rows[] = {
        {"check menu.cdrom", "/\\x1B[2Jgone.wav\" does not exist."},
        {"build menu.cdrom", "/stage\\x1B]0;retitled\\x07\\u009B2J\", and can to be copied to a CDROM."},
    };
    for (const auto& row : rows) {
        const Outcome r = program().run(row.command, p.dir.path());
        for (const std::string& text : {r.out, r.err}) {
            EXPECT_EQ(std::count_if(text.begin(), text.end(), [](char c) { return c != '\n' && (unsigned char)c < 0x20; }), 0)
                << row.command << "\n" << text;
            EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos) << row.command;
        }
        EXPECT_TRUE(has(r.out + r.err, row.shown)) << r.out << r.err;
        p.hotspot(1).clickWav.clear();  // the build then succeeds and names its folder
        p.save();
    }
}

// With SOURCE_DATE_EPOCH two images of one project, made in different seconds from staging
// folders built afresh in two languages with a source's time changed between, have the same
// SHA-256, and their volume dates are that time; a value that is no time stops the command
// before it builds.
TEST(CommandLine, SourceDateEpochMakesImagesReproducible) {
    DiscProject p;
    auto sha256 = [&](const std::string& name) { return tool("sha256sum '" + p.dir.file(name) + "'").substr(0, 64); };
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    const Outcome first = program().run("image menu.cdrom one.iso", p.dir.path(), "LC_ALL=C LANG=C");
    // Every file of the second staging folder is written in a later second than the first
    // image, so any date the image took from the clock or the files would differ.
    std::error_code ec;
    const auto firstWritten = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(p.dir.file("one.iso"), ec));
    EXPECT_TRUE(testwait::waitUntil(
        [&] { return std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now()) > firstWritten; }));
    fs::remove_all(p.stage);
    fs::last_write_time(p.art + "/back.bmp", fs::file_time_type::clock::now() - std::chrono::hours(24));
    // Built in another language: the web page on the disc is the same.
    const Outcome second = program().run("image menu.cdrom two.iso", p.dir.path(), "LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8");
    ::setenv("SOURCE_DATE_EPOCH", "tomorrow", 1);
    const Outcome refused = program().run("image menu.cdrom three.iso", p.dir.path());
    ::unsetenv("SOURCE_DATE_EPOCH");
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(sha256("one.iso").size(), 64u);
    EXPECT_EQ(sha256("one.iso"), sha256("two.iso"));
    const std::string info = tool("xorriso -indev '" + p.dir.file("one.iso") + "' -pvd_info");
    EXPECT_TRUE(has(info, "Creation Time: 2023111422132000")) << info;
    EXPECT_TRUE(has(info, "Modif. Time  : 2023111422132000")) << info;
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(has(refused.err, "error: SOURCE_DATE_EPOCH is \"tomorrow\", which is not a number of seconds since 1970.\n"))
        << refused.err;
    EXPECT_FALSE(fs::exists(p.dir.file("three.iso")));
}

#ifdef WINDOWS_PLAYER
// The staged player is signed with a test CA's certificate and verifies; the editor's own copy
// is untouched; the same SOURCE_DATE_EPOCH signs to the same bytes; a wrong password or a missing
// signing tool is a failed copy with a clear reason, which leaves the unsigned player and no
// temporary file.
TEST(CommandLine, SigningTheStagedPlayer) {
    static const Program signer(torvana::readFileContents(WINDOWS_PLAYER));
    const TestCa ca;
    ASSERT_TRUE(ca.made);
    const std::string unsigned_ = torvana::readFileContents(signer.player());
    DiscProject p;
    const std::string sign = "build menu.cdrom --sign '" + ca.p12 + "' --sign-password-file '" + ca.passwordFile + "'";
    // A day ahead: a signing time taken from the clock instead could never be this one.
    const std::time_t signedAt = std::time(nullptr) + 24 * 60 * 60;
    const std::string epoch = "SOURCE_DATE_EPOCH=" + std::to_string(signedAt);
    Outcome r = signer.run(sign, p.dir.path(), epoch);
    ASSERT_EQ(r.status, 0) << r.err;
    // Who signed it is said, and a signature without a timestamp is warned of.
    EXPECT_TRUE(has(r.err, "autorun.exe is signed by Torvana Test Publisher.\nwarning: autorun.exe has no timestamp: "))
        << r.err;
    EXPECT_TRUE(ca.verifies(p.stage + "/autorun.exe"));
    EXPECT_EQ(ca.signingTime(p.stage + "/autorun.exe"), TestCa::shownTime(signedAt));
    EXPECT_EQ(torvana::readFileContents(signer.player()), unsigned_);
    const std::string once = torvana::readFileContents(p.stage + "/autorun.exe");
    EXPECT_NE(once, unsigned_);
    r = signer.run(sign, p.dir.path(), epoch);
    EXPECT_EQ(torvana::readFileContents(p.stage + "/autorun.exe"), once);

    struct Case {
        const char* name;
        std::string arguments, environment, reason;
    } cases[] = {
        {"wrong password", "build menu.cdrom --sign '" + ca.p12 + "'", "",
         "\": osslsigncode could not sign it: Failed to parse PKCS#12 file: " + ca.p12 +
             " (Wrong password?); Failed to read key or certificates\n"},
        {"no signing tool", sign, "PATH=/nonexistent",
         "\": osslsigncode, which signs the Windows player, is not installed (it is looked for on PATH).\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        r = signer.run(c.arguments, p.dir.path(), c.environment);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(has(r.err, "error: Error signing file: \"" + p.stage + "/autorun.exe" + c.reason)) << r.err;
        EXPECT_EQ(torvana::readFileContents(p.stage + "/autorun.exe"), unsigned_);
        for (const auto& e : fs::directory_iterator(p.stage)) EXPECT_NE(e.path().filename().string().rfind(".tv", 0), 0u);
    }
}
#endif

// Burning without a drive: to a regular file, which then holds what image writes byte for byte,
// read back and checked with --verify; to a FIFO, which libburn takes for a blank DVD-R and whose
// reader gets the same bytes; a FIFO cannot be read back, and a drive that is not there is said.
TEST(CommandLine, BurnToStdioTargets) {
    DiscProject p;
    const std::string epoch = "SOURCE_DATE_EPOCH=1700000000";
    Outcome r = program().run("image menu.cdrom disc.iso", p.dir.path(), epoch);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string image = torvana::readFileContents(p.dir.file("disc.iso"), uint64_t{1} << 30);

    r = program().run("burn menu.cdrom --verify --drive stdio:" + p.dir.file("burned.iso"), p.dir.path(), epoch);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.err, "The disc is burned and holds the image exactly.\n")) << r.err;
    EXPECT_TRUE(torvana::readFileContents(p.dir.file("burned.iso"), uint64_t{1} << 30) == image);

    const std::string fifo = p.dir.file("disc.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = tool("cat '" + fifo + "'"); });
    r = program().run("burn menu.cdrom --drive stdio:" + fifo, p.dir.path(), epoch);
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(received == image) << received.size() << " bytes, not " << image.size();

    std::thread drain([&] { tool("cat '" + fifo + "' >/dev/null"); });
    r = program().run("burn menu.cdrom --verify --drive stdio:" + fifo, p.dir.path(), epoch);
    drain.join();
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r.err, "error: The disc in \"stdio:" + fifo + "\" cannot be read back to check it: ")) << r.err;

    // The temporary image beside the staging folder is gone each time.
    for (const auto& e : fs::directory_iterator(p.dir.path())) EXPECT_NE(e.path().filename().string().rfind(".torvana-burn", 0), 0u);
}

// Where a burn may go, settled before anything is built: never the project file (by any name), a
// source or a file of the staging folder; a file that holds bytes only with --overwrite; an empty
// or new file freely. A drive that is not there is said in the program's words, and a refused
// burn removes nothing, not even a project named like the burn's temporary image.
TEST(CommandLine, BurnTargets) {
    const std::string refused = "error: The disc cannot be burned to \"stdio:", unusable = "error: The drive \"stdio:";
    const struct {
        const char* name;
        std::string project, target, make, options;  // the project file, the file burned to, what a shell makes
        std::string lead, said;  // the message: lead, the target's path when there is a lead, said
    } rows[] = {
        {"the project file", "menu.cdrom", "menu.cdrom", "", "", refused, "\": it is the project file.\n"},
        {"the project file through a link", "menu.cdrom", "link.iso", "ln -s menu.cdrom link.iso", "", refused,
         "\": it is the project file.\n"},
        {"a project named like the temporary image", ".torvana-burn-stage.iso", ".torvana-burn-stage.iso",
         "cp menu.cdrom .torvana-burn-stage.iso", "", refused, "\": it is the project file.\n"},
        {"a source picture", "menu.cdrom", "art/back.bmp", "", "", "", "/art/back.bmp\", a file of the project.\n"},
        {"autorun.inf in the staging folder", "menu.cdrom", "stage/autorun.inf", "mkdir stage; echo x >stage/autorun.inf", "",
         refused, "\": it lies inside the staging folder \""},
        {"a file that holds bytes", "menu.cdrom", "mine.txt", "printf 'keep me' >mine.txt", "", refused,
         "\": the file holds 7 bytes, which burning would replace; add --overwrite to replace it.\n"},
        {"a file that holds bytes, with --overwrite", "menu.cdrom", "mine.txt", "printf 'keep me' >mine.txt", "--overwrite",
         "", "The disc is burned.\n"},
        {"an empty file", "menu.cdrom", "empty.iso", ": >empty.iso", "", "", "The disc is burned.\n"},
        {"a folder that does not exist", "menu.cdrom", "no/such/folder/disc.iso", "", "", unusable, "\" cannot be used: "},
        {"no drive at the address", "menu.cdrom", "", "", "--drive /dev/torvana-no-drive", "",
         "error: No drive that writes discs is at \"/dev/torvana-no-drive\".\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DiscProject p;
        tool("cd '" + p.dir.path() + "' && (true; " + std::string(row.make) + ")");
        const std::string target = p.dir.file(row.target);
        const bool file = !row.target.empty() && fs::is_regular_file(target), staged = fs::exists(p.stage);
        const std::string before = file ? torvana::readFileContents(target) : "";
        const std::string drive = row.target.empty() ? "" : " --drive stdio:" + target;
        const Outcome r = program().run("burn " + row.project + drive + " " + row.options, p.dir.path());
        const bool burned = row.said == "The disc is burned.\n";
        EXPECT_EQ(r.status, burned ? 0 : 2) << r.err;
        EXPECT_TRUE(has(r.err, row.lead + (row.lead.empty() ? "" : target) + row.said)) << r.err;
        // Refused: nothing built, nothing written, nothing removed.
        EXPECT_TRUE(burned || fs::exists(p.stage) == staged);
        EXPECT_TRUE(burned || !file || (fs::exists(target) && torvana::readFileContents(target) == before));
        EXPECT_TRUE(fs::exists(p.dir.file(row.project)));
        EXPECT_TRUE(!burned || fs::file_size(target) > 16u * 2048);
        for (const auto& e : fs::directory_iterator(p.dir.path()))
            EXPECT_TRUE(e.path().filename() == row.project || e.path().filename().string().rfind(".torvana-burn", 0) != 0);
    }
}
