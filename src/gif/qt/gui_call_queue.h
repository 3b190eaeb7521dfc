#pragma once
// Our own queue of calls for the GUI thread. A painter's worker thread never draws and never
// raises events itself: it puts each step on this queue and blocks until the GUI thread has
// run it. The GUI thread runs the queue from its event loop (each call writes a wake-up byte
// into a pipe the GUI thread watches, so a worker never calls into Qt) and also whenever it
// waits for a painter (WaitUntil), so a GUI thread that waits for a worker which waits for the
// GUI thread never deadlocks. While it waits it runs only these calls, no other event of the
// application.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace torvana::gif {

// The GUI thread is the application object's thread (any thread while there is none).
bool OnGuiThread();
// Ends the program with a message naming `what` when called off the GUI thread: code that
// relies on running there (painters' lists, drawing, events) checks it instead of locking.
void AssertGuiThread(const char* what);

class GuiCallQueue {
public:
    static GuiCallQueue& Instance();

    // From a worker thread (never the GUI thread, which would wait for itself): runs `call`
    // on the GUI thread and returns when it has run. An exception thrown by the call is
    // thrown again here.
    void Call(std::function<void()> call);
    // From a worker thread: queues `call` for the GUI thread and returns at once.
    void Post(std::function<void()> call);

    // On the GUI thread: runs the calls queued so far; returns how many ran.
    int RunPending();
    // On the GUI thread: runs queued calls until `done` holds. `done` is looked at again after
    // every call and whenever Notify is called.
    void WaitUntil(const std::function<bool()>& done);
    // Makes a WaitUntil look at its condition again (a painter thread has ended, ...).
    void Notify();
    // On the GUI thread, before a worker is started: makes sure the event loop watches the
    // wake-up pipe.
    void PrepareWakeUp();

private:
    GuiCallQueue() = default;
    void WakeEventLoop();

    // The wake-up pipe: made once on the GUI thread before the first worker starts, then only
    // written by workers and read by the GUI thread's notifier.
    int wakeRead_ = -1, wakeWrite_ = -1;
    // Guards calls_ and notifications_; never held while a call runs.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> calls_;
    unsigned long notifications_ = 0;
};

}  // namespace torvana::gif
