// Start-up time of the menu player, from process start to its first painted frame, against a
// minimal Qt Widgets program showing a 640 x 480 window, measured in the same run and reported
// as a ratio. Both run as child processes, alternately, on the same display; each prints the
// steady clock when its first frame is painted, which is compared with the clock just before
// it was started.
//
// Run under a real X server for figures that include drawing to a screen:
//   xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" <build>/bin/player_startup [rounds]
// (-noreset: the benchmark itself holds no connection, and a server that resets whenever its
// last client leaves would refuse the next program that connects at that moment)
// Without DISPLAY the children use the offscreen platform.

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "staging_builder.h"

using namespace testing_player;

namespace {

// A menu of typical size: a 640 x 480 background, eight hotspots with PNG, BMP and GIF
// rollover pictures, an opening sound and rollover and click sounds.
void buildMenu(StagingBuilder& s) {
    s.data.cdTitle = "Start-up benchmark";
    s.data.showBrowse = true;
    s.data.showExit = true;
    s.data.backgroundImage = StagingBuilder::stored("back.bmp");
    s.data.openingWav = StagingBuilder::stored("open.wav");
    QImage back(640, 480, QImage::Format_RGB32);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) back.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
    s.writeImage("images/back.bmp", back, "BMP");
    s.writeWave("wavs/open.wav", 1500);
    s.writeWave("wavs/hover.wav", 200);
    s.writeWave("wavs/click.wav", 200);
    for (int i = 0; i < 8; ++i) {
        torvana::Hotspot h;
        h.application = i == 7 ? "exit" : "/home/maker/docs/file" + std::to_string(i) + ".txt";
        h.x = std::to_string(40 + 70 * i);
        h.y = std::to_string(60 + 40 * i);
        h.rolloverWav = StagingBuilder::stored("hover.wav");
        h.clickWav = StagingBuilder::stored("click.wav");
        const QString n = QString::number(i);
        if (i % 3 == 0) {
            h.rolloverImage = StagingBuilder::stored("over" + std::to_string(i) + ".gif");
            GifFrameSpec f{0, 0, 120, 60, std::vector<quint8>(120 * 60, quint8(i % 2)), 0, -1};
            s.writeFile("images/over" + n + ".gif", gifBytes(120, 60, {Qt::red, Qt::yellow}, {f}));
        } else {
            h.rolloverImage = StagingBuilder::stored("over" + std::to_string(i) + (i % 3 == 1 ? ".png" : ".bmp"));
            s.writeImage("images/over" + n + (i % 3 == 1 ? ".png" : ".bmp"), framedImage(120, 60, Qt::blue, Qt::white),
                         i % 3 == 1 ? "PNG" : "BMP");
        }
        if (i != 7) s.writeFile(n + "/file" + n + ".txt", "text");
        s.data.hotspots.push_back(h);
    }
    s.writeProject("benchmark.cdrom");
}

// Milliseconds from just before the start to the first painted frame, and the CPU time the
// program used until then (which other work on a shared machine disturbs less); negative values
// when the program failed.
struct Start {
    double wall = -1, cpu = -1;
};

Start startOnce(const QString& program, const QString& folder) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const auto before = std::chrono::steady_clock::now().time_since_epoch();
    process.start(program, {});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        process.kill();
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return {};
    }
    const QList<QByteArray> fields = process.readAllStandardOutput().simplified().split(' ');
    bool okWall = false, okCpu = false;
    const long long painted = fields.value(0).toLongLong(&okWall);
    const long long cpu = fields.value(1).toLongLong(&okCpu);
    if (!okWall || !okCpu) return {};
    return {double(painted - std::chrono::duration_cast<std::chrono::nanoseconds>(before).count()) / 1e6, double(cpu) / 1e6};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const QString bin = QCoreApplication::applicationDirPath();
    const QString minimal = bin + "/player_startup_minimal";
    const QString player = bin + "/player_startup_player";

    StagingBuilder staging;
    buildMenu(staging);

    // One unmeasured start of each warms the file cache.
    if (startOnce(minimal, staging.folder()).wall < 0 || startOnce(player, staging.folder()).wall < 0) return 1;
    std::vector<double> base, menu, baseCpu, menuCpu;
    for (int i = 0; i < rounds; ++i) {
        const Start b = startOnce(minimal, staging.folder());
        const Start m = startOnce(player, staging.folder());
        if (b.wall < 0 || m.wall < 0) return 1;
        base.push_back(b.wall);
        menu.push_back(m.wall);
        baseCpu.push_back(b.cpu);
        menuCpu.push_back(m.cpu);
    }
    const double mb = median(base), mm = median(menu);
    std::printf("platform %s, %d rounds, median start to first painted frame\n",
                qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? "xcb" : qgetenv("QT_QPA_PLATFORM").constData(),
                rounds);
    std::printf("  minimal Qt Widgets 640x480 window: %8.1f ms (min %.1f), CPU %.1f ms\n", mb,
                *std::min_element(base.begin(), base.end()), median(baseCpu));
    std::printf("  menu player, 8 hotspots + sounds:  %8.1f ms (min %.1f), CPU %.1f ms\n", mm,
                *std::min_element(menu.begin(), menu.end()), median(menuCpu));
    std::printf("  ratio player / minimal: %.2f (CPU time %.2f)\n", mm / mb, median(menuCpu) / median(baseCpu));
    return 0;
}
