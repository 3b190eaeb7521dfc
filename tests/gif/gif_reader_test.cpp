// The stream reader: signatures, block structure, extensions, the warnings and errors of
// damaged files, and the bounds that keep hostile files from taking the machine.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "gif/gif_compositor.h"
#include "gif_test_support.h"
#include "test_support/temp_dir.h"

using namespace giftest;
using namespace torvana::gif;

namespace {

Bytes OnePixelPicture(const char* signature = "GIF89a") {
    GifBuilder b;
    b.Header(1, 1, Palette(2), 0, 0, signature).Image(0, 0, 1, 1, Bytes{1}, 2).Trailer();
    return b.bytes();
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(GifReader, Signatures) {
    struct Case {
        std::string prefix;
        const char* signature;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"", "GIF89a", ""},       {"", "GIF87a", ""},  {"", "gif89a", ""},  {"", "GiFxyz", ""},
        {"", "GIF\x00\x00\x00", ""},
        {"ABCD", "GIF89a", ""},  // exactly four bytes before the signature
        {"A", "GIF89a", "Invalid GIF signature"},      {"ABC", "GIF89a", "Invalid GIF signature"},
        {"ABCDE", "GIF89a", "Invalid GIF signature"},  {"", "GI\x00" "89a", "Invalid GIF signature"},
        {"", "JIF89a", "Invalid GIF signature"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix + "|" + c.signature);
        Bytes bytes(c.prefix.begin(), c.prefix.end());
        const Bytes picture = OnePixelPicture("GIF89a");
        bytes.insert(bytes.end(), c.signature, c.signature + 6);
        bytes.insert(bytes.end(), picture.begin() + 6, picture.end());
        const Loaded r = Load(bytes);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.frames(), r.error.empty() ? 1u : 0u);
    }
    EXPECT_EQ(Load(Bytes{'G', 'I', 'F'}).error, "Premature end of data");
}

TEST(GifReader, BlockStructure) {
    // Ends right after the screen descriptor and table: no frames, no warning, no error.
    GifBuilder headerOnly;
    headerOnly.Header(5, 6, Palette(4));
    Loaded r = Load(headerOnly);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.frames(), 0u);
    EXPECT_TRUE(r.warnings.empty());
    EXPECT_EQ(r.image->Width(), 5);
    EXPECT_EQ(r.image->header->globalColors.tripleCount, 4);

    // Zero bytes between blocks are skipped; no trailer is fine.
    GifBuilder zeros;
    zeros.Header(2, 1, Palette(2)).Raw({0, 0}).Image(0, 0, 1, 1, Bytes{1}, 2).Raw({0}).Image(1, 0, 1, 1, Bytes{0}, 2);
    r = Load(zeros);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.frames(), 2u);
    EXPECT_TRUE(r.warnings.empty());

    // A stray block byte after the first frame: kept frame, two warnings, nothing more read.
    GifBuilder stray;
    stray.Header(1, 1, Palette(2)).Image(0, 0, 1, 1, Bytes{1}, 2).Raw({0x42}).Image(0, 0, 1, 1, Bytes{0}, 2).Trailer();
    r = Load(stray);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.frames(), 1u);
    EXPECT_EQ(r.warnings, (Strings{"Unknown GIF block type", "Invalid Image trailer"}));

    // Extensions after the last image form a last, empty frame.
    GifBuilder trailing;
    trailing.Header(1, 1, Palette(2)).Image(0, 0, 1, 1, Bytes{1}, 2).Comment("bye").Trailer();
    r = Load(trailing);
    ASSERT_EQ(r.frames(), 2u);
    EXPECT_TRUE(r.frame(1).IsEmptyFrame());
    ASSERT_EQ(r.frame(1).extensionItems.Count(), 1u);
    EXPECT_EQ(dynamic_cast<GifCommentExtension&>(r.frame(1).extensionItems[0]).commentLines, Strings{"bye"});

    // A zero-width frame takes the logical screen's size.
    GifBuilder zeroWidth;
    zeroWidth.Header(50, 46, Palette(2)).Descriptor(0, 0, 0, 10).Raw({2}).Raw(SubBlocks(LzwEncode(Bytes(50 * 46, 1), 2)));
    r = Load(zeroWidth);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.warnings, Strings{"Image exceeds Logical Screen size"});
    EXPECT_EQ(r.frame(0).frameWidth, 50);
    EXPECT_EQ(r.frame(0).frameHeight, 46);

    // Table sizes: local code 7 reads 256 entries; a global code 0 reads 2.
    GifBuilder tables;
    tables.Header(1, 1, Palette(2)).Image(0, 0, 1, 1, Bytes{200}, 8, false, Palette(256)).Trailer();
    r = Load(tables);
    EXPECT_EQ(r.image->header->globalColors.tripleCount, 2);
    EXPECT_EQ(r.frame(0).localColors.tripleCount, 256);
    EXPECT_EQ(&r.frame(0).ActiveColors(), &r.frame(0).localColors);
    const Rgb c = Palette(256)[200];
    EXPECT_EQ(r.frame(0).ActiveColors().ColorOf(200), uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16);
}

TEST(GifReader, Extensions) {
    // Graphic control: transparency, delay and disposal; the first one is the control block.
    GifBuilder gce;
    gce.Header(1, 1, Palette(4)).Gce(2, 7, 3).Gce(3, 9).Image(0, 0, 1, 1, Bytes{1}, 2).Trailer();
    Loaded r = Load(gce);
    ASSERT_EQ(r.error, "");
    const GifFrame& f = r.frame(0);
    ASSERT_NE(f.controlBlock, nullptr);
    EXPECT_EQ(f.controlBlock, &f.extensionItems[0]);
    EXPECT_TRUE(f.hasTransparency);
    EXPECT_EQ(f.TransparentIndex(), 3);
    EXPECT_EQ(f.controlBlock->delayTime, 7);
    EXPECT_EQ(f.controlBlock->DisposalCode(), 2);

    struct Case {
        const char* name;
        Bytes extension;
        const char* error;
        const char* kind;  // the class of the one extension read, when no error
    };
    auto app = [](int size, const std::string& id, Bytes blocks) {
        Bytes b{0x21, 0xFF, static_cast<uint8_t>(size)};
        b.insert(b.end(), id.begin(), id.end());
        b.insert(b.end(), blocks.begin(), blocks.end());
        return b;
    };
    const std::vector<Case> cases = {
        {"unknown label", {0x21, 0x02, 0x00}, "Unknown extension type", nullptr},
        {"loop", app(11, "NETSCAPE2.0", {3, 1, 5, 0, 0}), "", "GifLoopExtension"},
        {"animexts loop", app(11, "ANIMEXTS1.0", {3, 1, 5, 0, 0}), "", "GifLoopExtension"},
        {"other application", app(11, "XMP DataXMP", {2, 'a', 'b', 0}), "", "GifUnknownAppExtension"},
        {"block of 10", app(10, "ABCDEFGHIJ", {1, 'z', 0}), "", "GifUnknownAppExtension"},
        {"block of 14", app(14, "NETSCAPE2.0xyz", {1, 'z', 0}), "", "GifUnknownAppExtension"},
        {"block of 9", app(9, "ABCDEFGHI", {0}), "Unsupported Application Extension block size", nullptr},
        {"loop sub-block too short", app(11, "NETSCAPE2.0", {2, 1, 5, 0}), "Invalid GIF data", nullptr},
        {"buffer sub-block too short", app(11, "NETSCAPE2.0", {4, 2, 5, 0, 0, 0}), "Invalid GIF data", nullptr},
        {"comment cut short", {0x21, 0xFE, 255, 'a'}, "Premature end of data", nullptr},
        {"text", {0x21, 0x01, 12, 0, 0, 0, 0, 8, 0, 8, 0, 4, 4, 1, 0, 2, 'h', 'i', 0}, "", "GifTextExtension"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GifBuilder b;
        b.Header(1, 1, Palette(2)).Raw(c.extension).Image(0, 0, 1, 1, Bytes{1}, 2).Trailer();
        r = Load(b);
        EXPECT_EQ(r.error, c.error);
        if (c.kind) {
            ASSERT_EQ(r.frames(), 1u);
            ASSERT_EQ(r.frame(0).extensionItems.Count(), 1u);
            auto& extension = dynamic_cast<GifExtension&>(r.frame(0).extensionItems[0]);
            EXPECT_STREQ(extension.Class().name, c.kind);
            EXPECT_EQ(Pixels(r.frame(0)), Bytes{1});
        }
    }

    // Loop fields; a sub-block whose identifier has the low bits 1 counts as the loop count.
    GifBuilder loops;
    loops.Header(1, 1, Palette(2)).Raw(app(11, "NETSCAPE2.0", {3, 9, 7, 1, 5, 2, 0x10, 0, 0, 0, 2, 4, 4, 0}))
        .Image(0, 0, 1, 1, Bytes{1}, 2).Trailer();
    r = Load(loops);
    ASSERT_EQ(r.error, "");
    auto& loop = dynamic_cast<GifLoopExtension&>(r.frame(0).extensionItems[0]);
    EXPECT_EQ(loop.loopCount, 0x107);
    EXPECT_EQ(loop.bufferSizeHint, 0x10u);

    // Unknown application blocks are kept as they were.
    GifBuilder raw;
    raw.Header(1, 1, Palette(2)).Raw(app(11, "ABCDEFGH1.0", {2, 'x', 'y', 1, 'z', 0})).Image(0, 0, 1, 1, Bytes{1}, 2);
    r = Load(raw);
    auto& unknown = dynamic_cast<GifUnknownAppExtension&>(r.frame(0).extensionItems[0]);
    ASSERT_EQ(unknown.rawSubBlocks.size(), 2u);
    EXPECT_EQ(unknown.rawSubBlocks[0].blockBytes, (Bytes{'x', 'y'}));
    EXPECT_EQ(unknown.rawSubBlocks[1].blockLength, 1);
}

TEST(GifReader, DamagedGraphicControlExtensions) {
    // Cut off by the end of the stream: a warning, not an error.
    GifBuilder cut;
    cut.Header(1, 1, Palette(2)).Raw({0x21, 0xF9, 4, 1, 0});
    Loaded r = Load(cut);
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.warnings, Strings{"Premature end of data"});
    ASSERT_EQ(r.frames(), 1u);
    EXPECT_TRUE(r.frame(0).IsEmptyFrame());
    EXPECT_FALSE(r.frame(0).hasTransparency);

    // An empty block (21 F9 00): six bytes are taken whatever the size byte says, so the block
    // swallows the start of the image descriptor; the rest is read as what it then is, here a
    // descriptor whose raster claims a minimum code size of 64.
    GifBuilder empty;
    empty.Header(4, 4, Palette(2)).Raw({0x21, 0xF9, 0x00}).Image(0, 0, 1, 64, Bytes{1}, 2).Trailer();
    r = Load(empty);
    EXPECT_EQ(r.error, "Invalid LZW minimum code size");
    EXPECT_EQ(r.warnings, Strings{"Invalid extension introducer"});
    EXPECT_EQ(r.frames(), 0u);
}

TEST(GifReader, FailedLoadKeepsEarlierFramesAndRestoresThePosition) {
    GifBuilder b;
    b.Header(1, 1, Palette(2)).Image(0, 0, 1, 1, Bytes{1}, 2).Raw({0x21, 0x02, 0}).Trailer();
    Bytes bytes{'x', 'y'};
    bytes.insert(bytes.end(), b.bytes().begin(), b.bytes().end());
    GifImage image;
    std::vector<std::pair<GifProgressStage, int>> progress;
    image.OnProgress = [&](GifObject*, GifProgressStage stage, int percent, bool, const GifRect&,
                           const std::string& message) {
        EXPECT_EQ(message, "Loading...");
        progress.emplace_back(stage, percent);
    };
    GifMemoryStream stream(bytes.data(), bytes.size());
    stream.SetPosition(2);
    EXPECT_THROW(image.LoadFromStream(stream), GifError);
    EXPECT_EQ(stream.Position(), 2);
    EXPECT_EQ(image.frames.Count(), 1u);
    ASSERT_GE(progress.size(), 3u);
    EXPECT_EQ(progress.front(), std::make_pair(GifProgressStage::starting, 0));
    EXPECT_EQ(progress.back(), std::make_pair(GifProgressStage::ending, 0));
    // Loading again replaces everything.
    const Bytes good = OnePixelPicture();
    GifMemoryStream second(good.data(), good.size());
    image.LoadFromStream(second);
    EXPECT_EQ(image.frames.Count(), 1u);
    EXPECT_EQ(progress.back(), std::make_pair(GifProgressStage::ending, 100));
}

TEST(GifReader, HostilePicturesStayWithinTheirBounds) {
    struct Case {
        const char* name;
        Bytes bytes;
        const char* error;
        size_t frames;
    };
    auto picture = [](int w, int h, int frameW, int frameH, int left = 0, int top = 0) {
        GifBuilder b;
        b.Header(w, h, Palette(2)).Descriptor(left, top, frameW, frameH).Raw({2}).Raw(SubBlocks(LzwEncode(Bytes(4, 1), 2)));
        return b.Trailer().bytes();
    };
    GifBuilder many;
    many.Header(16, 16, Palette(2));
    for (int i = 0; i < 3000; ++i) many.Image(i % 16, 0, 1, 1, Bytes{1}, 2);
    GifBuilder budget;  // 30 frames of 1000 × 1000 against a budget of 10 million pixels
    budget.Header(1000, 1000, Palette(2));
    for (int i = 0; i < 30; ++i) budget.Descriptor(0, 0, 1000, 1000).Raw({2, 0});
    const std::vector<Case> cases = {
        {"65535 x 65535 frame", picture(10, 10, 65535, 65535), "Image too large: its frames need more than 1 GiB of pixels", 0},
        {"zero-size frame on the largest screen", picture(65535, 65535, 0, 0), "Image too large: its frames need more than 1 GiB of pixels", 0},
        {"zero-size screen and frame", picture(0, 0, 0, 0), "", 1},
        {"frame outside the screen", picture(4, 4, 2, 2, 60000, 60000), "", 1},
        {"thousands of frames", many.Trailer().bytes(), "", 3000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Loaded r = Load(c.bytes);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.frames(), c.frames);
    }
    const Loaded r = Load(budget.bytes(), 10'100'000);
    EXPECT_EQ(r.error, "Image too large: its frames need more than 9 MiB of pixels");
    EXPECT_EQ(r.frames(), 10u);
}

// Frames decoded into one reused buffer: each holds its own pixels while OnFrameRead sees it
// (a smaller frame after a larger one, a raster cut short that keeps its transparent fill), none
// afterwards, and the load needs the memory of the largest frame only.
TEST(GifReader, FramesReadThroughOneBuffer) {
    GifBuilder b;
    b.Header(4, 3, Palette(4)).Image(0, 0, 4, 3, Bytes{0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2}, 2);
    b.Gce(0, 0, 3).Descriptor(1, 1, 2, 2).Raw({2}).Raw(SubBlocks(LzwEncode(Bytes{1}, 2)));
    b.Image(0, 0, 4, 3, Bytes(12, 2), 2);
    const Loaded kept = Load(b.Trailer().bytes());
    ASSERT_EQ(kept.error, "");
    ASSERT_EQ(Pixels(kept.frame(1)), (Bytes{1, 3, 3, 3}));

    GifImage image;
    image.keepFramePixels = false;
    std::vector<Bytes> seen;
    image.OnFrameRead = [&seen](GifFrame& frame) { seen.push_back(Pixels(frame)); };
    GifMemoryStream stream(b.bytes().data(), b.bytes().size());
    image.LoadFromStream(stream);
    ASSERT_EQ(seen.size(), kept.frames());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i], Pixels(kept.frame(i))) << "frame " << i;
        EXPECT_TRUE(image.frames[i].IsEmptyFrame());
    }

    GifBuilder many;  // 30 frames of 1000 x 1000 against a budget of 10 million pixels
    many.Header(1000, 1000, Palette(2));
    for (int i = 0; i < 30; ++i) many.Descriptor(0, 0, 1000, 1000).Raw({2, 0});
    many.Trailer();
    GifImage large;
    large.pixelBudget = 10'100'000;
    large.keepFramePixels = false;
    GifMemoryStream manyStream(many.bytes().data(), many.bytes().size());
    large.LoadFromStream(manyStream);
    EXPECT_EQ(large.frames.Count(), 30u);
}

// The frames of a large animation share the picture's store, across its chunks: each keeps its
// own pixels, a raster cut short its transparent fill, and the budget its limit.
TEST(GifReader, LargeAnimationsKeepEveryFrame) {
    const int w = 2000, h = 1000, count = 12;  // 24 MB: two frames of their own, then two chunks
    GifBuilder b;
    b.Header(w, h, Palette(4));
    for (int f = 0; f < count; ++f) {
        Bytes p(size_t(w) * h, uint8_t(f % 4));
        p.front() = uint8_t((f + 1) % 4);
        if (f == 9)
            b.Gce(0, 0, 3).Descriptor(0, 0, w, h).Raw({2}).Raw(SubBlocks(LzwEncode(Bytes{1}, 2)));
        else
            b.Image(0, 0, w, h, p, 2);
    }
    const Loaded r = Load(b.Trailer().bytes());
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.frames(), size_t(count));
    for (int f = 0; f < count; ++f) {
        SCOPED_TRACE(f);
        const GifFrame& frame = r.frame(size_t(f));
        ASSERT_EQ(frame.pixels.size(), size_t(w) * h);
        EXPECT_EQ(frame.pixels[0], f == 9 ? 1 : (f + 1) % 4);
        EXPECT_EQ(frame.pixels[1], f == 9 ? 3 : f % 4);
        EXPECT_EQ(frame.pixels.back(), f == 9 ? 3 : f % 4);
    }
    const Loaded limited = Load(b.bytes(), int64_t(7) * w * h + 10000);
    EXPECT_EQ(limited.error, "Image too large: its frames need more than 13 MiB of pixels");
    EXPECT_EQ(limited.frames(), 7u);
}

TEST(GifReader, FileCutOffAtEveryBytePosition) {
    GifBuilder b;
    b.Header(6, 4, Palette(4))
        .Loop(0)
        .Gce(2, 5, 0)
        .Image(0, 0, 6, 4, Bytes{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}, 2)
        .Comment("c")
        .Gce(1, 5)
        .Image(1, 1, 3, 2, Bytes{3, 3, 2, 2, 1, 1}, 2, true, Palette(4))
        .Trailer();
    const Bytes& whole = b.bytes();
    const Loaded complete = Load(whole);
    ASSERT_EQ(complete.error, "");
    ASSERT_TRUE(complete.warnings.empty());
    for (size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        const Loaded r = Load(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n)));
        // The stream may end inside an extension's class lookup, which finds no class.
        EXPECT_TRUE(r.error.empty() || r.error == "Premature end of data" || r.error == "Unknown extension type")
            << r.error;
        if (!r.error.empty()) {
            EXPECT_EQ(r.positionAfter, 0);
        }
        EXPECT_LE(r.frames(), 3u);
        for (size_t i = 0; i < r.frames(); ++i) {
            const GifFrame& f = r.frame(i);
            EXPECT_EQ(f.pixels.size(), f.IsEmptyFrame() ? f.pixels.size() : size_t(f.pixelCount));
        }
    }
}

TEST(GifReader, FileStream) {
    TempDir dir;
    const Bytes bytes = OnePixelPicture();
    const std::string path = dir.file("one.gif");
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    GifImage image;
    image.LoadFromFile(path);
    ASSERT_EQ(image.frames.Count(), 1u);
    EXPECT_EQ(Pixels(image.frames[0]), Bytes{1});
    try {
        image.LoadFromFile(dir.file("missing.gif"));
        FAIL();
    } catch (const torvana::Error& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
}

TEST(GifModel, ColorTablesAndControlBlocks) {
    GifImage image;
    Strings warnings;
    image.OnGIFWarning = [&](GifObject*, int severity, const std::string& m) {
        EXPECT_EQ(severity, 1);
        warnings.push_back(m);
    };
    GifColorMap& global = image.header->globalColors;
    global.EnsureCapacity(3);
    EXPECT_EQ(global.tripleCapacity, 16);
    global.EnsureCapacity(17);
    EXPECT_EQ(global.tripleCapacity, 32);
    global.EnsureCapacity(250);
    EXPECT_EQ(global.tripleCapacity, 256);
    EXPECT_THROW(global.ColorOf(0), GifError);  // empty: warning, then "Color table is empty"
    for (int i = 0; i < 256; ++i) global.Add(uint8_t(i), 2, 3);
    EXPECT_THROW(global.Add(0, 0, 0), GifError);
    EXPECT_EQ(global.ColorOf(5), 0x030205u);
    EXPECT_EQ(global.ColorOf(300), 0x030200u);  // warning, entry 0
    EXPECT_EQ(warnings, (Strings{"Invalid color index", "Invalid color index"}));

    auto frame = std::make_unique<GifFrame>(&image);
    GifFrame* f = frame.get();
    image.frames.items.push_back(std::move(frame));
    f->localColors.Add(1, 1, 1);
    f->localColors.Add(2, 2, 2);
    auto first = std::make_unique<GifGraphicControlExtension>(f);
    auto second = std::make_unique<GifGraphicControlExtension>(f);
    EXPECT_EQ(f->controlBlock, first.get());
    first->SetTransparentIndex(5);  // beyond the two local entries
    EXPECT_EQ(first->transparentIndex, 0);
    first->gceFlags = 1;
    f->hasTransparency = true;
    first.reset();
    EXPECT_EQ(f->controlBlock, nullptr);
    EXPECT_FALSE(f->hasTransparency);

    warnings.clear();
    image.header->screenWidth = 10;
    image.header->screenHeight = 10;
    f->SetBounds(5, 0, 10, 4);
    EXPECT_EQ(image.Width(), 15);
    EXPECT_EQ(warnings, (Strings{"Image width too small for contained frames", "Image exceeds Logical Screen size"}));
    EXPECT_EQ(f->pixels.size(), 40u);
    EXPECT_THROW(f->Pixel(10, 0), GifError);
    EXPECT_EQ(f->Row(3), f->pixels.data() + 30);
}

// One budget for every picture a program holds: pixels, the bookkeeping of every frame and
// extension, kept extension bytes and composed canvases all count against it, and a picture
// gives back what it took when it goes.
TEST(GifReader, ARasterThatCannotBeDecodedTakesNoPixelMemory) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory does not fit under an address-space limit";
#endif
    // A 40-byte file whose 65535 x 16000 frame (1 GB of pixels, within the budget) has an
    // invalid code size: refused for that, in a child whose address space could not hold the
    // pixels.
    GifBuilder gif;
    gif.Header(65535, 16000, Palette(2)).Descriptor(0, 0, 65535, 16000).Raw({12}).Raw({2, 0, 0, 0});
    const Bytes bytes = gif.Trailer().bytes();
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{rlim_t(512) << 20, RLIM_INFINITY};
        setrlimit(RLIMIT_AS, &limit);
        int code = 3;
        try {
            Loaded loaded = Load(bytes);
            code = loaded.error == "Invalid LZW minimum code size" && loaded.frames() == 0 ? 0 : 4;
        } catch (...) {
            code = 5;  // std::bad_alloc: the pixels were allocated first
        }
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(GifMemoryBudget, SharedByEveryPictureAndEverythingCounts) {
    GifMemoryBudget budget(int64_t(40) << 20);
    auto load = [&](const Bytes& bytes, std::string* error) {
        auto image = std::make_unique<GifImage>();
        image->budget = &budget;
        GifMemoryStream stream(bytes.data(), bytes.size());
        try {
            image->LoadFromStream(stream);
        } catch (const GifError& e) {
            *error = e.what();
        }
        return image;
    };
    const std::string refused = "Not enough memory for the picture: the pictures open would need more than 40 MiB";
    GifBuilder huge;  // a few bytes that ask for 16 MiB of pixels
    huge.Header(4096, 4096, Palette(2)).Descriptor(0, 0, 4096, 4096).Raw({2}).Raw(SubBlocks(LzwEncode(Bytes(4, 1), 2)));
    const Bytes rollover = huge.Trailer().bytes();
    std::string error;
    auto first = load(rollover, &error);
    auto second = load(rollover, &error);
    EXPECT_EQ(error, "");
    auto third = load(rollover, &error);
    EXPECT_EQ(error, refused);
    first.reset();  // gives its share back
    error.clear();
    third = load(rollover, &error);
    EXPECT_EQ(error, "");
    EXPECT_LE(budget.InUse(), budget.Limit());
    second.reset();
    third.reset();
    EXPECT_EQ(budget.InUse(), 0);

    GifBuilder tiny;  // 100 000 frames of 1 x 1: their bookkeeping outweighs their pixels
    tiny.Header(1, 1, Palette(2));
    for (int i = 0; i < 100000; ++i) tiny.Image(0, 0, 1, 1, Bytes{1}, 2);
    error.clear();
    auto frames = load(tiny.Trailer().bytes(), &error);
    EXPECT_EQ(error, refused);
    EXPECT_LT(frames->frames.Count(), 100000u);
    frames.reset();

    GifBuilder comment;  // one comment of 1 000 000 one-byte sub-blocks
    comment.Header(1, 1, Palette(2)).Raw({'!', 0xFE});
    for (int i = 0; i < 1000000; ++i) comment.Raw({1, 'c'});
    comment.Raw({0}).Image(0, 0, 1, 1, Bytes{1}, 2);
    error.clear();
    load(comment.Trailer().bytes(), &error);
    EXPECT_EQ(error, refused);

    GifBuilder screen;  // 2500 x 2500: 6 MB of pixels, a 25 MB canvas for each compositor
    screen.Header(2500, 2500, Palette(2)).Descriptor(0, 0, 2500, 2500).Raw({2}).Raw(SubBlocks(LzwEncode(Bytes(4, 1), 2)));
    error.clear();
    auto picture = load(screen.Trailer().bytes(), &error);
    ASSERT_EQ(error, "");
    {
        GifCompositor one(*picture);
        one.Compose(0);
        try {
            GifCompositor two(*picture);
            ADD_FAILURE() << "a second canvas should not fit";
        } catch (const GifError& e) {
            EXPECT_EQ(std::string(e.what()), refused);
        }
    }
    picture.reset();
    EXPECT_EQ(budget.InUse(), 0);
}
