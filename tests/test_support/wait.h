#pragma once
// Waiting for what a test needs rather than for a fixed time: the condition is asked again
// every few milliseconds until it holds or the limit has passed.

#include <chrono>
#include <thread>

namespace testwait {

// True as soon as `ready()` is; false when it still is not after `limit`.
template <class Ready>
bool waitUntil(Ready ready, std::chrono::milliseconds limit = std::chrono::seconds(10),
               std::chrono::milliseconds step = std::chrono::milliseconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= end) return ready();
        std::this_thread::sleep_for(step);
    }
    return true;
}

}  // namespace testwait
