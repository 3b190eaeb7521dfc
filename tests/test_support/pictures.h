#pragma once
// PNG and JPEG files of one colour made in memory, for tests that need the players' other
// picture kinds on disk, and a PNG header that declares any size.

#include <cstdint>
#include <string>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace testpic {

enum class Kind { Png, Jpeg };

// A `width` x `height` picture of one grey, encoded as `kind`.
inline std::string solid(Kind kind, int width, int height) {
    const std::string rgb(size_t(width) * size_t(height) * 3, '\x80');
    std::string out;
    const auto append = [](void* to, void* data, int size) { static_cast<std::string*>(to)->append(static_cast<char*>(data), size_t(size)); };
    if (kind == Kind::Png)
        stbi_write_png_to_func(append, &out, width, height, 3, rgb.data(), width * 3);
    else
        stbi_write_jpg_to_func(append, &out, width, height, 3, rgb.data(), 90);
    return out;
}

// The signature and header of a PNG declaring `width` x 1 pixels, without its data: enough for
// a reader that stops at the size.
inline std::string pngHeader(uint32_t width) {
    std::string b = "\x89PNG\r\n\x1a\n" + std::string("\0\0\0\x0dIHDR", 8);
    for (int shift : {24, 16, 8, 0}) b += char(width >> shift);
    return b + std::string("\0\0\0\x01\x08\x02\0\0\0\0\0\0\0", 13);
}

}  // namespace testpic
