// The About box's animated logo: the CPU time the program uses while the box is shown and the
// logo animates for a while, against the same box with the logo standing still, and the period
// between frames (median and spread) against the nominal 60 ms (delay 5 at 12 ms per unit).
//
// Usage: animation [SECONDS]   (default 10; run it with QT_QPA_PLATFORM=offscreen or on X)

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_files.h"
#include "gif/qt/gif_painter.h"
#include "gif/qt/picture_control.h"
#include "settings/ui/about_box.h"

namespace {

// Runs the event loop for `ms` (QTest::qWait would sleep between its rounds and delay the
// painter's calls to the GUI thread).
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Result {
    double cpuPercent = 0;
    std::vector<double> periodsMs;
};

// Shows a fresh About box for `seconds` and measures.
Result measure(double seconds, bool animate) {
    Result result;
    TAboutBox box;
    torvana::gif::GifPicture* logo = box.Image1->gifPicture();
    if (!animate) logo->RenderFlags &= ~torvana::gif::rfAnimate;
    std::vector<std::chrono::steady_clock::time_point> shown;
    logo->OnFramePaint = [&](torvana::gif::GifPainter*) { shown.push_back(std::chrono::steady_clock::now()); };
    box.show();
    runFor(300);  // settle: first showing, first frame
    shown.clear();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(int(seconds * 1000));
    const double cpu = cpuSeconds() - cpuBefore;
    result.cpuPercent = 100.0 * cpu / (double(wall.elapsed()) / 1000.0);
    for (size_t i = 1; i < shown.size(); ++i)
        result.periodsMs.push_back(std::chrono::duration<double, std::milli>(shown[i] - shown[i - 1]).count());
    box.hide();
    return result;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double at = p * double(values.size() - 1);
    const size_t lo = size_t(std::floor(at)), hi = size_t(std::ceil(at));
    return values[lo] + (values[hi] - values[lo]) * (at - double(lo));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const double seconds = static_cast<double>(
        bench::numberArgument(argc, argv, 1, 10, 1, 3600, "animation [seconds, 1 to 3600, default 10]"));

    const Result still = measure(seconds, false);
    const Result animated = measure(seconds, true);
    const auto& p = animated.periodsMs;
    double mean = 0;
    for (double v : p) mean += v;
    mean = p.empty() ? 0 : mean / double(p.size());
    double variance = 0;
    for (double v : p) variance += (v - mean) * (v - mean);
    const double stddev = p.size() > 1 ? std::sqrt(variance / double(p.size() - 1)) : 0;

    std::printf("About box shown for %.1f s on the \"%s\" platform\n", seconds, qPrintable(QApplication::platformName()));
    std::printf("CPU, logo still:      %.3f %% of one core\n", still.cpuPercent);
    std::printf("CPU, logo animating:  %.3f %% of one core (goal: under 1 %%)\n", animated.cpuPercent);
    std::printf("frames shown:         %zu\n", p.size() + (p.empty() ? 0 : 1));
    std::printf("frame period:         median %.2f ms (nominal 60), p10 %.2f, p90 %.2f, min %.2f, max %.2f, "
                "std dev %.2f, mean %.2f\n",
                percentile(p, 0.5), percentile(p, 0.1), percentile(p, 0.9), percentile(p, 0.0), percentile(p, 1.0),
                stddev, mean);
    std::printf("median / nominal:     %.4f\n", percentile(p, 0.5) / 60.0);
    return p.empty() ? 1 : 0;
}
