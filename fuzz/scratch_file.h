#pragma once
// A fuzzer's own scratch file for readers that take a path, or scratch folder for readers of
// whole trees: one per process, in memory where the machine has /dev/shm, removed when the
// fuzzer ends.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// The path of this process's scratch file, named after the fuzzer and ending in `suffix`.
inline const std::string& scratchPath(const char* fuzzer, const char* suffix) {
    static const std::string path = [&] {
        const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        return std::string(base) + "/" + fuzzer + "." + std::to_string(getpid()) + suffix;
    }();
    static const bool removedAtExit = [] {
        std::atexit([] { unlink(path.c_str()); });
        return true;
    }();
    (void)removedAtExit;
    return path;
}

// This process's scratch folder, emptied for each input: it exists and holds nothing.
inline const std::string& scratchFolder(const char* fuzzer) {
    static const std::string& path = scratchPath(fuzzer, ".d");
    static const bool removedAtExit = [] {
        std::atexit([] { std::filesystem::remove_all(path); });
        return true;
    }();
    (void)removedAtExit;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}
