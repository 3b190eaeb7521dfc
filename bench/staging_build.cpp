// Staging build against `cp -r` of the same files, in one run.
//
// Makes a project of 99 hotspots whose launched files, rollover pictures and sounds add up to
// about 1 GiB in about 400 files, then alternately runs our build (in a child process, so its
// peak memory can be read) and `cp -r` of the same source files. Reports the median times, their
// ratio and both peak resident sizes.
//
// Usage: staging_build [MiB total, 8 to 65536, default 1024] [rounds, default 3] [work folder, default /tmp]

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_files.h"
#include "staging/staging_build.h"
#include "project/file_io.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class QuietUser : public torvana::BuildUser {
public:
    int failures = 0;
    void beep() override {}
    void refuse(torvana::BuildField, const std::string&) override { ++failures; }
    void warning(const std::string& m) override { ++failures; std::fprintf(stderr, "%s\n", m.c_str()); }
    void error(const std::string& m) override { ++failures; std::fprintf(stderr, "%s\n", m.c_str()); }
    void information(const std::string&) override {}
    void busy(bool) override {}
    void succeeded() override {}
    void progress(const std::string&, uint64_t, uint64_t) override {}
};

struct Run {
    double seconds;
    long peakKiB;
};

// Runs `fn` in a child process; returns its wall time and peak resident size.
template <class F>
Run inChild(F fn) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(fn());
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double secs = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a run failed\n");
        std::exit(1);
    }
    return {secs, usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
    const char* usage = "staging_build [MiB total, 8 to 65536, default 1024] [rounds, default 3] [work folder]";
    const uint64_t totalMiB = bench::numberArgument(argc, argv, 1, 1024, 8, 65536, usage);
    const int rounds = static_cast<int>(bench::numberArgument(argc, argv, 2, 3, 1, 1000, usage));
    const fs::path work = fs::path(argc > 3 ? argv[3] : "/tmp") / ("torvana-bench-" + std::to_string(getpid()));
    const fs::path src = work / "source";
    fs::create_directories(src);

    // 99 hotspots: a launched file of a few MiB, a picture, two sounds; the rest in the background.
    std::mt19937_64 rng(42);
    torvana::ProjectState state;
    state.projectName = "bench.cdrom";
    state.projectPath = (work / "bench.cdrom").string();
    state.programFolder = (src.string() + "/");
    torvana::Project project;
    bench::writeRandomFile(src / "autorun.exe", 1 << 20, rng);
    const uint64_t total = totalMiB << 20;
    const uint64_t perApp = (total - (4u << 20)) / 99 * 9 / 10;
    const uint64_t smallBudget = (total - (4u << 20)) / 99 - perApp;
    uint64_t written = 1 << 20;
    for (int i = 1; i <= 99; ++i) {
        const std::string n = std::to_string(i);
        const uint64_t app = perApp / 2 + rng() % perApp;
        bench::writeRandomFile(src / ("app" + n + ".bin"), app, rng);
        bench::writeRandomFile(src / ("over" + n + ".gif"), smallBudget / 3, rng);
        bench::writeRandomFile(src / ("in" + n + ".wav"), smallBudget / 3, rng);
        bench::writeRandomFile(src / ("click" + n + ".wav"), smallBudget / 3, rng);
        written += app + smallBudget;
        project.hotspots.push_back({(src / ("app" + n + ".bin")).string(), (src / ("over" + n + ".gif")).string(), "1",
                                    "1", (src / ("in" + n + ".wav")).string(), (src / ("click" + n + ".wav")).string()});
    }
    project.hotspotCount = 99;
    bench::writeRandomFile(src / "background.bmp", 3 << 20, rng);
    written += 3 << 20;
    torvana::BuildSettings settings;
    project.backgroundImage = (src / "background.bmp").string();
    // The same files as cp copies: the Linux player's folder is not part of the corpus.
    settings.addLinuxPlayer = false;
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(src)) ++files;
    std::printf("corpus: %zu files, %.1f MiB\n", files, static_cast<double>(written) / (1 << 20));

    std::vector<double> ours, cp;
    long oursPeak = 0, cpPeak = 0;
    for (int r = 0; r < rounds; ++r) {
        const fs::path stage = work / "stage";
        const fs::path copy = work / "copy";
        fs::remove_all(stage);
        fs::remove_all(copy);
        project.stagingFolder = stage.string();
        const Run a = inChild([&] {
            QuietUser user;
            torvana::ProjectState s = state;
            const auto result = torvana::runStagingBuild(s, project, settings, user);
            return result == torvana::BuildResult::Succeeded ? 0 : 1;
        });
        const Run b = inChild([&] {
            execlp("cp", "cp", "-r", src.c_str(), copy.c_str(), static_cast<char*>(nullptr));
            return 127;
        });
        ours.push_back(a.seconds);
        cp.push_back(b.seconds);
        oursPeak = std::max(oursPeak, a.peakKiB);
        cpPeak = std::max(cpPeak, b.peakKiB);
        std::printf("round %d: build %.3f s, cp -r %.3f s\n", r + 1, a.seconds, b.seconds);
    }
    const double o = bench::median(ours), c = bench::median(cp);
    std::printf("\n| | median time | peak memory |\n|---|---|---|\n");
    std::printf("| staging build | %.3f s | %.1f MiB |\n", o, oursPeak / 1024.0);
    std::printf("| cp -r | %.3f s | %.1f MiB |\n", c, cpPeak / 1024.0);
    std::printf("\nratio build / cp: %.3f\n", o / c);
    fs::remove_all(work);
    return 0;
}
