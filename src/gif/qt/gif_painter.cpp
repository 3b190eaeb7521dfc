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

#include "gif/gif_compositor.h"
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

void CopyInto(QImage& to, const QImage& from, const QRect& area) {
    QPainter p(&to);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(0, 0), from, area);
}

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
    : image_(&image),
      canvas_(canvas),
      target_(target),
      flags_(flags),
      speed_(image.SpeedPercent),
      threaded_(flags & rfThreaded),
      ownerSlot_(ownerSlot),
      clock_(image.Clock ? image.Clock : SystemPainterClock()),
      onPaintStart_(image.OnPaintStart),
      onFramePaint_(image.OnFramePaint),
      onFramePainted_(image.OnFramePainted),
      onLoopStart_(image.OnLoopStart),
      onPaintEnd_(image.OnPaintEnd) {
    if (ownerSlot_) *ownerSlot_ = this;
    GifImage& model = image.Model();
    if ((flags & rfThreaded) && (flags & rfAnimate) && model.frames.Count() > 1 && speed_ >= 0)
        wakeEvent_ = std::make_unique<WakeEvent>();

    if (image.ScreenColor) {
        background_ = *image.ScreenColor;
    } else if (model.header->globalColors.tripleCount > 0) {
        const uint32_t c = model.BackgroundColor();
        background_ = QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
    } else {
        background_ = QGuiApplication::palette().color(QPalette::Window);
    }

    std::set<int> disposals;
    if (flags & rfClearOnLoop) disposals.insert(2);
    for (size_t i = 0; i < model.frames.Count(); ++i) {
        if (const auto* control = model.frames[i].controlBlock) disposals.insert(control->DisposalCode());
    }
    const QRect source = canvas ? target : QRect();
    if (disposals.count(2) && (flags & rfTransparent)) {
        backgroundCopy_ = std::make_unique<QImage>(target.size(), QImage::Format_ARGB32_Premultiplied);
        backgroundCopy_->fill(Qt::transparent);
        if (canvas) CopyInto(*backgroundCopy_, *canvas, source);
    }
    if (disposals.count(2) || disposals.count(3)) {
        compositeBuffer_ = std::make_unique<QImage>(target.size(), QImage::Format_ARGB32_Premultiplied);
        compositeBuffer_->fill(Qt::transparent);
        if (canvas) CopyInto(*compositeBuffer_, *canvas, source);
        saveBuffer_ = std::make_unique<QImage>(target.size(), QImage::Format_ARGB32_Premultiplied);
        saveBuffer_->fill(Qt::transparent);
    }
    if ((flags & rfCheckCanvas) && canvas) checkedSize_ = canvas->size();
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

GifFrame& GifPainter::ActiveFrame() { return image_->Model().frames[size_t(activeFrame.load())]; }

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
        previousDisposal_ = 1;
        lastTime_ = clock_->NowMs();
        lag_ = 0;
        while ((loopsLeft != 0 || (flags_ & rfLoopForever)) && !terminated_) {
            activeFrame = loopStart;
            if (frameShown_) FireEvent(onLoopStart_);
            while (activeFrame < int(model.frames.Count()) && !terminated_) {
                GifFrame& frame = ActiveFrame();
                if (frame.IsEmptyFrame()) break;
                if (delay > 0) {
                    // Rendering the frame before the wait lets the wait absorb its time.
                    FrameBitmap(*image_, frame);
                    WaitBetweenFrames(delay);
                } else {
                    std::this_thread::yield();
                }
                if (terminated_) break;
                FireEvent(onFramePaint_);
                if (terminated_) break;

                disposal_ = 1;
                for (const auto& item : frame.extensionItems.items) {
                    if (const auto* loop = dynamic_cast<const GifLoopExtension*>(item.get())) {
                        if (loopSeen) continue;
                        loopSeen = true;
                        loopsLeft = loop->loopCount;
                        loopStart = activeFrame;
                        if (threaded_ && (loop->loopCount == 0 || (flags_ & rfLoopForever))) loopsLeft = -1;
                    } else if (const auto* control = dynamic_cast<const GifGraphicControlExtension*>(item.get())) {
                        disposal_ = control->DisposalCode();
                    }
                }
                CallOnGuiThread([this] {
                    if (compositeBuffer_) {
                        ShowFrameBuffered();
                    } else {
                        ShowFrameDirect();
                    }
                });
                previousDisposal_ = disposal_;
                if (terminated_) break;

                delay = defaultDelay;
                if (frame.controlBlock && frame.controlBlock->delayTime != 0) {
                    delay = std::max<int64_t>(frame.controlBlock->delayTime, minimumDelay);
                    if (delay > maximumDelay && !threaded_) delay = maximumDelay;
                }
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

void GifPainter::ShowFrameBuffered() {
    if ((flags_ & rfCheckCanvas) && CanvasGone()) {
        terminated_ = true;
        return;
    }
    GifFrame& frame = ActiveFrame();
    const bool clearFirst = (flags_ & rfClearOnLoop) && activeFrame == 0;
    const bool transparent = flags_ & rfTransparent, tile = flags_ & rfTile;
    const QRect whole(QPoint(0, 0), target_.size());

    // The surface by disposal: 3 draws on the target (after 0/1) or on a copy of the composite
    // (after 2/3), so the composite never holds a frame that is to vanish; 2 and the reserved
    // 4-7 draw on the composite like 0 and 1, and 2 restores its area afterwards.
    QImage* surface = compositeBuffer_.get();
    QRect rect = whole;
    bool copyToTarget = true;
    if (disposal_ == 3) {
        if (previousDisposal_ == 2 || previousDisposal_ == 3) {
            surface = saveBuffer_.get();
        } else {
            surface = canvas_;
            rect = target_;
            copyToTarget = false;
        }
    }
    if (!surface) return;
    if (clearFirst) RestoreFrameArea(frame);
    if (surface == saveBuffer_.get()) *saveBuffer_ = compositeBuffer_->copy();
    {
        QPainter painter(surface);
        DrawFrame(*image_, frame, painter, rect, transparent, tile);
    }
    if (copyToTarget && canvas_) {
        QPainter painter(canvas_);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(target_.topLeft(), *surface);
    }
    if (disposal_ == 2) RestoreFrameArea(frame);
    frameShown_ = true;
    image_->Changed();
}

void GifPainter::ShowFrameDirect() {
    if ((flags_ & rfCheckCanvas) && CanvasGone()) {
        terminated_ = true;
        return;
    }
    if (canvas_) {
        QPainter painter(canvas_);
        DrawFrame(*image_, ActiveFrame(), painter, target_, flags_ & rfTransparent, flags_ & rfTile);
    }
    frameShown_ = true;
    image_->Changed();
}

// Puts the frame's area of the composite back to the background. The composite's origin is
// the target's top-left corner, so areas are computed on a rectangle of the target's size at
// (0, 0) whatever the target's position.
void GifPainter::RestoreFrameArea(GifFrame& frame) {
    const GifImage& model = image_->Model();
    const QRect whole(QPoint(0, 0), target_.size());
    const bool transparent = flags_ & rfTransparent, tile = flags_ & rfTile;
    QPainter painter(compositeBuffer_.get());
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QSize tileSize(frame.frameWidth, frame.frameHeight);
    if (transparent && backgroundCopy_) {
        if (tile) {
            for (const QPoint& at : TilePositions(model, frame, whole))
                painter.drawImage(at, *backgroundCopy_, QRect(at, tileSize));
        } else {
            const QRect area = MapFrameRect(model, frame, whole);
            painter.drawImage(area.topLeft(), *backgroundCopy_, area);
        }
    } else if (!transparent && tile && frame.frameWidth != model.Width() && frame.frameHeight != model.Height()) {
        const QColor colour = image_->ScreenColor ? *image_->ScreenColor : background_;
        for (const QPoint& at : TilePositions(model, frame, whole)) painter.fillRect(QRect(at, tileSize), colour);
    } else {
        painter.fillRect(MapFrameRect(model, frame, whole), background_);
    }
}

void GifPainter::Finish() {
    if (GifPicture* image = image_) {
        std::lock_guard lock(image->painterLock_);
        if (ownerSlot_ && *ownerSlot_ == this) *ownerSlot_ = nullptr;
        if (pendingError_ && threaded_) image->lastPainterError_ = pendingError_;
        image->Remove(this);
    }
    image_ = nullptr;
    compositeBuffer_.reset();
    saveBuffer_.reset();
    backgroundCopy_.reset();
}

}  // namespace torvana::gif
