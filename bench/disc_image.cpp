// Writing a disc image of a staging folder against `xorriso -as mkisofs -J -R` of the same
// folder, in one run.
//
// Makes a staging folder of about 400 files of random bytes adding up to the given size, then
// alternately writes our image (ISO 9660 level 3, Joliet, Rock Ridge, MD5 checksums recorded)
// and xorriso's, each a few times. Reports the median times and their ratio (ours / xorriso's),
// and xorriso with --md5 as well, which records the same checksums ours does.
//
// Usage: disc_image [MiB total, default 1024] [rounds, default 3] [work folder, default /tmp]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "disc/disc_image.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    const char* usage = "disc_image [MiB total, 1 to 65536, default 1024] [rounds, default 3] [work folder]";
    const uint64_t mib = bench::numberArgument(argc, argv, 1, 1024, 1, 65536, usage);
    const int rounds = static_cast<int>(bench::numberArgument(argc, argv, 2, 3, 1, 1000, usage));
    const fs::path work = fs::path(argc > 3 ? argv[3] : "/tmp") / "torvana-disc-image-bench";
    fs::remove_all(work);
    const fs::path stage = work / "stage";
    fs::create_directories(stage / "images");
    fs::create_directories(stage / "wavs");

    // The shape of a staging folder: a few large launched files, many pictures and sounds.
    std::mt19937_64 rng(16);
    const uint64_t total = mib << 20;
    uint64_t written = 0;
    for (int i = 1; written < total; ++i) {
        const uint64_t size = std::min<uint64_t>(total - written, i % 40 == 0 ? (total / 20) : (std::uniform_int_distribution<uint64_t>(20 << 10, 4 << 20)(rng)));
        fs::path p = i % 40 == 0 ? stage / std::to_string(i / 40) : stage / (i % 2 ? "images" : "wavs");
        fs::create_directories(p);
        bench::writeRandomFile(p / ("file" + std::to_string(i) + (i % 2 ? ".bmp" : ".wav")), size, rng);
        written += size;
    }
    std::printf("staging folder: %.1f MiB\n", static_cast<double>(written) / (1 << 20));

    const std::string ours = (work / "ours.iso").string();
    const std::string theirs = (work / "xorriso.iso").string();
    std::vector<double> tOurs, tXorriso, tXorrisoMd5;
    for (int r = 0; r < rounds; ++r) {
        fs::remove(ours);
        auto start = Clock::now();
        torvana::writeDiscImage(stage.string(), "BENCH", ours);
        tOurs.push_back(bench::secondsSince(start));
        fs::remove(theirs);
        tXorriso.push_back(bench::timeCommand("xorriso -as mkisofs -quiet -J -R -V BENCH -o '" + theirs + "' '" + stage.string() + "' 2>/dev/null"));
        fs::remove(theirs);
        tXorrisoMd5.push_back(bench::timeCommand("xorriso -as mkisofs -quiet -J -R --md5 -V BENCH -o '" + theirs + "' '" + stage.string() + "' 2>/dev/null"));
        std::printf("round %d: ours %.3f s, xorriso %.3f s, xorriso --md5 %.3f s\n", r + 1, tOurs.back(), tXorriso.back(),
                    tXorrisoMd5.back());
    }
    const double o = bench::median(tOurs), x = bench::median(tXorriso), xm = bench::median(tXorrisoMd5);
    std::printf("median: ours %.3f s, xorriso -J -R %.3f s, xorriso -J -R --md5 %.3f s\n", o, x, xm);
    std::printf("ratio ours / xorriso -J -R: %.3f\n", o / x);
    std::printf("ratio ours / xorriso -J -R --md5: %.3f\n", o / xm);
    std::printf("image sizes: ours %ju bytes, xorriso %ju bytes\n", static_cast<uintmax_t>(fs::file_size(ours)),
                static_cast<uintmax_t>(fs::file_size(theirs)));
    fs::remove_all(work);
    return 0;
}
