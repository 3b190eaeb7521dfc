// GIF decoding speed: our reader against Wuffs (when its source is beside the checkout), giflib
// (DGifSlurp) and Qt's QImageReader on the same bytes in the same run. The corpus is generated
// here: photographs undithered with grain, dithered from a photograph-like source with error
// diffusion (short strings, as real photographs give) and interlaced, a smooth plasma, 8-bit
// noise, a screenshot with long runs, a 1-bit page, a screen recording, a thousand icons, an
// animation with a 256-colour local table per frame, small partial frames with local tables,
// a large animation of partial frames with transparency and disposal, and the small pictures
// of a menu (icons and animations of 16 to 96 pixels, 1 to 40 frames, named "menu ...").
//
// Two kinds of work: every frame to palette indices (our reader; Wuffs into an indexed canvas;
// giflib), and every frame composed onto an RGBA canvas with transparency and disposal (our
// reader and compositor; Wuffs onto a BGRA canvas with blending; giflib with the compositing a
// giflib user writes; Qt's reader, which composes). Throughput counts frame pixels per second.
// The tables at the end give each rate and the time ratios peer / ours (above 1: ours is
// faster), from CPU time and from wall-clock time, then the median and the slowest ratio
// against Wuffs, the small pictures apart from the large ones, from the medians of the
// repetitions (5 of at least 0.1 s each unless the command line says otherwise). Last, Wuffs against ours in paired rounds (--paired_rounds=N, 9 by
// default), the steadier comparison on a machine whose speed drifts.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <random>

#include "gif/gif_compositor.h"
#include "gif/gif_image.h"
#include "gif/gif_writer.h"
#include "gif_decode_wuffs.h"

using namespace giftest;

namespace {

struct Picture {
    std::string name;
    std::vector<Bytes> files;  // one or more GIF files decoded per iteration
    int64_t pixels = 0;        // output pixels per iteration
};

// A smooth field with grain, as a dithered photograph gives: long strings are rare.
Bytes PhotoPixels(int w, int h, std::mt19937& rng) {
    Bytes p(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double v = 127.5 + 60 * std::sin(x * 0.013 + y * 0.007) + 40 * std::cos(y * 0.021 - x * 0.004) +
                             20 * std::sin((x + y) * 0.05);
            const int grain = static_cast<int>(rng() % 9) - 4;
            p[size_t(y) * w + x] = static_cast<uint8_t>(std::clamp(static_cast<int>(v) + grain, 0, 255));
        }
    return p;
}

// A desktop: flat panels, windows with a title bar and lines of "text" (one window on a
// 640 x 480 screen, more on a larger one), which move from frame to frame.
Bytes ScreenPixels(int w, int h, int frame) {
    Bytes p(size_t(w) * h, 200);
    for (int y = 0; y < 24; ++y) std::memset(&p[size_t(y) * w], 30, w);
    const int windows = std::max(1, w * h / 200000);
    for (int i = 0; i < windows; ++i) {
        const int wx = 40 + (frame * 3 + i * 290) % std::max(1, w - 420), wy = 60 + (frame * 2 + i * 170) % std::max(1, h - 360);
        for (int y = wy; y < wy + 300 && y < h; ++y)
            for (int x = wx; x < wx + 380 && x < w; ++x) {
                uint8_t v = static_cast<uint8_t>(255 - i);
                if (y < wy + 20) v = static_cast<uint8_t>(90 + i);
                else if (((y - wy) / 14) % 2 == 0 && ((x * 7 + y * 3 + frame) % 11) < 4) v = 10;
                p[size_t(y) * w + x] = v;
            }
    }
    return p;
}

// A photograph-like colour source: smooth light, shapes with soft edges, fine texture and the
// sensor noise of a camera.
Rgb PhotoColour(int x, int y, int w, int h, double phase) {
    const double u = double(x) / w, v = double(y) / h;
    const double light = 0.55 + 0.35 * std::sin(u * 3.1 + phase) * std::cos(v * 2.3 - phase);
    uint32_t hash = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(phase * 1000);
    hash = (hash ^ (hash >> 13)) * 1274126177u;
    const double noise = (double(hash >> 24) / 255.0 - 0.5) * 0.05;
    const double texture = 0.06 * std::sin(x * 0.9 + y * 0.37) * std::sin(y * 0.71 - x * 0.23) + noise;
    const double disc = std::exp(-((u - 0.4) * (u - 0.4) + (v - 0.5) * (v - 0.5)) * 9.0);
    auto channel = [](double c) { return static_cast<uint8_t>(std::clamp(c, 0.0, 1.0) * 255.0 + 0.5); };
    return Rgb{channel(light * (0.8 + 0.4 * u) + texture + 0.3 * disc), channel(light * 0.9 + texture - 0.1 * disc),
               channel(light * (1.1 - 0.5 * v) + texture)};
}

// The 6 × 7 × 6 colour cube, a usual 256-colour palette for photographs.
std::vector<Rgb> CubePalette() {
    std::vector<Rgb> colours;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                colours.push_back(Rgb{static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 255 / 6), static_cast<uint8_t>(b * 51)});
    return colours;
}

// Floyd-Steinberg error diffusion of the photograph-like source onto the colour cube: the short,
// irregular strings that real photographs give.
Bytes DitheredPhoto(int w, int h, double phase) {
    const std::vector<Rgb> palette = CubePalette();
    auto nearest = [](int r, int g, int b) { return ((r + 25) / 51 * 7 + (g * 6 + 127) / 255) * 6 + (b + 25) / 51; };
    Bytes p(size_t(w) * h);
    std::vector<float> error(size_t(w + 2) * 3 * 2, 0.0f);  // this row and the next, with a margin
    for (int y = 0; y < h; ++y) {
        float* row = &error[size_t(y % 2) * (w + 2) * 3];
        float* next = &error[size_t((y + 1) % 2) * (w + 2) * 3];
        std::fill(next, next + (w + 2) * 3, 0.0f);
        for (int x = 0; x < w; ++x) {
            const Rgb c = PhotoColour(x, y, w, h, phase);
            float want[3] = {c.r + row[(x + 1) * 3], c.g + row[(x + 1) * 3 + 1], c.b + row[(x + 1) * 3 + 2]};
            const int index = nearest(std::clamp(int(want[0]), 0, 255), std::clamp(int(want[1]), 0, 255),
                                      std::clamp(int(want[2]), 0, 255));
            p[size_t(y) * w + x] = static_cast<uint8_t>(index);
            const float got[3] = {float(palette[index].r), float(palette[index].g), float(palette[index].b)};
            for (int k = 0; k < 3; ++k) {
                const float e = want[k] - got[k];
                row[(x + 2) * 3 + k] += e * 7 / 16;
                next[x * 3 + k] += e * 3 / 16;
                next[(x + 1) * 3 + k] += e * 5 / 16;
                next[(x + 2) * 3 + k] += e * 1 / 16;
            }
        }
    }
    return p;
}

// A smooth plasma of 256 levels without grain: runs of a few equal pixels along its contours.
Bytes PlasmaPixels(int w, int h) {
    Bytes p(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double v = std::sin(x * 0.011) + std::sin(y * 0.017) + std::sin((x + y) * 0.007) +
                             std::sin(std::sqrt(double(x) * x + double(y) * y) * 0.013);
            p[size_t(y) * w + x] = static_cast<uint8_t>(std::clamp(static_cast<int>((v + 4) * 32), 0, 255));
        }
    return p;
}

// A page of black "text" on white: lines of short words, with margins and paragraph gaps.
Bytes PagePixels(int w, int h) {
    Bytes p(size_t(w) * h, 1);
    for (int line = 0; 80 + line * 22 + 14 < h; ++line) {
        if (line % 9 == 8) continue;
        const int top = 80 + line * 22;
        for (int y = top; y < top + 14; ++y)
            for (int x = 90; x < w - 90; ++x) {
                const int word = (x / 7 * 31 + line * 17) % 11;
                if (word != 0 && ((x * 13 + y * 7 + line) % 5 < 2)) p[size_t(y) * w + x] = 0;
            }
    }
    return p;
}

// An icon's indices: a disc shaded from its light side, with a ring and a highlight that turn
// with `frame`, on index 0 (the transparent index of a transparent icon) outside it, and a
// `colours`-level shading with the small ripples a quantizer leaves.
Bytes IconPixels(int w, int h, int frame, int colours) {
    Bytes p(size_t(w) * h, 0);
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, radius = std::min(w, h) * 0.46;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
            if (d > radius) continue;
            const double angle = std::atan2(dy, dx) + frame * 0.3;
            double light = 0.5 + 0.4 * std::cos(angle) * d / radius + 0.1 * std::sin(x * 1.7 + y * 0.9);
            if (std::fabs(d - radius * 0.7) < 1.0) light = 0.95;
            const int level = 1 + std::clamp(static_cast<int>(light * (colours - 1)), 0, colours - 2);
            p[size_t(y) * w + x] = static_cast<uint8_t>(level);
        }
    return p;
}

int CodeSizeFor(int colours) { return std::max(2, TableSizeCode(size_t(colours)) + 1); }

// What menus are full of: rollover pictures, icons and small animations of 16 to 96 pixels, of
// 1 to 40 frames, with global or local tables and with or without transparency. Each is its
// own row, so that what a picture and a frame cost besides their pixels shows.
void AddMenuPictures(std::vector<Picture>& corpus, const std::string& wanted) {
    struct Small {
        int w, h, frames, colours;
        bool local, transparent;
        // Frames after the first cover this part of the screen (1: all of it), moving.
        double part;
        int disposal;
    };
    const Small smalls[] = {
        {16, 16, 1, 16, false, false, 1, 1},   {16, 16, 1, 16, false, true, 1, 1},
        {24, 24, 1, 256, true, true, 1, 1},    {32, 32, 1, 64, false, true, 1, 1},
        {48, 48, 1, 256, true, false, 1, 1},   {64, 64, 1, 128, false, true, 1, 1},
        {96, 96, 1, 256, false, false, 1, 1},  {16, 16, 8, 16, false, true, 1, 2},
        {32, 32, 12, 32, true, true, 1, 2},    {48, 48, 24, 64, false, true, 0.5, 3},
        {64, 64, 40, 256, true, false, 1, 1},  {96, 96, 20, 128, false, false, 1, 1},
        {96, 64, 40, 256, false, true, 0.4, 1},
    };
    for (const Small& s : smalls) {
        char name[96];
        std::snprintf(name, sizeof name, "menu %dx%d %d frame%s,%s%s %d colours", s.w, s.h, s.frames,
                      s.frames > 1 ? "s" : "", s.local ? " local tables," : "", s.transparent ? " transparent," : "",
                      s.colours);
        if (std::string(name).find(wanted) == std::string::npos) continue;
        const std::vector<Rgb> colours = Palette(s.colours);
        const int code = CodeSizeFor(s.colours);
        GifBuilder b;
        b.Header(s.w, s.h, s.local ? std::vector<Rgb>{} : colours);
        if (s.frames > 1) b.Loop(0);
        int64_t pixels = 0;
        for (int f = 0; f < s.frames; ++f) {
            const int fw = f == 0 ? s.w : std::max(1, int(s.w * s.part)), fh = f == 0 ? s.h : std::max(1, int(s.h * s.part));
            const int left = fw == s.w ? 0 : (f * 7) % (s.w - fw + 1), top = fh == s.h ? 0 : (f * 5) % (s.h - fh + 1);
            std::vector<Rgb> local;
            if (s.local) {
                local = colours;
                for (auto& c : local) c = Rgb{static_cast<uint8_t>(c.r + f * 3), c.g, c.b};
            }
            b.Gce(s.disposal, 5, s.transparent ? 0 : -1).Image(left, top, fw, fh, IconPixels(fw, fh, f, s.colours), code,
                                                               false, local);
            pixels += int64_t(fw) * fh;
        }
        corpus.push_back({name, {b.Trailer().bytes()}, pixels});
    }
}

bool IsSmall(const std::string& picture) { return picture.rfind("menu ", 0) == 0; }

// The pictures whose name holds `wanted` (all of them for ""); the others are not generated.
std::vector<Picture> MakeCorpus(const std::string& wanted) {
    const auto palette = Palette(256);
    const auto cube = CubePalette();
    std::vector<Picture> corpus;
    auto add = [&](const std::string& name, const std::function<Picture()>& make) {
        if (name.find(wanted) != std::string::npos) corpus.push_back(make());
    };
    auto single = [&](const std::string& name, int w, int h, bool interlaced, const std::function<Bytes()>& pixels,
                      const std::vector<Rgb>& colours, int codeSize = 8) {
        add(name, [&] {
            GifBuilder b;
            b.Header(w, h, colours).Image(0, 0, w, h, pixels(), codeSize, interlaced).Trailer();
            return Picture{name, {b.bytes()}, int64_t(w) * h};
        });
    };
    single("photo 2000x1500", 2000, 1500, false, [] {
        std::mt19937 rng(7);
        return PhotoPixels(2000, 1500, rng);
    }, palette);
    single("dithered 2000x1500", 2000, 1500, false, [] { return DitheredPhoto(2000, 1500, 0.3); }, cube);
    single("interlaced 1200x900", 1200, 900, true, [] {
        Bytes p = DitheredPhoto(1200, 900, 0.7);
        const Bytes screen = ScreenPixels(600, 450, 0);
        for (int y = 0; y < 450; ++y) std::memcpy(&p[size_t(y) * 1200], &screen[size_t(y) * 600], 600);
        return p;
    }, cube);
    single("plasma 1000x800", 1000, 800, false, [] { return PlasmaPixels(1000, 800); }, palette);
    single("noise 640x480", 640, 480, false, [] {
        std::mt19937 rng(8);
        Bytes noise(640 * 480);
        for (auto& v : noise) v = static_cast<uint8_t>(rng());
        return noise;
    }, palette);
    single("screenshot 1280x1024", 1280, 1024, false, [] { return ScreenPixels(1280, 1024, 5); }, palette);
    single("1-bit page 1700x2200", 1700, 2200, false, [] { return PagePixels(1700, 2200); }, {{0, 0, 0}, {255, 255, 255}}, 2);
    add("screen 100x640x480", [&] {
        GifBuilder b;
        b.Header(640, 480, palette).Loop(0);
        for (int f = 0; f < 100; ++f) b.Gce(1, 4).Image(0, 0, 640, 480, ScreenPixels(640, 480, f), 8);
        return Picture{"screen 100x640x480", {b.Trailer().bytes()}, int64_t(100) * 640 * 480};
    });
    add("icons 1000x16x16", [] {
        Picture icons{"icons 1000x16x16", {}, 0};
        for (int i = 0; i < 1000; ++i) {
            Bytes p(256);
            for (int k = 0; k < 256; ++k) p[k] = static_cast<uint8_t>((k % 16 + k / 16 + i) % 16 < 3 ? 0 : (i + k / 32) % 16);
            GifBuilder b;
            b.Header(16, 16, Palette(16)).Gce(0, 0, 0).Image(0, 0, 16, 16, p, 4).Trailer();
            icons.files.push_back(b.bytes());
            icons.pixels += 256;
        }
        return icons;
    });
    // Each frame its own 256 colours: the cube shifted a little further every frame.
    auto shifted = [&](int f) {
        std::vector<Rgb> local = cube;
        for (auto& c : local) c = Rgb{static_cast<uint8_t>(c.r + f * 3), c.g, static_cast<uint8_t>(c.b ^ f)};
        while (local.size() < 256) local.push_back(Rgb{uint8_t(local.size()), 0, 0});
        return local;
    };
    add("local tables 20x640x480", [&] {
        GifBuilder b;
        b.Header(640, 480).Loop(0);
        for (int f = 0; f < 20; ++f) b.Gce(1, 4).Image(0, 0, 640, 480, DitheredPhoto(640, 480, f * 0.2), 8, false, shifted(f));
        return Picture{"local tables 20x640x480", {b.Trailer().bytes()}, int64_t(20) * 640 * 480};
    });
    add("small local frames 300 on 640x480", [&] {
        // Small frames that move over a full first one, each with its own table, some with a
        // transparent index and some restored to the background or to what lay under them.
        const int w = 640, h = 480, fw = 96, fh = 64;
        GifBuilder b;
        b.Header(w, h, cube).Loop(0).Gce(1, 4).Image(0, 0, w, h, DitheredPhoto(w, h, 0.1), 8);
        int64_t pixels = int64_t(w) * h;
        for (int f = 1; f < 300; ++f) {
            Bytes p = DitheredPhoto(fw, fh, f * 0.03);
            if (f % 2 == 0)
                for (int k = 0; k < fw * fh; k += 7) p[size_t(k)] = 255;
            b.Gce(f % 4 == 1 ? 2 : f % 4 == 3 ? 3 : 1, 4, f % 2 == 0 ? 255 : -1)
                .Image((f * 53) % (w - fw), (f * 29) % (h - fh), fw, fh, p, 8, false, shifted(f % 40));
            pixels += int64_t(fw) * fh;
        }
        return Picture{"small local frames 300 on 640x480", {b.Trailer().bytes()}, pixels};
    });
    add("partial frames 120 on 1920x1080", [&] {
        // A full first frame, then partial frames that move, with transparency and disposal.
        const int w = 1920, h = 1080, fw = 480, fh = 270;
        GifBuilder b;
        b.Header(w, h, cube).Loop(0).Gce(1, 4).Image(0, 0, w, h, DitheredPhoto(w, h, 1.0), 8);
        int64_t pixels = int64_t(w) * h;
        for (int f = 1; f < 120; ++f) {
            Bytes p = DitheredPhoto(fw, fh, f * 0.05);
            for (int y = 0; y < fh; ++y)
                for (int x = 0; x < fw; ++x)
                    if ((x / 24 + y / 18 + f) % 5 == 0) p[size_t(y) * fw + x] = 255;  // transparent holes
            const int left = (f * 37) % (w - fw), top = (f * 23) % (h - fh);
            b.Gce(f % 3 == 0 ? 2 : 1, 4, 255).Image(left, top, fw, fh, p, 8);
            pixels += int64_t(fw) * fh;
        }
        return Picture{"partial frames 120 on 1920x1080", {b.Trailer().bytes()}, pixels};
    });
    AddMenuPictures(corpus, wanted);
    return corpus;
}

// --pictures=TEXT: only the pictures whose name holds TEXT are generated and measured.
std::string& WantedPictures() {
    static std::string wanted;
    return wanted;
}

std::vector<Picture>& Corpus() {
    static std::vector<Picture> corpus = MakeCorpus(WantedPictures());
    return corpus;
}

int64_t DecodeOurs(const Bytes& file) {
    torvana::gif::GifImage image;
    torvana::gif::GifMemoryStream stream(file.data(), file.size());
    image.LoadFromStream(stream);
    int64_t sum = 0;
    for (size_t i = 0; i < image.frames.Count(); ++i) sum += image.frames[i].pixels.back();
    return sum;
}

struct MemoryReader {
    const Bytes* bytes;
    size_t position;
};

int GiflibRead(GifFileType* gif, GifByteType* buffer, int count) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), r->bytes->size() - r->position);
    std::memcpy(buffer, r->bytes->data() + r->position, n);
    r->position += n;
    return static_cast<int>(n);
}

int64_t DecodeGiflib(const Bytes& file) {
    MemoryReader reader{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, GiflibRead, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
    int64_t sum = 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        sum += s.RasterBits[size_t(s.ImageDesc.Width) * s.ImageDesc.Height - 1];
    }
    DGifCloseFile(gif, &error);
    return sum;
}

int64_t DecodeComposeOurs(const Bytes& file) {
    torvana::gif::GifImage image;
    torvana::gif::GifMemoryStream stream(file.data(), file.size());
    image.LoadFromStream(stream);
    torvana::gif::GifCompositor compositor(image);
    int64_t sum = 0;
    for (size_t i = 0; i < image.frames.Count(); ++i) sum += compositor.Compose(i).pixels.back();
    return sum;
}

// What a giflib user writes to show the frames: an RGBA canvas of the logical screen, each
// frame drawn with its table and transparent index, disposal 2 back to transparent and
// disposal 3 back to what was there.
int64_t DecodeComposeGiflib(const Bytes& file) {
    MemoryReader reader{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, GiflibRead, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
    const int w = gif->SWidth, h = gif->SHeight;
    std::vector<uint32_t> canvas(size_t(w) * h, 0), saved;
    int64_t sum = 0;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& s = gif->SavedImages[i];
        GraphicsControlBlock gcb{0, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &gcb);
        const ColorMapObject* map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
        uint32_t palette[256] = {};
        for (int k = 0; map && k < map->ColorCount && k < 256; ++k)
            palette[k] = 0xFF000000u | map->Colors[k].Red | (map->Colors[k].Green << 8) | (map->Colors[k].Blue << 16);
        const int left = s.ImageDesc.Left, top = s.ImageDesc.Top;
        const int right = std::min(w, left + s.ImageDesc.Width), bottom = std::min(h, top + s.ImageDesc.Height);
        if (gcb.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;
        for (int y = top; y < bottom; ++y) {
            const GifByteType* in = s.RasterBits + size_t(y - top) * s.ImageDesc.Width;
            uint32_t* out = &canvas[size_t(y) * w];
            for (int x = left; x < right; ++x) {
                const int index = in[x - left];
                if (index != gcb.TransparentColor) out[x] = palette[index];
            }
        }
        sum += canvas.back();
        if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
            for (int y = top; y < bottom; ++y) std::fill(&canvas[size_t(y) * w + left], &canvas[size_t(y) * w + right], 0u);
        } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
            canvas.swap(saved);
        }
    }
    DGifCloseFile(gif, &error);
    return sum;
}

int64_t DecodeQt(const Bytes& file) {
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    int64_t frames = 0;
    do {
        const QImage image = reader.read();
        if (image.isNull()) break;
        ++frames;
    } while (reader.jumpToNextImage() || reader.canRead());
    if (frames == 0) std::abort();
    return frames;
}

#ifdef GIF_BENCH_WUFFS
int64_t DecodeWuffs(const Bytes& file) {
    const int64_t sum = wuffs_bench_decode(file.data(), file.size(), 0);
    if (sum < 0) std::abort();
    return sum;
}

int64_t DecodeComposeWuffs(const Bytes& file) {
    const int64_t sum = wuffs_bench_decode(file.data(), file.size(), 1);
    if (sum < 0) std::abort();
    return sum;
}
#endif

template <int64_t (*Decode)(const Bytes&)>
void Run(benchmark::State& state, const Picture* picture) {
    for (auto _ : state)
        for (const auto& file : picture->files) benchmark::DoNotOptimize(Decode(file));
    state.SetBytesProcessed(state.iterations() * picture->pixels);
}

// The readers as the tables show them: name, how it decodes.
struct Reader {
    const char* name;
    void (*run)(benchmark::State&, const Picture*);
};
const Reader readers[] = {
    {"ours", Run<DecodeOurs>},
#ifdef GIF_BENCH_WUFFS
    {"wuffs", Run<DecodeWuffs>},
#endif
    {"giflib", Run<DecodeGiflib>},
    {"ours+rgba", Run<DecodeComposeOurs>},
#ifdef GIF_BENCH_WUFFS
    {"wuffs+rgba", Run<DecodeComposeWuffs>},
#endif
    {"giflib+rgba", Run<DecodeComposeGiflib>},
    {"qt", Run<DecodeQt>},
};

// Prints the median and the slowest of the ratios Wuffs / ours (above 1: ours is faster), for
// the small pictures (goal: none below 1.0, median at least 1.1) and for the large ones apart.
void Summarise(const char* what, const std::vector<std::pair<double, std::string>>& ratios) {
    for (const bool small : {true, false}) {
        std::vector<std::pair<double, std::string>> group;
        for (const auto& r : ratios)
            if (IsSmall(r.second) == small) group.push_back(r);
        if (group.empty()) continue;
        std::sort(group.begin(), group.end());
        const size_t n = group.size();
        const double median = n % 2 ? group[n / 2].first : (group[n / 2 - 1].first + group[n / 2].first) / 2;
        std::printf("%s, %s: median %.2f, slowest picture %.2f (%s)\n", what, small ? "menu pictures" : "large pictures", median,
                    group.front().first, group.front().second.c_str());
    }
}

// Prints the usual console output, then per kind of work one table with the readers side by
// side: the median of the repetitions when there are several, else the single run.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!(median || run.run_type == Run::RT_Iteration) || run.error_occurred) continue;
            if (!median && run.repetitions > 1) continue;
            // "reader/picture"
            const std::string name = run.run_name.function_name;
            const size_t slash = name.find('/');
            times_[name.substr(slash + 1)][name.substr(0, slash)] = {run.GetAdjustedCPUTime(), run.GetAdjustedRealTime()};
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        Table("Every frame to palette indices", "", {{"giflib", "giflib"}});
        Table("Every frame composed onto RGBA", "+rgba", {{"giflib+rgba", "giflib"}, {"qt", "Qt"}});
    }

private:
    struct Time {
        double cpu = 0, wall = 0;  // per iteration, in the benchmark's unit
    };

    // One table: rates in Mpixels per second of CPU time, then the time ratios peer / ours from
    // CPU time and from wall-clock time (above 1: ours is faster).
    void Table(const char* title, const std::string& suffix,
               const std::vector<std::pair<std::string, std::string>>& others) {
        const std::string ours = "ours" + suffix, wuffs = "wuffs" + suffix;
        std::printf("\n%s: Mpixels per second (CPU time); time ratios peer / ours, CPU (wall)\n\n| picture | ours | Wuffs",
                    title);
        for (const auto& o : others) std::printf(" | %s", o.second.c_str());
        std::printf(" | Wuffs / ours");
        for (const auto& o : others) std::printf(" | %s / ours", o.second.c_str());
        std::printf(" |\n|---|---:|---:");
        for (size_t i = 0; i < 2 * others.size() + 1; ++i) std::printf("|---:");
        std::printf("|\n");
        std::vector<std::pair<double, std::string>> cpuRatios, wallRatios;
        for (const auto& picture : Corpus()) {
            auto& t = times_[picture.name];
            if (!t.count(ours)) continue;
            auto rate = [&](const std::string& reader) {
                return t.count(reader) && t[reader].cpu > 0 ? double(picture.pixels) / t[reader].cpu / 1e3 : 0.0;
            };
            auto ratio = [&](const std::string& reader) {
                if (!t.count(reader) || t[ours].cpu <= 0 || t[ours].wall <= 0) return std::string("-");
                char text[64];
                std::snprintf(text, sizeof text, "%.2f (%.2f)", t[reader].cpu / t[ours].cpu, t[reader].wall / t[ours].wall);
                return std::string(text);
            };
            std::printf("| %s | %.0f | %.0f", picture.name.c_str(), rate(ours), rate(wuffs));
            for (const auto& o : others) std::printf(" | %.0f", rate(o.first));
            std::printf(" | %s", ratio(wuffs).c_str());
            for (const auto& o : others) std::printf(" | %s", ratio(o.first).c_str());
            std::printf(" |\n");
            if (t.count(wuffs)) {
                cpuRatios.emplace_back(t[wuffs].cpu / t[ours].cpu, picture.name);
                wallRatios.emplace_back(t[wuffs].wall / t[ours].wall, picture.name);
            }
        }
        if (cpuRatios.empty()) {
            std::printf("\n(Wuffs was not built into this benchmark: its source was not beside the checkout.)\n");
            return;
        }
        std::printf("\n");
        Summarise("Wuffs / ours, CPU time", cpuRatios);
        Summarise("Wuffs / ours, wall-clock time", wallRatios);
    }

    std::map<std::string, std::map<std::string, Time>> times_;
};

#ifdef GIF_BENCH_WUFFS
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// CPU seconds of one pass over the picture's files, averaged over `passes`.
double PassTime(int64_t (*decode)(const Bytes&), const Picture& picture, int passes) {
    const double start = CpuSeconds();
    for (int i = 0; i < passes; ++i)
        for (const auto& file : picture.files) benchmark::DoNotOptimize(decode(file));
    return (CpuSeconds() - start) / passes;
}

// Wuffs against ours in rounds that time the two back to back on the same picture, the order
// swapped every round: this machine's speed drifts by up to a factor of two from one minute to
// the next, which moves the separate runs above apart but not the two halves of a round. Per
// picture the median of the rounds' ratios Wuffs / ours (above 1: ours is faster) and their
// range; then the median over the pictures and the slowest picture.
void PairedTables(int rounds) {
    struct Work {
        const char* title;
        int64_t (*ours)(const Bytes&);
        int64_t (*wuffs)(const Bytes&);
    };
    const Work works[] = {{"Every frame to palette indices", DecodeOurs, DecodeWuffs},
                          {"Every frame composed onto RGBA", DecodeComposeOurs, DecodeComposeWuffs}};
    for (const Work& work : works) {
        std::printf("\n%s, paired: CPU time ratio Wuffs / ours, median of %d rounds (lowest - highest)\n\n"
                    "| picture | Wuffs / ours | range |\n|---|---:|---:|\n", work.title, rounds);
        std::vector<std::pair<double, std::string>> medians;
        for (const auto& picture : Corpus()) {
            // Each half of a round takes about 20 ms.
            const int passes = std::max(1, static_cast<int>(0.02 / std::max(PassTime(work.ours, picture, 1), 1e-6)));
            std::vector<double> ratios;
            for (int r = 0; r < rounds; ++r) {
                double ours, wuffs;
                if (r % 2 == 0) {
                    ours = PassTime(work.ours, picture, passes);
                    wuffs = PassTime(work.wuffs, picture, passes);
                } else {
                    wuffs = PassTime(work.wuffs, picture, passes);
                    ours = PassTime(work.ours, picture, passes);
                }
                ratios.push_back(wuffs / ours);
            }
            std::sort(ratios.begin(), ratios.end());
            medians.emplace_back(ratios[ratios.size() / 2], picture.name);
            std::printf("| %s | %.2f | %.2f - %.2f |\n", picture.name.c_str(), medians.back().first, ratios.front(),
                        ratios.back());
        }
        std::printf("\n");
        Summarise("Wuffs / ours, paired", medians);
    }
}
#endif

// `gif_decode --save-corpus DIR` writes the pictures as GIF files (a picture of several files
// as NAME-1.gif, NAME-2.gif, ...) to look at them or profile a reader on them, and stops.
int SaveCorpus(const std::string& folder) {
    for (const auto& picture : Corpus())
        for (size_t i = 0; i < picture.files.size(); ++i) {
            std::string name = picture.name;
            std::replace(name.begin(), name.end(), ' ', '-');
            if (picture.files.size() > 1) name += "-" + std::to_string(i + 1);
            const std::string path = folder + "/" + name + ".gif";
            std::FILE* f = std::fopen(path.c_str(), "wb");
            const Bytes& bytes = picture.files[i];
            if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 1;
            }
        }
    return 0;
}

// Decodes every picture `times` times with one reader.
__attribute__((noinline)) int64_t RepeatDecode(int64_t (*decode)(const Bytes&), int times) {
    int64_t sum = 0;
    for (const auto& picture : Corpus())
        for (int i = 0; i < times; ++i)
            for (const auto& file : picture.files) sum += decode(file);
    return sum;
}

// `gif_decode --repeat=READER:N [--pictures=TEXT]` decodes the pictures N times each with one
// reader (ours, wuffs, ours+rgba, wuffs+rgba) and stops: for counting instructions, which stay
// the same on a busy machine, e.g. one picture at a time:
//   valgrind --tool=callgrind --toggle-collect='*RepeatDecode*' build/bin/gif_decode \
//     --repeat=ours:100 '--pictures=menu 16x16 1 frame, 16 colours'
int Repeat(const std::string& what) {
    const size_t colon = what.find(':');
    const std::string reader = what.substr(0, colon);
    const int times = colon == std::string::npos ? 1 : std::max(1, std::atoi(what.c_str() + colon + 1));
    const std::map<std::string, int64_t (*)(const Bytes&)> decoders{
        {"ours", DecodeOurs}, {"ours+rgba", DecodeComposeOurs},
#ifdef GIF_BENCH_WUFFS
        {"wuffs", DecodeWuffs}, {"wuffs+rgba", DecodeComposeWuffs},
#endif
    };
    const auto found = decoders.find(reader);
    if (found == decoders.end()) {
        std::fprintf(stderr, "Usage: gif_decode --repeat=ours|wuffs|ours+rgba|wuffs+rgba:TIMES [--pictures=TEXT]\n");
        return 2;
    }
    if (Corpus().empty()) {
        std::fprintf(stderr, "no picture's name holds \"%s\"\n", WantedPictures().c_str());
        return 2;
    }
    std::printf("%lld\n", static_cast<long long>(RepeatDecode(found->second, times)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--save-corpus") return SaveCorpus(argv[2]);
    QCoreApplication app(argc, argv);
    // Unless the command line says otherwise, every case runs 5 times for at least 0.1 s each
    // and the tables take the medians: the whole run stays within a few minutes.
    std::vector<char*> args(argv, argv + argc);
    auto given = [&](const char* flag) {
        return std::any_of(args.begin(), args.end(), [flag](const char* a) { return std::strncmp(a, flag, std::strlen(flag)) == 0; });
    };
    char repetitions[] = "--benchmark_repetitions=5";
    char minTime[] = "--benchmark_min_time=0.1";
    if (!given("--benchmark_repetitions")) args.push_back(repetitions);
    if (!given("--benchmark_min_time")) args.push_back(minTime);
    // --paired_rounds=N: the rounds of the paired comparison with Wuffs after the tables (9;
    // 0 leaves it out).
    int rounds = 9;
    // --pictures=TEXT: only the pictures whose name holds TEXT ("menu" for the icons and small
    // animations of menus), in the tables and in the paired rounds.
    for (auto it = args.begin(); it != args.end();) {
        if (std::strncmp(*it, "--paired_rounds=", 16) == 0) {
            rounds = std::max(0, std::atoi(*it + 16));
            it = args.erase(it);
        } else if (std::strncmp(*it, "--pictures=", 11) == 0) {
            WantedPictures() = *it + 11;
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    for (const char* a : args)
        if (std::strncmp(a, "--repeat=", 9) == 0) return Repeat(a + 9);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    for (const auto& picture : Corpus())
        for (const Reader& reader : readers)
            benchmark::RegisterBenchmark((std::string(reader.name) + "/" + picture.name).c_str(), reader.run, &picture)
                ->Unit(benchmark::kMillisecond);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
#ifdef GIF_BENCH_WUFFS
    if (rounds > 0) PairedTables(rounds);
#endif
    return 0;
}
