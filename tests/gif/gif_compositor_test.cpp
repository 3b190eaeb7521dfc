// Composing frames onto the RGBA canvas: transparency, the disposal methods, clipping.

#include <gtest/gtest.h>

#include <random>

#include "gif/gif_compositor.h"
#include "gif_test_support.h"

using namespace giftest;
using namespace torvana::gif;

namespace {

// Colours: 0 red, 1 green, 2 blue, 3 white.
const std::vector<Rgb> kColours = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
const GifRgba R{255, 0, 0, 255}, G{0, 255, 0, 255}, B{0, 0, 255, 255}, W{255, 255, 255, 255}, T{0, 0, 0, 0},
    K{0, 0, 0, 255};

// The canvas as a list of pixels, row by row.
std::vector<GifRgba> Pixels(const RgbaCanvas& c) {
    std::vector<GifRgba> out;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) out.push_back(c.At(x, y));
    return out;
}

// A 3 × 1 screen: a full white frame with the given disposal, then a green pixel at x = 2.
Bytes DisposalPicture(int disposal, int transparent = -1) {
    GifBuilder b;
    b.Header(3, 1, kColours)
        .Gce(1, 0)
        .Image(0, 0, 3, 1, Bytes{3, 3, 3}, 2)
        .Gce(disposal, 0, transparent)
        .Image(0, 0, 2, 1, Bytes{0, 2}, 2)
        .Gce(1, 0)
        .Image(2, 0, 1, 1, Bytes{1}, 2)
        .Trailer();
    return b.bytes();
}

}  // namespace

TEST(GifCompositor, DisposalMethods) {
    struct Case {
        const char* name;
        int disposal;
        int transparent;
        std::optional<GifRgba> background;
        std::vector<GifRgba> second, third;
    };
    const std::vector<Case> cases = {
        {"none keeps", 0, -1, {}, {R, B, W}, {R, B, G}},
        {"keep", 1, -1, {}, {R, B, W}, {R, B, G}},
        {"background is transparent by default", 2, -1, {}, {R, B, W}, {T, T, G}},
        {"background colour when given", 2, -1, K, {R, B, W}, {K, K, G}},
        {"previous", 3, -1, {}, {R, B, W}, {W, W, G}},
        {"transparent pixels keep the canvas", 3, 2, {}, {R, W, W}, {W, W, G}},
        {"reserved disposal keeps", 6, -1, {}, {R, B, W}, {R, B, G}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = Load(DisposalPicture(c.disposal, c.transparent));
        ASSERT_EQ(r.error, "");
        GifCompositor::Options options;
        options.background = c.background;
        GifCompositor compositor(*r.image, options);
        EXPECT_EQ(Pixels(compositor.Canvas()), std::vector<GifRgba>(3, c.background.value_or(T)));
        EXPECT_EQ(Pixels(compositor.Compose(0)), (std::vector<GifRgba>{W, W, W}));
        EXPECT_EQ(Pixels(compositor.Compose(1)), c.second);
        EXPECT_EQ(Pixels(compositor.Compose(2)), c.third);
        compositor.Restart();
        EXPECT_EQ(Pixels(compositor.Canvas()), std::vector<GifRgba>(3, c.background.value_or(T)));
    }
}

TEST(GifCompositor, UnderlayIsWhatDisposalTwoRestores) {
    const Loaded r = Load(DisposalPicture(2));
    RgbaCanvas under = RgbaCanvas::Create(3, 1, B, 1 << 20);
    GifCompositor::Options options;
    options.underlay = &under;
    GifCompositor compositor(*r.image, options);
    EXPECT_EQ(Pixels(compositor.Canvas()), (std::vector<GifRgba>{B, B, B}));
    compositor.Compose(0);
    compositor.Compose(1);
    EXPECT_EQ(Pixels(compositor.Compose(2)), (std::vector<GifRgba>{B, B, G}));

    // A disposal colour wins over the underlay and the starting colour; clearing first puts
    // the frame's area back to it before the frame is drawn.
    GifCompositor::Options painted;
    painted.disposalColour = K;
    GifCompositor painter(*r.image, painted);
    EXPECT_EQ(Pixels(painter.Canvas()), std::vector<GifRgba>(3, T));
    painter.Compose(0);
    painter.Compose(1);
    EXPECT_EQ(Pixels(painter.Compose(2)), (std::vector<GifRgba>{K, K, G}));
    const Loaded hole = Load(DisposalPicture(1, 2));
    GifCompositor clearing(*hole.image, painted);
    clearing.Compose(0);
    EXPECT_EQ(Pixels(clearing.Compose(1)), (std::vector<GifRgba>{R, W, W}));
    EXPECT_EQ(Pixels(clearing.Compose(1, true)), (std::vector<GifRgba>{R, K, W}));
}

TEST(GifCompositor, ColoursClippingAndTransparencySwitch) {
    // Index 7 lies beyond a 4-entry table: opaque black. The frame reaches past the screen.
    GifBuilder b;
    b.Header(2, 2, kColours).Gce(0, 0, 1).Image(1, 1, 3, 3, Bytes{7, 1, 1, 1, 1, 1, 1, 1, 1}, 3).Trailer();
    Loaded r = Load(b);
    ASSERT_EQ(r.error, "");
    GifCompositor compositor(*r.image);
    EXPECT_EQ(Pixels(compositor.Compose(0)), (std::vector<GifRgba>{T, T, T, K}));

    // Without transparency the transparent index shows its colour.
    b = GifBuilder();
    b.Header(2, 1, kColours).Gce(0, 0, 1).Image(0, 0, 2, 1, Bytes{1, 2}, 2).Trailer();
    r = Load(b);
    GifCompositor::Options opaque;
    opaque.honourTransparency = false;
    EXPECT_EQ(Pixels(GifCompositor(*r.image, opaque).Compose(0)), (std::vector<GifRgba>{G, B}));
    EXPECT_EQ(Pixels(GifCompositor(*r.image).Compose(0)), (std::vector<GifRgba>{T, B}));

    // A local table wins over the global one.
    b = GifBuilder();
    b.Header(1, 1, kColours).Image(0, 0, 1, 1, Bytes{0}, 2, false, {{1, 2, 3}, {4, 5, 6}}).Trailer();
    r = Load(b);
    EXPECT_EQ(Pixels(GifCompositor(*r.image).Compose(0)), (std::vector<GifRgba>{GifRgba{1, 2, 3, 255}}));

    // Without a global table, a frame without a table of its own is drawn with frame 0's.
    b = GifBuilder();
    b.Header(1, 1)
        .Image(0, 0, 1, 1, Bytes{0}, 2, false, {{1, 2, 3}, {4, 5, 6}})
        .Image(0, 0, 1, 1, Bytes{1}, 2)
        .Trailer();
    r = Load(b);
    GifCompositor borrowing(*r.image);
    borrowing.Compose(0);
    EXPECT_EQ(Pixels(borrowing.Compose(1)), (std::vector<GifRgba>{GifRgba{4, 5, 6, 255}}));

    // No table at all.
    b = GifBuilder();
    b.Header(1, 1).Image(0, 0, 1, 1, Bytes{0}, 2).Trailer();
    r = Load(b);
    GifCompositor noTable(*r.image);
    try {
        noTable.Compose(0);
        FAIL();
    } catch (const GifError& e) {
        EXPECT_STREQ(e.what(), "No global or local color table defined");
    }
}

TEST(GifCompositor, CanvasBudget) {
    GifBuilder b;
    b.Header(65535, 65535, kColours);
    const Loaded r = Load(b);
    ASSERT_EQ(r.error, "");
    EXPECT_THROW(GifCompositor compositor(*r.image), GifError);
}

// Random animations against a compositor written pixel by pixel: frames that cover the screen
// or not, reach past it, have holes, local tables, indices beyond their table and every
// disposal; under each kind of starting canvas, over two passes.
TEST(GifCompositor, MatchesPixelByPixelComposition) {
    // Wide enough for long rows with several transparent runs.
    constexpr int W = 90;
    std::mt19937 rng(29);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const RgbaCanvas under = RgbaCanvas::Create(W, 9, GifRgba{9, 8, 7, 255}, 1 << 20);
    struct Row {
        const char* name;
        GifCompositor::Options options;
    };
    std::vector<Row> rows(4);
    rows[0].name = "transparent start";
    rows[1].name = "background colour";
    rows[1].options.background = GifRgba{1, 2, 3, 255};
    rows[2].name = "underlay";
    rows[2].options.underlay = &under;
    rows[3].name = "transparency off, disposal colour";
    rows[3].options.honourTransparency = false;
    rows[3].options.disposalColour = GifRgba{4, 5, 6, 255};
    for (int picture = 0; picture < 60; ++picture) {
        GifBuilder b;
        b.Header(W, 9, Palette(8));
        struct Frame {
            int left, top, width, height, disposal, transparent;
            Bytes pixels;
            std::vector<Rgb> local;
        };
        std::vector<Frame> frames;
        for (int k = 0; k < 6; ++k) {
            const bool whole = pick(3) == 0;
            // The first frame, which may be written straight into an empty canvas, mostly at the corner.
            const bool corner = whole || pick(k == 0 ? 2 : 4) == 0;
            Frame f{corner ? 0 : pick(W + 3), corner ? 0 : pick(11), whole ? W + pick(3) : 1 + pick(W), whole ? 9 : 1 + pick(10),
                    pick(4), pick(2) ? -1 : pick(8), {}, {}};
            if (pick(3) == 0) f.local = Palette(4);
            // Now and then an index past 16, which small tables cannot look up sixteen at a time.
            for (int i = 0; i < f.width * f.height; ++i)
                f.pixels.push_back(uint8_t(pick(5) == 0 ? 7 : pick(40) == 0 ? 16 + pick(4) : pick(8)));
            b.Gce(f.disposal, 0, f.transparent).Image(f.left, f.top, f.width, f.height, f.pixels, 5, false, f.local);
            frames.push_back(f);
        }
        const Loaded r = Load(b.Trailer());
        ASSERT_EQ(r.error, "");
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + ", picture " + std::to_string(picture));
            const GifCompositor::Options& o = row.options;
            const std::vector<GifRgba> start = o.underlay ? Pixels(*o.underlay) : std::vector<GifRgba>(W * 9, o.background.value_or(T));
            const std::vector<GifRgba> restored =
                o.disposalColour ? std::vector<GifRgba>(W * 9, *o.disposalColour) : start;
            GifCompositor compositor(*r.image, o);
            for (int pass = 0; pass < 2; ++pass) {
                std::vector<GifRgba> want = start, saved;
                const Frame* previous = nullptr;
                for (size_t k = 0; k < frames.size(); ++k) {
                    const Frame& f = frames[k];
                    auto each = [&](auto&& visit) {
                        for (int y = f.top; y < std::min(9, f.top + f.height); ++y)
                            for (int x = f.left; x < std::min(W, f.left + f.width); ++x) visit(x, y, size_t(y) * W + x);
                    };
                    if (previous && previous->disposal == 2) {
                        const Frame& p = *previous;
                        for (int y = p.top; y < std::min(9, p.top + p.height); ++y)
                            for (int x = p.left; x < std::min(W, p.left + p.width); ++x)
                                want[size_t(y) * W + x] = restored[size_t(y) * W + x];
                    }
                    if (previous && previous->disposal == 3) want = saved;
                    saved = want;
                    const std::vector<Rgb> table = f.local.empty() ? Palette(8) : f.local;
                    each([&](int x, int y, size_t at) {
                        const uint8_t index = f.pixels[size_t(y - f.top) * f.width + (x - f.left)];
                        if (o.honourTransparency && index == f.transparent) return;
                        const Rgb c = index < table.size() ? table[index] : Rgb{0, 0, 0};
                        want[at] = GifRgba{c.r, c.g, c.b, 255};
                    });
                    ASSERT_EQ(Pixels(compositor.Compose(k)), want) << "frame " << k << ", pass " << pass;
                    previous = &f;
                }
                compositor.Restart();
                ASSERT_EQ(Pixels(compositor.Canvas()), start);
            }
        }
    }
}
