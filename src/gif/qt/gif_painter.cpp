#include "gif/qt/gif_painter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>

#include "gif/qt/gui_call_queue.h"

namespace torvana::gif {

namespace {

std::atomic<int> g_liveThreads{0};

class SystemClock : public PainterClock {
public:
    int64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    bool Wait(WakeEvent& event, int64_t ms) override { return event.WaitFor(ms); }
    void Sleep(int64_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// While an unthreaded painter runs inside an event loop, a quit request ends it; the request
// itself goes on to the loop.
class QuitWatcher : public QObject {
public:
    explicit QuitWatcher(GifPainter& painter) : painter_(painter) {
        if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit) painter_.Stop();
        return false;
    }

private:
    GifPainter& painter_;
};

}  // namespace

void WakeEvent::Signal() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    signalled_.notify_all();
}

bool WakeEvent::WaitFor(int64_t ms) {
    std::unique_lock lock(mutex_);
    if (ms < 0) {
        signalled_.wait(lock, [&] { return set_; });
    } else if (!signalled_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return set_; })) {
        return false;
    }
    set_ = false;
    return true;
}

std::shared_ptr<PainterClock> SystemPainterClock() {
    static const std::shared_ptr<PainterClock> clock = std::make_shared<SystemClock>();
    return clock;
}

int GifPainter::LiveThreads() { return g_liveThreads; }

GifPainter::GifPainter(GifPicture& image, QImage* canvas, const QRect& target, GifRenderFlags flags,
                       GifPainter** ownerSlot)
    : flags_(flags),
      speed_(image.SpeedPercent),
      threaded_(flags & rfThreaded),
      clock_(image.Clock ? image.Clock : SystemPainterClock()),
      onPaintStart_(image.OnPaintStart),
      onFramePaint_(image.OnFramePaint),
      onFramePainted_(image.OnFramePainted),
      onLoopStart_(image.OnLoopStart),
      onPaintEnd_(image.OnPaintEnd),
      image_(&image),
      canvas_(canvas),
      target_(target),
      ownerSlot_(ownerSlot) {
    image.AssertGuiThread();
    GifImage& model = image.Model();
    if ((flags & rfThreaded) && (flags & rfAnimate) && model.frames.Count() > 1 && speed_ >= 0)
        wakeEvent_ = std::make_unique<WakeEvent>();

    // Disposal 2 without transparency restores to the background colour: the screen colour,
    // else the global table's background entry, else the window colour.
    QColor background;
    if (image.ScreenColor) {
        background = *image.ScreenColor;
    } else if (model.header->globalColors.tripleCount > 0) {
        const uint32_t c = model.BackgroundColor();
        background = QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    } else {
        background = QGuiApplication::palette().color(QPalette::Window);
    }

    // What lies under the picture is kept only when some frame restores to it; otherwise the
    // composed frames simply accumulate on the target.
    std::set<int> disposals;
    if (flags & rfClearOnLoop) disposals.insert(2);
    for (size_t i = 0; i < model.frames.Count(); ++i) {
        if (const auto* control = model.frames[i].controlBlock) disposals.insert(control->DisposalCode());
    }
    if ((disposals.count(2) || disposals.count(3)) && canvas) {
        underlayCharge_ = std::make_unique<GifMemoryCharge>(model.budget);
        underlayCharge_->Add(ImageBytes(target.width(), target.height(), QImage::Format_ARGB32_Premultiplied));
        underlay_ = std::make_unique<QImage>(Allocated(QImage(target.size(), QImage::Format_ARGB32_Premultiplied)));
        underlay_->fill(Qt::transparent);
        QPainter copy(underlay_.get());
        copy.setCompositionMode(QPainter::CompositionMode_Source);
        copy.drawImage(QPoint(0, 0), *canvas, target);
    }
    if ((flags & rfCheckCanvas) && canvas) checkedSize_ = canvas->size();

    GifCompositor::Options options;
    options.honourTransparency = flags & rfTransparent;
    if (!(flags & rfTransparent))
        options.disposalColour = GifRgba{uint8_t(background.red()), uint8_t(background.green()),
                                         uint8_t(background.blue()), 255};
    compositor_ = std::make_unique<GifCompositor>(model, options);
    // Only a painter that could be made takes the slot: a failed one leaves nothing dangling.
    if (ownerSlot_) *ownerSlot_ = this;
}

GifPainter::~GifPainter() {
    // A thread is always joined by Finish; this only guards a painter dropped without one.
    if (thread_.joinable()) {
        Stop();
        thread_.join();
    }
}

void GifPainter::Start() {
    if (!threaded_ || started_.exchange(true)) return;
    GuiCallQueue::Instance().PrepareWakeUp();
    ++g_liveThreads;
    std::shared_ptr<GifPainter> self = shared_from_this();
    thread_ = std::thread([self] {
        self->Run();
        // Finish runs on the GUI thread, which then joins this thread.
        GuiCallQueue::Instance().Post([self] {
            self->Finish();
            if (self->thread_.joinable()) self->thread_.join();
            GuiCallQueue::Instance().Notify();
        });
        --g_liveThreads;
    });
}

void GifPainter::Stop() {
    terminated_ = true;
    if (!threaded_) return;
    if (wakeEvent_) wakeEvent_->Signal();
    // A painter never started still has to run through its end to leave the list.
    Start();
}

bool GifPainter::CanvasGone() const { return !canvas_ || canvas_->isNull() || canvas_->size() != checkedSize_; }

void GifPainter::FireEvent(const GifPainterEvent& event) {
    if (event) CallOnGuiThread([this, &event] { event(this); });
}

void GifPainter::CallOnGuiThread(const std::function<void()>& step) {
    if (terminated_) return;
    if (!threaded_) {
        step();
        return;
    }
    // Looked at again on the GUI thread: a painter stopped while its call waited does nothing.
    GuiCallQueue::Instance().Call([this, &step] {
        if (!terminated_ && image_) step();
    });
}

void GifPainter::Run() {
    std::unique_ptr<QuitWatcher> quitWatcher;
    if (!threaded_) quitWatcher = std::make_unique<QuitWatcher>(*this);
    try {
        GifImage& model = image_->Model();
        activeFrame = 0;
        FireEvent(onPaintStart_);
        frameShown_ = false;
        int64_t loopsLeft = 1;
        int loopStart = 0;
        bool loopSeen = false;
        int64_t delay = threaded_ ? 0 : 1;
        lastTime_ = clock_->NowMs();
        lag_ = 0;
        while ((loopsLeft != 0 || (flags_ & rfLoopForever)) && !terminated_) {
            activeFrame = loopStart;
            if (frameShown_) FireEvent(onLoopStart_);
            while (activeFrame < int(model.frames.Count()) && !terminated_) {
                const GifFrame& frame = model.frames[size_t(activeFrame.load())];
                if (frame.IsEmptyFrame()) break;
                // The frame is composed before the wait, so that the wait absorbs the time.
                int composed = -1;
                if (delay > 0) {
                    Compose(composed);
                    WaitBetweenFrames(delay);
                } else {
                    std::this_thread::yield();
                }
                if (terminated_) break;
                FireEvent(onFramePaint_);
                if (terminated_) break;

                for (const auto& item : frame.extensionItems.items) {
                    if (const auto* loop = dynamic_cast<const GifLoopExtension*>(item.get())) {
                        if (loopSeen) continue;
                        loopSeen = true;
                        loopsLeft = loop->loopCount;
                        loopStart = activeFrame;
                        if (threaded_ && (loop->loopCount == 0 || (flags_ & rfLoopForever))) loopsLeft = -1;
                    }
                }
                // Composed on the worker (again if OnFramePaint chose another frame); shown on
                // the GUI thread while the worker waits.
                if (composed != activeFrame) Compose(composed);
                CallOnGuiThread([this] { ShowFrame(); });
                if (terminated_) break;

                delay = FrameDelayUnits(frame, !threaded_);
                const int remembered = activeFrame;
                FireEvent(onFramePainted_);
                if (terminated_) break;
                if (activeFrame == remembered) ++activeFrame;
                if (!(flags_ & rfAnimate)) break;
            }
            if (loopsLeft > 0) --loopsLeft;
            if (!((flags_ & rfAnimate) && (flags_ & rfLoop))) break;
        }
        activeFrame = -1;
        FireEvent(onPaintEnd_);
    } catch (const std::exception&) {
        terminated_ = true;
        pendingError_ = std::current_exception();
    }
}

void GifPainter::Compose(int& composed) {
    composed = activeFrame;
    compositor_->Compose(size_t(composed), (flags_ & rfClearOnLoop) && composed == 0);
}

void GifPainter::WaitBetweenFrames(int64_t& delay) {
    const int64_t now = clock_->NowMs();
    if (speed_ > 0) {
        // The division by 2 truncates toward zero; the one by the speed rounds to nearest.
        const int64_t wanted = delay * delayUnitMs - (now - lastTime_ - lag_) / 2;
        delay = std::llround(double(wanted) * 100.0 / speed_);
        lag_ = delay;
    } else {
        delay = threaded_ ? -1 : int64_t(maximumDelay) * delayUnitMs;
    }
    lastTime_ = now;
    if (threaded_) {
        if ((delay > 0 || speed_ == 0) && wakeEvent_) {
            if (clock_->Wait(*wakeEvent_, delay)) {
                lag_ = 0;
                lastTime_ = clock_->NowMs();
            }
        }
        return;
    }
    if (delay <= 0) delay = 1;
    int64_t start = clock_->NowMs();
    while (delay > 0 && !terminated_) {
        clock_->Sleep(std::min<int64_t>(delay, 100));
        const int64_t t = clock_->NowMs();
        delay -= t - start;
        start = t;
        // The application keeps running between slices.
        GuiCallQueue::Instance().RunPending();
        if (QCoreApplication::instance()) QCoreApplication::processEvents();
    }
}

void GifPainter::ShowFrame() {
    if ((flags_ & rfCheckCanvas) && CanvasGone()) {
        terminated_ = true;
        return;
    }
    if (canvas_) {
        const RgbaCanvas& composed = compositor_->Canvas();
        const QImage picture = CanvasImage(composed);
        QPainter painter(canvas_);
        painter.setClipRect(target_);
        if (underlay_) {
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.drawImage(target_.topLeft(), *underlay_);
        }
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (flags_ & rfTile) {
            // The logical screen repeated from the target's corner: each frame lands at its
            // own offset in every tile.
            const int right = target_.left() + target_.width(), bottom = target_.top() + target_.height();
            for (int x = target_.left(); x < right && composed.width > 0; x += composed.width)
                for (int y = target_.top(); y < bottom && composed.height > 0; y += composed.height)
                    painter.drawImage(QPoint(x, y), picture);
        } else {
            painter.drawImage(target_, picture);
        }
    }
    frameShown_ = true;
    image_->Changed();
}

void GifPainter::Finish() {
    if (GifPicture* image = image_) {
        image->AssertGuiThread();
        if (ownerSlot_ && *ownerSlot_ == this) *ownerSlot_ = nullptr;
        if (pendingError_ && threaded_) image->lastPainterError_ = pendingError_;
        image->Remove(this);
    }
    image_ = nullptr;
    underlay_.reset();
    underlayCharge_.reset();
    compositor_.reset();
}

}  // namespace torvana::gif
