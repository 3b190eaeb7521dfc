// How the Linux player starts what a hotspot names: staged programs in their own folder, every
// other file and web address through the desktop's opener; a program that cannot start is said.

#include "player/launch.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

    // What a hotspot names, and the commands tried in turn: a program in its own folder, then the
    // opener when it cannot start; anything else straight to the opener.
    const struct {
        ActionKind kind;
        std::string target;
        std::vector<Command> commands;
    } rows[] = {
        {ActionKind::File, program, {{{program}, dir.path()}, {{"xdg-open", program}, {}}}},
        {ActionKind::File, text, {{{"xdg-open", text}, {}}}},
        {ActionKind::WebAddress, "https://example.org/a b", {{{"xdg-open", "https://example.org/a b"}, {}}}},
    };
    for (const auto& row : rows) {
        const auto commands = torvana::player::commandsFor(hotspot(row.kind, row.target));
        ASSERT_EQ(commands.size(), row.commands.size()) << row.target;
        for (size_t i = 0; i < commands.size(); ++i) {
            EXPECT_EQ(commands[i].argv, row.commands[i].argv) << row.target;
            EXPECT_EQ(commands[i].folder, row.commands[i].folder) << row.target << " " << i;
        }
    }
}

TEST(PlayerLaunch, StartingSaysWhetherTheProgramStarted) {
    TempDir dir;
    const std::string marker = dir.file("started");
    EXPECT_TRUE(torvana::player::spawnDetached({{"/bin/sh", "-c", "pwd > started"}, dir.path()}));
    for (int i = 0; i < 100 && !torvana::fileExists(marker); ++i) usleep(20000);
    EXPECT_EQ(torvana::readFileContents(marker), dir.path() + "\n");  // in the folder asked for

    EXPECT_FALSE(torvana::player::spawnDetached({{dir.file("none")}, {}}));
    EXPECT_FALSE(torvana::player::spawnDetached({{"/bin/sh"}, dir.file("no folder")}));
    // The first command that starts wins.
    EXPECT_TRUE(torvana::player::startFirst({{{dir.file("none")}, {}}, {{"/bin/true"}, {}}}));
    EXPECT_FALSE(torvana::player::startFirst({{{dir.file("none")}, {}}}));
}
