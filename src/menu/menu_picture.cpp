#include "menu/menu_picture.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "gif/gif_messages.h"
#include "project/errors.h"
#include "project/file_io.h"

#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace torvana::menu {

namespace {

// The largest picture file read: more than any picture the menu decodes takes.
constexpr uint64_t kMaxPictureFileBytes = uint64_t(1) << 30;

bool startsLikeGif(const std::string& path) {
    std::FILE* f = torvana::openFile(path, "rb");
    if (!f) return false;
    char head[6] = {};
    const size_t got = std::fread(head, 1, 6, f);
    std::fclose(f);
    return got == 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0);
}

Picture loadGif(const std::string& path) {
    Picture picture;
    try {
        auto animation = std::make_shared<Animation>();
        animation->image = std::make_unique<torvana::gif::GifImage>();
        animation->image->LoadFromFile(path);
        const torvana::gif::GifImage& gif = *animation->image;
        if (gif.Empty() || gif.Width() <= 0 || gif.Height() <= 0) {
            picture.error = "the GIF file holds no picture";
            return picture;
        }
        animation->compositor = std::make_unique<torvana::gif::GifCompositor>(gif);
        animation->clock = std::make_unique<FrameClock>(gif);
        picture.still = pixelsFromCanvas(animation->compositor->Compose(0));
        animation->compositor->TakeChanges();
        if (animation->clock->animated()) {
            animation->shown = picture.still;
            picture.animation = std::move(animation);
        }
    } catch (const torvana::Error& e) {
        picture = Picture();
        picture.error = e.what();
    } catch (const std::bad_alloc&) {
        picture = Picture();
        picture.error = gif::kNotEnoughMemory;
    }
    return picture;
}

// A PNG, JPEG or BMP whose side is above STBI_MAX_DIMENSIONS, which the reader refuses before
// it reads a pixel. Each format is asked on its own: stbi_info tries them in turn and keeps the
// last one's reason, so such a picture would be said to be no picture at all.
bool tooLargeToRead(const stbi_uc* data, int size) {
    int width = 0, height = 0, channels = 0;
    for (const auto info : {stbi__png_info, stbi__jpeg_info, stbi__bmp_info}) {
        stbi__context context;
        stbi__start_mem(&context, data, size);
        if (!info(&context, &width, &height, &channels) && std::strcmp(stbi_failure_reason(), "too large") == 0) return true;
    }
    return false;
}

Picture loadImage(const std::string& bytes) {
    Picture picture;
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, int(bytes.size()), &width, &height, &channels)) {
        picture.error = tooLargeToRead(data, int(bytes.size())) ? "the picture is too large (more than 16384 pixels wide or high)"
                                                                : "not a BMP or GIF picture";
        return picture;
    }
    if (int64_t(width) * height > kMaxPicturePixels) {
        picture.error = "the picture is too large";
        return picture;
    }
    // The size the header declares is taken from the pictures' budget before anything is
    // decoded: a compressed BMP of a kilobyte may declare a gigabyte of pixels, and four of them
    // would end the player. Taken twice over, for the reader's buffer and the menu's copy.
    auto charge = std::make_shared<torvana::gif::GifMemoryCharge>(&torvana::gif::GifMemoryBudget::Program());
    try {
        charge->Add(int64_t(width) * height * 8);
    } catch (const std::exception&) {
        picture.error = std::string(gif::kNotEnoughMemory) + " (" + std::to_string(width) + " x " + std::to_string(height) + ")";
        return picture;
    }
    stbi_uc* rgba = stbi_load_from_memory(data, int(bytes.size()), &width, &height, &channels, 4);
    if (!rgba) {
        picture.error = "the picture file is damaged or of a kind the menu cannot show";
        return picture;
    }
    // A BMP has no transparency: every pixel is opaque, whatever its unused fourth byte says.
    const bool opaque = bytes.compare(0, 2, "BM") == 0;
    try {
        picture.still.width = width;
        picture.still.height = height;
        picture.still.argb.resize(size_t(width) * size_t(height));
        const stbi_uc* src = rgba;
        for (uint32_t& px : picture.still.argb) {
            px = uint32_t(opaque ? 255 : src[3]) << 24 | uint32_t(src[0]) << 16 | uint32_t(src[1]) << 8 | src[2];
            src += 4;
        }
    } catch (const std::bad_alloc&) {
        picture = Picture();
        picture.error = gif::kNotEnoughMemory;
    }
    stbi_image_free(rgba);
    if (picture.isNull()) return picture;
    // The reader's buffer is gone; the menu's copy stays counted.
    charge->ReduceTo(int64_t(width) * height * 4);
    picture.charge = std::move(charge);
    return picture;
}

}  // namespace

void Animation::restart(int64_t nowMs) {
    compositor->Restart();
    shown = pixelsFromCanvas(compositor->Compose(0));
    compositor->TakeChanges();
    clock->start(nowMs);
}

bool Animation::advance(int64_t nowMs) {
    const std::vector<size_t> frames = clock->advance(nowMs);
    if (frames.empty()) return false;
    try {
        for (const size_t frame : frames) compositor->Compose(frame);
        // Only what the frames changed is brought over: a small sprite moving over a large
        // picture costs its own area, not the picture's.
        const gif::RgbaCanvas& canvas = compositor->Canvas();
        updateFromCanvas(shown, canvas, compositor->TakeChanges());
    } catch (const std::exception&) {
        // A frame that cannot be composed ends the animation on the frame shown last.
        clock->stop();
        return false;
    }
    return true;
}

Picture loadPicture(const std::string& path) {
    Picture picture;
    if (!torvana::fileExists(path)) {
        picture.error = torvana::folderExists(path) ? "not a file" : "file not found";
        return picture;
    }
    if (startsLikeGif(path)) return loadGif(path);
    std::string bytes;
    try {
        bytes = torvana::readFileContents(path, kMaxPictureFileBytes);
    } catch (const torvana::Error& e) {
        picture.error = e.what();
        return picture;
    } catch (const std::bad_alloc&) {
        picture.error = gif::kNotEnoughMemory;
        return picture;
    }
    return loadImage(bytes);
}

}  // namespace torvana::menu
