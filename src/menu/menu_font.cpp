#include "menu/menu_font.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "project/errors.h"
#include "project/project_text.h"

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wconversion"
#endif
#include <stb/stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace torvana::menu {

struct MenuFont::Face {
    stbtt_fontinfo info{};
    int ascent = 0, descent = 0, lineGap = 0;
    int replacement = 0;
};

const MenuFont& MenuFont::bundled() {
    static const MenuFont font(kMenuFontData, kMenuFontSize);
    return font;
}

MenuFont::MenuFont(const unsigned char* data, size_t size) : face_(std::make_unique<Face>()) {
    const int offset = size >= 12 ? stbtt_GetFontOffsetForIndex(data, 0) : -1;
    if (offset < 0 || !stbtt_InitFont(&face_->info, data, offset)) throw torvana::Error("the menu's font cannot be read");
    stbtt_GetFontVMetrics(&face_->info, &face_->ascent, &face_->descent, &face_->lineGap);
    face_->replacement = stbtt_FindGlyphIndex(&face_->info, 0xFFFD);
}

MenuFont::~MenuFont() = default;

int MenuFont::glyphOf(char32_t c) const {
    const int glyph = stbtt_FindGlyphIndex(&face_->info, int(c));
    return glyph != 0 ? glyph : face_->replacement;
}

int MenuFont::ascent(double pixels) const {
    return int(std::lround(face_->ascent * stbtt_ScaleForMappingEmToPixels(&face_->info, float(pixels))));
}

int MenuFont::lineHeight(double pixels) const {
    const float scale = stbtt_ScaleForMappingEmToPixels(&face_->info, float(pixels));
    return int(std::lround((face_->ascent - face_->descent) * scale));
}

std::u32string MenuFont::characters(std::string_view text) {
    const std::string utf8 = projectText(text);
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) out.push_back(nextCharacter(utf8, i));
    return out;
}

namespace {

// Advances in 1/64 pixel, so a text measures the same wherever it is cut.
int advance64(const stbtt_fontinfo& info, float scale, int glyph, int nextGlyph) {
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&info, glyph, &advance, &bearing);
    if (nextGlyph > 0) advance += stbtt_GetGlyphKernAdvance(&info, glyph, nextGlyph);
    return int(std::lround(advance * scale * 64));
}

uint32_t blend(uint32_t under, uint32_t colour, int coverage) {
    const auto channel = [&](int shift) {
        const int a = int(under >> shift & 0xFF), b = int(colour >> shift & 0xFF);
        return uint32_t((a * (255 - coverage) + b * coverage + 127) / 255) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

}  // namespace

int MenuFont::width(std::string_view text, double pixels) const {
    const std::u32string chars = characters(text);
    const float scale = stbtt_ScaleForMappingEmToPixels(&face_->info, float(pixels));
    int total = 0;
    for (size_t i = 0; i < chars.size(); ++i)
        total += advance64(face_->info, scale, glyphOf(chars[i]), i + 1 < chars.size() ? glyphOf(chars[i + 1]) : 0);
    return (total + 63) / 64;
}

std::string MenuFont::elided(std::string_view text, double pixels, int maxWidth) const {
    if (width(text, pixels) <= maxWidth) return std::string(text);
    static constexpr std::string_view ellipsis = "\xE2\x80\xA6";
    // The longest start of the text that fits with the ellipsis after it.
    std::string kept;
    std::string best(ellipsis);
    for (const char32_t c : characters(text)) {
        appendUtf8(kept, c);
        std::string candidate = kept + std::string(ellipsis);
        if (width(candidate, pixels) > maxWidth) break;
        best = std::move(candidate);
    }
    return best;
}

void MenuFont::draw(Pixels& target, std::string_view text, double pixels, int x, int baseline, uint32_t colour,
                    const HotspotRect& clip, int underline) const {
    const std::u32string chars = characters(text);
    const stbtt_fontinfo& info = face_->info;
    const float scale = stbtt_ScaleForMappingEmToPixels(&info, float(pixels));
    const int left = std::max(0, clip.x), top = std::max(0, clip.y);
    const int right = std::min(target.width, clip.x + clip.width), bottom = std::min(target.height, clip.y + clip.height);
    const auto plot = [&](int px, int py, int coverage) {
        if (coverage <= 0 || px < left || py < top || px >= right || py >= bottom) return;
        uint32_t& dst = target.argb[size_t(py) * size_t(target.width) + size_t(px)];
        dst = blend(dst, colour, std::min(coverage, 255));
    };
    int pen64 = x * 64;
    std::vector<unsigned char> bitmap;
    for (size_t i = 0; i < chars.size(); ++i) {
        const int glyph = glyphOf(chars[i]);
        const int next = i + 1 < chars.size() ? glyphOf(chars[i + 1]) : 0;
        const int step = advance64(info, scale, glyph, next);
        const int penX = pen64 >> 6;
        const float shift = float(pen64 & 63) / 64.0f;
        int x0, y0, x1, y1;
        stbtt_GetGlyphBitmapBoxSubpixel(&info, glyph, scale, scale, shift, 0, &x0, &y0, &x1, &y1);
        const int w = x1 - x0, h = y1 - y0;
        if (w > 0 && h > 0 && w <= 4096 && h <= 4096) {
            bitmap.assign(size_t(w) * size_t(h), 0);
            stbtt_MakeGlyphBitmapSubpixel(&info, bitmap.data(), w, h, w, scale, scale, shift, 0, glyph);
            for (int gy = 0; gy < h; ++gy)
                for (int gx = 0; gx < w; ++gx)
                    plot(penX + x0 + gx, baseline + y0 + gy, bitmap[size_t(gy) * size_t(w) + size_t(gx)]);
        }
        if (int(i) == underline) {
            const int thickness = std::max(1, int(std::lround(pixels / 12)));
            const int end = (pen64 + step) >> 6;
            for (int t = 0; t < thickness; ++t)
                for (int px = penX; px < end; ++px) plot(px, baseline + thickness + t, 255);
        }
        pen64 += step;
    }
}

Caption parseCaption(std::string_view caption) {
    Caption out;
    int characters = 0;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            ++i;
            if (caption[i] != '&' && out.accessIndex < 0) out.accessIndex = characters;
        }
        out.text += caption[i];
        if ((uint8_t(caption[i]) & 0xC0) != 0x80) ++characters;
    }
    return out;
}

}  // namespace torvana::menu
