#pragma once
// The painter: animates one GIF picture of several frames into one target (a canvas and a
// rectangle on it). It steps through the frames with their delays, applies the disposal
// methods with its composite, save and background buffers, counts the loop passes of the
// NETSCAPE2.0 / ANIMEXTS1.0 extension and raises the picture's five animation events.
//
// A threaded painter (rfThreaded) runs on a std::thread of its own, which only waits, times
// and renders the next frame's bitmap; every drawing step and every event runs on the GUI
// thread through GuiCallQueue while the worker blocks. An unthreaded painter runs its whole
// animation inside the call that started it, keeping the application's events flowing
// between frames.
//
// Timing, in hundredths of a second per frame: a delay of 0 (or no graphic control
// extension) waits defaultDelay; smaller non-zero delays are raised to minimumDelay; an
// unthreaded painter lowers larger ones to maximumDelay. Each unit lasts delayUnitMs at speed
// 100. Half of the time spent outside the previous wait (rendering, showing, events, any
// oversleep) is taken off the next wait.

#include <QImage>
#include <QRect>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "gif/qt/gif_picture.h"

namespace torvana::gif {

constexpr int delayUnitMs = 12;
constexpr int defaultDelay = 10;
constexpr int minimumDelay = 3;
constexpr int maximumDelay = 1000;

// An auto-reset event: Signal wakes one wait (or the next one), which resets it.
class WakeEvent {
public:
    void Signal();
    // Waits up to `ms` milliseconds (-1: without limit); true when signalled.
    bool WaitFor(int64_t ms);

private:
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool set_ = false;
};

// The clock a painter times and waits with. The system clock really waits; tests put in a
// clock of their own so that timing needs no real waiting.
class PainterClock {
public:
    virtual ~PainterClock() = default;
    virtual int64_t NowMs() = 0;
    // A threaded painter's wait between frames: up to `ms` (-1: without limit) or until the
    // event is signalled; true when signalled.
    virtual bool Wait(WakeEvent& event, int64_t ms) = 0;
    // One slice of an unthreaded painter's wait.
    virtual void Sleep(int64_t ms) = 0;
};

std::shared_ptr<PainterClock> SystemPainterClock();

class GifPainter : public std::enable_shared_from_this<GifPainter> {
public:
    // Use GifPicture::StartPainter. Runs on the GUI thread: records the target and makes the
    // buffers the disposal methods in use need.
    GifPainter(GifPicture& image, QImage* canvas, const QRect& target, GifRenderFlags flags, GifPainter** ownerSlot);
    ~GifPainter();
    GifPainter(const GifPainter&) = delete;
    GifPainter& operator=(const GifPainter&) = delete;

    // Starts the worker thread of a threaded painter (once).
    void Start();
    // Asks the painter to end and wakes it when it waits. A stopped painter shows no further
    // frame and fires no further event, OnPaintEnd included.
    void Stop();
    // The body: the pass and frame loops.
    void Run();
    // The end on the GUI thread: leaves the picture's list and the owner slot, frees buffers.
    void Finish();

    bool Threaded() const { return threaded_; }
    bool Terminated() const { return terminated_; }
    bool FrameShown() const { return frameShown_; }
    GifRenderFlags Flags() const { return flags_; }
    GifPicture* Image() const { return image_; }
    QImage* Canvas() const { return canvas_; }
    const QRect& Target() const { return target_; }
    // The frame being shown; -1 before and after the run. Event handlers may set it to choose
    // the next frame.
    std::atomic<int> activeFrame{-1};
    // The error that ended the painter, if any.
    std::exception_ptr PendingError() const { return pendingError_; }

    // Worker threads of painters that have not ended yet, over the whole program.
    static int LiveThreads();

private:
    friend class GifPicture;
    void FireEvent(const GifPainterEvent& event);
    void CallOnGuiThread(const std::function<void()>& step);
    // Waits after a frame; `delay` holds its delay in units and receives the time waited.
    void WaitBetweenFrames(int64_t& delay);
    void ShowFrameBuffered();
    void ShowFrameDirect();
    void RestoreFrameArea(GifFrame& frame);
    GifFrame& ActiveFrame();
    bool CanvasGone() const;

    GifPicture* image_;
    QImage* canvas_;
    QRect target_;
    GifRenderFlags flags_;
    int speed_;
    bool threaded_;
    int disposal_ = 1;
    int previousDisposal_ = 1;
    std::unique_ptr<QImage> compositeBuffer_, saveBuffer_, backgroundCopy_;
    QColor background_;
    const uchar* checkedBits_ = nullptr;
    QSize checkedSize_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> frameShown_{false};
    std::atomic<bool> started_{false};
    GifPainter** ownerSlot_;
    std::unique_ptr<WakeEvent> wakeEvent_;
    std::exception_ptr pendingError_;
    std::shared_ptr<PainterClock> clock_;
    GifPainterEvent onPaintStart_, onFramePaint_, onFramePainted_, onLoopStart_, onPaintEnd_;
    std::thread thread_;
    int64_t lastTime_ = 0;
    int64_t lag_ = 0;
};

}  // namespace torvana::gif
