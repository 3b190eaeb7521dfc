// The players on a cold disc, run in one go:
// - bytes each player reads from the staging folder before its first frame: the example staged
//   by the command line, every file of the folder evicted from the page cache first
//   (posix_fadvise DONTNEED after a sync), the player started there (the Linux one from its
//   bundle, the Windows one under Wine), and once its first frame is on the X server the pages
//   of the folder's files that are in the page cache counted (mincore); goal: the Linux player
//   at most 1.5 times the Windows player's bytes;
// - start-up of the Linux player, warm, from process start to the first frame seen on the X
//   server, side by side with two yardsticks: a raw X11 window (Xlib alone, filled on Expose;
//   goal: the player at most 5 times it) and an empty SDL window on the same SDL.
// The first frame is seen from outside, the same way for all: the window with its title is on
// the X server and the middle of it shows the colour the menu paints there.
//
// Run under an X server of its own:
//   scripts/with-xvfb build/bin/player_startup [rounds] [another build of torvana-player]

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench_files.h"
#include "menu/menu_engine.h"
#include "project/staged_menu.h"
#include "test_support/linux_player.h"
#include "test_support/temp_dir.h"
#include "test_support/wine.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Every regular file below `folder`.
std::vector<std::string> filesBelow(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path().string());
    return files;
}

void evict(const std::vector<std::string>& files) {
    sync();
    for (const std::string& f : files) {
        const int fd = open(f.c_str(), O_RDONLY);
        if (fd < 0) continue;
        fdatasync(fd);
        posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        close(fd);
    }
}

struct Resident {
    int64_t bytes = 0;
    int files = 0;
    std::string perFile;  // "name bytes" of each file read, one a line
};

// The bytes of `files` in the page cache, and how many files have any.
Resident resident(const std::vector<std::string>& files) {
    Resident r;
    const long page = sysconf(_SC_PAGESIZE);
    for (const std::string& f : files) {
        const int fd = open(f.c_str(), O_RDONLY);
        if (fd < 0) continue;
        struct stat st{};
        fstat(fd, &st);
        if (st.st_size > 0) {
            void* map = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
            if (map != MAP_FAILED) {
                std::vector<unsigned char> pages(size_t((st.st_size + page - 1) / page));
                if (mincore(map, size_t(st.st_size), pages.data()) == 0) {
                    int64_t in = 0;
                    for (const unsigned char p : pages) in += p & 1;
                    r.bytes += std::min<int64_t>(in * page, st.st_size);
                    r.files += in > 0;
                    if (in > 0)
                        r.perFile += "      " + fs::path(f).filename().string() + " " +
                                     std::to_string(std::min<int64_t>(in * page, st.st_size)) + "\n";
                }
                munmap(map, size_t(st.st_size));
            }
        }
        close(fd);
    }
    return r;
}

// Milliseconds from `start` until the window named `title` shows `colour` in its middle, as
// long as `program` runs; -1 when that does not come within 60 seconds.
template <class Program>
double firstFrameMs(Program& program, const winetest::XServer& x, const std::string& title, uint32_t colour,
                    Clock::time_point start) {
    while (Clock::now() - start < std::chrono::seconds(60) && program.running()) {
        if (const auto w = x.find(title)) {
            const auto g = x.grab(*w);
            if (g && g->width > 320 && g->height > 240 && g->at(320, 240) == colour)
                return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        }
        winetest::sleepMs(1);
    }
    return -1;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds =
        static_cast<int>(bench::numberArgument(argc, argv, 1, 11, 1, 1000,
                                               "player_startup [rounds, default 11] [another build of torvana-player]"));
    winetest::XServer x;
    if (!x.open()) {
        std::fprintf(stderr, "no X server: run under scripts/with-xvfb\n");
        return 1;
    }
    // The example, staged by the command line (not in /tmp, which may be memory and never
    // evicted).
    const std::string work = fs::current_path() / ("player-startup-" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    const std::string example = work + "/example", stage = example + "/stage";
    if (winetest::run({MAKE_EXAMPLE, example}, {}, {}, work + "/make.log") != 0 ||
        winetest::run({EDITOR, "build", "sample.cdrom"}, {"XDG_CONFIG_HOME=" + work + "/config"}, example,
                      work + "/build.log") != 0) {
        std::fprintf(stderr, "the example could not be staged (see %s)\n", work.c_str());
        return 1;
    }
    const std::string title = "Summer Photos";
    torvana::menu::MenuEngine engine(torvana::loadPlayerProject({stage}), [] { return int64_t(0); });
    engine.loadBackground();
    const uint32_t centre = engine.render().argb[size_t(240 * engine.width() + 320)] & 0xFFFFFF;
    const std::vector<std::string> files = filesBelow(stage);

    // Bytes read before the first frame, cold.
    Resident linuxRead, windowsRead;
    double linuxColdMs = -1, windowsColdMs = -1;
    {
        evict(files);
        const Resident before = resident(files);
        const auto start = Clock::now();
        ChildProcess player({stage + "/linux-x86_64/torvana-player"}, stage);
        linuxColdMs = firstFrameMs(player, x, title, centre, start);
        linuxRead = resident(files);
        if (before.bytes > 0) std::printf("(%lld bytes stayed in the page cache after eviction)\n", (long long)before.bytes);
    }
    const bool wine = winetest::run({WINE_PREFIX_SCRIPT, WINE_TEMPLATE}) == 0;
    if (wine) {
        winetest::WineProgram program(WINE_TEMPLATE);
        program.keepServer();
        evict(files);
        const auto start = Clock::now();
        if (program.start(stage + "/autorun.exe", stage)) windowsColdMs = firstFrameMs(program, x, title, centre, start);
        windowsRead = resident(files);
        program.stop();
    }
    std::printf("read from the staging folder before the first frame (cold page cache):\n");
    std::printf("  Linux player   %9lld bytes in %2d files, first frame after %.0f ms\n", (long long)linuxRead.bytes,
                linuxRead.files, linuxColdMs);
    std::printf("%s", linuxRead.perFile.c_str());
    if (wine && windowsColdMs >= 0) {
        std::printf("  Windows player %9lld bytes in %2d files, first frame after %.0f ms (under Wine)\n",
                    (long long)windowsRead.bytes, windowsRead.files, windowsColdMs);
        std::printf("%s", windowsRead.perFile.c_str());
        std::printf("  ratio Linux / Windows: %.2f (goal at most 1.5)\n", double(linuxRead.bytes) / double(windowsRead.bytes));
    } else {
        std::printf("  Windows player: not measured (no Wine prefix or no first frame)\n");
    }

    // Start-up, warm, side by side with the two yardsticks, the order turned every round so that
    // none is always the one that runs after another program's exit.
    struct Contender {
        const char* name;
        std::string program, title;
        uint32_t colour;
        std::vector<double> ms;
    };
    std::vector<Contender> contenders{{"Linux player", PLAYER, title, centre, {}},
                                      {"raw X11 window", RAW_X11_WINDOW, "Raw X11 window", 0x204060, {}},
                                      {"empty SDL window", EMPTY_SDL_WINDOW, "Empty SDL window", 0x204060, {}}};
    // Another build of the player (the one before a change, say), timed in the same rounds.
    if (argc > 2) contenders.push_back({"other player", argv[2], title, centre, {}});
    for (int i = 0; i <= rounds; ++i) {
        for (size_t k = 0; k < contenders.size(); ++k) {
            Contender& c = contenders[(k + size_t(i)) % contenders.size()];
            const auto start = Clock::now();
            ChildProcess program({c.program}, stage);
            const double ms = firstFrameMs(program, x, c.title, c.colour, start);
            if (ms < 0) {
                std::fprintf(stderr, "round %d: no first frame from the %s\n", i, c.name);
                return 1;
            }
            if (i > 0) c.ms.push_back(ms);  // the first round fills the page cache
        }
    }
    const Contender &player = contenders[0], &raw = contenders[1], &empty = contenders[2];
    auto fastest = [](const Contender& c) { return *std::min_element(c.ms.begin(), c.ms.end()); };
    std::printf("first frame, warm, median of %d (fastest):\n", rounds);
    for (const Contender& c : contenders) std::printf("  %-16s %6.1f ms (%.1f ms)\n", c.name, median(c.ms), fastest(c));
    std::printf("ratio player / raw X11 window: %.2f, fastest %.2f (goal at most 5)\n", median(player.ms) / median(raw.ms),
                fastest(player) / fastest(raw));
    std::printf("ratio player / empty SDL window: %.2f, fastest %.2f\n", median(player.ms) / median(empty.ms),
                fastest(player) / fastest(empty));
    if (contenders.size() > 3)
        std::printf("ratio other player / player: %.2f, fastest %.2f\n", median(contenders[3].ms) / median(player.ms),
                    fastest(contenders[3]) / fastest(player));
    fs::remove_all(work);
    return 0;
}
