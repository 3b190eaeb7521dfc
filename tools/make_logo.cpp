// Writes the About box's animated logo: a shaded disc of six coloured sectors that turns once
// in 18 frames. 50 x 46 pixels, a 256-colour global table whose entry 0 is the transparent
// colour, each frame delayed 5 hundredths with disposal 2, and a NETSCAPE2.0 loop count of
// 1000 on the first frame. Usage: torvana-make-logo OUTPUT.gif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "gif/gif_writer.h"

namespace {

constexpr int kWidth = 50, kHeight = 46, kFrames = 18, kDelay = 5, kLoops = 1000;
constexpr int kHues = 5, kLevels = 51;  // 1 + 5 × 51 = 256 entries
constexpr double kPi = 3.14159265358979323846;

// The five hues of the sectors, at full light.
const giftest::Rgb kHueColours[kHues] = {
    {40, 90, 220}, {250, 190, 40}, {220, 60, 60}, {60, 180, 90}, {235, 235, 245}};

std::vector<giftest::Rgb> Palette() {
    std::vector<giftest::Rgb> colours{{255, 255, 255}};  // 0: transparent
    for (const giftest::Rgb& hue : kHueColours) {
        for (int level = 0; level < kLevels; ++level) {
            const double light = 0.25 + 0.75 * level / (kLevels - 1);
            colours.push_back({uint8_t(std::lround(hue.r * light)), uint8_t(std::lround(hue.g * light)),
                               uint8_t(std::lround(hue.b * light))});
        }
    }
    return colours;
}

giftest::Bytes Frame(int k) {
    giftest::Bytes indices(size_t(kWidth) * kHeight, 0);
    const double cx = (kWidth - 1) / 2.0, cy = (kHeight - 1) / 2.0, radius = 21.5;
    const double turn = 2 * kPi * k / kFrames;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double dx = x - cx, dy = y - cy, r = std::hypot(dx, dy);
            if (r > radius) continue;
            // Lit from the top left, like a slightly domed disc; a dark rim and a pale hub.
            const double nx = dx / radius, ny = dy / radius;
            double light = 0.75 - 0.35 * (nx + ny) / std::sqrt(2.0) - 0.25 * (r / radius) * (r / radius);
            if (r > radius - 1.5) light *= 0.55;
            int hue;
            if (r < 5.0) {
                hue = 4;
                light = 0.95 - 0.05 * r;
            } else {
                double angle = std::atan2(dy, dx) + turn;
                angle = std::fmod(angle + 4 * kPi, 2 * kPi);
                hue = int(angle / (2 * kPi) * 6) % 4;  // six sectors in four colours
                if (int(angle / (2 * kPi) * 6) == 5) hue = 1;
            }
            const int level = std::clamp(int(std::lround(light * (kLevels - 1))), 0, kLevels - 1);
            indices[size_t(y) * kWidth + x] = uint8_t(1 + hue * kLevels + level);
        }
    }
    return indices;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.gif\n", argv[0]);
        return 2;
    }
    giftest::GifBuilder gif;
    gif.Header(kWidth, kHeight, Palette());
    for (int k = 0; k < kFrames; ++k) {
        if (k == 0) gif.Loop(kLoops);
        gif.Gce(2, kDelay, 0);
        gif.Image(0, 0, kWidth, kHeight, Frame(k));
    }
    gif.Trailer();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    if (!out.good()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
