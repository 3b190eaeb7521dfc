#pragma once
// A menu in a folder of its own for the engine's and the players' tests: real BMP and GIF
// pictures and WAV sounds on disk, and the menu's pixels written as PNG to look at.

#include <cstdint>
#include <string>

#include <filesystem>
#include <memory>
#include <vector>

#include "menu/menu_engine.h"
#include "menu/menu_model.h"
#include "menu/menu_png.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "project/staged_menu.h"
#include "test_support/bmp.h"
#include "test_support/pictures.h"
#include "test_support/staged_folder.h"
#include "test_support/temp_dir.h"

namespace menutest {

// The engine of `project` as a player starts it: the background, then the hotspots loaded.
inline std::unique_ptr<torvana::menu::MenuEngine> loadedEngine(torvana::PlayerProject project,
                                                               torvana::menu::Clock now = [] { return int64_t(0); }) {
    auto engine = std::make_unique<torvana::menu::MenuEngine>(std::move(project), std::move(now));
    engine->loadBackground();
    engine->loadHotspots();
    return engine;
}

// The engine's picture of the menu staged in `folder`, after `events`, as 0xRRGGBB: what a
// player's window holds.
inline std::vector<uint32_t> engineView(const std::string& folder, const std::vector<torvana::menu::Event>& events = {}) {
    const auto engine = loadedEngine(torvana::loadPlayerProject({folder}));
    for (const auto& e : events) engine->handle(e);
    std::vector<uint32_t> rgb;
    for (const uint32_t px : engine->render().argb) rgb.push_back(px & 0xFFFFFF);
    return rgb;
}

// A folder holding a menu's files, and the project as the players map it.
struct MenuFolder {
    TempDir dir;
    torvana::PlayerProject project;

    MenuFolder() {
        project.folder = dir.path();
        project.title = "Summer Photos";
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string path = dir.file(name);
        torvana::replaceFileContents(path, bytes);
        return path;
    }
    // A hotspot at x, y with a one-colour rollover picture of w x h (none when w is 0).
    torvana::PlayerHotspot& addHotspot(torvana::ActionKind kind, const std::string& target, int x, int y, int w, int h,
                                       uint32_t rgb) {
        torvana::PlayerHotspot s;
        s.number = int(project.hotspots.size()) + 1;
        s.kind = kind;
        s.target = target;
        s.x = x;
        s.y = y;
        if (w > 0) s.rolloverImage = write("over" + std::to_string(s.number) + ".bmp", testbmp::solid(w, h, rgb));
        project.hotspots.push_back(s);
        return project.hotspots.back();
    }
};

// The example's shape: a title of its own, a background, an exit hotspot and a program with
// rollover pictures and sounds, Browse and Exit.
inline void exampleMenu(StagedFolder& s, const std::string& title) {
    s.data.cdTitle = title;
    s.data.showBrowse = s.data.showExit = true;
    s.data.backgroundImage = s.image("back.bmp", testbmp::solid(640, 480, 0x103050));
    s.data.openingWav = s.sound("open.wav", wave(200));
    torvana::Hotspot& exit = s.addHotspot("exit", 100, 50);
    exit.rolloverImage = s.image("exit.bmp", testbmp::solid(80, 40, 0xC02020));
    exit.rolloverWav = s.sound("over.wav", wave(50));
    // A program with options: the script writes its folder, its arguments and the compose file
    // it was given (the player changes that one for itself while it starts).
    torvana::Hotspot& program = s.addHotspot(StagedFolder::stored("run.sh") + " /s 'two words'", 300, 200);
    program.rolloverImage = s.image("run.bmp", testbmp::solid(60, 60, 0x20C020));
    s.put("2/run.sh", "#!/bin/sh\n{ pwd; printf '%s|' \"$@\"; echo; echo \"${XCOMPOSEFILE-unset}\"; } > \"$0.part\" && "
                      "mv \"$0.part\" \"$0.ran\"\n");
    torvana::makeExecutable(s.dir.file("2/run.sh"));
}

}  // namespace menutest
