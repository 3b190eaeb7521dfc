#pragma once
// A fuzzer's own scratch file for readers that take a path: one per process, in memory where
// the machine has /dev/shm, removed when the fuzzer ends.

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
