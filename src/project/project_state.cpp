#include "project/project_state.h"

namespace torvana {

Hotspot ProjectState::hotspot(int slot) const {
    return Hotspot{hotspotApplication[slot], hotspotRolloverImage[slot], hotspotX[slot],
                   hotspotY[slot],           hotspotRolloverWav[slot],   hotspotClickWav[slot],
                   hotspotLabel[slot],       hotspotShapes.at(size_t(slot - 1))};
}

void ProjectState::setHotspot(int slot, const Hotspot& h) {
    hotspotApplication[slot] = h.application;
    hotspotRolloverImage[slot] = h.rolloverImage;
    hotspotX[slot] = h.x;
    hotspotY[slot] = h.y;
    hotspotRolloverWav[slot] = h.rolloverWav;
    hotspotClickWav[slot] = h.clickWav;
    hotspotLabel[slot] = h.label;
    hotspotShapes.at(size_t(slot - 1)) = h.shape;
}

void ProjectState::clearSlots(int first, int last) {
    for (int slot = first; slot <= last; ++slot) setHotspot(slot, Hotspot{});
}

void ProjectState::clearLabels() {
    for (int slot = 1; slot <= kMaxHotspots; ++slot) hotspotLabel[slot].clear();
}

}  // namespace torvana
