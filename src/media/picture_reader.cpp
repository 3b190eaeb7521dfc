#include "media/picture_reader.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "gif/gif_messages.h"

// stb_image allocates through these: while a picture is decoded they hold the reader to an
// allowance (see DecodeAllowance below).
namespace torvana::stb_memory {
void* allocate(size_t size);
void* reallocate(void* p, size_t size);
void release(void* p);
}  // namespace torvana::stb_memory
#define STBI_MALLOC(size) torvana::stb_memory::allocate(size)
#define STBI_REALLOC(p, size) torvana::stb_memory::reallocate(p, size)
#define STBI_FREE(p) torvana::stb_memory::release(p)
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 16384  // kMaxPictureSide
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

static_assert(STBI_MAX_DIMENSIONS == torvana::kMaxPictureSide);

namespace torvana {

namespace stb_memory {

namespace {

// Bytes the reader may still take while it decodes one picture, and whether it asked for more.
// Without an allowance (outside decodeStill) nothing is counted.
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

struct FormatInfo {
    StillFormat format;
    int (*info)(stbi__context*, int*, int*, int*);
};
constexpr FormatInfo kFormats[] = {
    {StillFormat::Jpeg, stbi__jpeg_info}, {StillFormat::Png, stbi__png_info}, {StillFormat::Bmp, stbi__bmp_info}};

}  // namespace

bool startsLikeGif(const std::string& head) {
    return head.compare(0, 6, "GIF87a") == 0 || head.compare(0, 6, "GIF89a") == 0;
}

StillHeader readStillHeader(const std::string& bytes) {
    StillHeader header;
    if (bytes.size() > kMaxPictureFileBytes) {
        header.error = "the picture file is larger than 1 GB";
        return header;
    }
    // Each format is asked on its own, in the order the reader tries them: a picture one of them
    // refuses as too large is said to be so, not to be no picture at all.
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    bool tooLarge = false;
    for (const FormatInfo& f : kFormats) {
        stbi__context context;
        stbi__start_mem(&context, data, int(bytes.size()));
        int width = 0, height = 0, channels = 0;
        stbi__g_failure_reason = "";  // a reason left from an earlier picture is not this one's
        const bool read = f.info(&context, &width, &height, &channels);
        // A BMP stored top-down gives its height as a negative number, which decoding turns.
        if (read && f.format == StillFormat::Bmp && height < 0 && height != INT_MIN) height = -height;
        // A header of no width or height is none: decoding it fails.
        if (read && width > 0 && height > 0) {
            // The BMP reader takes a header of any size and refuses it only when decoding.
            if (width > kMaxPictureSide || height > kMaxPictureSide) {
                tooLarge = true;
                break;
            }
            if (int64_t(width) * height > kMaxPicturePixels) {
                header.error = "the picture is too large";
                return header;
            }
            header.format = f.format;
            header.width = width;
            header.height = height;
            return header;
        }
        tooLarge = tooLarge || std::strcmp(stbi_failure_reason(), "too large") == 0;
    }
    header.error = tooLarge ? "the picture is too large (more than " + std::to_string(kMaxPictureSide) + " pixels wide or high)"
                            : kNotAPictureText;
    return header;
}

StillPixels decodeStill(const std::string& bytes, const StillHeader& header) {
    StillPixels pixels;
    if (header.format == StillFormat::None) {
        pixels.error = header.error;
        return pixels;
    }
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    DecodeAllowance allowance(decodeAllowance(bytes.size(), header.width, header.height));
    int channels = 0;
    stbi__g_failure_reason = "";
    pixels.rgba = {stbi_load_from_memory(data, int(bytes.size()), &pixels.width, &pixels.height, &channels, 4),
                   stbi_image_free};
    if (!pixels.rgba) {
        pixels.error = allowance.exceeded() ? "the picture file is damaged: it holds far more data than its size needs"
                       : std::strcmp(stbi_failure_reason(), "outofmem") == 0
                           ? gif::kNotEnoughMemory
                           : "the picture file is damaged or of a kind the menu cannot show";
    }
    return pixels;
}

}  // namespace torvana
