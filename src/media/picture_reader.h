#pragma once
// The one reader of BMP, PNG and JPEG pictures (stb_image) and its limits: the players decode
// their pictures through it and the disc check and the build's web page ask its header reading,
// so what they call a picture is what the players show. GIF pictures go through the program's
// own GIF reader instead. No Qt.

#include <cstdint>
#include <memory>
#include <string>

namespace torvana {

// The widest or highest picture read, in pixels.
constexpr int kMaxPictureSide = 16384;
// The largest picture decoded, in pixels (a 16384 x 16384 picture).
constexpr int64_t kMaxPicturePixels = int64_t(1) << 28;
// The largest picture file read: more than any picture the menu decodes takes.
constexpr uint64_t kMaxPictureFileBytes = uint64_t(1) << 30;

// What the players say of a file that is no picture they show.
inline constexpr const char* kNotAPictureText = "not a BMP, GIF, PNG or JPEG picture";

enum class StillFormat { None, Bmp, Png, Jpeg };

// A BMP, PNG or JPEG header as the reader takes it. `format` is None, with the reason in
// `error`, when the reader would refuse the picture before decoding a pixel: no such picture,
// or one wider, higher or larger than the limits above.
struct StillHeader {
    StillFormat format = StillFormat::None;
    int width = 0;
    int height = 0;
    std::string error;
};
StillHeader readStillHeader(const std::string& bytes);

// The file starts as a GIF picture does ("GIF87a" or "GIF89a").
bool startsLikeGif(const std::string& head);

// A picture decoded to 8-bit RGBA, 4 bytes a pixel, row by row from the top.
struct StillPixels {
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> rgba{nullptr, nullptr};
    std::string error;  // why there are no pixels
};
// Decodes a picture whose header readStillHeader took, holding the reader to what a picture of
// its size needs.
StillPixels decodeStill(const std::string& bytes, const StillHeader& header);

}  // namespace torvana
