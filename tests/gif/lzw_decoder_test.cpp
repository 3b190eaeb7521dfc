// The raster decoder, through whole pictures: hand-made code sequences for the cases where
// decoders go wrong, and round trips of encoded pictures.

#include <gtest/gtest.h>

#include <random>

#include "gif/lzw_decoder.h"
#include "gif_test_support.h"
#include "lzw_reference.h"

using namespace giftest;
using torvana::gif::GifError;

namespace {

// A picture of one frame whose raster is the given codes (of the given widths) in sub-blocks,
// followed by a second 1 × 1 frame and the trailer, so tests see where the first raster left
// the stream.
Bytes PictureWithRaster(int width, int height, int minimumCodeSize, const std::vector<std::pair<int, int>>& codes,
                        int blockSize = 255, bool interlaced = false, int transparent = -1) {
    CodePacker packer;
    for (auto [code, bits] : codes) packer.Put(code, bits);
    GifBuilder b;
    b.Header(8, 32, Palette(4));
    if (transparent >= 0) b.Gce(0, 0, transparent);
    b.Descriptor(0, 0, width, height, interlaced).Raw({minimumCodeSize}).Raw(SubBlocks(packer.Finish(), blockSize));
    b.Image(0, 0, 1, 1, Bytes{3}, 2).Trailer();
    return b.bytes();
}

struct RasterCase {
    const char* name;
    int width, height, transparent;
    std::vector<std::pair<int, int>> codes;  // (code, width), minimum code size 2
    int blockSize;
    Bytes pixels;
    std::vector<std::string> warnings;
};

}  // namespace

TEST(LzwDecoder, HandMadeRasters) {
    // Minimum code size 2: clear 4, end 5, first free 6, codes of 3 bits until 8 entries.
    const std::vector<RasterCase> cases = {
        {"one pixel", 1, 1, -1, {{4, 3}, {0, 3}, {5, 3}}, 255, {0}, {}},
        {"only clear and end keep the fill value", 2, 2, -1, {{4, 3}, {5, 3}}, 255, {0, 0, 0, 0}, {}},
        {"only clear and end keep the transparent index", 2, 2, 2, {{4, 3}, {5, 3}}, 255, {2, 2, 2, 2}, {}},
        {"two clears decode like one", 2, 1, -1, {{4, 3}, {4, 3}, {1, 3}, {2, 3}, {5, 3}}, 255, {1, 2}, {}},
        // 1, then 6 (= next free: "1 1"), then 6 again, so 1 1 1 1 1.
        {"code equal to the next free slot", 5, 1, -1, {{4, 3}, {1, 3}, {6, 3}, {6, 3}, {5, 4}}, 255,
         {1, 1, 1, 1, 1}, {}},
        // Codes spread over one-byte sub-blocks, so codes span block boundaries.
        {"codes across sub-blocks", 4, 1, -1, {{4, 3}, {3, 3}, {2, 3}, {1, 3}, {0, 4}, {5, 4}}, 1, {3, 2, 1, 0}, {}},
        {"end code before the last pixel", 3, 1, 1, {{4, 3}, {2, 3}, {5, 3}}, 255, {2, 1, 1}, {}},
        // Width grows to 4 bits once entry 7 is made: 0 0 1 1 2 2 ... with growing codes.
        {"code width grows", 6, 1, -1, {{4, 3}, {0, 3}, {0, 3}, {1, 3}, {1, 4}, {2, 4}, {5, 4}}, 255,
         {0, 0, 1, 1, 2, 0}, {}},
        // A code far beyond the next free slot is taken as the code about to be defined.
        {"code beyond the next free slot", 3, 1, -1, {{4, 3}, {2, 3}, {7, 3}, {5, 3}}, 255, {2, 2, 2}, {}},
        // An end code right after the clear is the end, not a pixel.
        {"end right after the clear", 2, 1, 3, {{4, 3}, {5, 3}, {1, 3}}, 255, {3, 3}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = Load(PictureWithRaster(c.width, c.height, 2, c.codes, c.blockSize, false, c.transparent));
        ASSERT_EQ(r.error, "");
        ASSERT_EQ(r.frames(), 2u);
        EXPECT_EQ(Pixels(r.frame(0)), c.pixels);
        EXPECT_EQ(r.warnings, c.warnings);
        // The stream was left right after the first raster's terminator: the next frame reads.
        EXPECT_EQ(Pixels(r.frame(1)), Bytes{3});
    }
}

TEST(LzwDecoder, RasterShorterOrLongerThanTheFrameLeavesTheStreamAfterItsTerminator) {
    Bytes big(64);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i % 4);
    for (int frameWidth : {4, 16, 64, 128}) {
        SCOPED_TRACE(frameWidth);
        GifBuilder b;
        b.Header(128, 1, Palette(4))
            .Descriptor(0, 0, frameWidth, 1)
            .Raw({2})
            .Raw(SubBlocks(LzwEncode(big, 2), 7))  // 64 pixels in many small sub-blocks
            .Image(0, 0, 1, 1, Bytes{3}, 2)
            .Trailer();
        const Loaded r = Load(b);
        ASSERT_EQ(r.error, "");
        ASSERT_EQ(r.frames(), 2u);
        const Bytes p = Pixels(r.frame(0));
        for (int i = 0; i < frameWidth; ++i) EXPECT_EQ(p[i], i < 64 ? i % 4 : 0) << i;
        EXPECT_EQ(Pixels(r.frame(1)), Bytes{3});
        EXPECT_TRUE(r.warnings.empty());
    }
}

TEST(LzwDecoder, TruncatedAndUnterminatedRasters) {
    // A raster cut off inside a sub-block: warning, the decoded start kept, the rest filled.
    Bytes indices(40, 1);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i % 3 + 1);
    GifBuilder full;
    full.Header(40, 1, Palette(4)).Image(0, 0, 40, 1, indices, 2);
    Bytes cut = full.bytes();
    cut.resize(cut.size() - 5);  // the terminator and the last 4 data bytes
    Loaded r = Load(cut);
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.frames(), 1u);
    EXPECT_EQ(r.warnings, std::vector<std::string>{"Premature end of data"});
    const Bytes p = Pixels(r.frame(0));
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], 2);
    EXPECT_EQ(p[39], 0);  // not decoded: fill value

    // Cut off early in an interlaced frame: the rest of its row and every row after it in the
    // four-pass order take the transparent index.
    GifBuilder interlaced;
    Bytes rows(40 * 9);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 7 % 3);
    interlaced.Header(40, 9, Palette(4)).Gce(0, 0, 3).Image(0, 0, 40, 9, rows, 2, true);
    cut = interlaced.bytes();
    cut.resize(cut.size() - 30);
    r = Load(cut);
    ASSERT_EQ(r.frames(), 1u);
    const Bytes q = Pixels(r.frame(0));
    EXPECT_EQ(q[0], rows[0]);
    for (size_t i = 0; i < q.size(); ++i) EXPECT_TRUE(q[i] == rows[i] || q[i] == 3) << i;
    EXPECT_EQ(Bytes(q.end() - 40 * 3, q.end()), Bytes(40 * 3, 3));  // rows 6 to 8: not reached

    // A raster whose codes run out after its terminator: the under-run warning, then the rest.
    r = Load(PictureWithRaster(4, 1, 2, {{4, 3}, {1, 3}}, 255));
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.warnings, std::vector<std::string>{"Decoder bit buffer under-run"});
    EXPECT_EQ(Pixels(r.frame(0)), (Bytes{1, 0, 0, 0}));
    ASSERT_EQ(r.frames(), 2u);

    // The stream ends right before the minimum code size: all pixels keep the fill value.
    GifBuilder nodata;
    nodata.Header(2, 2, Palette(4)).Gce(0, 0, 3).Descriptor(0, 0, 2, 2);
    r = Load(nodata);
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.frames(), 1u);
    EXPECT_EQ(Pixels(r.frame(0)), (Bytes{3, 3, 3, 3}));
    EXPECT_TRUE(r.warnings.empty());
}

TEST(LzwDecoder, InterlacedRowOrder) {
    // Row y holds the value of its place in the decoding order, so the order is visible.
    for (int height : {1, 2, 3, 5, 8, 9, 20}) {
        SCOPED_TRACE(height);
        Bytes decodeOrder;
        for (int i = 0; i < height; ++i) decodeOrder.push_back(static_cast<uint8_t>(i));
        GifBuilder b;
        b.Header(1, height, Palette(32)).Descriptor(0, 0, 1, height, true).Raw({5}).Raw(SubBlocks(LzwEncode(decodeOrder, 5)));
        const Loaded r = Load(b);
        ASSERT_EQ(r.error, "");
        std::vector<int> expectedRowOfStep;
        for (int start : {0, 4, 2, 1})
            for (int y = start; y < height; y += (start == 0 || start == 4) ? 8 : start == 2 ? 4 : 2)
                expectedRowOfStep.push_back(y);
        const Bytes p = Pixels(r.frame(0));
        for (int step = 0; step < height; ++step) EXPECT_EQ(p[expectedRowOfStep[step]], step) << "step " << step;
    }
}

TEST(LzwDecoder, RoundTripsOfEncodedPictures) {
    std::mt19937 rng(5);
    struct Shape {
        int width, height, minimumCodeSize;
        LzwOptions options;
        bool interlaced;
        int blockSize;
    };
    const std::vector<Shape> shapes = {
        {1, 1, 2, {}, false, 255},      {17, 3, 2, {}, false, 255},   {64, 64, 8, {}, false, 255},
        {300, 200, 8, {}, false, 255},  {300, 200, 4, {}, true, 255}, {97, 41, 3, {}, true, 13},
        {256, 256, 8, {true, true, 0}, false, 255},  // deferred clear: a full table keeps decoding
        {200, 100, 6, {false, true, 50}, false, 255},
        {120, 80, 11, {}, false, 255},  // widest minimum code size
        // Sub-blocks of one byte: a code of up to 12 bits spans three of them.
        {120, 80, 11, {}, false, 1},    {300, 200, 8, {}, true, 1},
    };
    for (const auto& s : shapes) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " mcs " << s.minimumCodeSize);
        const int colours = std::min(256, 1 << s.minimumCodeSize);
        Bytes indices(static_cast<size_t>(s.width) * s.height);
        // Runs and noise, so the table fills with long and short strings.
        int value = 0;
        for (auto& v : indices) {
            if (rng() % 4 == 0) value = static_cast<int>(rng() % colours);
            v = static_cast<uint8_t>(value);
        }
        GifBuilder b;
        b.Header(s.width, s.height, Palette(std::min(colours, 256)))
            .Image(0, 0, s.width, s.height, indices, s.minimumCodeSize, s.interlaced, {}, s.options, s.blockSize)
            .Trailer();
        const Loaded r = Load(b);
        ASSERT_EQ(r.error, "");
        EXPECT_TRUE(r.warnings.empty());
        ASSERT_EQ(r.frames(), 1u);
        EXPECT_EQ(Pixels(r.frame(0)), indices);
        EXPECT_EQ(r.positionAfter, static_cast<int64_t>(b.bytes().size()));
    }
}

TEST(LzwDecoder, DamagedTablesAndCodeSizesFailWithAGifError) {
    struct Case {
        const char* name;
        int minimumCodeSize;
        std::vector<std::pair<int, int>> codes;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"minimum code size 12", 12, {{4096, 13}}, "Invalid LZW minimum code size"},
        {"minimum code size 255", 255, {}, "Invalid LZW minimum code size"},
        // The first code after the clear is 6, the slot about to be defined; the next code
        // defines 6 with prefix 6: an entry that is its own prefix, met when 6 is decoded.
        {"entry that is its own prefix", 2, {{4, 3}, {6, 3}, {1, 3}, {6, 3}, {5, 3}}, "Circular decoder table entry"},
        // First code 7 (undefined), then 6 defines slot 6 := (7, .), and 6 (as the code about
        // to be defined) defines slot 7 := (6, .): slots 6 and 7 point at each other.
        {"cycle of two entries", 2, {{4, 3}, {7, 3}, {6, 3}, {6, 3}, {7, 4}, {5, 4}}, "Circular decoder table entry"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = Load(PictureWithRaster(8, 8, c.minimumCodeSize, c.codes));
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.frames(), 0u);
        EXPECT_EQ(r.positionAfter, 0);
    }
}

TEST(LzwDecoder, AgreesWithThePlainDecoderOnSoundAndDamagedRasters) {
    // Encoded pictures of runs and grain, then the same bytes damaged: bytes changed, cut off,
    // sub-block lengths wrong. Whatever the bytes, both decoders give the same pixels, warnings,
    // errors and stream position.
    std::mt19937 rng(19);
    int damaged = 0;
    for (int round = 0; round < 3000; ++round) {
        const bool interlaced = rng() % 3 == 0;
        const int width = static_cast<int>(rng() % 70), height = static_cast<int>(rng() % 30);
        const int minimumCodeSize = 2 + static_cast<int>(rng() % 10);  // above 8, literals past a byte
        Bytes indices(size_t(width) * height + rng() % 3 * 20);
        int value = 0;
        for (auto& v : indices) {
            if (rng() % (round % 2 ? 2 : 8) == 0) value = static_cast<int>(rng() % (1u << std::min(minimumCodeSize, 8)));
            v = static_cast<uint8_t>(value);
        }
        Bytes data{static_cast<uint8_t>(minimumCodeSize)};
        const Bytes blocks = SubBlocks(LzwEncode(indices, minimumCodeSize, {false, rng() % 4 != 0, 0}), 1 + rng() % 255);
        data.insert(data.end(), blocks.begin(), blocks.end());
        if (round % 4 != 0) {
            ++damaged;
            for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n) {
                const size_t at = 1 + rng() % (data.size() - 1);
                switch (rng() % 4) {
                    case 0: data[at] = static_cast<uint8_t>(rng()); break;
                    case 1: data.resize(at); break;
                    case 2: data[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
                    default: data.insert(data.begin() + static_cast<ptrdiff_t>(at), static_cast<uint8_t>(rng())); break;
                }
                if (data.size() < 2) break;
            }
        }
        data.push_back(0x2C);  // what follows the raster, so reading past it shows
        const std::string difference = DifferenceFromReference(data, width, height, interlaced);
        ASSERT_EQ(difference, "") << "round " << round << ", " << width << "x" << height << (interlaced ? " interlaced" : "");
    }
    EXPECT_GT(damaged, 2000);
}

// Rasters share one decoder per thread, so a warning handler that reads another picture while a
// raster is being decoded (a cut sub-block warns before the decoder reads what is left of it)
// must not take the decoder from under that raster: both pictures come out as each does alone.
TEST(LzwDecoder, AWarningHandlerThatReadsAnotherPictureLeavesTheRasterBeingDecodedAlone) {
    std::mt19937 rng(41);
    auto noise = [&](int width, int height, int minimumCodeSize, bool cut) {
        Bytes indices(size_t(width) * height);
        for (auto& v : indices) v = static_cast<uint8_t>(rng() % (1u << minimumCodeSize));
        GifBuilder b;
        b.Header(width, height, Palette(1 << minimumCodeSize)).Image(0, 0, width, height, indices, minimumCodeSize);
        Bytes bytes = b.bytes();
        if (cut) bytes.resize(bytes.size() - 40);  // in the last sub-block, which then warns
        return bytes;
    };
    const Bytes outer = noise(64, 64, 8, true), inner = noise(37, 11, 3, false);
    const Loaded outerAlone = Load(outer), innerAlone = Load(inner);
    ASSERT_EQ(outerAlone.warnings.size(), 1u);
    ASSERT_EQ(innerAlone.error, "");

    torvana::gif::GifImage image;
    std::vector<Loaded> innerLoads;
    image.OnGIFWarning = [&](torvana::gif::GifObject*, int, const std::string&) { innerLoads.push_back(Load(inner)); };
    torvana::gif::GifMemoryStream stream(outer.data(), outer.size());
    image.LoadFromStream(stream);
    ASSERT_EQ(innerLoads.size(), 1u);
    EXPECT_EQ(Pixels(image.frames[0]), Pixels(outerAlone.frame(0)));
    EXPECT_EQ(Pixels(innerLoads[0].frame(0)), Pixels(innerAlone.frame(0)));
}
