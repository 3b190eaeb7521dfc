#include "gif/qt/gui_call_queue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <exception>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace torvana::gif {

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || app->thread() == QThread::currentThread();
}

void AssertGuiThread(const char* what) {
    if (!OnGuiThread()) qFatal("%s runs off the GUI thread", what);
}

GuiCallQueue& GuiCallQueue::Instance() {
    static GuiCallQueue queue;
    return queue;
}

void GuiCallQueue::PrepareWakeUp() {
    AssertGuiThread("GuiCallQueue::PrepareWakeUp");
#ifdef Q_OS_UNIX
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (wakeRead_ < 0) {
        int fds[2];
        if (::pipe(fds) != 0) return;  // WaitUntil still runs the calls
        for (int fd : fds) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
    // The notifier lives with the application object, and again with a new one.
    static QPointer<QSocketNotifier> notifier;
    if (!notifier) {
        notifier = new QSocketNotifier(wakeRead_, QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, app, [this] {
            char bytes[256];
            while (::read(wakeRead_, bytes, sizeof bytes) > 0) {
            }
            RunPending();
        });
    }
#endif
}

void GuiCallQueue::WakeEventLoop() {
    // A wake-up that finds the queue already drained does nothing.
#ifdef Q_OS_UNIX
    if (wakeWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);  // a full pipe wakes anyway
    }
#else
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, [] { GuiCallQueue::Instance().RunPending(); }, Qt::QueuedConnection);
    }
#endif
}

void GuiCallQueue::Call(std::function<void()> call) {
    if (QCoreApplication::instance() && OnGuiThread())
        qFatal("GuiCallQueue::Call from the GUI thread would wait for itself");
    struct Done {
        bool ran = false;
        std::exception_ptr error;
    };
    auto done = std::make_shared<Done>();
    {
        std::lock_guard lock(mutex_);
        calls_.push_back([this, done, call = std::move(call)] {
            try {
                call();
            } catch (...) {
                done->error = std::current_exception();
            }
            std::lock_guard inner(mutex_);
            done->ran = true;
        });
    }
    changed_.notify_all();
    WakeEventLoop();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done->ran; });
    if (done->error) std::rethrow_exception(done->error);
}

void GuiCallQueue::Post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    changed_.notify_all();
    WakeEventLoop();
}

int GuiCallQueue::RunPending() {
    AssertGuiThread("GuiCallQueue::RunPending");
    int ran = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(mutex_);
            if (calls_.empty()) break;
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
        ++ran;
        // Wakes the worker whose call this was (and any WaitUntil).
        changed_.notify_all();
    }
    return ran;
}

void GuiCallQueue::WaitUntil(const std::function<bool()>& done) {
    for (;;) {
        unsigned long seen;
        {
            std::lock_guard lock(mutex_);
            seen = notifications_;
        }
        RunPending();
        if (done()) return;
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !calls_.empty() || notifications_ != seen; });
    }
}

void GuiCallQueue::Notify() {
    {
        std::lock_guard lock(mutex_);
        ++notifications_;
    }
    changed_.notify_all();
}

}  // namespace torvana::gif
