// The GIF path to Qt on arbitrary bytes, on the offscreen platform: the first frame a player
// shows, each frame's bitmap, mask and drawing form, and an animation painter's first frames.
// Besides never crashing, every image has the picture's or frame's size, the first frame is
// the core compositor's frame 0, bitmaps hold the frame's indices, the mask marks exactly the
// transparent index, every frame a painter shows has the compositor's pixels wherever the
// compositor's frame is opaque, and whatever the pictures took from the program's budget is
// given back when they go.

#include <QGuiApplication>
#include <QImage>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "gif/gif_compositor.h"
#include "gif/qt/gif_painter.h"
#include "gif/qt/gif_picture.h"
#include "gif/qt/gif_render.h"

using namespace torvana::gif;

namespace {

// Larger pictures are read and their first frame checked, but not drawn frame by frame: under
// AddressSanitizer that would take seconds a unit.
constexpr int64_t kDrawnPixels = int64_t(1) << 18;
constexpr int kDrawnFrames = 12;

// Time that passes only when a painter waits, so an animation runs without real waiting.
class InstantClock : public PainterClock {
public:
    int64_t NowMs() override { return now_; }
    bool Wait(WakeEvent&, int64_t ms) override {
        now_ += ms < 0 ? 1 : ms;
        return false;
    }
    void Sleep(int64_t ms) override { now_ += ms + 100000; }

private:
    int64_t now_ = 0;
};

void check(bool holds) {
    if (!holds) std::abort();
}

uint32_t Argb(const GifRgba& c) { return uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }

// The first frame: the picture's size, byte for byte the compositor's frame 0.
void CheckFirstFrame(GifPicture& picture) {
    QImage first;
    try {
        first = picture.FirstFrame();
    } catch (const GifError&) {
        return;  // over the budget, or no colour table to draw with
    }
    check(first.size() == QSize(picture.Width(), picture.Height()));
    GifCompositor reference(picture.Model());
    const RgbaCanvas& canvas = reference.Compose(0);
    for (int y = 0; y < first.height(); ++y)
        check(std::memcmp(first.constScanLine(y), canvas.pixels.data() + size_t(y) * canvas.width * 4,
                          size_t(canvas.width) * 4) == 0);
}

// Each frame's cached images: the frame's size; the bitmap holds its indices (0 where the
// pixels fall short); the mask is set exactly on the transparent index; the opaque form is the
// bitmap through its colour table, which is the compositor's palette for the frame.
void CheckFrameBitmaps(GifPicture& picture) {
    GifImage& model = picture.Model();
    for (size_t i = 0; i < model.frames.Count() && i < kDrawnFrames; ++i) {
        GifFrame& frame = model.frames[i];
        if (frame.pixelCount > kDrawnPixels) continue;
        const QImage* bitmap;
        try {
            bitmap = FrameBitmap(picture, frame);
            MaskReady(picture, frame);
        } catch (const GifError&) {
            continue;
        }
        if (!bitmap) {
            check(frame.IsEmptyFrame());
            continue;
        }
        const GifFrameRender& cache = FrameRender(frame);
        const QSize size(frame.frameWidth, frame.frameHeight);
        check(cache.bitmap.size() == size && cache.opaque.size() == size);
        check(cache.mask.isNull() || cache.mask.size() == size);
        const QList<QRgb> table = cache.bitmap.colorTable();
        check(table.size() == 256);
        // With a table of its own or a global one, a frame's colours are the compositor's.
        if (frame.localColors.tripleCount > 0 || model.header->globalColors.tripleCount > 0) {
            const std::vector<GifRgba> colours = FramePaletteRgba(frame, false);
            for (int i = 0; i < 256; ++i) check(table[i] == Argb(colours[size_t(i)]));
        }
        const int transparent = frame.TransparentIndex();
        for (int y = 0; y < size.height(); ++y) {
            const uint8_t* indices = cache.bitmap.constScanLine(y);
            const auto* opaque = reinterpret_cast<const QRgb*>(cache.opaque.constScanLine(y));
            const uint8_t* mask = cache.mask.isNull() ? nullptr : cache.mask.constScanLine(y);
            for (int x = 0; x < size.width(); ++x) {
                const size_t at = size_t(y) * size.width() + x;
                check(indices[x] == (at < frame.pixels.size() ? frame.pixels[at] : 0));
                check(opaque[x] == table[indices[x]]);
                if (mask) {
                    check(bool(mask[x >> 3] & (0x80 >> (x & 7))) == (indices[x] == transparent));
                } else {
                    check(indices[x] != transparent);  // no mask: the index never occurs
                }
            }
        }
    }
}

// An unthreaded painter on a canvas of the logical screen's size: after each frame it shows,
// the canvas holds the compositor's colour wherever the compositor's frame is opaque.
void CheckPainter(GifPicture& picture) {
    GifImage& model = picture.Model();
    if (int64_t(picture.Width()) * picture.Height() > kDrawnPixels || model.frames.Count() < 2) return;
    QImage canvas(picture.Width(), picture.Height(), QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) return;
    canvas.fill(Qt::transparent);
    std::unique_ptr<GifCompositor> reference;
    try {
        reference = std::make_unique<GifCompositor>(model);
    } catch (const GifError&) {
        return;
    }
    int shown = 0;
    picture.Clock = std::make_shared<InstantClock>();
    picture.OnFramePainted = [&](GifPainter* painter) {
        const RgbaCanvas& expected = reference->Compose(size_t(painter->activeFrame.load()));
        for (int y = 0; y < canvas.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
            for (int x = 0; x < canvas.width(); ++x) {
                const GifRgba want = expected.At(x, y);
                if (want.a == 255) check(row[x] == Argb(want));
            }
        }
        if (++shown == kDrawnFrames) painter->Stop();
    };
    try {
        picture.StartPainter(nullptr, &canvas, rfAnimate | rfTransparent, canvas.rect());
    } catch (const GifError&) {
    }
    picture.OnFramePainted = nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GifMemoryBudget& budget = GifMemoryBudget::Program();
    const int64_t before = budget.InUse();
    {
        GifPicture picture;
        try {
            picture.LoadFromData(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        } catch (const GifError&) {
            // The frames read before the error stay, as the editor and the player keep them.
        }
        if (!picture.Empty() && picture.Width() > 0 && picture.Height() > 0) {
            CheckFirstFrame(picture);
            CheckFrameBitmaps(picture);
            CheckPainter(picture);
        }
        check(budget.InUse() <= budget.Limit());
    }
    check(budget.InUse() == before);
    return 0;
}
