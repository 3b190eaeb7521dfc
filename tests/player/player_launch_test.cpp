// How the Linux player starts what a hotspot names: staged programs in their own folder, every
// other file and web address through the desktop's opener; a program that cannot start is said.

#include "player/launch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <tuple>
#include <utility>

#include "project/file_io.h"
#include "test_support/temp_dir.h"

using torvana::ActionKind;
using torvana::player::Command;

namespace {

torvana::PlayerHotspot hotspot(ActionKind kind, const std::string& target) {
    torvana::PlayerHotspot h;
    h.kind = kind;
    h.target = target;
    return h;
}

}  // namespace

TEST(PlayerLaunch, ProgramsStartInTheirFolderAndTheRestGoesToTheOpener) {
    TempDir dir;
    const std::string program = dir.file("run.sh"), text = dir.file("read me.txt");
    torvana::replaceFileContents(program, "#!/bin/sh\n");
    torvana::makeExecutable(program);
    torvana::replaceFileContents(text, "text");

    // The commands tried in turn: a program in its own folder, then the opener when it cannot
    // start; anything else straight to the opener.
    const std::pair<torvana::PlayerHotspot, std::vector<Command>> rows[] = {
        {hotspot(ActionKind::File, program), {{{program}, dir.path()}, {{"xdg-open", program}, {}}}},
        {hotspot(ActionKind::File, text), {{{"xdg-open", text}, {}}}},
        {hotspot(ActionKind::WebAddress, "https://a.org/a b"), {{{"xdg-open", "https://a.org/a b"}, {}}}},
    };
    for (const auto& [h, expected] : rows) {
        const auto commands = torvana::player::commandsFor(h);
        ASSERT_EQ(commands.size(), expected.size()) << h.target;
        for (size_t i = 0; i < commands.size(); ++i)
            EXPECT_EQ(std::tie(commands[i].argv, commands[i].folder), std::tie(expected[i].argv, expected[i].folder));
    }
}

TEST(PlayerLaunch, StartingSaysWhetherTheProgramStarted) {
    TempDir dir;
    const std::string marker = dir.file("started");
    EXPECT_TRUE(torvana::player::spawnDetached({{"/bin/sh", "-c", "pwd > started"}, dir.path()}));
    // The shell makes the file before it writes the line: wait for the line, not the file.
    const auto written = [&] { return torvana::fileExists(marker) && !torvana::readFileContents(marker).empty(); };
    for (int i = 0; i < 100 && !written(); ++i) usleep(20000);
    EXPECT_EQ(torvana::readFileContents(marker), dir.path() + "\n");  // in the folder asked for

    EXPECT_FALSE(torvana::player::spawnDetached({{dir.file("none")}, {}}));
    EXPECT_FALSE(torvana::player::spawnDetached({{"/bin/sh"}, dir.file("no folder")}));
    // The first command that starts wins.
    EXPECT_TRUE(torvana::player::startFirst({{{dir.file("none")}, {}}, {{"/bin/true"}, {}}}));
    EXPECT_FALSE(torvana::player::startFirst({{{dir.file("none")}, {}}}));
}
