#pragma once
// What the file benchmarks share: a tree of random bytes on disk, the median of the rounds and
// the time another program takes.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace bench {

// A file of `size` random bytes (incompressible, so no file system shortcut helps either side).
inline void writeRandomFile(const std::filesystem::path& p, uint64_t size, std::mt19937_64& rng) {
    std::ofstream out(p, std::ios::binary);
    std::vector<uint64_t> block(1 << 17);
    for (uint64_t done = 0; done < size;) {
        for (auto& w : block) w = rng();
        const uint64_t n = std::min<uint64_t>(size - done, block.size() * 8);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
        done += n;
    }
}

// The number given as argument `index`, `fallback` when there is none. Anything else than a
// whole number within `lowest` to `highest` (a word, "--help", "12x", a size that would fill the
// disk) ends the program with its usage line and status 2, before it writes anything.
inline long long numberArgument(int argc, char** argv, int index, long long fallback, long long lowest,
                                long long highest, const char* usage) {
    if (argc <= index) return fallback;
    const char* text = argv[index];
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < lowest || value > highest) {
        std::fprintf(stderr, "%s: '%s' is not a number from %lld to %lld.\nUsage: %s\n", argv[0], text, lowest, highest,
                     usage);
        std::exit(2);
    }
    return value;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Runs a shell command and returns the seconds it took; a command that fails ends the benchmark.
inline double timeCommand(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return secondsSince(start);
}

}  // namespace bench
