// Burning a disc image to a stdio: file (libburn's stand-in for a blank disc) against
// `xorriso -as cdrecord` burning the same image to the same kind of target, in one run.
//
// Makes an image file of random bytes of the given size, then alternately burns it with ours
// (torvana::burnImage, without and with reading it back) and with xorriso's cdrecord emulation,
// each a few times. Reports the median times and their ratio (ours / xorriso's).
//
// Usage: disc_burn [MiB, default 512] [rounds, default 3] [work folder, default /tmp]

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "disc/disc_burn.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double burnOurs(const std::string& image, const std::string& target, bool verify) {
    fs::remove(target);
    torvana::BurnOptions options;
    options.drive = "stdio:" + target;
    options.verify = verify;
    const auto start = Clock::now();
    torvana::burnImage(image, options);
    return bench::secondsSince(start);
}

double burnXorriso(const std::string& image, const std::string& target) {
    fs::remove(target);
    return bench::timeCommand("xorriso -as cdrecord dev=stdio:'" + target + "' '" + image + "' >/dev/null 2>&1");
}

}  // namespace

int main(int argc, char** argv) {
    const char* usage = "disc_burn [MiB, 512] [rounds, 3] [work folder, /tmp]";
    const uint64_t mib = bench::numberArgument(argc, argv, 1, 512, 1, 65536, usage);
    const int rounds = static_cast<int>(bench::numberArgument(argc, argv, 2, 3, 1, 1000, usage));
    const fs::path work = fs::path(argc > 3 ? argv[3] : "/tmp") / "torvana-disc-burn-bench";
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string image = (work / "image.iso").string(), target = (work / "disc.iso").string();
    std::mt19937_64 rng(27);
    bench::writeRandomFile(image, mib << 20, rng);

    std::vector<double> ours, oursVerified, xorriso;
    for (int r = 0; r < rounds; ++r) {
        ours.push_back(burnOurs(image, target, false));
        xorriso.push_back(burnXorriso(image, target));
        oursVerified.push_back(burnOurs(image, target, true));
        std::printf("round %d: ours %.3f s, ours with --verify %.3f s, xorriso -as cdrecord %.3f s\n", r + 1, ours.back(),
                    oursVerified.back(), xorriso.back());
    }
    const double o = bench::median(ours), ov = bench::median(oursVerified), x = bench::median(xorriso);
    std::printf("median for %ju MiB: ours %.3f s, ours with --verify %.3f s, xorriso -as cdrecord %.3f s\n",
                static_cast<uintmax_t>(mib), o, ov, x);
    std::printf("ratio ours / xorriso -as cdrecord: %.3f\n", o / x);
    std::printf("ratio ours with --verify / xorriso -as cdrecord: %.3f\n", ov / x);
    fs::remove_all(work);
    return 0;
}
