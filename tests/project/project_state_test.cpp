#include <gtest/gtest.h>

#include "project/project_state.h"

using torvana::ProjectState;

TEST(ProjectState, StartsWithNoProject) {
    ProjectState s;
    EXPECT_FALSE(s.projectOpen());
    EXPECT_EQ(s.hotspotCount, 0);
    EXPECT_FALSE(s.projectSaved);
    EXPECT_TRUE(s.warnMe);
    EXPECT_FALSE(s.copyFailed);
    EXPECT_EQ(s.hotspotApplication[1], "");
    EXPECT_EQ(s.hotspotClickWav[99], "");
}

TEST(ProjectState, SlotsOutside1To99AreRefused) {
    ProjectState s;
    EXPECT_THROW(s.hotspotApplication[0] = "x", std::out_of_range);
    EXPECT_THROW(s.hotspotX[100] = "x", std::out_of_range);
    EXPECT_THROW((void)s.hotspot(-1), std::out_of_range);
}

TEST(ProjectState, ClearingTouchesOnlyTheGivenSlots) {
    ProjectState s;
    const torvana::Hotspot h{"a.exe", "r.gif", "1", "2", "o.wav", "c.wav"};
    s.setHotspot(20, h);
    s.setHotspot(21, h);
    s.clearSlots(1, torvana::kClearedSlots);
    EXPECT_EQ(s.hotspot(20), torvana::Hotspot{});
    EXPECT_EQ(s.hotspot(21), h);
}
