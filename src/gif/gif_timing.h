#pragma once
// How long each frame of an animated GIF stays, for every animator of the program (the Qt
// painter and the Windows player), in hundredths of a second per frame: a delay of 0 (or no
// graphic control extension) waits defaultDelay; smaller non-zero delays are raised to
// minimumDelay, so a picture that asks for 0.01 s frames cannot spin the processor; an animator
// that runs inside one call may lower larger ones to maximumDelay. Each unit lasts delayUnitMs
// at normal speed.

#include <algorithm>
#include <cstdint>

#include "gif/gif_image.h"

namespace torvana::gif {

constexpr int delayUnitMs = 12;
constexpr int defaultDelay = 10;
constexpr int minimumDelay = 3;
constexpr int maximumDelay = 1000;

// The frame's delay in units after the rules above; `capAtMaximum` applies maximumDelay.
inline int64_t FrameDelayUnits(const GifFrame& frame, bool capAtMaximum) {
    if (!frame.controlBlock || frame.controlBlock->delayTime == 0) return defaultDelay;
    const int64_t delay = std::max<int64_t>(frame.controlBlock->delayTime, minimumDelay);
    return capAtMaximum ? std::min<int64_t>(delay, maximumDelay) : delay;
}

}  // namespace torvana::gif
