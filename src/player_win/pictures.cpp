#include "player_win/pictures.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "project/errors.h"
#include "project/file_io.h"
#include "player_win/win_text.h"

namespace torvana::winplayer {

using torvana::menu::Pixels;

namespace {

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
        animation->clock = std::make_unique<torvana::menu::FrameClock>(gif);
        picture.still = torvana::menu::pixelsFromCanvas(animation->compositor->Compose(0));
        if (animation->clock->animated()) {
            animation->shown = picture.still;
            picture.animation = std::move(animation);
        }
    } catch (const torvana::Error& e) {
        picture = Picture();
        picture.error = e.what();
    } catch (const std::bad_alloc&) {
        picture = Picture();
        picture.error = "not enough memory for the picture";
    }
    return picture;
}

Picture loadBitmap(const std::string& path) {
    Picture picture;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, wide(path).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap) {
        picture.error = "not a BMP or GIF picture";
        return picture;
    }
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    const int width = info.bmWidth, height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    if (width <= 0 || height <= 0 || int64_t(width) * height > (int64_t(1) << 28)) {
        DeleteObject(bitmap);
        picture.error = "the picture is too large";
        return picture;
    }
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.argb.resize(size_t(width) * size_t(height));
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = width;
    request.bmiHeader.biHeight = -height;  // top row first
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, UINT(height), pixels.argb.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    if (rows != height) {
        picture.error = "the BMP file cannot be read";
        return picture;
    }
    // A BMP has no transparency: every pixel is opaque, whatever its unused fourth byte says.
    for (uint32_t& px : pixels.argb) px |= 0xFF000000u;
    picture.still = std::move(pixels);
    return picture;
}

}  // namespace

void Animation::restart(int64_t nowMs) {
    compositor->Restart();
    shown = torvana::menu::pixelsFromCanvas(compositor->Compose(0));
    clock->start(nowMs);
}

bool Animation::advance(int64_t nowMs) {
    const std::vector<size_t> frames = clock->advance(nowMs);
    if (frames.empty()) return false;
    try {
        for (const size_t frame : frames) compositor->Compose(frame);
        shown = torvana::menu::pixelsFromCanvas(compositor->Canvas());
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
    return startsLikeGif(path) ? loadGif(path) : loadBitmap(path);
}

}  // namespace torvana::winplayer
