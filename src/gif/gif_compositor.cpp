#include "gif/gif_compositor.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "gif/gif_messages.h"

// On x86-64, vector code for the processors that have it, chosen at run time.
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TORVANA_GIF_X86 1
#endif

namespace torvana::gif {

namespace {

uint32_t pack(GifRgba c) {
    uint32_t v;
    const uint8_t bytes[4] = {c.r, c.g, c.b, c.a};
    std::memcpy(&v, bytes, 4);
    return v;
}

void CheckCanvasBudget(int width, int height, int64_t byteBudget) {
    if (int64_t(std::max(width, 0)) * std::max(height, 0) * 4 > byteBudget)
        throw GifError("Image too large: the logical screen needs more than " + std::to_string(byteBudget >> 20) +
                       " MiB to compose");
}

// The table a frame is drawn with: its own, else the global one, else, in a picture without a
// global table, frame 0's, as the still picture is drawn. Empty when there is none at all.
const GifColorMap& DrawingColours(const GifFrame& frame) {
    const GifColorMap& active = frame.ActiveColors();
    if (active.tripleCount > 0 || !frame.ownerImage || frame.ownerImage->frames.Count() == 0) return active;
    return frame.ownerImage->frames[0].ActiveColors();
}

// The frame's 256 colours as canvas words (the bytes red, green, blue, alpha in memory): the
// drawing table, opaque black beyond it, the transparent index with alpha 0 when honoured.
// Returns the table's size.
int FrameColours(const GifFrame& frame, bool honourTransparency, uint32_t colours[256]) {
    const GifColorMap& table = DrawingColours(frame);
    if (table.tripleCount == 0) throw GifError(kNoColorTable);
    // All 256 black first when the table is shorter: a loop of a fixed count the compiler writes
    // with wide stores, where filling only the entries past a short table went one at a time.
    const int n = std::min(table.tripleCount, 256);
    if (n < 256) {
        const uint32_t black = pack(GifRgba{0, 0, 0, 255});
        for (int i = 0; i < 256; ++i) colours[i] = black;
    }
    const uint8_t* e = table.Entry(0);
    for (int i = 0; i < n; ++i, e += 3) colours[i] = pack(GifRgba{e[0], e[1], e[2], 255});
    const int transparent = frame.TransparentIndex();
    if (honourTransparency && transparent >= 0) colours[transparent] &= pack(GifRgba{255, 255, 255, 0});
    return n;
}

using Palette = GifDrawPalette;

#ifdef TORVANA_GIF_X86
// The first 16 colours split by channel (all reds, all greens, ...) with byte shuffles.
__attribute__((target("ssse3"))) void SplitChannels(Palette& palette) {
    const __m128i* words = reinterpret_cast<const __m128i*>(palette.words);
    const __m128i byChannel = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const __m128i q0 = _mm_shuffle_epi8(_mm_load_si128(words), byChannel);
    const __m128i q1 = _mm_shuffle_epi8(_mm_load_si128(words + 1), byChannel);
    const __m128i q2 = _mm_shuffle_epi8(_mm_load_si128(words + 2), byChannel);
    const __m128i q3 = _mm_shuffle_epi8(_mm_load_si128(words + 3), byChannel);
    const __m128i redGreenLow = _mm_unpacklo_epi32(q0, q1), redGreenHigh = _mm_unpacklo_epi32(q2, q3);
    const __m128i blueAlphaLow = _mm_unpackhi_epi32(q0, q1), blueAlphaHigh = _mm_unpackhi_epi32(q2, q3);
    __m128i* channels = reinterpret_cast<__m128i*>(palette.channels);
    _mm_store_si128(channels, _mm_unpacklo_epi64(redGreenLow, redGreenHigh));
    _mm_store_si128(channels + 1, _mm_unpackhi_epi64(redGreenLow, redGreenHigh));
    _mm_store_si128(channels + 2, _mm_unpacklo_epi64(blueAlphaLow, blueAlphaHigh));
    _mm_store_si128(channels + 3, _mm_unpackhi_epi64(blueAlphaLow, blueAlphaHigh));
}
#endif

// Makes `palette` the frame's colours (FrameColours) unless it holds them already: the frames of
// an animation mostly draw from the one global table with the same transparent index.
void LoadPalette(Palette& palette, const GifFrame& frame, bool honourTransparency) {
    const GifColorMap& table = frame.ActiveColors();
    const int transparent = honourTransparency ? frame.TransparentIndex() : -1;
    if (palette.table == &table && palette.count == table.tripleCount && palette.transparent == transparent) return;
    const int tableSize = FrameColours(frame, honourTransparency, palette.words);
    palette.table = &table;
    palette.count = table.tripleCount;
    palette.transparent = transparent;
#ifdef TORVANA_GIF_X86
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    palette.small = tableSize <= 16 && shuffles;
    if (palette.small) SplitChannels(palette);
#else
    static_cast<void>(tableSize);
#endif
}

// Gives one index another colour; the palette no longer stands for its table.
void SetColour(Palette& palette, int index, uint32_t word) {
    palette.words[index] = word;
    palette.table = nullptr;
#ifdef TORVANA_GIF_X86
    if (palette.small && index < 16) SplitChannels(palette);
#endif
}

// Eight indices at once, the first in the lowest byte, whatever the host's byte order.
inline uint64_t LoadIndices8(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

// Four colours of four indices, stored together, so that the lookups of neighbouring pixels
// overlap.
inline void ExpandFour(uint8_t* dst, const uint8_t* src, const uint32_t* colours) {
    const uint32_t c[4] = {colours[src[0]], colours[src[1]], colours[src[2]], colours[src[3]]};
    std::memcpy(dst, c, 16);
}

// When the sixteen indices from `x` on are all one, writes that colour while it stays the same,
// moves `x` past it and returns true. Sixteen equal indices are the flat areas of screenshots,
// pages and drawings; photographs and gradients seldom have them, so the test costs them little
// and is rarely mispredicted.
inline bool ExpandSameRun(uint8_t* dst, const uint8_t* src, size_t& x, size_t count, const uint32_t* colours) {
    const uint64_t a = LoadIndices8(src + x);
    if (a != LoadIndices8(src + x + 8) || a != (a & 0xFF) * 0x0101010101010101u) return false;
    uint32_t run[16];
    for (uint32_t& c : run) c = colours[a & 0xFF];
    do {
        std::memcpy(dst + 4 * x, run, 64);
        x += 16;
    } while (x + 16 <= count && LoadIndices8(src + x) == a && LoadIndices8(src + x + 8) == a);
    return true;
}

// The last indices of a run, fewer than sixteen.
inline void ExpandTail(uint8_t* dst, const uint8_t* src, size_t x, size_t count, const uint32_t* colours) {
    for (; x + 4 <= count; x += 4) ExpandFour(dst + 4 * x, src + x, colours);
    for (; x < count; ++x) std::memcpy(dst + 4 * x, &colours[src[x]], 4);
}

#ifdef TORVANA_GIF_X86
// ExpandRun for a small table: sixteen indices below 16 are four byte shuffles of the colours
// split by channel and four interleaves; a group with a larger index goes through the words.
__attribute__((target("ssse3"))) void ExpandRunPlanar(uint8_t* dst, const uint8_t* src, size_t count,
                                                      const Palette& palette) {
    const __m128i* channels = reinterpret_cast<const __m128i*>(palette.channels);
    const __m128i red = _mm_load_si128(channels), green = _mm_load_si128(channels + 1);
    const __m128i blue = _mm_load_si128(channels + 2), alpha = _mm_load_si128(channels + 3);
    const __m128i high = _mm_set1_epi8(static_cast<char>(0xF0));
    size_t x = 0;
    while (x + 16 <= count) {
        if (ExpandSameRun(dst, src, x, count, palette.words)) continue;
        const __m128i indices = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(indices, high), _mm_setzero_si128())) == 0xFFFF) {
            const __m128i r = _mm_shuffle_epi8(red, indices), g = _mm_shuffle_epi8(green, indices);
            const __m128i b = _mm_shuffle_epi8(blue, indices), a = _mm_shuffle_epi8(alpha, indices);
            const __m128i rgLow = _mm_unpacklo_epi8(r, g), rgHigh = _mm_unpackhi_epi8(r, g);
            const __m128i baLow = _mm_unpacklo_epi8(b, a), baHigh = _mm_unpackhi_epi8(b, a);
            __m128i* out = reinterpret_cast<__m128i*>(dst + 4 * x);
            _mm_storeu_si128(out, _mm_unpacklo_epi16(rgLow, baLow));
            _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(rgLow, baLow));
            _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(rgHigh, baHigh));
            _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(rgHigh, baHigh));
        } else {
            for (size_t k = 0; k < 16; k += 4) ExpandFour(dst + 4 * (x + k), src + x + k, palette.words);
        }
        x += 16;
    }
    ExpandTail(dst, src, x, count, palette.words);
}

__attribute__((target("avx"))) void ZeroUpperHalves() { _mm256_zeroupper(); }
#endif

// Code elsewhere in the process can leave the upper halves of the 256-bit registers in use (Qt's
// own GIF reader does); the processor then makes each 128-bit instruction of the expansion below
// wait on them, which made composing 15 % slower in a program that had read a GIF through Qt.
// Clearing them once per frame costs next to nothing.
void PrepareVectorRegisters() {
#ifdef TORVANA_GIF_X86
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx) ZeroUpperHalves();
#endif
}

// Writes the colours of `count` indices, sixteen at a time.
void ExpandRun(uint8_t* dst, const uint8_t* src, size_t count, const Palette& palette) {
#ifdef TORVANA_GIF_X86
    if (palette.small) return ExpandRunPlanar(dst, src, count, palette);
#endif
    const uint32_t* colours = palette.words;
    size_t x = 0;
    while (x + 16 <= count) {
        if (ExpandSameRun(dst, src, x, count, colours)) continue;
        for (size_t k = 0; k < 16; k += 4) ExpandFour(dst + 4 * (x + k), src + x + k, colours);
        x += 16;
    }
    ExpandTail(dst, src, x, count, colours);
}

// Whether one of the eight bytes of `v` is the byte that `pattern` repeats.
inline bool HasByte(uint64_t v, uint64_t pattern) {
    const uint64_t x = v ^ pattern;
    return ((x - 0x0101010101010101u) & ~x & 0x8080808080808080u) != 0;
}

// Like ExpandRun, leaving the canvas as it is under the transparent index. Indices are looked
// at eight at a time: groups without the transparent index are written as one run, groups of
// it only are skipped, and only a mixed group goes pixel by pixel, so sprites with a hole every
// few pixels cost little more than long runs.
void ExpandRunTransparent(uint8_t* dst, const uint8_t* src, size_t count, const Palette& palette, uint8_t transparent) {
    const uint32_t* colours = palette.words;
    const uint64_t pattern = 0x0101010101010101u * transparent;
    size_t x = 0;
    while (x + 8 <= count) {
        const uint64_t v = LoadIndices8(src + x);
        if (!HasByte(v, pattern)) {
            size_t end = x + 8;
            while (end + 8 <= count && !HasByte(LoadIndices8(src + end), pattern)) end += 8;
            ExpandRun(dst + 4 * x, src + x, end - x, palette);
            x = end;
            continue;
        }
        if (v != pattern)
            for (size_t k = x; k < x + 8; ++k)
                if (src[k] != transparent) std::memcpy(dst + 4 * k, &colours[src[k]], 4);
        x += 8;
    }
    for (; x < count; ++x)
        if (src[x] != transparent) std::memcpy(dst + 4 * x, &colours[src[x]], 4);
}

// One row of the canvas filled with `colour`, the rest copied from it.
void FillRows(RgbaCanvas& canvas, const CanvasArea& area, uint32_t colour) {
    if (area.Empty()) return;
    const size_t rowBytes = size_t(area.right - area.left) * 4;
    uint8_t* first = canvas.pixels.data() + (size_t(area.top) * canvas.width + area.left) * 4;
    if (colour == 0) {
        for (int y = area.top; y < area.bottom; ++y) std::memset(first + size_t(y - area.top) * canvas.width * 4, 0, rowBytes);
        return;
    }
    for (size_t x = 0; x < rowBytes; x += 4) std::memcpy(first + x, &colour, 4);
    for (int y = area.top + 1; y < area.bottom; ++y)
        std::memcpy(first + size_t(y - area.top) * canvas.width * 4, first, rowBytes);
}

}  // namespace

RgbaCanvas RgbaCanvas::Create(int width, int height, GifRgba colour, int64_t byteBudget) {
    CheckCanvasBudget(width, height, byteBudget);
    RgbaCanvas canvas;
    canvas.width = std::max(width, 0);
    canvas.height = std::max(height, 0);
    canvas.pixels.resize(size_t(canvas.width) * canvas.height * 4);
    FillRows(canvas, CanvasArea{0, 0, canvas.width, canvas.height}, pack(colour));
    return canvas;
}

GifRgba RgbaCanvas::At(int x, int y) const {
    const uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
    return GifRgba{p[0], p[1], p[2], p[3]};
}

CanvasArea FrameArea(const GifFrame& frame, const RgbaCanvas& canvas) {
    CanvasArea a;
    a.left = std::min<int>(frame.frameLeft, canvas.width);
    a.top = std::min<int>(frame.frameTop, canvas.height);
    a.right = std::min<int>(frame.frameLeft + frame.frameWidth, canvas.width);
    a.bottom = std::min<int>(frame.frameTop + frame.frameHeight, canvas.height);
    return a;
}

int FrameDisposal(const GifFrame& frame) {
    // Most frames have one extension, their control block, which needs no type test.
    const auto& items = frame.extensionItems.items;
    if (items.size() == 1 && items[0].get() == frame.controlBlock) return frame.controlBlock->DisposalCode();
    int disposal = 0;
    for (const auto& extension : frame.extensionItems.items)
        if (auto* gce = dynamic_cast<const GifGraphicControlExtension*>(extension.get()))
            disposal = gce->DisposalCode();
    return disposal;
}

std::vector<GifRgba> FramePaletteRgba(const GifFrame& frame, bool honourTransparency) {
    uint32_t colours[256];
    FrameColours(frame, honourTransparency, colours);
    std::vector<GifRgba> palette(256);
    std::memcpy(palette.data(), colours, sizeof colours);
    return palette;
}

namespace {

// DrawFrame with the palette given, which is made the frame's first where it is not yet.
void DrawFrameWith(RgbaCanvas& canvas, const GifFrame& frame, bool honourTransparency, Palette& palette) {
    if (frame.IsEmptyFrame()) return;
    const CanvasArea area = FrameArea(frame, canvas);
    if (area.Empty()) return;
    LoadPalette(palette, frame, honourTransparency);
    PrepareVectorRegisters();
    const int transparent = honourTransparency ? frame.TransparentIndex() : -1;
    size_t width = size_t(area.right - area.left);
    int rows = area.bottom - area.top;
    // A frame as wide as the canvas, at its left edge, is one run of rows end to end.
    if (width == size_t(canvas.width) && width == size_t(frame.frameWidth)) width *= size_t(rows), rows = 1;
    for (int y = area.top; y < area.top + rows; ++y) {
        const uint8_t* src = frame.pixels.data() + static_cast<size_t>(y - frame.frameTop) * frame.frameWidth;
        uint8_t* dst = canvas.pixels.data() + (static_cast<size_t>(y) * canvas.width + area.left) * 4;
        if (transparent < 0)
            ExpandRun(dst, src, width, palette);
        else
            ExpandRunTransparent(dst, src, width, palette, uint8_t(transparent));
    }
}

}  // namespace

void DrawFrame(RgbaCanvas& canvas, const GifFrame& frame, bool honourTransparency) {
    Palette palette;
    DrawFrameWith(canvas, frame, honourTransparency, palette);
}

void FillArea(RgbaCanvas& canvas, const CanvasArea& area, GifRgba colour) { FillRows(canvas, area, pack(colour)); }

void CopyArea(RgbaCanvas& canvas, const RgbaCanvas& source, const CanvasArea& area) {
    if (area.Empty()) return;
    const size_t rowBytes = static_cast<size_t>(area.right - area.left) * 4;
    for (int y = area.top; y < area.bottom; ++y) {
        const size_t offset = (static_cast<size_t>(y) * canvas.width + area.left) * 4;
        std::memcpy(canvas.pixels.data() + offset, source.pixels.data() + offset, rowBytes);
    }
}

GifCompositor::GifCompositor(const GifImage& image) : GifCompositor(image, Options{}) {}

GifCompositor::GifCompositor(const GifImage& image, Options options)
    : image_(image), options_(options), canvasCharge_(image.budget), savedCharge_(image.budget) {
    if (options_.underlay && (options_.underlay->width != image.Width() || options_.underlay->height != image.Height()))
        options_.underlay = nullptr;
    Restart();
}

void GifCompositor::Restart() {
    canvasCharge_.Reset();
    canvasCharge_.Add(int64_t(std::max(image_.Width(), 0)) * std::max(image_.Height(), 0) * 4);
    if (!options_.underlay) CheckCanvasBudget(image_.Width(), image_.Height(), options_.byteBudget);
    // The pixels of the last pass go; their memory stays for the next one.
    canvas_.width = std::max(image_.Width(), 0);
    canvas_.height = std::max(image_.Height(), 0);
    canvas_.pixels.clear();
    unfilled_ = true;
    pendingDisposal_ = 0;
    pendingArea_ = CanvasArea{};
}

void GifCompositor::Touch(const CanvasArea& area) const {
    if (area.Empty()) return;
    if (changes_.Empty()) {
        changes_ = area;
        return;
    }
    changes_.left = std::min(changes_.left, area.left);
    changes_.top = std::min(changes_.top, area.top);
    changes_.right = std::max(changes_.right, area.right);
    changes_.bottom = std::max(changes_.bottom, area.bottom);
}

CanvasArea GifCompositor::TakeChanges() {
    const CanvasArea changes = changes_;
    changes_ = CanvasArea{};
    return changes;
}

void GifCompositor::Fill() const {
    if (!unfilled_) return;
    Touch(CanvasArea{0, 0, canvas_.width, canvas_.height});
    if (options_.underlay) {
        canvas_.pixels = options_.underlay->pixels;
    } else {
        canvas_.pixels.resize(size_t(canvas_.width) * canvas_.height * 4);
        FillRows(canvas_, CanvasArea{0, 0, canvas_.width, canvas_.height}, pack(options_.background.value_or(GifRgba{})));
    }
    unfilled_ = false;
}

void GifCompositor::RestoreBackground(const CanvasArea& area) {
    if (options_.disposalColour)
        FillArea(canvas_, area, *options_.disposalColour);
    else if (options_.underlay)
        CopyArea(canvas_, *options_.underlay, area);
    else
        FillArea(canvas_, area, options_.background.value_or(GifRgba{}));
}

// Keeps only the frame's area for disposal 3, paid for from the picture's budget.
void GifCompositor::SaveArea(const CanvasArea& area) {
    if (area.Empty()) return;
    const size_t rowBytes = size_t(area.right - area.left) * 4;
    const size_t bytes = rowBytes * size_t(area.bottom - area.top);
    if (bytes > saved_.capacity()) {
        savedCharge_.Reset();
        savedCharge_.Add(int64_t(bytes));
    }
    saved_.resize(bytes);
    for (int y = area.top; y < area.bottom; ++y)
        std::memcpy(saved_.data() + size_t(y - area.top) * rowBytes,
                    canvas_.pixels.data() + (size_t(y) * canvas_.width + area.left) * 4, rowBytes);
}

void GifCompositor::RestoreSavedArea(const CanvasArea& area) {
    if (area.Empty()) return;
    const size_t rowBytes = size_t(area.right - area.left) * 4;
    for (int y = area.top; y < area.bottom; ++y)
        std::memcpy(canvas_.pixels.data() + (size_t(y) * canvas_.width + area.left) * 4,
                    saved_.data() + size_t(y - area.top) * rowBytes, rowBytes);
}

// Whether the frame paints every pixel of `area` opaquely, with a table to paint it from, and
// keeps nothing of what lay under it (no disposal 3): what is under it before does not matter.
bool GifCompositor::PaintsOver(const GifFrame& frame, const CanvasArea& area) const {
    if (frame.IsEmptyFrame() || DrawingColours(frame).tripleCount == 0 || FrameDisposal(frame) == 3) return false;
    if (options_.honourTransparency && frame.TransparentIndex() >= 0) return false;
    const CanvasArea covered = FrameArea(frame, canvas_);
    return covered.left <= area.left && covered.top <= area.top && covered.right >= area.right &&
           covered.bottom >= area.bottom;
}

const RgbaCanvas& GifCompositor::Compose(size_t index, bool clearFirst) {
    // The last frame's disposal is skipped when this frame paints its whole area over anyway.
    if (pendingDisposal_ >= 2 && pendingDisposal_ <= 3 &&
        !(index < image_.frames.Count() && PaintsOver(image_.frames[index], pendingArea_))) {
        if (pendingDisposal_ == 2) RestoreBackground(pendingArea_);
        if (pendingDisposal_ == 3) RestoreSavedArea(pendingArea_);
        Touch(pendingArea_);
    }
    pendingDisposal_ = 0;

    if (index >= image_.frames.Count()) throw GifError(kInvalidFrameIndex);
    const GifFrame& frame = image_.frames[index];
    if (frame.IsEmptyFrame()) return Canvas();
    const CanvasArea area = FrameArea(frame, canvas_);
    const int disposal = FrameDisposal(frame);
    const int transparent = options_.honourTransparency ? frame.TransparentIndex() : -1;
    const bool covers = area.left == 0 && area.top == 0 && area.right == canvas_.width && area.bottom == canvas_.height;
    if (unfilled_ && covers && disposal != 3 && (transparent < 0 || !options_.underlay)) {
        // The frame covers the whole starting canvas: its rows are the canvas, written once. Its
        // transparent pixels show the starting colour, so they are written as that colour.
        Palette& palette = palette_;
        LoadPalette(palette, frame, options_.honourTransparency);
        if (transparent >= 0) SetColour(palette, transparent, pack(options_.background.value_or(GifRgba{})));
        PrepareVectorRegisters();
        Touch(area);
        const size_t width = size_t(canvas_.width);
        canvas_.pixels.resize(width * canvas_.height * 4);
        if (size_t(frame.frameWidth) == width)  // its rows end to end are one run
            ExpandRun(canvas_.pixels.data(), frame.pixels.data(), width * canvas_.height, palette);
        else
            for (int y = 0; y < canvas_.height; ++y)
                ExpandRun(canvas_.pixels.data() + size_t(y) * width * 4, frame.pixels.data() + size_t(y) * frame.frameWidth,
                          width, palette);
        unfilled_ = false;
    } else {
        Fill();
        if (clearFirst && !PaintsOver(frame, area)) RestoreBackground(area);
        if (disposal == 3) SaveArea(area);
        DrawFrameWith(canvas_, frame, options_.honourTransparency, palette_);
        Touch(area);
    }
    pendingDisposal_ = disposal;
    pendingArea_ = area;
    return canvas_;
}

}  // namespace torvana::gif
