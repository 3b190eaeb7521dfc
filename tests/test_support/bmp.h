#pragma once
// Uncompressed 24-bit BMP files of one colour, for tests and benchmarks that need real pictures
// on disk: the 54-byte header (file header and BITMAPINFOHEADER, bottom-up rows) and rows
// padded to four bytes.

#include <cstdint>
#include <string>

namespace testbmp {

// A `width` x `height` BMP whose every pixel is `rgb` (0xRRGGBB); black by default.
inline std::string solid(int width, int height, uint32_t rgb = 0) {
    const uint32_t rowBytes = (uint32_t(width) * 3 + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * uint32_t(height);
    std::string out = "BM";
    const auto u32 = [&out](uint32_t v) { for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF); };
    const auto u16 = [&out](uint16_t v) { out += char(v & 0xFF); out += char(v >> 8); };
    u32(54 + pixelBytes);  // file size
    u32(0);                // reserved
    u32(54);               // offset of the pixels
    u32(40);               // BITMAPINFOHEADER
    u32(uint32_t(width));
    u32(uint32_t(height));
    u16(1);   // planes
    u16(24);  // bits per pixel
    u32(0);   // no compression
    u32(pixelBytes);
    u32(2835);  // 72 dots per inch, in dots per metre
    u32(2835);
    u32(0);  // colours used
    u32(0);  // colours important
    std::string row;
    for (int x = 0; x < width; ++x) row += {char(rgb & 0xFF), char((rgb >> 8) & 0xFF), char((rgb >> 16) & 0xFF)};
    row.resize(rowBytes, '\0');
    out.reserve(out.size() + pixelBytes);
    for (int y = 0; y < height; ++y) out += row;
    return out;
}

}  // namespace testbmp
