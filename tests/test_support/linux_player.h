#pragma once
// A small stand-in for the Linux player folder that the build copies from beside the editor (the
// real one, some 70 MB, is built and tested by the bundle's own test): the player, a script, and
// one file in a sub-folder.

#include <filesystem>
#include <string>

#include "project/file_io.h"

inline void makeLinuxPlayerStandIn(const std::string& programFolder) {
    const std::string folder = programFolder + "/linux-x86_64";
    std::filesystem::create_directories(folder + "/lib");
    torvana::replaceFileContents(folder + "/torvana-player", "#!/bin/sh\n");
    torvana::makeExecutable(folder + "/torvana-player");
    torvana::replaceFileContents(folder + "/lib/libQt6Core.so.6", "library");
}
