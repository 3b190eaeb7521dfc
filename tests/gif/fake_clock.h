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
