#pragma once
// What the file benchmarks share: a tree of random bytes on disk and the median of the rounds.

#include <algorithm>
#include <cstdint>
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

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace bench
