// Our decoded indices against giflib's on a generated corpus of valid pictures: every frame of
// every picture must hold the same bytes.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "gif_test_support.h"

using namespace giftest;

namespace {

struct Reader {
    const Bytes* bytes;
    size_t position = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int count) {
    auto* r = static_cast<Reader*>(gif->UserData);
    const size_t n = std::min(static_cast<size_t>(count), r->bytes->size() - r->position);
    std::memcpy(buffer, r->bytes->data() + r->position, n);
    r->position += n;
    return static_cast<int>(n);
}

// Each frame's indices as giflib decodes them (interlaced frames already in row order).
std::vector<Bytes> GiflibFrames(const Bytes& bytes) {
    Reader reader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    EXPECT_NE(gif, nullptr) << GifErrorString(error);
    std::vector<Bytes> frames;
    if (!gif) return frames;
    EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const size_t n = size_t(image.ImageDesc.Width) * image.ImageDesc.Height;
        frames.emplace_back(image.RasterBits, image.RasterBits + n);
    }
    DGifCloseFile(gif, &error);
    return frames;
}

// A picture of `frames` frames with random sizes, positions, tables, code sizes, interlacing,
// sub-block sizes and clear-code spacing; pixels mix runs, gradients and noise.
Bytes RandomPicture(std::mt19937& rng, int frames) {
    auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
    const int screenW = pick(1, 300), screenH = pick(1, 200);
    GifBuilder b;
    b.Header(screenW, screenH, Palette(256));
    if (frames > 1) b.Loop(0);
    for (int f = 0; f < frames; ++f) {
        const int mcs = pick(2, 8);
        const int colours = 1 << mcs;
        const int w = pick(1, screenW), h = pick(1, screenH);
        const int left = pick(0, screenW - w), top = pick(0, screenH - h);
        Bytes pixels(size_t(w) * h);
        const int style = pick(0, 2);
        int value = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            if (style == 0 && rng() % 6 == 0) value = pick(0, colours - 1);
            if (style == 1) value = static_cast<int>((i % static_cast<size_t>(w)) * colours / static_cast<size_t>(w) + rng() % 2) % colours;
            if (style == 2) value = pick(0, colours - 1);
            pixels[i] = static_cast<uint8_t>(value);
        }
        LzwOptions options;
        options.clearEvery = pick(0, 1) ? 0 : pick(1, 3000);
        const bool local = pick(0, 1);
        b.Gce(pick(0, 3), pick(0, 20), pick(0, 1) ? -1 : pick(0, colours - 1));
        b.Image(left, top, w, h, pixels, mcs, pick(0, 1), local ? Palette(colours) : std::vector<Rgb>{}, options,
                pick(1, 255));
    }
    b.Trailer();
    return b.bytes();
}

}  // namespace

TEST(GiflibEquality, GeneratedCorpus) {
    std::mt19937 rng(2024);
    int pictures = 0, frames = 0;
    for (int n = 0; n < 200; ++n) {
        SCOPED_TRACE(n);
        const Bytes bytes = RandomPicture(rng, 1 + n % 4);
        const std::vector<Bytes> expected = GiflibFrames(bytes);
        const Loaded ours = Load(bytes);
        ASSERT_EQ(ours.error, "");
        ASSERT_TRUE(ours.warnings.empty());
        ASSERT_EQ(ours.frames(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_TRUE(Pixels(ours.frame(i)) == expected[i]) << "frame " << i;
            ++frames;
        }
        ++pictures;
    }
    std::cout << "giflib equality: " << pictures << " pictures, " << frames << " frames, all equal\n";
}
