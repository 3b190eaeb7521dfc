#pragma once
// Drawing the frames of a GIF picture with Qt: each frame is rendered once into a QImage of
// colour indices (its bitmap) and, only when the transparent index actually occurs, a
// one-bit mask (1 where the pixel is transparent). Both are cached in the frame together with
// the two forms drawing copies from (opaque, and with alpha 0 under the mask), so drawing a
// frame is one image transfer, stretched or tiled into a target rectangle.
//
// Palettes are plain colour tables (QList<QRgb>). When the screen is a palette display
// (8 bits per pixel or fewer) and the flags ask for it, frames are dithered onto the
// 216-colour cube with a serpentine Floyd-Steinberg ditherer; both are plain functions here.

#include <QImage>
#include <QList>
#include <QRect>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "gif/gif_compositor.h"
#include "gif/gif_image.h"

class QPainter;

namespace torvana::gif {

class GifPicture;

// The drawing options of a picture, one bit each.
enum GifRenderFlag : uint16_t {
    rfThreaded = 1 << 0,      // animate on a worker thread
    rfTransparent = 1 << 1,   // honour frame transparency
    rfAnimate = 1 << 2,       // animate pictures of more than one frame
    rfLoop = 1 << 3,          // run further loop passes
    rfLoopForever = 1 << 4,   // loop without limit, whatever the loop count
    rfCheckCanvas = 1 << 5,   // stop painting once the target canvas is gone
    rfDirect = 1 << 6,        // paint straight onto the caller's canvas, no display bitmap
    rfClearOnLoop = 1 << 7,   // restore the background before the first frame of each pass
    rfTile = 1 << 8,          // tile frames across the target instead of stretching them
    rfDither = 1 << 9,        // render through the dithering path
    rfAutoDither = 1 << 10,   // ... only on a palette display
};
using GifRenderFlags = uint16_t;
constexpr GifRenderFlags defaultRenderFlags = 0x060F;
static_assert(defaultRenderFlags == (rfThreaded | rfTransparent | rfAnimate | rfLoop | rfDither | rfAutoDither));

using GifPalette = QList<QRgb>;

// True when the screen has 8 bits per pixel or fewer; decided once, at the first question.
bool PaletteDisplay();
// Whether pictures drawn with these flags are dithered on this screen.
bool DithersWith(GifRenderFlags flags);

// The 216-colour cube: entry 36·r + 6·g + b has red r·51, green g·51, blue b·51.
GifPalette CubePalette();
// The cube entry nearest to a colour, level (value + 3) / 51 per channel.
int CubeIndex(int red, int green, int blue);

// Floyd-Steinberg error diffusion onto the cube with serpentine rows: the first row runs left
// to right, each next one the other way. Errors are kept in sixteenths per channel.
class SerpentineDitherer {
public:
    explicit SerpentineDitherer(int width);
    bool LeftToRight() const { return direction_ > 0; }
    // The cube index for the next pixel of the row in scan direction.
    uint8_t Next(int red, int green, int blue);
    // Ends the row; the next row runs the other way.
    void EndRow();

private:
    int width_;
    int direction_ = 1;
    int position_ = 0;  // buffer slot of the column behind the current one
    std::vector<int> errors_[3];
    int carried_[3] = {};    // error for the next pixel, × 16
    int below_[3] = {};      // for the pixel below-ahead so far
    int belowBehind_[3] = {};
};

// A picture buffer that cannot be allocated: Qt hands back a null image when memory runs out,
// and drawing into one would crash. "Failed to allocate memory for GIF DIB".
class GifOutOfMemory : public GifError {
public:
    GifOutOfMemory();
};

// The image itself; GifOutOfMemory when it is null (a constructor, copy or conversion that
// could not allocate).
QImage Allocated(QImage image);

// The bytes a width × height image of the format takes, rows padded as Qt pads them.
int64_t ImageBytes(int width, int height, QImage::Format format);

// The same pixels as an image that keeps them counted in a budget for as long as it or any
// copy of it lives: `charge` has taken them already and is given back with the last copy.
// `image` must not be shared (its pixels are taken over, not copied).
QImage CountedImage(QImage image, std::unique_ptr<GifMemoryCharge> charge);

// What a frame caches for drawing. Invariant: while maskNeeded is set there is no mask.
struct GifFrameRender : GifFrameCache {
    explicit GifFrameRender(GifMemoryBudget* budget) : charge(budget) {}

    QImage bitmap;  // Format_Indexed8: the frame's indices (cube indices when dithered)
    QImage mask;    // Format_Mono, 1 where transparent; null when there is none
    bool maskNeeded = true;
    std::optional<GifPalette> palette;
    QImage opaque;  // bitmap in ARGB32_Premultiplied: what opaque drawing copies
    QImage masked;  // opaque with alpha 0 under the mask; null without a mask
    // The four images' bytes, taken from the picture's budget before they are made and given
    // back as they go.
    GifMemoryCharge charge;
};

GifFrameRender& FrameRender(GifFrame& frame);

// The frame's bitmap, rendered on first demand; null for an empty frame.
const QImage* FrameBitmap(GifPicture& picture, GifFrame& frame);
// Makes sure a transparent frame has its mask; whether it has one.
bool MaskReady(GifPicture& picture, GifFrame& frame);
// The frame's colour table: that of its bitmap, the cached one, the cube (dithering), its
// local table, else the picture's palette. Empty when there is nothing at all.
GifPalette FramePalette(GifPicture& picture, GifFrame& frame);
// Replaces the frame's palette; a bitmap made with another palette is rendered again.
void SetFramePalette(GifPicture& picture, GifFrame& frame, const GifPalette& palette);
// Drops the bitmap (keeping the mask) or the mask (so it is built again).
void DiscardFrameBitmap(GifFrame& frame);
void DiscardMask(GifFrame& frame);

// Where the frame lands when the whole logical screen is mapped onto `target`.
QRect MapFrameRect(const GifImage& image, const GifFrame& frame, const QRect& target);
// Draws the frame as part of the picture drawn into `target`.
void DrawFrame(GifPicture& picture, GifFrame& frame, QPainter& canvas, const QRect& target, bool transparent,
               bool tile);
// Draws the frame's bitmap into exactly `target`, or tiles it from its own offset every
// logical-screen width and height while a tile starts inside `target`.
void StretchFrame(GifPicture& picture, GifFrame& frame, QPainter& canvas, const QRect& target, bool transparent,
                  bool tile);
// A composed canvas as a QImage that shares its pixels (valid while the canvas is unchanged);
// copy() it to keep it.
QImage CanvasImage(const RgbaCanvas& canvas);

// The top-left corners of the tiles of a frame tiled across `target`.
std::vector<QPoint> TilePositions(const GifImage& image, const GifFrame& frame, const QRect& target);

}  // namespace torvana::gif
