#pragma once
// The painter: animates one GIF picture of several frames into one target (a canvas and a
// rectangle on it). It keeps the timing of the animation (delays, speed, the wait
// compensation, loop passes of the NETSCAPE2.0 / ANIMEXTS1.0 extension), raises the picture's
// five animation events and runs on a thread of its own. What a frame looks like is the
// compositor's business (gif/gif_compositor.h): the painter composes each frame there, at the
// logical screen's size, and puts the composed picture over what lay under it in the target,
// stretched to the target rectangle or tiled across it (rfTile).
//
// Timing follows gif/gif_timing.h; an unthreaded painter lowers long delays to maximumDelay.
// Each unit lasts delayUnitMs at speed 100. Half of the time spent outside the previous wait
// (composing, showing, events, any oversleep) is taken off the next wait.
//
// Threads. A threaded painter (rfThreaded) has a worker thread that runs only Run: it waits,
// times, reads the picture's frames and composes the next frame into the painter's own
// compositor. Everything else runs on the GUI thread (the thread that owns the picture):
// creating the painter, showing a frame on the target, every event, Finish. The worker hands
// each of those to the GUI thread through GuiCallQueue and blocks until it has run, so the
// GUI thread only ever looks at the compositor's canvas while the worker is blocked. An
// unthreaded painter runs its whole animation on the GUI thread, inside the call that started
// it, keeping the application's events flowing between frames.

#include <QImage>
#include <QRect>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "gif/gif_compositor.h"
#include "gif/gif_timing.h"
#include "gif/qt/gif_picture.h"

namespace torvana::gif {

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
    // Use GifPicture::StartPainter. On the GUI thread: records the target, what lies under
    // the picture there, and the background colour, and makes the compositor.
    GifPainter(GifPicture& image, QImage* canvas, const QRect& target, GifRenderFlags flags, GifPainter** ownerSlot);
    ~GifPainter();
    GifPainter(const GifPainter&) = delete;
    GifPainter& operator=(const GifPainter&) = delete;

    // GUI thread: starts the worker thread of a threaded painter (once).
    void Start();
    // GUI thread: asks the painter to end and wakes it when it waits. A stopped painter shows
    // no further frame and fires no further event, OnPaintEnd included.
    void Stop();
    // The body: the pass and frame loops (the worker thread, or the GUI thread unthreaded).
    void Run();
    // GUI thread: the end; leaves the picture's list and the owner slot, frees the buffers.
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
    // The error that ended the painter, if any. Read it after the painter has finished.
    std::exception_ptr PendingError() const { return pendingError_; }

    // Worker threads of painters that have not ended yet, over the whole program.
    static int LiveThreads();

private:
    friend class GifPicture;
    void FireEvent(const GifPainterEvent& event);
    void CallOnGuiThread(const std::function<void()>& step);
    // Composes the active frame (clearing its area first at the start of a pass under
    // rfClearOnLoop) and records which frame that was.
    void Compose(int& composed);
    // Waits after a frame; `delay` holds its delay in units and receives the time waited.
    void WaitBetweenFrames(int64_t& delay);
    // GUI thread: puts the composed frame on the target.
    void ShowFrame();
    bool CanvasGone() const;

    // Set at creation on the GUI thread, before the worker starts; never written afterwards.
    GifRenderFlags flags_;
    int speed_;
    bool threaded_;
    std::shared_ptr<PainterClock> clock_;
    GifPainterEvent onPaintStart_, onFramePaint_, onFramePainted_, onLoopStart_, onPaintEnd_;

    // GUI thread only (the worker never touches them): the target and what lay under the
    // picture there (kept when some frame restores to it: disposal 2 or 3, rfClearOnLoop).
    GifPicture* image_;  // read by the worker in Run; cleared by Finish, after Run has ended
    QImage* canvas_;
    QRect target_;
    std::unique_ptr<QImage> underlay_;
    std::unique_ptr<GifMemoryCharge> underlayCharge_;  // its bytes, in the picture's budget
    QSize checkedSize_;
    GifPainter** ownerSlot_;

    // The worker composes into it; the GUI thread reads its canvas only inside a call the
    // worker waits for (ShowFrame).
    std::unique_ptr<GifCompositor> compositor_;

    // Worker only (or the GUI thread unthreaded): the wait compensation.
    int64_t lastTime_ = 0;
    int64_t lag_ = 0;

    // Shared by both threads.
    std::atomic<bool> terminated_{false};
    std::atomic<bool> frameShown_{false};
    std::atomic<bool> started_{false};
    std::unique_ptr<WakeEvent> wakeEvent_;  // made at creation; Signal and WaitFor lock it
    std::exception_ptr pendingError_;       // written by Run; read after the thread has ended
    std::thread thread_;                    // joined on the GUI thread after Finish
};

}  // namespace torvana::gif
