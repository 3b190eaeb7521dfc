#pragma once
// Composing the frames of a GIF picture onto an RGBA canvas of the logical screen's size, with
// frame transparency and the GIF89a disposal methods:
//   0 (none) and 1 (keep): the frame stays on the canvas for the next one;
//   2 (restore to background): after the frame, its area goes back to the background, which is
//     transparent unless a colour or an underlay is given;
//   3 (restore to previous): after the frame, its area goes back to what it was before it.
// The reserved codes 4 to 7 keep the frame, as 1 does.
//
// The canvas holds 4 bytes per pixel, red, green, blue, alpha, rows top to bottom without
// padding. A frame pixel whose index is the frame's transparent index (when the frame has
// transparency and transparency is honoured) leaves the canvas as it was; an index beyond the
// frame's colour table draws opaque black, as a 256-entry palette filled from a shorter table
// does. Frames are clipped to the logical screen; an empty frame draws nothing.
//
// Composing is step by step, so an animation painter can show frame k from the state after
// frame k-1:
//
//   GifCompositor compositor(image);          // canvas = background
//   for (size_t k = 0; k < image.frames.Count(); ++k) {
//       const RgbaCanvas& shown = compositor.Compose(k);  // undo frame k-1's disposal, draw k
//       ... show `shown`, wait for the frame's delay ...
//   }
//   compositor.Restart();                     // next loop pass from the background again
//
// The free functions below are the single steps Compose is made of, for a painter that keeps
// its own buffers.

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "gif/gif_image.h"

namespace torvana::gif {

struct GifRgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const GifRgba&) const = default;
};

// Allocates like std::allocator, but leaves the bytes a vector grows by as they are: a canvas
// is filled or written whole right after it grows, and zeroing it first would write all of its
// memory once more.
template <class T>
struct UnfilledAllocator : std::allocator<T> {
    using std::allocator<T>::allocator;
    UnfilledAllocator() = default;
    template <class U>
    UnfilledAllocator(const UnfilledAllocator<U>&) noexcept {}
    template <class U>
    struct rebind {
        using other = UnfilledAllocator<U>;
    };
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

struct RgbaCanvas {
    int width = 0;
    int height = 0;
    // width × height × 4 bytes; growing it leaves the new bytes unset.
    std::vector<uint8_t, UnfilledAllocator<uint8_t>> pixels;

    // A canvas of the given size filled with `colour`; GifError when it needs more than
    // `byteBudget` bytes.
    static RgbaCanvas Create(int width, int height, GifRgba colour, int64_t byteBudget);
    GifRgba At(int x, int y) const;
};

// The part of the canvas a frame covers, right and bottom exclusive, clipped to the canvas.
struct CanvasArea {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

CanvasArea FrameArea(const GifFrame& frame, const RgbaCanvas& canvas);

// The disposal code the frame asks for: that of its last graphic control extension, 0 without.
int FrameDisposal(const GifFrame& frame);

// The frame's 256 colours: its active colour table (frame 0's in a picture without a global
// table, for a frame without a table of its own), opaque black beyond it; the transparent
// index has alpha 0 when the frame is transparent and `honourTransparency` is set.
// GifError kNoColorTable when the frame has no table to use.
std::vector<GifRgba> FramePaletteRgba(const GifFrame& frame, bool honourTransparency);

// Draws the frame onto the canvas at its position; pixels with alpha 0 in the palette are
// skipped.
void DrawFrame(RgbaCanvas& canvas, const GifFrame& frame, bool honourTransparency);
void FillArea(RgbaCanvas& canvas, const CanvasArea& area, GifRgba colour);
// Copies one area from `source` (of the canvas's size) into the canvas.
void CopyArea(RgbaCanvas& canvas, const RgbaCanvas& source, const CanvasArea& area);

// A frame's colours as drawing takes them (gif_compositor.cpp): the 256 canvas words and, for a
// table of at most 16 colours where the processor can look sixteen indices up at once, the
// first 16 split by channel. A compositor keeps the one it drew with last, with what it was
// made from, and draws the next frame from the same table and transparent index with it as it is.
struct GifDrawPalette {
    alignas(16) uint32_t words[256];
    alignas(16) uint8_t channels[4][16];  // red, green, blue and alpha of colours 0 to 15
    bool small = false;
    const GifColorMap* table = nullptr;  // what the words hold: null when nothing is kept
    int count = 0;
    int transparent = -1;
};

class GifCompositor {
public:
    static constexpr int64_t defaultByteBudget = int64_t(1) << 30;

    struct Options {
        bool honourTransparency = true;
        // Disposal 2 and the starting canvas use this colour; transparent when not given.
        std::optional<GifRgba> background;
        // When given, disposal 2 restores to this colour whatever the canvas started as: a
        // painter that keeps what lay under the picture apart and draws the canvas over it
        // restores to the picture's background colour while the canvas starts transparent.
        std::optional<GifRgba> disposalColour;
        // When given (the logical screen's size), the canvas starts as a copy of it and
        // disposal 2 restores from it: what lay under the picture.
        const RgbaCanvas* underlay = nullptr;
        // What one canvas may take; the compositor holds at most two of them.
        int64_t byteBudget = defaultByteBudget;
    };

    // GifError when the logical screen's canvas would exceed the budget.
    explicit GifCompositor(const GifImage& image);
    GifCompositor(const GifImage& image, Options options);

    // Back to the starting canvas; the next Compose starts a new pass.
    void Restart();
    // Undoes the disposal of the frame composed last, then draws frame `index` (GifError
    // kInvalidFrameIndex past the last frame). With `clearFirst` the frame's area goes back
    // to the background before the frame is drawn (a pass that starts on a cleared area).
    const RgbaCanvas& Compose(size_t index, bool clearFirst = false);
    const RgbaCanvas& Canvas() const {
        Fill();
        return canvas_;
    }
    // The part of the canvas that may have changed since the last call (the whole canvas at
    // first and after a restart), so that a copy of it is brought up to date by that part only.
    CanvasArea TakeChanges();

private:
    bool PaintsOver(const GifFrame& frame, const CanvasArea& area) const;
    void RestoreBackground(const CanvasArea& area);
    // Gives the canvas its starting content when it has none yet.
    void Fill() const;
    void SaveArea(const CanvasArea& area);
    // Adds an area to what TakeChanges reports.
    void Touch(const CanvasArea& area) const;
    void RestoreSavedArea(const CanvasArea& area);

    const GifImage& image_;
    Options options_;
    // The canvases' bytes, taken from the picture's shared budget before they are allocated.
    GifMemoryCharge canvasCharge_;
    GifMemoryCharge savedCharge_;
    // After a restart the canvas holds no pixels until something needs them: a first frame that
    // covers it (opaquely, or over a starting colour) is written straight into it instead of
    // over a filled canvas. Canvas() fills it first.
    mutable RgbaCanvas canvas_;
    mutable bool unfilled_ = false;
    std::vector<uint8_t> saved_;  // the area under a disposal-3 frame, row after row
    GifDrawPalette palette_;
    mutable CanvasArea changes_;
    int pendingDisposal_ = 0;
    CanvasArea pendingArea_;
};

}  // namespace torvana::gif
