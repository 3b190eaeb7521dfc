#pragma once
// The menu's one font: a subset of DejaVu Sans made at build time (Latin, Greek, Cyrillic),
// carried inside every player, drawn by one rasterizer, so every player draws the same pixels
// for the same text. A character the font lacks is drawn as the replacement character U+FFFD,
// so it is seen to be missing rather than left out.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "menu/menu_model.h"

namespace torvana::menu {

extern const unsigned char kMenuFontData[];
extern const size_t kMenuFontSize;

class MenuFont {
public:
    // The bundled font, made once.
    static const MenuFont& bundled();
    // A font from TrueType data, which must outlive the font; Error when it cannot be read.
    MenuFont(const unsigned char* data, size_t size);
    ~MenuFont();
    MenuFont(const MenuFont&) = delete;
    MenuFont& operator=(const MenuFont&) = delete;

    // Metrics at `pixels` pixels per em, rounded to whole pixels.
    int ascent(double pixels) const;
    int lineHeight(double pixels) const;
    // The advance of UTF-8 `text`, in pixels.
    int width(std::string_view text, double pixels) const;
    // `text` cut at a character boundary with "…" so it is at most `maxWidth` wide; the whole
    // text when it fits.
    std::string elided(std::string_view text, double pixels, int maxWidth) const;
    // Draws `text` with its baseline's left end at x, baseline, blending `colour` by the
    // glyphs' coverage, clipped to `clip`. With `underline` >= 0 the character at that index
    // (counted in characters) is underlined. Text that is not UTF-8 is read as a project file's
    // field is (project_text.h).
    void draw(Pixels& target, std::string_view text, double pixels, int x, int baseline, uint32_t colour,
              const HotspotRect& clip, int underline = -1) const;

    // The characters of a text, read as a project file's field is (project_text.h).
    static std::u32string characters(std::string_view text);

private:
    struct Face;
    int glyphOf(char32_t c) const;
    std::unique_ptr<Face> face_;
};

// A caption without its "&" and the index of the character it marks (-1 for none); "&&" is an
// ampersand.
struct Caption {
    std::string text;
    int accessIndex = -1;
};
Caption parseCaption(std::string_view caption);

}  // namespace torvana::menu
