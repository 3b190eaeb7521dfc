#include "menu/menu_png.h"

#include "project/errors.h"
#include "project/file_io.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace torvana::menu {

std::string encodePng(const Pixels& pixels) {
    if (pixels.empty()) throw Error("there is no picture to write");
    std::string rgb;
    rgb.reserve(pixels.argb.size() * 3);
    for (const uint32_t px : pixels.argb) rgb += {char(px >> 16 & 0xFF), char(px >> 8 & 0xFF), char(px & 0xFF)};
    std::string png;
    const auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
    };
    if (!stbi_write_png_to_func(append, &png, pixels.width, pixels.height, 3, rgb.data(), pixels.width * 3))
        throw Error("the picture cannot be made into a PNG");
    return png;
}

void writePng(const std::string& path, const Pixels& pixels) { replaceFileContents(path, encodePng(pixels)); }

}  // namespace torvana::menu
