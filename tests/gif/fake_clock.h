#pragma once
// A painter clock for tests: time is virtual and moves only when a painter waits or a test
// moves it, so timing is checked without real waiting. Waits of `blockFrom` milliseconds or
// more (and waits without limit) really block until the painter is stopped.

#include <mutex>
#include <vector>

#include "gif/qt/gif_painter.h"

class FakeClock : public torvana::gif::PainterClock {
public:
    explicit FakeClock(int64_t blockFrom = INT64_MAX) : blockFrom_(blockFrom) {}

    int64_t NowMs() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    bool Wait(torvana::gif::WakeEvent& event, int64_t ms) override {
        {
            std::lock_guard lock(mutex_);
            waits_.push_back(ms);
        }
        if (ms < 0 || ms >= blockFrom_) return event.WaitFor(-1);
        Advance(ms);
        return false;
    }
    void Sleep(int64_t ms) override {
        {
            std::lock_guard lock(mutex_);
            sleeps_.push_back(ms);
        }
        Advance(ms);
    }
    void Advance(int64_t ms) {
        std::lock_guard lock(mutex_);
        now_ += ms;
    }
    std::vector<int64_t> Waits() {
        std::lock_guard lock(mutex_);
        return waits_;
    }
    std::vector<int64_t> Sleeps() {
        std::lock_guard lock(mutex_);
        return sleeps_;
    }

private:
    std::mutex mutex_;
    int64_t now_ = 1000;
    int64_t blockFrom_;
    std::vector<int64_t> waits_, sleeps_;
};

// A clock for windows whose pictures animate by themselves: time moves only when the test
// moves it, and a threaded painter's wait between frames lasts until then (or until the
// painter is stopped). So a test sees exactly one more frame per step of the delay.
class StepClock : public torvana::gif::PainterClock {
public:
    int64_t NowMs() override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    bool Wait(torvana::gif::WakeEvent& event, int64_t ms) override {
        int64_t until;
        {
            std::lock_guard lock(mutex_);
            until = ms < 0 ? INT64_MAX : now_ + ms;
            ++waits_;
        }
        // The painter's event and this clock have a lock each: the wait looks at both in
        // short slices on the painter's thread.
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (now_ >= until) return false;
            }
            if (event.WaitFor(2)) return true;
        }
    }
    // Unthreaded painters wait on the GUI thread, which the test itself runs on: their
    // slices pass at once.
    void Sleep(int64_t ms) override { Advance(ms); }
    void Advance(int64_t ms) {
        std::lock_guard lock(mutex_);
        now_ += ms;
    }
    // How many waits between frames painters began on this clock.
    int Waits() {
        std::lock_guard lock(mutex_);
        return waits_;
    }

private:
    std::mutex mutex_;
    int64_t now_ = 1000;
    int waits_ = 0;
};
