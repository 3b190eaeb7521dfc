#pragma once
// A staging folder as the editor's build leaves it, in a temporary folder of its own, for every
// test of the players: the project file (written by the core's own writer), pictures in
// images/, sounds in wavs/, the file hotspot n launches in n/. The project names its files as
// the editor's user chose them, somewhere on their machine; the players go by the file name.

#include <cstdint>
#include <filesystem>
#include <string>

#include "project/file_io.h"
#include "project/project_file.h"
#include "test_support/temp_dir.h"

namespace menutest {

// `ms` milliseconds of 8-bit mono sound at 8000 Hz, every sample `sample` (0x80 is silence).
inline std::string wave(int ms, char sample = '\x80') {
    const uint32_t dataSize = 8 * uint32_t(ms);
    std::string b = "RIFF";
    const auto u32 = [&b](uint32_t v) { for (int i = 0; i < 4; ++i) b += char((v >> (8 * i)) & 0xFF); };
    u32(36 + dataSize);
    b += "WAVEfmt ";
    b += std::string("\x10\x00\x00\x00\x01\x00\x01\x00\x40\x1f\x00\x00\x40\x1f\x00\x00\x01\x00\x08\x00", 20);
    b += "data";
    u32(dataSize);
    return b + std::string(dataSize, sample);
}

struct StagedFolder {
    TempDir dir;
    torvana::Project data;

    StagedFolder() { data.cdTitle = "Summer Photos"; }

    // The stored path of a file as the editor's user chose it.
    static std::string stored(const std::string& name) { return "/home/maker/art/" + name; }
    std::string path(const std::string& relative) const { return dir.file(relative); }
    // Writes `bytes` to a file below the folder, creating its folder; the stored path of a file
    // of its name.
    std::string put(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path file = dir.file(relative);
        std::filesystem::create_directories(file.parent_path());
        torvana::replaceFileContents(file.string(), bytes);
        return stored(file.filename().string());
    }
    std::string image(const std::string& name, const std::string& bytes) const { return put("images/" + name, bytes); }
    std::string sound(const std::string& name, const std::string& bytes) const { return put("wavs/" + name, bytes); }
    torvana::Hotspot& addHotspot(const std::string& application, int x, int y) {
        torvana::Hotspot h;
        h.application = application;
        h.x = std::to_string(x);
        h.y = std::to_string(y);
        data.hotspots.push_back(h);
        return data.hotspots.back();
    }
    void writeProject(const std::string& name = "menu.cdrom") {
        data.hotspotCount = int(data.hotspots.size());
        torvana::writeProjectFile(path(name), data);
    }
};

}  // namespace menutest
