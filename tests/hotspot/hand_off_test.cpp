#include <gtest/gtest.h>

#include <optional>

#include "hotspot/hand_off.h"
#include "project/errors.h"

using namespace torvana;

namespace {

// Hotspot i labelled as hotspot `labelOf` (itself by default; 0: no label, as the editor hands back).
Hotspot h(int i, int labelOf = -1) {
    const std::string n = std::to_string(i);
    return {"app" + n + ".exe", "over" + n + ".gif", n, n, "", "click" + n + ".wav",
            labelOf == 0 ? "" : "Does " + std::to_string(labelOf < 0 ? i : labelOf)};
}

ProjectState withHotspots(int count) {
    ProjectState s;
    for (int i = 1; i <= count; ++i) s.setHotspot(i, h(i));
    s.hotspotCount = count;
    return s;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(HandOffFiles, FormatsAreOneValuePerLineWithCrLf) {
    EXPECT_EQ(formatAcceptFile("3", {"a.exe", "r.gif", " 7", "$10", "", "c.wav"}),
              "3\r\na.exe\r\nr.gif\r\n 7\r\n$10\r\n\r\nc.wav\r\n");
    EXPECT_EQ(formatDeleteFile("12"), "12\r\n");
    const AcceptedHotspot a = parseAcceptFile(formatAcceptFile("3", h(3)));
    EXPECT_EQ(a.number, 3);
    EXPECT_EQ(a.fields, h(3, 0));
    EXPECT_EQ(parseDeleteFile("12\r\n"), 12);
}

TEST(HandOffFiles, AValueWithALineBreakOrCtrlZIsRefused) {
    const std::string tail = " holds a line break or a Ctrl+Z, which the hand-off file cannot keep; nothing was written";
    EXPECT_EQ(errorOf([] { formatAcceptFile("3", {"setup.exe\n-s", "r.gif", "1", "1", "", ""}); }),
              "Application \"setup.exe\\x0A-s\"" + tail);
    EXPECT_EQ(errorOf([] { formatAcceptFile("3", {"a.exe", "r.gif", "1\r", "1", "", ""}); }),
              "X coordinate \"1\\x0D\"" + tail);
    EXPECT_EQ(errorOf([] { formatAcceptFile("3", {"a.exe", "r.gif", "1", "1", "", "c\x1a.wav"}); }),
              "Click WAV \"c\\x1A.wav\"" + tail);
    EXPECT_EQ(errorOf([] { formatDeleteFile("1\n2"); }), "HotSpot number \"1\\x0A2\"" + tail);
}

TEST(HandOffFiles, MissingLinesReadEmptyAndBadNumbersFail) {
    const AcceptedHotspot a = parseAcceptFile("2\r\nonly.exe");
    EXPECT_EQ(a.number, 2);
    EXPECT_EQ(a.fields.application, "only.exe");
    EXPECT_EQ(a.fields.rolloverImage, "");
    EXPECT_EQ(a.fields.clickWav, "");
    EXPECT_EQ(errorOf([] { parseAcceptFile("abc\r\n"); }), "'abc' is not a valid integer value");
    EXPECT_EQ(errorOf([] { parseAcceptFile(""); }), "'' is not a valid integer value");
    EXPECT_EQ(errorOf([] { parseDeleteFile("1.5\r\n"); }), "'1.5' is not a valid integer value");
}

TEST(DeleteHotspot, TheHotspotsAfterMoveDown) {
    ProjectState s = withHotspots(3);
    s.setHotspot(4, h(4));  // left over from an earlier hotspot
    EXPECT_TRUE(deleteHotspot(s, 2));
    EXPECT_EQ(s.hotspotCount, 2);
    EXPECT_EQ(s.hotspot(1), h(1));
    EXPECT_EQ(s.hotspot(2), h(3));
    EXPECT_EQ(s.hotspot(3), h(4));  // what slot 4 held comes down
    EXPECT_FALSE(s.projectSaved);

    ProjectState one = withHotspots(1);
    one.projectSaved = true;
    EXPECT_TRUE(deleteHotspot(one, 1));
    EXPECT_EQ(one.hotspotCount, 0);
    EXPECT_EQ(one.hotspot(1), Hotspot{});
    EXPECT_TRUE(one.projectSaved);
}

TEST(DeleteHotspot, TheFreeSlotAfterTheLastChangesNothing) {
    ProjectState s = withHotspots(3);
    EXPECT_FALSE(deleteHotspot(s, 4));
    EXPECT_FALSE(deleteHotspot(s, 99));
    EXPECT_EQ(s.hotspotCount, 3);
    EXPECT_EQ(s.hotspot(3), h(3));
}

TEST(DeleteHotspot, WithAllNinetyNineTheLastSlotBecomesEmpty) {
    ProjectState s = withHotspots(99);
    EXPECT_TRUE(deleteHotspot(s, 1));
    EXPECT_EQ(s.hotspotCount, 98);
    EXPECT_EQ(s.hotspot(1), h(2));
    EXPECT_EQ(s.hotspot(98), h(99));
    EXPECT_EQ(s.hotspot(99), Hotspot{});
}

TEST(AcceptHotspot, ReplacesASlotOrAddsTheNextOne) {
    ProjectState s = withHotspots(3);
    acceptHotspot(s, {2, h(20, 0)});
    EXPECT_EQ(s.hotspot(2), h(20, 2));  // the label is the layout window's, not the editor's
    EXPECT_EQ(s.hotspotCount, 3);
    EXPECT_EQ(s.editedHotspot, 2);
    acceptHotspot(s, {4, h(40)});
    EXPECT_EQ(s.hotspotCount, 4);
    acceptHotspot(s, {99, h(99)});
    EXPECT_EQ(s.hotspotCount, 99);
}

TEST(HandOffNumbers, OutsideTheSlotsAreRefusedAndChangeNothing) {
    for (int32_t bad : {0, -1, 100, 2147483647, INT32_MIN}) {
        ProjectState s = withHotspots(3);
        const std::string expected = "The hotspot editor handed back hotspot " + std::to_string(bad) +
                                     ", but hotspots are numbered 1 to 99; nothing was changed";
        EXPECT_EQ(errorOf([&] { acceptHotspot(s, {bad, h(9)}); }), expected);
        EXPECT_EQ(errorOf([&] { deleteHotspot(s, bad); }), expected);
        EXPECT_EQ(s.hotspotCount, 3);
        for (int i = 1; i <= 3; ++i) EXPECT_EQ(s.hotspot(i), h(i));
    }
}

TEST(HotspotFields, ChecksInOrderWithTheFieldAtFault) {
    struct Case {
        Hotspot fields;
        std::optional<HotspotField> field;  // none: accepted
        std::string message;
    };
    using enum HotspotField;
    const std::vector<Case> cases = {
        {{"", "", "", "", "", ""}, application, "Application is required."},
        {{"a.exe", "", "0", "0", "", ""}, rolloverImage, "Rollover Image is required."},
        {{"a.exe", "r.gif", "", "", "", ""}, x, "X coordinate is required."},
        {{"a.exe", "r.gif", "0", "", "", ""}, x, "X coordinate has to be from 1 to 640."},
        {{"a.exe", "r.gif", "$281", "", "", ""}, x, "X coordinate has to be from 1 to 640."},
        {{"a.exe", "r.gif", " 640", "", "", ""}, y, "Y coordinate is required."},
        {{"a.exe", "r.gif", "1", "481", "", ""}, y, "Y coordinate has to be from 1 to 480."},
        {{"a.exe", "r.gif", "1", "-1", "", ""}, y, "Y coordinate has to be from 1 to 480."},
        {{"exit", "r.gif", "1", "0x1E0", "", ""}, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.application + "|" + c.fields.x + "|" + c.fields.y);
        const auto refusal = checkHotspotFields(c.fields);
        ASSERT_EQ(refusal.has_value(), c.field.has_value());
        if (refusal) {
            EXPECT_EQ(refusal->field, *c.field);
            EXPECT_EQ(refusal->message, c.message);
        }
    }
    // A coordinate that does not convert is the conversion's error, not a refusal.
    EXPECT_EQ(errorOf([] { checkHotspotFields({"a.exe", "r.gif", "12px", "1", "", ""}); }),
              "'12px' is not a valid integer value");
}
