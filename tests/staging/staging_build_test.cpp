#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>

#include "staging/staging_build.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "project/staged_menu.h"
#include "test_support/bmp.h"
#include "test_support/linux_player.h"
#include "test_support/staged_folder.h"
#include "test_support/temp_dir.h"

namespace fs = std::filesystem;
using namespace torvana;

namespace {

// Records the build's whole conversation with the user, in order.
class RecordingUser : public BuildUser {
public:
    std::vector<std::string> said;
    bool busyNow = false;
    uint64_t lastDone = 0, lastTotal = 0;
    int progressCalls = 0;

    void beep() override { said.push_back("beep"); }
    void refuse(BuildField f, const std::string& m) override {
        said.push_back(std::string("refuse ") + (f == BuildField::StagingFolder ? "staging: " : "background: ") + m);
    }
    void warning(const std::string& m) override {
        // The stand-in pictures and sounds of these tests are no media the menu shows; what the
        // build says of them is kept apart (MediaThePlayersLeaveOutAreWarnedOf).
        if (m.ends_with(": the menu does not show it.") || m.ends_with(": the menu does not play it.")) {
            media.push_back(m);
            return;
        }
        said.push_back("warning: " + m);
        busyAtWarnings.push_back(busyNow);
    }
    std::vector<std::string> media;
    std::vector<bool> busyAtWarnings;
    void error(const std::string& m) override { said.push_back("error: " + m); }
    void information(const std::string& m) override { said.push_back("information: " + m); }
    void busy(bool on) override { busyNow = on; }
    void succeeded() override { said.push_back("succeeded"); }
    void progress(const std::string&, uint64_t done, uint64_t total) override {
        lastDone = done;
        lastTotal = total;
        ++progressCalls;
    }
};

// A project with its files in `art`, the player in `program`, building into `stage`.
struct Fixture {
    TempDir dir;
    ProjectState state;
    Project project;
    BuildSettings settings;
    RecordingUser user;
    std::string art = dir.file("art");
    std::string stage = dir.file("stage");

    Fixture() {
        fs::create_directories(art);
        fs::create_directories(dir.file("program"));
        replaceFileContents(dir.file("program/autorun.exe"), "player");
        state.programFolder = dir.file("program") + "/";
        state.projectName = "menu.cdrom";
        state.projectPath = dir.file("menu.cdrom");
        project.stagingFolder = stage;
        project.backgroundImage = file("back.gif", "background");
        project.cdTitle = "My Disc";
        settings.addLinuxPlayer = false;  // the Linux part has tests of its own
    }

    std::string file(const std::string& name, const std::string& contents = "x") {
        const std::string p = art + "/" + name;
        replaceFileContents(p, contents);
        return p;
    }

    void addHotspot(const std::string& app, const std::string& image, const std::string& over = "",
                    const std::string& click = "") {
        ++project.hotspotCount;
        project.hotspots.push_back({app, image, "1", "1", over, click});
    }
    Hotspot& hotspot(int n) { return project.hotspots.at(size_t(n - 1)); }

    BuildResult build() { return runStagingBuild(state, project, settings, user); }
    std::string staged(const std::string& rel) const { return stage + "/" + rel; }
};

std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        out.push_back(fs::relative(e.path(), folder).string() + (e.is_directory() ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
}

// Temporary files left anywhere under `folder`.
std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> out;
    for (const std::string& f : listing(folder))
        if (fs::path(f).filename().string().rfind(".tv", 0) == 0) out.push_back(f);
    return out;
}

}  // namespace

TEST(StagingBuild, RefusesWithoutWritingAnything) {
    {
        Fixture fx;  // a new project with no accepted hotspot: only a beep
        EXPECT_EQ(fx.build(), BuildResult::Refused);
        EXPECT_EQ(fx.user.said, std::vector<std::string>{"beep"});
    }
    {
        Fixture fx;  // no project open
        fx.addHotspot("exit", fx.file("r.gif"));
        fx.state.projectName.clear();
        EXPECT_EQ(fx.build(), BuildResult::Refused);
        EXPECT_EQ(fx.user.said, std::vector<std::string>{"beep"});
    }
    struct Case {
        std::string staging, background, said;
    } cases[] = {
        {"", "b.gif", "refuse staging: Staging Folder is required."},
        {"/ab", "b.gif", "refuse staging: Staging Folder cannot be on the root folder."},
        // Longer texts that still name the root folder.
        {"////", "b.gif", "refuse staging: Staging Folder cannot be on the root folder."},
        {"/tmp/..", "b.gif", "refuse staging: Staging Folder cannot be on the root folder."},
        {"//tmp/.././/", "b.gif", "refuse staging: Staging Folder cannot be on the root folder."},
        {"/no-such-folder/..", "b.gif", "refuse staging: Staging Folder cannot be on the root folder."},
        {"../../../../../../../../../../../../../../../..", "b.gif",
         "refuse staging: Staging Folder cannot be on the root folder."},
        {"/abc", "", "refuse background: Background Image is required."},
    };
    Fixture linked;
    fs::create_directory_symlink("/", linked.dir.file("to-root"));
    for (const Case& c : cases) {
        Fixture fx;
        fx.addHotspot("exit", fx.file("r.gif"));
        fx.project.stagingFolder = c.staging;
        fx.project.backgroundImage = c.background;
        EXPECT_EQ(fx.build(), BuildResult::Refused);
        EXPECT_EQ(fx.user.said, std::vector<std::string>{c.said});
        EXPECT_FALSE(fileExists(fx.state.projectPath));
        EXPECT_FALSE(fx.state.projectSaved);
        EXPECT_FALSE(fx.user.busyNow);
    }
    linked.addHotspot("exit", linked.file("r.gif"));
    linked.project.stagingFolder = linked.dir.file("to-root");  // a link to the root folder
    EXPECT_EQ(linked.build(), BuildResult::Refused);
    EXPECT_EQ(linked.user.said,
              std::vector<std::string>{"refuse staging: Staging Folder cannot be on the root folder."});
}

TEST(StagingBuild, AValueThatWouldNotReadBackIsRefusedBeforeAnythingIsWritten) {
    // A CR or LF would shift every later line of the project file; a Ctrl-Z would end its data.
    struct Case {
        void (*set)(Fixture&, const std::string&);
        std::string value, text;
    } cases[] = {
        {[](Fixture& fx, const std::string& v) { fx.project.cdTitle = v; }, "Summer\nPhotos",
         "CD Title \"Summer\\x0APhotos\" holds a line break or a Ctrl+Z, which the project file cannot keep; "
         "nothing was written"},
        {[](Fixture& fx, const std::string& v) { fx.project.openingWav = v; }, "a\r.wav",
         "Opening WAV \"a\\x0D.wav\" holds a line break or a Ctrl+Z, which the project file cannot keep; "
         "nothing was written"},
        {[](Fixture& fx, const std::string& v) { fx.hotspot(2).application = v; }, "setup.exe\r\n-s",
         "HotSpot 2, Application \"setup.exe\\x0D\\x0A-s\" holds a line break or a Ctrl+Z, which the project "
         "file cannot keep; nothing was written"},
        {[](Fixture& fx, const std::string& v) { fx.hotspot(1).clickWav = v; }, "c\x1a.wav",
         "HotSpot 1, Click WAV \"c\\x1A.wav\" holds a line break or a Ctrl+Z, which the project file cannot keep; "
         "nothing was written"},
    };
    for (const Case& c : cases) {
        Fixture fx;
        fx.addHotspot("exit", fx.file("r.gif"));
        fx.addHotspot("exit", fx.file("r.gif"));
        c.set(fx, c.value);
        std::string text;
        try {
            fx.build();
        } catch (const Error& e) {
            text = e.what();
        }
        EXPECT_EQ(text, c.text);
        EXPECT_FALSE(fileExists(fx.state.projectPath));
        EXPECT_FALSE(folderExists(fx.stage));
        EXPECT_FALSE(fx.state.projectSaved);
    }
}

TEST(StagingBuild, ThreeHotspotsWithoutSounds) {
    Fixture fx;
    fx.addHotspot(fx.file("one.exe", "1"), fx.file("r1.gif"));
    fx.addHotspot(fx.file("two.exe", "2"), fx.file("r2.gif"));
    fx.addHotspot("exit", fx.file("r3.gif"));
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_EQ(fx.user.said, (std::vector<std::string>{
                                "succeeded", "information: All Files copied over to \"" + fx.stage +
                                                 "\", and can to be copied to a CDROM."}));
    EXPECT_EQ(listing(fx.stage), (std::vector<std::string>{"1/", "1/one.exe", "2/", "2/two.exe", "3/", "autorun.exe",
                                                            "autorun.inf", "images/", "images/back.gif",
                                                            "images/r1.gif", "images/r2.gif", "images/r3.gif",
                                                            "index.html", "menu.cdrom", "wavs/"}));
    EXPECT_EQ(readFileContents(fx.staged("autorun.inf")),
              "[autorun]\r\nOPEN=autorun.exe\r\nICON=autorun.exe\r\nlabel=My Disc\r\naction=Start My Disc\r\n");
    EXPECT_EQ(readFileContents(fx.staged("autorun.exe")), "player");
    EXPECT_EQ(readFileContents(fx.staged("1/one.exe")), "1");
    EXPECT_TRUE(fx.state.projectSaved);
    EXPECT_FALSE(fx.state.copyFailed);
    EXPECT_FALSE(fx.user.busyNow);
    // The staged project file is the one just written.
    const Project d = readProjectFile(fx.staged("menu.cdrom"));
    EXPECT_EQ(d.hotspotCount, 3);
    EXPECT_EQ(d.cdTitle, "My Disc");
    EXPECT_EQ(d.hotspots[2].application, "exit");
    EXPECT_EQ(d, withoutFolderNames(readProjectFile(fx.state.projectPath)));
}

TEST(StagingBuild, Sounds) {
    Fixture fx;
    fx.project.openingWav = fx.file("open.wav");
    fx.addHotspot("exit", fx.file("r.gif"), fx.file("over.wav"), fx.file("click.wav"));
    fx.addHotspot("exit", fx.file("r.gif"), fx.file("over.wav"));  // the same files again do not meet
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_TRUE(fileExists(fx.staged("wavs/open.wav")));
    EXPECT_TRUE(fileExists(fx.staged("wavs/over.wav")));
    EXPECT_TRUE(fileExists(fx.staged("wavs/click.wav")));
}

TEST(StagingBuild, FilesMeetingInOneNameAreReportedBeforeTheFirstCopy) {
    Fixture fx;
    fs::create_directories(fx.art + "/other");
    fs::create_directories(fx.art + "/same");
    replaceFileContents(fx.art + "/other/r.gif", "second");
    replaceFileContents(fx.art + "/same/r.gif", "first");  // the same bytes as art/r.gif: no meeting
    fx.addHotspot(fx.art + "/missing.exe", fx.file("r.gif", "first"));
    fx.addHotspot("exit", fx.art + "/other/r.gif");
    fx.addHotspot("exit", fx.art + "/same/r.gif");
    fx.addHotspot("exit", fx.art + "/other/r.gif");  // the same source again: no second meeting
    EXPECT_EQ(fx.build(), BuildResult::CompletedWithFailures);
    EXPECT_EQ(fx.user.said, (std::vector<std::string>{
                                "warning: Files: \"" + fx.art + "/r.gif\" and \"" + fx.art +
                                    "/other/r.gif\" are both copied to \"" + fx.staged("images/r.gif") +
                                    "\", which can hold only one of them.",
                                "warning: File: \"" + fx.art + "/missing.exe\" does not exist."}));
    EXPECT_EQ(readFileContents(fx.staged("images/r.gif")), "second");  // copied as before: the last wins
    EXPECT_TRUE(fx.state.copyFailed);
}

TEST(StagingBuild, AFileThatIsTheSourceOfAnotherCopyIsNeverOverwritten) {
    // The background is taken from the staging folder itself; a rollover of the same name from
    // elsewhere would replace the user's only copy of it.
    Fixture fx;
    fs::create_directories(fx.staged("images"));
    replaceFileContents(fx.staged("images/bg.bmp"), "the user's background");
    fx.project.backgroundImage = fx.staged("images/bg.bmp");
    fx.addHotspot("exit", fx.file("bg.bmp", "a rollover"));
    // The same with the order turned round: the copy onto the later source is the one skipped.
    replaceFileContents(fx.staged("images/r.gif"), "the user's rollover");
    fx.addHotspot("exit", fx.file("r.gif", "another rollover"));
    fx.addHotspot("exit", fx.staged("images/r.gif"));
    EXPECT_EQ(fx.build(), BuildResult::CompletedWithFailures);
    const std::string meets = "\" are both copied to \"", only = "\", which can hold only one of them.";
    EXPECT_EQ(fx.user.said,
              (std::vector<std::string>{
                  "warning: Files: \"" + fx.staged("images/bg.bmp") + "\" and \"" + fx.art + "/bg.bmp" + meets +
                      fx.staged("images/bg.bmp") + only,
                  "warning: Files: \"" + fx.art + "/r.gif\" and \"" + fx.staged("images/r.gif") + meets +
                      fx.staged("images/r.gif") + only,
                  "warning: File: \"" + fx.art + "/bg.bmp\" is not copied: its destination \"" +
                      fx.staged("images/bg.bmp") + "\" is the source of another copy.",
                  "warning: File: \"" + fx.art + "/r.gif\" is not copied: its destination \"" +
                      fx.staged("images/r.gif") + "\" is the source of another copy."}));
    EXPECT_EQ(readFileContents(fx.staged("images/bg.bmp")), "the user's background");
    EXPECT_EQ(readFileContents(fx.staged("images/r.gif")), "the user's rollover");
    EXPECT_TRUE(fx.state.copyFailed);
}

// The files the build writes itself never replace a user's file of the same name: one a hotspot
// launches from the staging folder, or one the build did not write. Built twice, as a user does.
TEST(StagingBuild, AUsersAutorunFilesAreNeverReplaced) {
    const struct {
        const char* name;
        bool launched;
        const char* said;
    } rows[] = {
        {"autorun.sh", true, "\" is not written: it is the source of another copy."},
        {"autorun.inf", true, "\" is not written: it is the source of another copy."},
        {"autorun.sh", false, "\" was not made by Torvana and is left as it is."},
        {"autorun.inf", false, "\" was not made by Torvana and is left as it is."},
    };
    for (const auto& row : rows) {
        Fixture fx;
        fx.settings.addLinuxPlayer = true;
        makeLinuxPlayerStandIn(fx.state.programFolder);
        fs::create_directories(fx.stage);
        const std::string users = "the user's own " + std::string(row.name);
        replaceFileContents(fx.staged(row.name), users);
        fx.addHotspot(row.launched ? fx.staged(row.name) : "exit", fx.file("r.gif"));
        for (int build = 1; build <= 2; ++build) {
            fx.user.said.clear();
            EXPECT_EQ(fx.build(), BuildResult::CompletedWithFailures) << row.name << " build " << build;
            EXPECT_EQ(readFileContents(fx.staged(row.name)), users) << row.name << " build " << build;
            if (row.launched) {
                EXPECT_EQ(readFileContents(fx.staged(std::string("1/") + row.name)), users) << row.name;
            }
            ASSERT_EQ(fx.user.said.size(), 1u) << row.name;
            EXPECT_NE(fx.user.said[0].find(fx.staged(row.name) + row.said), std::string::npos) << fx.user.said[0];
        }
    }
}

TEST(StagingBuild, ProgressCountsEveryByte) {
    Fixture fx;
    fx.addHotspot(fx.file("big.bin", std::string(40 << 20, 'b')), fx.file("r.gif"));
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    const uint64_t total = fileSize(fx.state.projectPath) + 6 + fileSize(fx.project.backgroundImage) + (40 << 20) + 1;
    EXPECT_EQ(fx.user.lastTotal, total);
    EXPECT_EQ(fx.user.lastDone, total);
    EXPECT_GE(fx.user.progressCalls, 6 + 2);  // one per file, and more within the large one
    EXPECT_EQ(fileSize(fx.staged("1/big.bin")), uint64_t{40} << 20);
}

TEST(StagingBuild, ExitWebAddressesAndCapitalExit) {
    Fixture fx;
    fx.addHotspot("exit", fx.file("r.gif"));
    fx.addHotspot("http://example.org/page", fx.file("r.gif"));
    fx.addHotspot("www.example.org", fx.file("r.gif"));
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    for (const char* folder : {"1", "2", "3"}) {
        EXPECT_TRUE(folderExists(fx.staged(folder)));
        EXPECT_TRUE(fs::is_empty(fx.staged(folder)));
    }
    Fixture capital;
    capital.addHotspot("Exit", capital.file("r.gif"));
    EXPECT_EQ(capital.build(), BuildResult::CompletedWithFailures);
    EXPECT_EQ(capital.user.said, std::vector<std::string>{"warning: File: \"Exit\" does not exist."});
    // The hourglass shows while the build copies, and the arrow comes back at its end.
    EXPECT_EQ(capital.user.busyAtWarnings, std::vector<bool>{true});
    EXPECT_FALSE(capital.user.busyNow);
    EXPECT_TRUE(capital.state.copyFailed);
    EXPECT_TRUE(capital.state.projectSaved);
    EXPECT_TRUE(fileExists(capital.staged("autorun.inf")));  // the rest of the build went on
}

TEST(CopyRule, MessagesShowStoredPathsVisiblyAndWhole) {
    // A control byte and a byte that is not UTF-8 become escapes; a long printable path stays
    // byte for byte, without a cut.
    Fixture fx;
    RecordingUser user;
    bool failed = false;
    const std::string longPath = "/" + std::string(300, 'l') + "/\xC3\xA9t\xC3\xA9.gif";
    CopyIntoStaging("/art/a\x01\xFF.gif", fx.staged("a.gif"), user, failed);
    CopyIntoStaging(longPath, fx.staged("b.gif"), user, failed);
    EXPECT_EQ(user.said, (std::vector<std::string>{"warning: File: \"/art/a\\x01\\xFF.gif\" does not exist.",
                                                   "warning: File: \"" + longPath + "\" does not exist."}));
}

// The Linux player: its folder beside the editor copied whole (sub-folders before their files,
// the player first), autorun.sh written with LF line ends and made executable, and both planned,
// so the disc check and the disc image count them as the build's own.
TEST(LinuxPlayer, FolderCopiedAndScriptWritten) {
    Fixture fx;
    fx.settings.addLinuxPlayer = true;
    makeLinuxPlayerStandIn(fx.state.programFolder);
    fs::create_directories(fx.state.programFolder + "linux-x86_64/licenses");
    replaceFileContents(fx.state.programFolder + "linux-x86_64/licenses/libsdl2-2.0-0", "licence");
    fx.addHotspot("exit", fx.file("r.gif"));

    const StagingPlan plan = planStaging(fx.state, fx.project, fx.settings);
    EXPECT_EQ(std::vector<std::string>(plan.folders.begin() + 3, plan.folders.end()),
              (std::vector<std::string>{"linux-x86_64", "linux-x86_64/lib", "linux-x86_64/licenses"}));
    std::vector<std::string> copied;
    for (const StagedCopy& c : plan.copies)
        if (c.relative.rfind("linux-x86_64/", 0) == 0) copied.push_back(c.relative);
    EXPECT_EQ(copied, (std::vector<std::string>{"linux-x86_64/torvana-player", "linux-x86_64/lib/libdecor-0.so.0",
                                                "linux-x86_64/licenses/libsdl2-2.0-0"}));
    EXPECT_EQ(plan.written.back(), "autorun.sh");

    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_EQ(readFileContents(fx.staged("linux-x86_64/licenses/libsdl2-2.0-0")), "licence");
    const std::string script = readFileContents(fx.staged("autorun.sh"));
    EXPECT_EQ(script, kAutorunShText);
    EXPECT_EQ(script.rfind("#!/bin/sh\n", 0), 0u);
    EXPECT_EQ(script.find('\r'), std::string::npos);
    for (const char* f : {"autorun.sh", "linux-x86_64/torvana-player"})
        EXPECT_EQ(fs::status(fx.staged(f)).permissions() & fs::perms::others_exec, fs::perms::others_exec) << f;

    // Turned off, the build neither plans nor writes any of it.
    Fixture off;
    makeLinuxPlayerStandIn(off.state.programFolder);
    off.addHotspot("exit", off.file("r.gif"));
    const StagingPlan without = planStaging(off.state, off.project, off.settings);
    EXPECT_EQ(without.folders.size(), 3u);
    EXPECT_EQ(std::count(without.written.begin(), without.written.end(), "autorun.sh"), 0);
    EXPECT_EQ(off.build(), BuildResult::Succeeded);
    EXPECT_FALSE(fs::exists(off.staged("autorun.sh")));
    EXPECT_FALSE(fs::exists(off.staged("linux-x86_64")));
}

// A Linux part that cannot be made is told like a failed copy: the build goes on, ends without
// the closing message and leaves Test Run as it was.
// autorun.sh starts the player beside itself whatever the folder is called and however it is
// run: a name ending in a line break, one starting with "-", "-" itself, and a CDPATH that names
// a folder of the same name elsewhere. A player that cannot start is said, not passed over.
TEST(LinuxPlayer, AutorunShStartsThePlayerBesideItself) {
    TempDir dir;
    const std::string out = dir.file("started");
    auto makeMenu = [&](const std::string& folder, const std::string& says) {
        fs::create_directories(folder + "/linux-x86_64");
        replaceFileContents(folder + "/autorun.sh", kAutorunShText);
        replaceFileContents(folder + "/linux-x86_64/torvana-player", "#!/bin/sh\necho " + says + " > \"$OUT\"\n");
        makeExecutable(folder + "/linux-x86_64/torvana-player");
    };
    auto run = [&](const std::string& folder, const char* desktop = "DISPLAY=:9") {
        const std::string command = "cd '" + dir.path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY " + desktop +
                                    " CDPATH='" + dir.file("decoys") + "' OUT='" + out + "' sh -- '" + folder +
                                    "/autorun.sh' 2>'" + dir.file("err") + "'";
        return std::system(command.c_str());
    };
    for (const std::string name : {"menu\n", "-dash", "-", "a b", "x\n\n"}) {
        makeMenu(dir.file(name), "right");
        makeMenu(dir.file("decoys/" + name), "decoy");
        fs::remove(out);
        EXPECT_EQ(run(name), 0) << name;
        EXPECT_EQ(fileExists(out) ? readFileContents(out) : "", "right\n") << "[" << name << "]";
    }
    // A player no loader can run, and no desktop to show a menu on: a message, status 1.
    makeMenu(dir.file("broken"), "never");
    replaceFileContents(dir.file("broken/linux-x86_64/torvana-player"), "not a program");
    fs::permissions(dir.file("broken/linux-x86_64/torvana-player"), fs::perms::owner_read | fs::perms::owner_write);
    const auto failsSaying = [&](int status, const std::string& message) {
        EXPECT_EQ(WEXITSTATUS(status), 1) << message;
        EXPECT_NE(readFileContents(dir.file("err")).find("autorun.sh: " + message), std::string::npos)
            << readFileContents(dir.file("err"));
    };
    failsSaying(run("broken"), "the menu player cannot be started on this computer.");
    fs::remove(out);
    failsSaying(run("menu\n", ""), kNoDesktopText);
    EXPECT_FALSE(fileExists(out)) << "the player was started without a desktop";
}

TEST(LinuxPlayer, FailuresAreToldLikeFailedCopies) {
    struct Case {
        const char* name;
        std::function<void(Fixture&)> spoil;
        std::function<std::string(Fixture&)> said;
    };
    const Case cases[] = {
        {"no player beside the editor", [](Fixture&) {},
         [](Fixture& fx) {
             return "warning: File: \"" + fx.state.programFolder + "linux-x86_64/torvana-player\" does not exist.";
         }},
        {"a folder where a library goes",
         [](Fixture& fx) {
             makeLinuxPlayerStandIn(fx.state.programFolder);
             fs::create_directories(fx.staged("linux-x86_64/lib/libdecor-0.so.0/inside"));
         },
         [](Fixture& fx) {
             return "error: Error copying file: \"" + fx.state.programFolder + "linux-x86_64/lib/libdecor-0.so.0\" to \"" +
                    fx.staged("linux-x86_64/lib/libdecor-0.so.0") + "\"";
         }},
        {"a folder where autorun.sh goes",
         [](Fixture& fx) {
             makeLinuxPlayerStandIn(fx.state.programFolder);
             fs::create_directories(fx.staged("autorun.sh/inside"));
         },
         [](Fixture& fx) {
             return "error: Error writing file: \"" + fx.staged("autorun.sh") + "\" (File access denied).";
         }},
    };
    for (const Case& c : cases) {
        Fixture fx;
        fx.settings.addLinuxPlayer = true;
        fx.addHotspot("exit", fx.file("r.gif"));
        c.spoil(fx);
        EXPECT_EQ(fx.build(), BuildResult::CompletedWithFailures) << c.name;
        EXPECT_EQ(fx.user.said, std::vector<std::string>{c.said(fx)}) << c.name;
        EXPECT_TRUE(fx.state.copyFailed) << c.name;
        EXPECT_TRUE(fileExists(fx.staged("autorun.inf"))) << c.name;
        EXPECT_EQ(leftovers(fx.stage), std::vector<std::string>{}) << c.name;
    }
}

// The program of an application is the longest part of its text that names an existing file;
// it is staged under its own name, and the project keeps the text with its options.
TEST(CopyRule, TheProgramIsTheLongestExistingPartOfTheText) {
    Fixture fx;
    const std::string setup = fx.file("setup.bat", "setup");
    fs::create_directories(fx.art + "/acme.com assets");
    const std::string run = fx.file("acme.com assets/run.exe", "run");
    fx.addHotspot(setup + " /s", fx.file("r.gif"));
    fx.addHotspot(setup + " -s -q", "");
    fx.addHotspot(run, "");
    fx.addHotspot(run + " /x", "");
    fx.addHotspot(fx.file("readme.html") + " /x", "");
    fx.addHotspot(fx.art + "/Old.Doc Files/a.exe /s", "");
    EXPECT_EQ(fx.build(), BuildResult::CompletedWithFailures);
    for (const char* staged : {"1/setup.bat", "2/setup.bat", "3/run.exe", "4/run.exe", "5/readme.html"})
        EXPECT_TRUE(fileExists(fx.staged(staged))) << staged;
    EXPECT_EQ(listing(fx.staged("1")), std::vector<std::string>{"setup.bat"});
    EXPECT_EQ(fx.user.said, std::vector<std::string>{"warning: File: \"" + fx.art + "/Old.Doc Files/a.exe /s\" does not exist."});
    EXPECT_EQ(readProjectFile(fx.state.projectPath).hotspots[0].application, setup + " /s");
}

// Only an application is a program followed by its options: a picture or a sound is taken whole,
// and one that is missing is reported, never made up for by a file named like its beginning.
TEST(CopyRule, PicturesAndSoundsAreTakenWhole) {
    Fixture fx;
    fx.file("photo", "another picture");
    fx.file("hover", "another sound");
    fx.project.backgroundImage = fx.art + "/photo 2.bmp";
    fx.addHotspot("exit", fx.art + "/photo 3.gif", fx.art + "/hover 1.wav");
    EXPECT_EQ(fx.build(), BuildResult::CompletedWithFailures);
    std::vector<std::string> missing;
    for (const char* name : {"photo 2.bmp", "photo 3.gif", "hover 1.wav"})
        missing.push_back("warning: File: \"" + fx.art + "/" + name + "\" does not exist.");
    EXPECT_EQ(fx.user.said, missing);
    EXPECT_EQ(listing(fx.staged("images")), std::vector<std::string>{});
    EXPECT_EQ(listing(fx.staged("wavs")), std::vector<std::string>{});
}

TEST(CopyRule, MissingPlayerAndFailedCopies) {
    Fixture fx;
    fs::remove(fx.dir.file("program/autorun.exe"));
    fx.addHotspot("exit", fx.file("r.gif"));
    // A folder stands where the background's copy must go.
    fs::create_directories(fx.staged("images/back.gif/inside"));
    EXPECT_EQ(fx.build(), BuildResult::CompletedWithFailures);
    EXPECT_EQ(fx.user.said, (std::vector<std::string>{
                                "warning: File: \"" + fx.dir.file("program/autorun.exe") + "\" does not exist.",
                                "error: Error copying file: \"" + fx.project.backgroundImage + "\" to \"" +
                                    fx.staged("images/back.gif") + "\""}));
    EXPECT_EQ(leftovers(fx.stage), std::vector<std::string>{});
}

// A source that shrinks while it is copied (truncated after the first chunk) is a failed
// copy, reported even though an older file of that name stays at the destination.
TEST(CopyRule, ASourceThatChangesDuringTheCopyIsAFailedCopy) {
    Fixture fx;
    const std::string big = fx.file("big.bin", std::string(40 << 20, 'b'));
    fs::create_directories(fx.staged("1"));
    replaceFileContents(fx.staged("1/big.bin"), "the older copy");
    bool failed = false;
    CopyIntoStaging(big, fx.staged("1/big.bin"), fx.user, failed, [&](uint64_t) {
        if (fs::file_size(big) > (20 << 20)) fs::resize_file(big, 20 << 20);
    });
    EXPECT_TRUE(failed);
    EXPECT_EQ(fx.user.said, std::vector<std::string>{"error: Error copying file: \"" + big + "\" to \"" +
                                                     fx.staged("1/big.bin") + "\""});
    EXPECT_EQ(readFileContents(fx.staged("1/big.bin")), "the older copy");  // old and whole
    EXPECT_EQ(leftovers(fx.stage), std::vector<std::string>{});
}

// The copy's temporary file never meets a user's file or a planted link: files named like
// older temporary names stay as they were, a link of such a name is not written through, and a
// source whose name is near the file-name limit is staged.
TEST(CopyRule, TemporaryFilesAreNewShortAndNeverFollowALink) {
    Fixture fx;
    const std::string longName = std::string(250, 'n') + ".exe";
    fx.addHotspot(fx.file(longName, "long"), fx.file("r.gif"));
    fs::create_directories(fx.staged("images"));
    fs::create_directories(fx.staged("1"));
    replaceFileContents(fx.staged("images/back.gif.torvana-part"), "mine");
    replaceFileContents(fx.state.projectPath + ".tmp", "my notes");
    const std::string outside = fx.dir.file("outside.txt");
    replaceFileContents(outside, "outside");
    fs::create_symlink(outside, fx.staged("images/r.gif.torvana-part"));
    fs::create_symlink(outside, fx.staged("images/r.gif"));  // the destination itself a link

    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_EQ(readFileContents(fx.staged("1/" + longName)), "long");
    EXPECT_EQ(readFileContents(fx.staged("images/back.gif.torvana-part")), "mine");
    EXPECT_EQ(readFileContents(fx.state.projectPath + ".tmp"), "my notes");
    EXPECT_EQ(readFileContents(outside), "outside");
    EXPECT_FALSE(fs::is_symlink(fx.staged("images/r.gif")));  // the link gave way to the copy
    EXPECT_EQ(readFileContents(fx.staged("images/r.gif")), "x");
    EXPECT_EQ(leftovers(fx.stage), std::vector<std::string>{});
    EXPECT_EQ(leftovers(fx.dir.path()), std::vector<std::string>{});
}

TEST(CopyRule, BuildingTwiceReplacesAndASourceAtItsDestinationStaysWhole) {
    Fixture fx;
    fx.addHotspot(fx.file("app.exe", "v1"), fx.file("r.gif"));
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    fx.file("app.exe", "v2");
    // The project file kept inside the staging folder at its target place.
    fx.state.projectPath = fx.staged("menu.cdrom");
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_EQ(readFileContents(fx.staged("1/app.exe")), "v2");
    EXPECT_EQ(readProjectFile(fx.staged("menu.cdrom")).hotspotCount, 1);
}

TEST(StagingBuild, TrailingSeparatorAndFoldersThatCannotBeMade) {
    Fixture fx;
    fx.addHotspot("exit", fx.file("r.gif"));
    fx.project.stagingFolder = fx.stage + "/";
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_TRUE(fileExists(fx.stage + "//images/back.gif"));
    EXPECT_EQ(fx.user.said.back(), "information: All Files copied over to \"" + fx.stage +
                                       "/\", and can to be copied to a CDROM.");

    Fixture deep;  // only the last level is created
    deep.addHotspot("exit", deep.file("r.gif"));
    deep.project.stagingFolder = deep.dir.file("no/such/stage");
    try {
        deep.build();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "The folder \"" + deep.dir.file("no/such/stage") + "\" cannot be made: File not found");
    }
    EXPECT_FALSE(deep.state.projectSaved);
    EXPECT_FALSE(deep.user.busyNow);

    Fixture unwritable;  // the project file cannot be written: the build stops, not saved
    unwritable.addHotspot("exit", unwritable.file("r.gif"));
    unwritable.state.projectPath = unwritable.dir.file("missing/menu.cdrom");
    EXPECT_THROW(unwritable.build(), Error);
    EXPECT_FALSE(unwritable.state.projectSaved);
}

// A copy that fails part-way (the disk fills up, simulated with a file size limit in a child
// process) leaves the destination's older file whole and no partial file behind.
TEST(CopyRule, AFailurePartWayNeverDamagesTheDestination) {
    Fixture fx;
    fx.addHotspot(fx.file("big.bin", std::string(3 << 20, 'n')), fx.file("r.gif"));
    fs::create_directories(fx.staged("1"));
    replaceFileContents(fx.staged("1/big.bin"), "the older copy");
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        RecordingUser user;
        bool failed = false;
        CopyIntoStaging(fx.art + "/big.bin", fx.staged("1/big.bin"), user, failed);
        _exit(failed && user.said.size() == 1 && user.said[0].rfind("error: Error copying file: ", 0) == 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the copy should fail and say so";
    EXPECT_EQ(readFileContents(fx.staged("1/big.bin")), "the older copy");
    EXPECT_EQ(leftovers(fx.stage), std::vector<std::string>{});
}

// autorun.inf keeps its three lines first; the CD title names the drive and the AutoPlay entry,
// cut to what Windows shows, and a name beyond ASCII makes the file UTF-16 with its mark.
TEST(StagingBuild, AutorunInfNamesTheDrive) {
    const std::string three = "[autorun]\r\nOPEN=autorun.exe\r\nICON=autorun.exe\r\n";
    struct Case {
        std::string title, text;
    } cases[] = {
        {"", three},
        {"  \t ", three},
        {"Summer Photos", three + "label=Summer Photos\r\naction=Start Summer Photos\r\n"},
        {" Tabs\there ", three + "label=Tabs here\r\naction=Start Tabs here\r\n"},
        {std::string(40, 'A'), three + "label=" + std::string(32, 'A') + "\r\naction=Start " + std::string(32, 'A') + "\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(autorunInfText(c.title), c.text) << c.title;

    // 31 ASCII characters and a euro sign of three bytes: the sign is kept whole, the cut after it.
    const std::string euro = std::string(31, 'e') + "\xE2\x82\xAC" + "zz";
    EXPECT_EQ(driveLabelFor(euro), std::string(31, 'e') + "\xE2\x82\xAC");
    std::u16string expected = u"\uFEFF[autorun]\r\nOPEN=autorun.exe\r\nICON=autorun.exe\r\nlabel=Fotos \u00FC\r\naction=Start Fotos \u00FC\r\n";
    std::string bytes;
    for (char16_t u : expected) bytes += {static_cast<char>(u & 0xff), static_cast<char>(u >> 8)};
    // The title in UTF-8, or in Windows-1252 as older project files hold it.
    for (const std::string title : {"Fotos \xC3\xBC", "Fotos \xFC"}) EXPECT_EQ(autorunInfText(title), bytes) << title;

}

// The staged project file stores names alone, which every player maps to the same staged copies;
// the user's own file keeps its folders. Switched off, the staged file is the user's copy.
TEST(StagingBuild, FolderNamesStayOffTheDisc) {
    const std::string art = "/home/ann/art/";
    Project data;
    data.stagingFolder = "/home/ann/stage";
    data.backgroundImage = art + "back.gif";
    data.openingWav = "";
    struct Row {
        std::string stored, staged;
    } rows[] = {
        {art + "setup.exe", "setup.exe"},
        {art + "tools/setup.sh --quiet", "setup.sh --quiet"},
        {"exit", "exit"},
        {"https://example.com/a/b", "https://example.com/a/b"},
        {"www.example.com", "www.example.com"},
        {art + "www.setup.sh", "./www.setup.sh"},  // the name alone would read as a web address
        {art + "exit", "./exit"},                  // or as the exit action
        {"slides.exe", "slides.exe"},
    };
    for (const Row& r : rows) data.hotspots.push_back({r.stored, art + "r.gif", "1", "2", art + "o.wav", ""});
    data.hotspotCount = static_cast<int32_t>(data.hotspots.size());
    const Project named = withoutFolderNames(data);
    EXPECT_EQ(named.stagingFolder, "stage");
    EXPECT_EQ(named.backgroundImage, "back.gif");
    EXPECT_EQ(named.openingWav, "");
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(named.hotspots[i].application, rows[i].staged);
        EXPECT_EQ(named.hotspots[i].rolloverImage, "r.gif");
        EXPECT_EQ(named.hotspots[i].rolloverWav, "o.wav");
    }
    const PlayerProject full = mapProject(data, "/disc", ""), fromNames = mapProject(named, "/disc", "");
    ASSERT_EQ(full.hotspots.size(), fromNames.hotspots.size());
    EXPECT_EQ(fromNames.background, full.background);
    for (size_t i = 0; i < full.hotspots.size(); ++i) {
        EXPECT_EQ(fromNames.hotspots[i].kind, full.hotspots[i].kind) << i;
        EXPECT_EQ(fromNames.hotspots[i].target, full.hotspots[i].target) << i;
        EXPECT_EQ(fromNames.hotspots[i].rolloverWav, full.hotspots[i].rolloverWav) << i;
    }

    Fixture fx;
    fx.addHotspot(fx.file("one.exe", "1"), fx.file("r1.gif"));
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    const std::string mine = readFileContents(fx.state.projectPath);
    EXPECT_NE(mine.find(fx.art), std::string::npos);
    EXPECT_EQ(readFileContents(fx.staged("menu.cdrom")).find(fx.dir.path()), std::string::npos);
    fx.settings.keepFolderNamesOff = false;
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_EQ(readFileContents(fx.staged("menu.cdrom")), mine);

    // A project file kept in the staging folder is the user's: it stays, and the user hears why.
    fx.settings.keepFolderNamesOff = true;
    fx.state.projectPath = fx.staged("menu.cdrom");
    fx.user.said.clear();
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    EXPECT_EQ(readFileContents(fx.state.projectPath), mine);
    ASSERT_FALSE(fx.user.said.empty());
    EXPECT_EQ(fx.user.said[0], "warning: The project file \"" + fx.staged("menu.cdrom") +
                                   "\" is kept in the staging folder itself, so the disc carries the folder names it "
                                   "stores. Keep it in another folder to leave them off.");
}

// A sound that is no WAV file and a picture the players cannot show are copied all the same,
// but the build warns that the menu leaves them out; it still succeeds.
TEST(StagingBuild, MediaThePlayersLeaveOutAreWarnedOf) {
    Fixture fx;
    fx.project.backgroundImage = fx.file("back.bmp", testbmp::solid(640, 480));
    fx.project.openingWav = fx.file("open.wav", testbmp::solid(4, 4));  // a BMP under a WAV's name
    std::string compressed = menutest::wave(10);
    compressed[20] = 2;  // ADPCM
    fx.addHotspot("exit", fx.file("r.gif", "GIF89a"), fx.file("over.wav", menutest::wave(10)), fx.file("click.wav", compressed));
    fx.addHotspot("exit", fx.file("r2.bmp", "notes"));
    EXPECT_EQ(fx.build(), BuildResult::Succeeded);
    const std::string show = ": the menu does not show it.", play = ": the menu does not play it.";
    EXPECT_EQ(fx.user.media, (std::vector<std::string>{
                                 "The opening sound \"" + fx.art + "/open.wav\" is not a WAV sound" + play,
                                 "Hotspot 1: the rollover picture \"" + fx.art + "/r.gif\" cannot be shown: Premature end of data" + show,
                                 "Hotspot 1: the click sound \"" + fx.art + "/click.wav\" cannot be played: compressed WAV data (format 2) cannot be played" + play,
                                 "Hotspot 2: the rollover picture \"" + fx.art + "/r2.bmp\" is not a picture the players show (BMP, GIF, PNG or JPEG)" + show}));
    EXPECT_TRUE(sameContents(fx.staged("wavs/open.wav"), fx.project.openingWav));
}
