#pragma once
// Pictures that a picture control shows, and the GIF picture with its animation control.
//
// A GifPicture holds a GifImage (our reader's model). Drawing a picture of one frame, or with
// rfAnimate clear, draws frame 0. Drawing a picture of several frames starts a painter (see
// gif_painter.h) that composes the animation into an off-screen display bitmap owned by the
// picture; every composed frame makes the picture report a change (OnChange), and the control
// repaints by copying the display bitmap. The first Draw waits for the first composed frame,
// running the painter's GUI calls meanwhile. With rfDirect the painter draws straight onto
// the caller's canvas (which must then be a QImage that outlives the painter).
//
// Threads. A picture may be loaded on any thread before it is drawn. Drawing it, its painters
// (starting, stopping, waiting for them, their list), its palette and the frames' drawing
// caches belong to the GUI thread, which checks it (AssertGuiThread) instead of locking.
// A threaded painter's worker reads the frames and composes into the painter's own
// compositor; it changes nothing here and reaches the GUI thread only through GuiCallQueue,
// so OnChange and the painters' events are always raised on the GUI thread.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gif/gif_image.h"
#include "gif/qt/gif_render.h"

class QPainter;

namespace torvana::gif {

class GifPainter;
class PainterClock;

// A picture a picture control can show.
class Graphic {
public:
    virtual ~Graphic() = default;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Draws the picture into `target` of the painter's device.
    virtual void Draw(QPainter& painter, const QRect& target) = 0;
    // Draw for a paint handler, which must not throw: why the picture could not be drawn (not
    // enough memory for its bitmaps or its painter), empty when it was drawn.
    std::string TryDraw(QPainter& painter, const QRect& target);
    // The picture as first shown, at its natural size (for a GIF: frame 0 composed on a
    // transparent screen). Null for an empty picture.
    virtual QImage FirstFrame() const = 0;
    // Called when what the picture shows has changed (the control repaints).
    std::function<void()> OnChange;
};

// A picture of any other format: one image.
class StillPicture : public Graphic {
public:
    explicit StillPicture(QImage image) : image_(std::move(image)) {}
    bool Empty() const override { return image_.isNull(); }
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    void Draw(QPainter& painter, const QRect& target) override;
    QImage FirstFrame() const override { return image_; }
    const QImage& Image() const { return image_; }

private:
    QImage image_;
};

using GifPainterEvent = std::function<void(GifPainter* sender)>;

class GifPicture : public Graphic {
public:
    GifPicture();
    // Stops every painter and waits for the threaded ones; leaves no thread behind.
    ~GifPicture() override;
    GifPicture(const GifPicture&) = delete;
    GifPicture& operator=(const GifPicture&) = delete;

    GifImage& Model() { return *model_; }
    const GifImage& Model() const { return *model_; }

    // Replace the content (stopping every painter first); GifError on a bad file. When
    // renderOnLoad is set, each frame is rendered for drawing as soon as it has been read.
    void LoadFromFile(const std::string& path);
    void LoadFromData(const QByteArray& data);
    void Clear();

    bool Empty() const override { return model_->Empty(); }
    int Width() const override { return model_->Width(); }
    int Height() const override { return model_->Height(); }

    // Animation properties, read by each painter when it is created.
    GifRenderFlags RenderFlags = defaultRenderFlags;
    int SpeedPercent = 100;  // 200 halves every wait; 0 stops after the first frame; < 0 never waits
    std::optional<QColor> ScreenColor;  // none by default
    GifPainterEvent OnPaintStart, OnFramePaint, OnFramePainted, OnLoopStart, OnPaintEnd;
    // The clock painters wait with; tests put in their own.
    std::shared_ptr<PainterClock> Clock;

    void Draw(QPainter& painter, const QRect& target) override;
    QImage FirstFrame() const override;
    // The logical screen with frame 0 drawn (while animating: the display bitmap). Null for a
    // picture without frames.
    const QImage* StillBitmap();
    // The picture's palette (see FramePalette for the order of fallbacks); GifError kNoColorTable
    // when neither the picture nor frame 0 has a colour table.
    GifPalette Palette();
    void SetPalette(const GifPalette& palette);
    bool Dithers() const { return DithersWith(RenderFlags); }

    // Creates a painter for (canvas, target) and adds it to the list; a threaded one is
    // returned unstarted, an unthreaded one runs to its end now (an error it met is thrown
    // here) and null is returned. Null also for an empty picture or an empty target.
    GifPainter* StartPainter(GifPainter** ownerSlot, QImage* canvas, GifRenderFlags flags, const QRect& target);
    // Stops the painter Draw started and waits for it; drops the display bitmap.
    void StopMainPainter();
    // Stops every painter and waits for the threaded ones; drops the display bitmap.
    void StopAllPainters();
    // Stops the main painter without waiting and frees the display bitmap, so that the next
    // Draw starts afresh.
    void DropDisplayBitmap();

    GifPainter* MainPainter() const { return mainPainter_; }
    size_t PainterCount();
    const QImage* DisplayBitmap() const { return displayBitmap_.get(); }
    // The last error a threaded painter met (it ended that painter); null when none.
    std::exception_ptr LastPainterError() const { return lastPainterError_; }

    // Reports a change to the holder (OnChange): on the thread that loads the picture, and on
    // the GUI thread for everything drawing and painters change.
    void Changed();
    // Ends the program when called off the GUI thread (see Threads above).
    void AssertGuiThread() const;

    // Set while a frame was rendered with a replaced palette (the holder redraws).
    bool paletteModified = false;

private:
    friend class GifPainter;
    void DrawDisplayBitmap(QPainter& painter, const QRect& target);
    // A transparent display bitmap of the logical screen's size, its bytes taken from the
    // picture's budget first; GifError when they do not fit or cannot be allocated.
    QImage* MakeDisplayBitmap();
    void FreeDisplayBitmap();
    void DrawAnimated(QPainter& painter, const QRect& target);
    void Remove(GifPainter* painter);

    // Replaced only after every painter has stopped (OnClearing), so a worker never reads
    // frames that are being freed.
    std::unique_ptr<GifImage> model_;
    // GUI thread only, like everything below: no lock guards them.
    std::unique_ptr<QImage> displayBitmap_;
    std::unique_ptr<GifMemoryCharge> displayCharge_;  // the display bitmap's bytes
    std::optional<GifPalette> palette_;
    bool computingPalette_ = false;
    bool drawing_ = false;
    // The painter Draw started; cleared by its Finish (a call the GUI thread runs, also while
    // it waits for the painter inside Draw or StopMainPainter).
    GifPainter* mainPainter_ = nullptr;
    // Every live painter; a painter leaves it in Finish.
    std::vector<std::shared_ptr<GifPainter>> painters_;
    std::exception_ptr lastPainterError_;
};

// The table of picture formats: which picture class reads files of which kind.
struct PictureFormat {
    std::string extension;    // upper case, without the dot: "GIF"
    std::string description;  // "GIF Image"
    // Reads a file (also a Qt resource path); torvana::Error with the reason on failure.
    std::function<std::unique_ptr<Graphic>(const std::string& path)> load;
};
const std::vector<PictureFormat>& PictureFormats();
// The format registered for an extension (any case, without the dot); null when none is.
const PictureFormat* FindPictureFormat(const std::string& extension);

// The one loader of picture files, for the editor and the player. A file that starts with a
// GIF signature is read as a GIF whatever its name; otherwise the format registered for its
// extension reads it, and anything else goes through Qt's image readers as a still picture.
// Throws torvana::Error with a reason fit for a sentence ("file not found", "not a file",
// "the GIF file holds no picture", kNotEnoughMemory, the reader's text).
// Every picture's pixels, a still one's too, are counted in the program's GIF budget for as
// long as the picture or its first frame lives.
std::unique_ptr<Graphic> LoadGraphic(const std::string& path);

}  // namespace torvana::gif
