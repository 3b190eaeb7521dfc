#pragma once
// A generated project for the disc tests: real pictures and sounds in art/, the player in
// program/, a staging folder stage/ that does not exist yet, and one clean hotspot. A clean
// project of this kind passes the disc check without a finding.

#include <cstdint>
#include <filesystem>
#include <string>

#include "staging/staging_build.h"
#include "gif/gif_writer.h"
#include "project/file_io.h"
#include "project/project_file.h"
#include "project/paths.h"
#include "test_support/bmp.h"
#include "test_support/linux_player.h"
#include "test_support/temp_dir.h"

namespace disctest {

// An uncompressed 24-bit black BMP.
inline std::string bmpBytes(int width, int height) { return testbmp::solid(width, height); }

inline std::string gifBytes(int width, int height) {
    giftest::GifBuilder g;
    g.Header(width, height, giftest::Palette(4)).Image(0, 0, width, height, giftest::Bytes(size_t(width) * height, 1), 2).Trailer();
    return g.str();
}

// Half a millisecond of 8-bit silence at 8000 Hz.
inline std::string wavBytes() {
    std::string b = "RIFF";
    b += std::string("\x28\x00\x00\x00", 4);
    b += "WAVEfmt ";
    b += std::string("\x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00", 20);
    b += "data";
    b += std::string("\x04\x00\x00\x00", 4);
    return b + std::string(4, '\x80');
}

struct DiscProject {
    TempDir dir;
    std::string art = dir.file("art");
    std::string stage = dir.file("stage");
    torvana::ProjectState state;
    torvana::Project project;
    torvana::BuildSettings settings;

    DiscProject() {
        std::filesystem::create_directories(art);
        std::filesystem::create_directories(dir.file("program"));
        torvana::replaceFileContents(dir.file("program/autorun.exe"), "player");
        makeLinuxPlayerStandIn(dir.file("program"));
        state.programFolder = dir.file("program") + "/";
        state.projectName = "menu.cdrom";
        state.projectPath = dir.file("menu.cdrom");
        project.cdTitle = "Summer Photos";
        project.stagingFolder = stage;
        project.backgroundImage = file("back.bmp", bmpBytes(640, 480));
        project.openingWav = file("open.wav", wavBytes());
        addHotspot(file("slides.exe", "program"), file("over.gif", gifBytes(100, 50)), "10", "20",
                   file("hover.wav", wavBytes()));
        save();
    }

    // A file in art/ (or in a sub-folder of it named in `name`).
    std::string file(const std::string& name, const std::string& contents = "x") {
        const std::string p = art + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(p).parent_path());
        torvana::replaceFileContents(p, contents);
        return p;
    }

    void addHotspot(const std::string& app, const std::string& image, const std::string& x = "0",
                    const std::string& y = "0", const std::string& over = "", const std::string& click = "") {
        ++project.hotspotCount;
        project.hotspots.push_back({app, image, x, y, over, click});
    }

    // Hotspot n, numbered from 1 as the project file and the findings number them.
    torvana::Hotspot& hotspot(int n) { return project.hotspots.at(size_t(n - 1)); }

    // Writes the project file as the project is now.
    void save() { torvana::writeProjectFile(state.projectPath, project); }
};

}  // namespace disctest
