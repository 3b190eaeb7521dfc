#include "gif/qt/gif_render.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "gif/qt/gif_picture.h"

namespace torvana::gif {

namespace {

constexpr const char* kRendering = "Rendering...";

int RoundedMulDiv(int64_t a, int64_t b, int64_t c) {
    return int(std::llround(double(a) * double(b) / double(c)));
}

GifPalette FromColorMap(const GifColorMap& map) {
    GifPalette palette;
    palette.reserve(map.tripleCount);
    for (int i = 0; i < map.tripleCount; ++i) {
        const uint8_t* e = map.Entry(i);
        palette.push_back(qRgb(e[0], e[1], e[2]));
    }
    return palette;
}

// The bitmap's 256-entry colour table: the palette, black beyond it.
QList<QRgb> FullTable(const GifPalette& palette) {
    QList<QRgb> table(256, qRgb(0, 0, 0));
    for (int i = 0; i < std::min<int>(256, int(palette.size())); ++i) table[i] = palette[i] | 0xFF000000u;
    return table;
}

QImage MakeImage(int width, int height, QImage::Format format) { return Allocated(QImage(width, height, format)); }

int64_t CachedBytes(const GifFrameRender& cache) {
    return cache.bitmap.sizeInBytes() + cache.mask.sizeInBytes() + cache.opaque.sizeInBytes() +
           cache.masked.sizeInBytes();
}

// Gives back the bytes of the cached images that are gone.
void Recount(GifFrameRender& cache) { cache.charge.ReduceTo(CachedBytes(cache)); }

void ReportProgress(GifFrame& frame, GifProgressStage stage, int percent, bool redraw) {
    if (frame.ownerImage) frame.ownerImage->Progress(&frame, stage, percent, redraw, kRendering);
}

// Renders the frame's indices (or their dithered cube indices) and, when asked, the mask.
void Render(GifPicture& picture, GifFrame& frame, GifFrameRender& cache) {
    const int width = frame.frameWidth, height = frame.frameHeight;
    const bool dither = picture.Dithers();
    QImage bitmap = MakeImage(width, height, QImage::Format_Indexed8);
    bitmap.setColorTable(FullTable(FramePalette(picture, frame)));

    const bool buildMask = cache.maskNeeded && frame.hasTransparency;
    // Everything this render may make is taken from the budget before any of it is allocated;
    // what it does not make (a mask where nothing is transparent) is given back at the end.
    const bool mayMask = buildMask || !cache.mask.isNull();
    const int64_t rgba = ImageBytes(width, height, QImage::Format_ARGB32_Premultiplied);
    cache.charge.Add(ImageBytes(width, height, QImage::Format_Indexed8) + rgba +
                     (buildMask ? ImageBytes(width, height, QImage::Format_Mono) : 0) + (mayMask ? rgba : 0));
    cache.maskNeeded = false;
    const int transparent = frame.controlBlock ? frame.controlBlock->transparentIndex : -1;
    QImage mask;
    if (buildMask) {
        mask = MakeImage(width, height, QImage::Format_Mono);
        mask.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        mask.fill(0);
    }
    bool anyTransparent = false;

    const GifColorMap& colors = frame.ActiveColors();
    std::optional<SerpentineDitherer> ditherer;
    uint8_t fillIndex = 0;
    if (dither) {
        ditherer.emplace(width);
        if (transparent >= 0 && transparent < colors.tripleCount) {
            const uint8_t* e = colors.Entry(transparent);
            fillIndex = uint8_t(CubeIndex(e[0], e[1], e[2]));
        }
    }
    const size_t available = frame.pixels.size();
    std::vector<uint8_t> zeros;
    for (int y = 0; y < height; ++y) {
        if (y % 32 == 0) ReportProgress(frame, GifProgressStage::running, int(std::lround(y * 100.0 / height)), false);
        const size_t offset = size_t(y) * width;
        const uint8_t* row;
        if (offset + width <= available) {
            row = frame.pixels.data() + offset;
        } else {  // a frame whose pixels fall short draws index 0 for the rest
            zeros.assign(size_t(width), 0);
            row = zeros.data();
        }
        uint8_t* out = bitmap.scanLine(y);
        uint8_t* maskRow = buildMask ? mask.scanLine(y) : nullptr;
        if (!dither) {
            std::memcpy(out, row, size_t(width));
            if (maskRow) {
                for (int x = 0; x < width; ++x) {
                    if (row[x] == transparent) {
                        maskRow[x >> 3] |= uint8_t(0x80 >> (x & 7));
                        anyTransparent = true;
                    }
                }
            }
            continue;
        }
        if (maskRow) std::memset(out, fillIndex, size_t(width));
        const bool forward = ditherer->LeftToRight();
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            const int index = row[x];
            if (maskRow && index == transparent) {
                maskRow[x >> 3] |= uint8_t(0x80 >> (x & 7));
                anyTransparent = true;
                continue;
            }
            if (index < colors.tripleCount) {
                const uint8_t* e = colors.Entry(index);
                out[x] = ditherer->Next(e[0], e[1], e[2]);
            } else {
                out[x] = ditherer->Next(0, 0, 0);
            }
        }
        ditherer->EndRow();
    }

    cache.bitmap = bitmap;
    cache.opaque = Allocated(bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    if (buildMask && anyTransparent) cache.mask = mask;
    cache.masked = QImage();
    // A bitmap rendered again keeps the mask it had.
    if (!cache.mask.isNull() && cache.mask.size() == bitmap.size()) {
        cache.masked = Allocated(cache.opaque.copy());
        for (int y = 0; y < height; ++y) {
            const uint8_t* m = cache.mask.constScanLine(y);
            auto* pixels = reinterpret_cast<QRgb*>(cache.masked.scanLine(y));
            for (int x = 0; x < width; ++x) {
                if (m[x >> 3] & (0x80 >> (x & 7))) pixels[x] = 0;
            }
        }
    }
    Recount(cache);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Memory

GifOutOfMemory::GifOutOfMemory() : GifError("Failed to allocate memory for GIF DIB") {}

QImage Allocated(QImage image) {
    if (image.isNull()) throw GifOutOfMemory();
    return image;
}

int64_t ImageBytes(int width, int height, QImage::Format format) {
    const int64_t bits = int64_t(width) * QImage::toPixelFormat(format).bitsPerPixel();
    return (bits + 31) / 32 * 4 * height;
}

QImage CountedImage(QImage image, std::unique_ptr<GifMemoryCharge> charge) {
    if (image.isNull()) return image;
    struct Held {
        QImage image;
        std::unique_ptr<GifMemoryCharge> charge;
    };
    auto* held = new Held{std::move(image), std::move(charge)};
    QImage& own = held->image;
    QImage counted(own.bits(), own.width(), own.height(), own.bytesPerLine(), own.format(),
                   [](void* info) { delete static_cast<Held*>(info); }, held);
    if (counted.isNull()) {
        delete held;
        throw GifOutOfMemory();
    }
    counted.setColorTable(own.colorTable());
    counted.setDevicePixelRatio(own.devicePixelRatio());
    counted.setDotsPerMeterX(own.dotsPerMeterX());
    counted.setDotsPerMeterY(own.dotsPerMeterY());
    return counted;
}

// ---------------------------------------------------------------------------------------------
// Palettes, cube, ditherer

bool PaletteDisplay() {
    static const bool palette = [] {
        const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                    ? QGuiApplication::primaryScreen()
                                    : nullptr;
        return screen && screen->depth() < 9;
    }();
    return palette;
}

bool DithersWith(GifRenderFlags flags) {
    return (flags & rfDither) && (!(flags & rfAutoDither) || PaletteDisplay());
}

GifPalette CubePalette() {
    GifPalette palette;
    palette.reserve(216);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) palette.push_back(qRgb(r * 51, g * 51, b * 51));
    return palette;
}

int CubeIndex(int red, int green, int blue) {
    return 36 * ((red + 3) / 51) + 6 * ((green + 3) / 51) + (blue + 3) / 51;
}

SerpentineDitherer::SerpentineDitherer(int width) : width_(width) {
    for (auto& e : errors_) e.assign(size_t(width) + 2, 0);
}

uint8_t SerpentineDitherer::Next(int red, int green, int blue) {
    const int source[3] = {red, green, blue};
    int level[3];
    for (int c = 0; c < 3; ++c) {
        // Division truncating toward zero, as C++ does.
        int value = source[c] + (errors_[c][size_t(position_ + direction_)] + carried_[c] + 8) / 16;
        value = std::clamp(value, 0, 255);
        level[c] = (value + 3) / 51;
        const int d = value - level[c] * 51;
        errors_[c][size_t(position_)] = belowBehind_[c] + 3 * d;
        belowBehind_[c] = below_[c] + 5 * d;
        below_[c] = d;
        carried_[c] = 7 * d;
    }
    position_ += direction_;
    return uint8_t(36 * level[0] + 6 * level[1] + level[2]);
}

void SerpentineDitherer::EndRow() {
    for (int c = 0; c < 3; ++c) {
        errors_[c][size_t(position_)] = belowBehind_[c];
        carried_[c] = below_[c] = belowBehind_[c] = 0;
    }
    direction_ = -direction_;
    position_ = direction_ > 0 ? 0 : width_ + 1;
}

// ---------------------------------------------------------------------------------------------
// Frames

GifFrameRender& FrameRender(GifFrame& frame) {
    if (!frame.renderCache)
        frame.renderCache =
            std::make_unique<GifFrameRender>(frame.ownerImage ? frame.ownerImage->budget : &GifMemoryBudget::Program());
    return static_cast<GifFrameRender&>(*frame.renderCache);
}

GifPalette FramePalette(GifPicture& picture, GifFrame& frame) {
    GifFrameRender& cache = FrameRender(frame);
    if (!cache.bitmap.isNull() && !cache.bitmap.colorTable().isEmpty()) return cache.bitmap.colorTable();
    if (cache.palette) return *cache.palette;
    if (picture.Dithers()) {
        cache.palette = CubePalette();
        return *cache.palette;
    }
    if (frame.localColors.tripleCount > 0) {
        cache.palette = FromColorMap(frame.localColors);
        return *cache.palette;
    }
    return picture.Palette();
}

void SetFramePalette(GifPicture& picture, GifFrame& frame, const GifPalette& palette) {
    GifFrameRender& cache = FrameRender(frame);
    if (cache.palette && *cache.palette == palette) return;
    cache.palette = palette;
    if (!cache.bitmap.isNull() && cache.bitmap.colorTable() != FullTable(palette)) {
        DiscardFrameBitmap(frame);
        picture.paletteModified = true;
        picture.Changed();
    }
}

void DiscardFrameBitmap(GifFrame& frame) {
    GifFrameRender& cache = FrameRender(frame);
    cache.bitmap = QImage();
    cache.opaque = QImage();
    cache.masked = QImage();
    Recount(cache);
}

void DiscardMask(GifFrame& frame) {
    GifFrameRender& cache = FrameRender(frame);
    cache.mask = QImage();
    cache.masked = QImage();
    cache.maskNeeded = true;
    Recount(cache);
}

const QImage* FrameBitmap(GifPicture& picture, GifFrame& frame) {
    GifFrameRender& cache = FrameRender(frame);
    if (!cache.bitmap.isNull()) return &cache.bitmap;
    if (frame.IsEmptyFrame()) return nullptr;
    ReportProgress(frame, GifProgressStage::starting, 0, false);
    try {
        Render(picture, frame, cache);
    } catch (...) {
        // The half-made bitmap goes; the mask is not tried again until it is discarded.
        cache.bitmap = cache.opaque = cache.masked = cache.mask = QImage();
        Recount(cache);
        ReportProgress(frame, GifProgressStage::ending, 0, picture.paletteModified);
        throw;
    }
    ReportProgress(frame, GifProgressStage::ending, 100, picture.paletteModified);
    if (picture.paletteModified) picture.Changed();
    return &cache.bitmap;
}

bool MaskReady(GifPicture& picture, GifFrame& frame) {
    GifFrameRender& cache = FrameRender(frame);
    if (cache.maskNeeded && frame.hasTransparency) DiscardFrameBitmap(frame);
    FrameBitmap(picture, frame);
    return !cache.mask.isNull();
}

QRect MapFrameRect(const GifImage& image, const GifFrame& frame, const QRect& target) {
    const int w = image.Width(), h = image.Height();
    if (w <= 0 || h <= 0) return QRect(target.topLeft(), QSize(0, 0));
    const int64_t tw = target.width(), th = target.height();
    const int left = target.left() + RoundedMulDiv(frame.frameLeft, tw, w);
    const int top = target.top() + RoundedMulDiv(frame.frameTop, th, h);
    const int right = target.left() + RoundedMulDiv(int64_t(frame.frameLeft) + frame.frameWidth, tw, w);
    const int bottom = target.top() + RoundedMulDiv(int64_t(frame.frameTop) + frame.frameHeight, th, h);
    return QRect(left, top, right - left, bottom - top);
}

QImage CanvasImage(const RgbaCanvas& canvas) {
    if (canvas.width <= 0 || canvas.height <= 0) return QImage();
    return QImage(canvas.pixels.data(), canvas.width, canvas.height, qsizetype(canvas.width) * 4,
                  QImage::Format_RGBA8888);
}

std::vector<QPoint> TilePositions(const GifImage& image, const GifFrame& frame, const QRect& target) {
    std::vector<QPoint> tiles;
    const int stepX = image.Width(), stepY = image.Height();
    if (stepX <= 0 || stepY <= 0) return tiles;
    const int right = target.left() + target.width(), bottom = target.top() + target.height();
    for (int x = target.left() + frame.frameLeft; x < right; x += stepX)
        for (int y = target.top() + frame.frameTop; y < bottom; y += stepY) tiles.emplace_back(x, y);
    return tiles;
}

void DrawFrame(GifPicture& picture, GifFrame& frame, QPainter& canvas, const QRect& target, bool transparent,
               bool tile) {
    StretchFrame(picture, frame, canvas, tile ? target : MapFrameRect(picture.Model(), frame, target), transparent,
                 tile);
}

void StretchFrame(GifPicture& picture, GifFrame& frame, QPainter& canvas, const QRect& target, bool transparent,
                  bool tile) {
    if (!FrameBitmap(picture, frame)) return;  // an empty frame draws nothing
    const bool masked = transparent && frame.hasTransparency && MaskReady(picture, frame);
    GifFrameRender& cache = FrameRender(frame);
    const QImage& image = masked ? cache.masked : cache.opaque;
    canvas.save();
    // Opaque drawing replaces what is under the frame; masked drawing keeps it where the mask is.
    canvas.setCompositionMode(masked ? QPainter::CompositionMode_SourceOver : QPainter::CompositionMode_Source);
    if (tile) {
        canvas.setClipRect(target, Qt::IntersectClip);
        for (const QPoint& at : TilePositions(picture.Model(), frame, target)) canvas.drawImage(at, image);
    } else {
        canvas.drawImage(target, image);
    }
    canvas.restore();
}

}  // namespace torvana::gif
