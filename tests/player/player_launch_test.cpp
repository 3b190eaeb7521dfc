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

    const auto programCommands = torvana::player::commandsFor(hotspot(ActionKind::File, program));
    ASSERT_EQ(programCommands.size(), 2u);  // the program, and the opener when it cannot start
    EXPECT_EQ(programCommands[0].argv, std::vector<std::string>{program});
    EXPECT_EQ(programCommands[0].folder, dir.path());
    EXPECT_EQ(programCommands[1].argv, (std::vector<std::string>{"xdg-open", program}));

    const auto textCommands = torvana::player::commandsFor(hotspot(ActionKind::File, text));
    ASSERT_EQ(textCommands.size(), 1u);
    EXPECT_EQ(textCommands[0].argv, (std::vector<std::string>{"xdg-open", text}));

    const auto web = torvana::player::commandsFor(hotspot(ActionKind::WebAddress, "https://example.org/a b"));
    ASSERT_EQ(web.size(), 1u);
    EXPECT_EQ(web[0].argv, (std::vector<std::string>{"xdg-open", "https://example.org/a b"}));
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
