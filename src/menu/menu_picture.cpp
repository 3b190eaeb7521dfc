#include "menu/menu_picture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "gif/gif_messages.h"
#include "project/errors.h"
#include "project/file_io.h"

// stb_image allocates through these: while a picture is decoded they hold the reader to an
// allowance (see DecodeAllowance below).
namespace torvana::menu::stb_memory {
void* allocate(size_t size);
void* reallocate(void* p, size_t size);
void release(void* p);
}  // namespace torvana::menu::stb_memory
#define STBI_MALLOC(size) torvana::menu::stb_memory::allocate(size)
#define STBI_REALLOC(p, size) torvana::menu::stb_memory::reallocate(p, size)
#define STBI_FREE(p) torvana::menu::stb_memory::release(p)
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

namespace stb_memory {

namespace {

// Bytes the reader may still take while it decodes one picture, and whether it asked for more.
// Without an allowance (outside loadImage) nothing is counted.
struct Allowance {
    bool active = false;
    size_t left = 0;
    bool exceeded = false;
};
thread_local Allowance allowance;

// Each block carries its size in front of it, so that freeing gives it back to the allowance.
constexpr size_t kHead = 16;  // keeps the block as aligned as malloc's

bool take(size_t size) {
    if (!allowance.active) return true;
    if (size > allowance.left) {
        allowance.exceeded = true;
        return false;
    }
    allowance.left -= size;
    return true;
}
void giveBack(size_t size) {
    if (allowance.active) allowance.left += size;
}
size_t sizeOf(void* p) {
    size_t size;
    std::memcpy(&size, static_cast<char*>(p) - kHead, sizeof size);
    return size;
}

}  // namespace

void* allocate(size_t size) {
    if (size > SIZE_MAX - kHead || !take(size)) return nullptr;
    char* block = static_cast<char*>(std::malloc(size + kHead));
    if (!block) {
        giveBack(size);
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    return block + kHead;
}

void* reallocate(void* p, size_t size) {
    if (!p) return allocate(size);
    const size_t old = sizeOf(p);
    if (size > SIZE_MAX - kHead) return nullptr;
    if (size > old && !take(size - old)) return nullptr;
    char* block = static_cast<char*>(std::realloc(static_cast<char*>(p) - kHead, size + kHead));
    if (!block) {
        if (size > old) giveBack(size - old);
        return nullptr;
    }
    if (size < old) giveBack(old - size);
    std::memcpy(block, &size, sizeof size);
    return block + kHead;
}

void release(void* p) {
    if (!p) return;
    giveBack(sizeOf(p));
    std::free(static_cast<char*>(p) - kHead);
}

}  // namespace stb_memory

namespace {

// While alive, stb_image may hold at most `bytes` at once. A PNG's compressed data is inflated
// into a buffer that grows as long as the data goes on, whatever size the header declares: 2 MB
// of a 1 x 1 picture inflated to 2 GiB. With the allowance it stops soon after what a picture of
// its size needs.
class DecodeAllowance {
public:
    explicit DecodeAllowance(size_t bytes) { stb_memory::allowance = {true, bytes, false}; }
    ~DecodeAllowance() { stb_memory::allowance = {}; }
    DecodeAllowance(const DecodeAllowance&) = delete;
    DecodeAllowance& operator=(const DecodeAllowance&) = delete;
    bool exceeded() const { return stb_memory::allowance.exceeded; }
};

// What the reader needs at most for a picture of `pixels` in a file of `fileBytes`: the file's
// compressed data gathered (twice over as its buffer grows), the inflated rows of up to 8 bytes
// a pixel (twice over as that buffer grows, with a filter byte a row in each of the seven
// passes of an interlaced picture), the decoded pixels and their conversion to 8-bit RGBA.
size_t decodeAllowance(size_t fileBytes, int width, int height) {
    const size_t pixels = size_t(width) * size_t(height);
    return 2 * fileBytes + 32 * pixels + 32 * size_t(height) + (size_t(1) << 20);
}

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
    stbi_uc* rgba;
    {
        DecodeAllowance allowance(decodeAllowance(bytes.size(), width, height));
        rgba = stbi_load_from_memory(data, int(bytes.size()), &width, &height, &channels, 4);
        if (!rgba) {
            picture.error = allowance.exceeded() ? "the picture file is damaged: it holds far more data than its size needs"
                            : std::strcmp(stbi_failure_reason(), "outofmem") == 0
                                ? gif::kNotEnoughMemory
                                : "the picture file is damaged or of a kind the menu cannot show";
            return picture;
        }
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
