#include "menu/menu_picture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gif/gif_messages.h"
#include "media/picture_reader.h"
#include "project/errors.h"
#include "project/file_io.h"

namespace torvana::menu {

namespace {

// The file starts as a GIF picture does.
bool gifFile(const std::string& path) {
    std::FILE* f = torvana::openFile(path, "rb");
    if (!f) return false;
    std::string head(6, '\0');
    head.resize(std::fread(head.data(), 1, head.size(), f));
    std::fclose(f);
    return torvana::startsLikeGif(head);
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

Picture loadImage(const std::string& bytes) {
    Picture picture;
    const StillHeader header = readStillHeader(bytes);
    if (header.format == StillFormat::None) {
        picture.error = header.error;
        return picture;
    }
    const int width = header.width, height = header.height;
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
    StillPixels decoded = decodeStill(bytes, header);
    if (!decoded.rgba) {
        picture.error = decoded.error;
        return picture;
    }
    // A BMP has no transparency: every pixel is opaque, whatever its unused fourth byte says.
    const bool opaque = header.format == StillFormat::Bmp;
    try {
        picture.still.width = width;
        picture.still.height = height;
        picture.still.argb.resize(size_t(width) * size_t(height));
        const unsigned char* src = decoded.rgba.get();
        for (uint32_t& px : picture.still.argb) {
            px = uint32_t(opaque ? 255 : src[3]) << 24 | uint32_t(src[0]) << 16 | uint32_t(src[1]) << 8 | src[2];
            src += 4;
        }
    } catch (const std::bad_alloc&) {
        picture = Picture();
        picture.error = gif::kNotEnoughMemory;
    }
    decoded.rgba.reset();
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
    if (gifFile(path)) return loadGif(path);
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
