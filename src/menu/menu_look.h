#pragma once
// The one look of the menu: the window's parts, their places and colours. Both players draw
// with these numbers and the web page menu takes them into its style, so a disc's menu looks
// the same wherever it starts. Sizes are unscaled pixels (96 dots per inch); colours are
// 0xAARRGGBB.

#include <cstdint>
#include <string_view>

#include "project/project_file.h"
#include "project/staged_menu.h"

namespace torvana::menu {

// The bar under the 640 x 480 stage: there when there are notes or buttons.
constexpr int kBarHeight = 36;
constexpr int kBarMargin = 8;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
constexpr int kButtonSpacing = 6;

// Text: the bundled font at 12 pixels (9 points at 96 dots per inch).
constexpr int kFontPixels = 12;

constexpr uint32_t kStageColour = 0xFF000000u;        // where no picture covers the stage
constexpr uint32_t kBarColour = 0xFF282828u;          // RGB 40, 40, 40
constexpr uint32_t kNoteColour = 0xFFEBEBEBu;         // the note line's text
constexpr uint32_t kButtonFace = 0xFFFFFFFFu;         // flat white buttons
constexpr uint32_t kButtonHoverFace = 0xFFE5F1FBu;    // under the pointer
constexpr uint32_t kButtonPressedFace = 0xFFCCE4F7u;  // held down
constexpr uint32_t kButtonBorder = 0xFF8C8C8Cu;
constexpr uint32_t kButtonText = 0xFF000000u;
// The keyboard's mark on a button: a ring of kFocusRingWidth pixels inside its edge.
constexpr uint32_t kFocusRing = 0xFF0078D7u;
constexpr int kFocusRingWidth = 2;
// The keyboard's mark around a hotspot: black with white dashes of kFocusDash pixels, which
// shows on any picture.
constexpr uint32_t kFocusEdgeDark = 0xFF000000u;
constexpr uint32_t kFocusEdgeLight = 0xFFFFFFFFu;
constexpr int kFocusDash = 3;

// The looks of the buttons the menu draws for a project's button hotspots (ButtonLook=<name>):
// a face, its text, a border `border` pixels wide, corners rounded by `radius` pixels, and with
// `bevel` a light top-left and a dark bottom-right edge that swap while it is pressed. Pointed
// at, the face turns towards black (a light face) or white (a dark one); pressed, further. The
// keyboard's mark is a ring of kFocusRing inside the edge, as on the bar's buttons.
struct ButtonLook {
    const char* name;
    uint32_t face;
    uint32_t text;
    uint32_t border;
    int radius;
    bool bevel;
};
inline constexpr ButtonLook kButtonLooks[] = {
    {"flat", 0xFF0067B8u, 0xFFFFFFFFu, 0xFF004E8Cu, 0, false},
    {"raised", 0xFFE1E1E1u, 0xFF000000u, 0xFF3C3C3Cu, 0, true},
    {"rounded", 0xFF2D2D30u, 0xFFFFFFFFu, 0xFF0F0F10u, 8, false},
};
// The look of that name (any case); the first, "flat", for an empty or unknown one.
const ButtonLook& buttonLook(std::string_view name);
// The colours a project's buttons are drawn in: its look's, with the project's own colours over
// them (a face of its own gets a border of its own, darker), the face pointed at and pressed.
struct ButtonColours {
    uint32_t face, hover, pressed, text, border;
};
ButtonColours buttonColours(const ButtonLook& look, const torvana::ButtonStyle& style);
constexpr int kSpotButtonBorder = 1;
constexpr int kSpotButtonPadding = 6;  // between the edge and the text
constexpr uint32_t kBevelLight = 0xFFFFFFFFu;
constexpr uint32_t kBevelDark = 0xFF6E6E6Eu;

// The bar's parts relative to its top-left corner: the note line takes the room left of the
// buttons; Exit is at the right, Browse left of it.
struct BarLayout {
    int height = 0;  // 0: no bar
    HotspotRect note;
    HotspotRect browse;  // width 0 when not shown
    HotspotRect exit;
};
BarLayout layoutBar(bool hasNotes, bool showBrowse, bool showExit);

// The button captions; the character after "&" is underlined and pressed with Alt.
// The label's tooltip: shown when the pointer has rested this long on a hotspot, or at once when
// the keyboard reaches it; black text on a pale yellow box, at most this wide.
constexpr int kTooltipDelayMs = 600;
constexpr int kTooltipPadding = 4;
constexpr int kTooltipMaxWidth = 400;
constexpr uint32_t kTooltipFace = 0xFFFFFFE1u;
constexpr uint32_t kTooltipBorder = 0xFF767676u;
constexpr uint32_t kTooltipText = 0xFF000000u;
constexpr const char* kBrowseCaption = "&Browse";
constexpr const char* kExitCaption = "E&xit";

}  // namespace torvana::menu
