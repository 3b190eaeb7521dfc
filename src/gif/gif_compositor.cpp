#include "gif/gif_compositor.h"

#include <algorithm>
#include <cstring>

namespace torvana::gif {

namespace {

uint32_t pack(GifRgba c) {
    uint32_t v;
    const uint8_t bytes[4] = {c.r, c.g, c.b, c.a};
    std::memcpy(&v, bytes, 4);
    return v;
}

}  // namespace

RgbaCanvas RgbaCanvas::Create(int width, int height, GifRgba colour, int64_t byteBudget) {
    const int64_t bytes = int64_t(std::max(width, 0)) * std::max(height, 0) * 4;
    if (bytes > byteBudget)
        throw GifError("Image too large: the logical screen needs more than " +
                       std::to_string(byteBudget >> 20) + " MiB to compose");
    RgbaCanvas canvas;
    canvas.width = std::max(width, 0);
    canvas.height = std::max(height, 0);
    canvas.pixels.resize(static_cast<size_t>(bytes));
    const uint32_t v = pack(colour);
    for (size_t i = 0; i < canvas.pixels.size(); i += 4) std::memcpy(&canvas.pixels[i], &v, 4);
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
    int disposal = 0;
    for (const auto& extension : frame.extensionItems.items)
        if (auto* gce = dynamic_cast<const GifGraphicControlExtension*>(extension.get()))
            disposal = gce->DisposalCode();
    return disposal;
}

std::vector<GifRgba> FramePaletteRgba(const GifFrame& frame, bool honourTransparency) {
    const GifColorMap& table = frame.ActiveColors();
    if (table.tripleCount == 0) throw GifError("No global or local color table defined");
    std::vector<GifRgba> palette(256, GifRgba{0, 0, 0, 255});
    for (int i = 0; i < table.tripleCount; ++i) {
        const uint8_t* e = table.Entry(i);
        palette[static_cast<size_t>(i)] = GifRgba{e[0], e[1], e[2], 255};
    }
    const int transparent = frame.TransparentIndex();
    if (honourTransparency && transparent >= 0) palette[static_cast<size_t>(transparent)].a = 0;
    return palette;
}

void DrawFrame(RgbaCanvas& canvas, const GifFrame& frame, bool honourTransparency) {
    if (frame.IsEmptyFrame()) return;
    const CanvasArea area = FrameArea(frame, canvas);
    if (area.Empty()) return;
    const std::vector<GifRgba> palette = FramePaletteRgba(frame, honourTransparency);
    uint32_t colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = pack(palette[static_cast<size_t>(i)]);
    const int transparent = honourTransparency ? frame.TransparentIndex() : -1;
    const int width = area.right - area.left;
    for (int y = area.top; y < area.bottom; ++y) {
        const uint8_t* src = frame.pixels.data() + static_cast<size_t>(y - frame.frameTop) * frame.frameWidth;
        uint8_t* dst = canvas.pixels.data() + (static_cast<size_t>(y) * canvas.width + area.left) * 4;
        if (transparent < 0) {
            for (int x = 0; x < width; ++x) std::memcpy(dst + 4 * x, &colours[src[x]], 4);
        } else {
            for (int x = 0; x < width; ++x)
                if (src[x] != transparent) std::memcpy(dst + 4 * x, &colours[src[x]], 4);
        }
    }
}

void FillArea(RgbaCanvas& canvas, const CanvasArea& area, GifRgba colour) {
    const uint32_t v = pack(colour);
    for (int y = area.top; y < area.bottom; ++y) {
        uint8_t* dst = canvas.pixels.data() + (static_cast<size_t>(y) * canvas.width + area.left) * 4;
        for (int x = area.left; x < area.right; ++x, dst += 4) std::memcpy(dst, &v, 4);
    }
}

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
    if (options_.underlay)
        canvas_ = *options_.underlay;
    else
        canvas_ = RgbaCanvas::Create(image_.Width(), image_.Height(), options_.background.value_or(GifRgba{}),
                                     options_.byteBudget);
    pendingDisposal_ = 0;
    pendingArea_ = CanvasArea{};
}

void GifCompositor::RestoreBackground(const CanvasArea& area) {
    if (options_.disposalColour)
        FillArea(canvas_, area, *options_.disposalColour);
    else if (options_.underlay)
        CopyArea(canvas_, *options_.underlay, area);
    else
        FillArea(canvas_, area, options_.background.value_or(GifRgba{}));
}

const RgbaCanvas& GifCompositor::Compose(size_t index, bool clearFirst) {
    if (pendingDisposal_ == 2) RestoreBackground(pendingArea_);
    if (pendingDisposal_ == 3) CopyArea(canvas_, saved_, pendingArea_);
    pendingDisposal_ = 0;

    if (index >= image_.frames.Count()) throw GifError("Invalid frame index");
    const GifFrame& frame = image_.frames[index];
    if (frame.IsEmptyFrame()) return canvas_;
    const CanvasArea area = FrameArea(frame, canvas_);
    if (clearFirst) RestoreBackground(area);
    const int disposal = FrameDisposal(frame);
    if (disposal == 3) {
        if (saved_.width != canvas_.width || saved_.height != canvas_.height) {
            savedCharge_.Reset();
            savedCharge_.Add(int64_t(canvas_.pixels.size()));
            saved_ = canvas_;
        }
        else CopyArea(saved_, canvas_, area);
    }
    DrawFrame(canvas_, frame, options_.honourTransparency);
    pendingDisposal_ = disposal;
    pendingArea_ = area;
    return canvas_;
}

}  // namespace torvana::gif
